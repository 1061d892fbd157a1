// UcUsbLibDevice: the reader thread that fills the ring of transfers, and
// receive(), which hands out the telegrams found in it.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "wire/telegram.h"
#include "trace.h"
#include "transport/usblib/uc_usb_lib_device.h"
#include "platform/libusb_api.h"
#include "transport/usblib/usb_constants.h"
#include "uc_telegram.h"
#include "wire/timing.h"
#include "threads/mutex_guard.h"

using namespace transport;
using namespace transport::usblib;

void transport::UsbReaderThread::run() {
    while (!stop) owner->readerStep();
}

int UcUsbLibDevice::readerStep() {
    UsbLibLink& l = *link_;
    int r = RC_OK;
    {
        MutexGuard handleGuard(l.handleLock);
        UsbRingSlot& slot = l.slots[static_cast<size_t>(l.writeIndex)];
        r = linkState_.connected ? RC_OK : RC_NOT_CONNECTED;

        // A full ring waits for receive() to free the next slot; the reader
        // never writes into a slot that receive() still owns.
        {
            MutexGuard spaceGuard(l.spaceLock);
            if (r == RC_OK && slot.filled != 0) {
                l.slotFree.wait(&l.spaceLock, uc::kShortPauseMs);
                if (slot.filled != 0) r = RC_TIMEOUT;
            }
        }

        if (r == RC_OK) {
            char* into = reinterpret_cast<char*>(slot.data.data());
            const int n = usb_bulk_read(l.handle, kBulkInEndpoint, into, l.slotSize, uc::kReceiveWaitMs);
            if (n < 0) {
                if (n == kTransferTimeout) {
                    r = RC_TIMEOUT;
                } else {
                    r = RC_DRIVER_ERROR;
                    traceError(false, "usb_bulk_read failed: %s", usb_strerror());
                }
            } else if (n > 0) {
                MutexGuard dataGuard(l.dataLock);
                l.writeIndex = (l.writeIndex + 1) % l.slotCount;
                slot.filled = std::min(n, l.slotSize);
                l.dataReady.wakeOne();
            }
        }
    }
    {
        MutexGuard dataGuard(l.dataLock);
        l.lastReadResult = r;
    }
    if (r != RC_OK && r != RC_TIMEOUT) {
        disconnect();
        l.dataReady.wakeOne();  // a waiting receive() reports the failure now
    }
    return r;
}

// Hands out the next telegram (requested 0) or the next requested bytes
// of one begun earlier, from a slot that holds unread bytes.
int UcUsbLibDevice::takeTelegram(UsbRingSlot& slot, int requested, void* buffer, int* length) {
    const int available = slot.filled - slot.readPos;
    const unsigned char* src = slot.data.data() + slot.readPos;
    int64_t n = requested;
    bool framed = true;
    if (requested == 0) {
        // The length word must lie within the transfer to be read at all.
        framed = available >= static_cast<int>(uc::kLengthEnd);
        if (framed) {
            n = uc::wireSize(uc::get32(src, uc::kLengthOffset));
            // A short ACK is read as a whole one (reason and value).
            if (available >= static_cast<int>(uc::kOpcodeEnd) &&
                uc::get32(src, uc::kOpcodeOffset) == UC_OP_ACK && n < kSmallestWholeAck)
                n = kSmallestWholeAck;
        }
    }
    if (!framed || n > UC_MAX_TELEGRAM || n < 0 || (requested == 0 && n < UC_HEADER_SIZE)) {
        slot.readPos = slot.filled;  // the rest of the slot is dropped
        return RC_OUT_OF_SYNC;
    }
    const int count = static_cast<int>(std::min<int64_t>(n, available));
    std::memcpy(buffer, src, static_cast<size_t>(count));
    *length = count;
    slot.readPos += count;
    return RC_OK;
}

void UcUsbLibDevice::releaseSlot(UsbRingSlot& slot) {
    UsbLibLink& l = *link_;
    {
        MutexGuard guard(l.spaceLock);
        slot.filled = 0;
        slot.readPos = 0;
        l.readIndex = (l.readIndex + 1) % l.slotCount;
    }
    l.slotFree.wakeOne();
}

// Waits, with dataLock held by the caller, until the slot holds unread
// bytes, the reader failed, cancelReceive() was called (now or before this
// wait) or the receive wait is over. dataReady also carries wakes of
// slots that an earlier call took without waiting; such a stale wake does
// not end the wait early.
void UcUsbLibDevice::waitForData(const UsbRingSlot& slot) {
    UsbLibLink& l = *link_;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(uc::kReceiveWaitMs);
    auto settled = [&] {
        return slot.filled > slot.readPos || l.cancelPending ||
               (l.lastReadResult != RC_OK && l.lastReadResult != RC_TIMEOUT);
    };
    while (!settled()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        l.dataReady.wait(&l.dataLock, static_cast<int>(left));
    }
}

int UcUsbLibDevice::receive(void* buffer, int* length) {
    if (!buffer || !length) return RC_INVALID_PARAM;
    UsbLibLink& l = *link_;
    UsbRingSlot& slot = l.slots[static_cast<size_t>(l.readIndex)];
    const int requested = *length;

    int r = RC_OK;
    {
        MutexGuard guard(l.dataLock);
        r = linkState_.connected ? RC_OK : RC_NOT_CONNECTED;
        if (r == RC_NOT_CONNECTED && l.lastReadResult != RC_OK && l.lastReadResult != RC_TIMEOUT) {
            // The reader closed the device after a failed read: that failure
            // is reported once, whether or not a receive was waiting then.
            r = l.lastReadResult;
            l.lastReadResult = 0;
        }
        if (r == RC_OK && slot.filled <= slot.readPos) {
            waitForData(slot);
            if (slot.filled <= slot.readPos) {
                r = l.lastReadResult != 0 ? l.lastReadResult : RC_TIMEOUT;
                l.lastReadResult = 0;
                l.cancelPending = false;
            }
        }
    }

    if (r == RC_OK) r = takeTelegram(slot, requested, buffer, length);
    if (r != RC_OK && r != RC_TIMEOUT && r != RC_OUT_OF_SYNC) {
        disconnect();
        return r;
    }
    if (r != RC_TIMEOUT && slot.readPos >= slot.filled) releaseSlot(slot);
    return r;
}
