// Moving telegrams over an open kernel-driver device: at most one read in
// flight across receive() calls, the telegrams of a completed transfer
// handed out one by one; a write waited for, and a write whose wait ran
// out kept until the driver gives it back.
#include <algorithm>
#include <cstring>

#include "trace.h"
#include "transport/usbdriver/uc_usb_driver_device.h"
#include "uc_telegram.h"
#include "wire/offsets.h"
#include "wire/telegram.h"
#include "wire/timing.h"

using namespace plat;
using transport::UsbDriverIo;

namespace {

constexpr uint8_t kReadFill = 0xCC;
constexpr int32_t kSmallestTelegram = UC_HEADER_SIZE;
// An ACK carries at least its result word and one value.
constexpr int32_t kSmallestAck = UC_HEADER_SIZE + 2 * static_cast<int32_t>(uc::kWordSize);

}  // namespace

int UcUsbDriverDevice::issueRead() {
    UsbDriverIo& io = *io_;
    std::memset(io.buffer, kReadFill, sizeof io.buffer);
    const int started = startBulkTransfer(io.device, kEndpointIn, io.readTransfer, io.readOverlapped,
                                          io.readEvent, io.buffer, sizeof io.buffer);
    io.readPending = started == RC_OK;
    if (started == RC_NOT_CONNECTED) disconnect();  // the device is gone
    if (started == RC_ERROR) return RC_SYSTEM_ERROR;
    return started;
}

// Waits for the read in flight. 0: a transfer of `fill` > 0 bytes is in
// the buffer; otherwise the result of receive().
int UcUsbDriverDevice::awaitRead() {
    UsbDriverIo& io = *io_;
    const DWord waited = waitForSingleObject(io.readEvent, uc::kReceiveWaitMs);
    if (waited == kWaitTimeout) return RC_TIMEOUT;
    if (waited != kWaitObject0) {
        // A read still held by the driver stays pending: its record and
        // buffer must not be reused.
        io.readPending = !awaitSettled(io.device, &io.readOverlapped, io.readEvent, 0);
        return RC_SYSTEM_ERROR;
    }
    DWord count = 0;
    if (!getOverlappedResult(io.device, &io.readOverlapped, &count, false) &&
        getLastError() == kErrorIoIncomplete)
        return RC_TIMEOUT;  // woken by cancelReceive; the read stays in flight
    io.readPending = false;
    io.fill = std::min<DWord>(count, UsbDriverIo::kBufferSize);
    io.readPos = 0;
    if (io.fill == 0) {
        traceError(false, "Empty packet received");
        return RC_TIMEOUT;
    }
    return RC_OK;
}

int UcUsbDriverDevice::receive(void* buffer, int* length) {
    if (!linkState_.connected || !io_) return RC_NOT_CONNECTED;
    if (!buffer || !length) return RC_INVALID_PARAM;
    UsbDriverIo& io = *io_;
    const int32_t requested = *length;
    if (io.readPos < io.fill) return takeTelegram(requested, false, buffer, length);
    if (!io.readPending) {
        const int issued = issueRead();
        if (issued != RC_OK) return issued;
    }
    const int awaited = awaitRead();
    if (awaited != RC_OK) return awaited;
    return takeTelegram(requested, true, buffer, length);
}

// 32-bit word of the buffer at pos; bytes past its end count as the fill.
int32_t UcUsbDriverDevice::wordAt(uint32_t pos) const {
    uint8_t word[uc::kWordSize];
    for (uint32_t i = 0; i < uc::kWordSize; ++i)
        word[i] = pos + i < UsbDriverIo::kBufferSize ? io_->buffer[pos + i] : kReadFill;
    return uc::get32(word);
}

int UcUsbDriverDevice::takeTelegram(int32_t requested, bool freshTransfer, void* out, int* length) {
    UsbDriverIo& io = *io_;
    const uint32_t pos = io.readPos;
    int64_t n = requested;
    if (requested == 0) n = static_cast<int64_t>(wordAt(pos)) + static_cast<int64_t>(uc::kLengthEnd);
    if (n > UC_MAX_TELEGRAM || n < 0 || (requested == 0 && n < kSmallestTelegram)) {
        io.readPos = io.fill;
        traceError(freshTransfer, "Protocol error: incomplete packet received");
        return RC_OUT_OF_SYNC;
    }
    if (requested == 0 && wordAt(pos + static_cast<uint32_t>(uc::kOpcodeOffset)) == UC_OP_ACK &&
        n < kSmallestAck)
        n = kSmallestAck;
    n = std::min<int64_t>(n, io.fill - io.readPos);
    std::memcpy(out, io.buffer + pos, static_cast<size_t>(n));
    io.readPos += static_cast<uint32_t>(n);
    *length = static_cast<int>(n);
    return RC_OK;
}

// Waits for the write in flight: 0 done, -1 it failed, 1 still in flight
// after the wait, 8 the wait failed. writePending is cleared once the
// driver has given the write back.
int UcUsbDriverDevice::awaitWrite() {
    UsbDriverIo& io = *io_;
    const DWord waited = waitForSingleObject(io.writeEvent, uc::kSendWaitMs);
    if (waited == kWaitTimeout) return RC_TIMEOUT;
    DWord count = 0;
    const bool ok = getOverlappedResult(io.device, &io.writeOverlapped, &count, false);
    if (!ok && getLastError() == kErrorIoIncomplete)
        return waited == kWaitObject0 ? RC_TIMEOUT : RC_SYSTEM_ERROR;
    io.writePending = false;
    if (waited != kWaitObject0) return RC_SYSTEM_ERROR;
    return ok ? RC_OK : RC_ERROR;
}

int UcUsbDriverDevice::send(int length, const void* data) {
    if (!linkState_.connected || !io_) return RC_NOT_CONNECTED;
    if (length < 0 || (length > 0 && !data)) return RC_INVALID_PARAM;
    UsbDriverIo& io = *io_;
    // An earlier write whose wait ran out still owns the write record: wait
    // for it once more, and refuse this send if it is still in flight.
    if (io.writePending) {
        const int earlier = awaitWrite();
        if (io.writePending) return earlier;
    }
    const int started = startBulkTransfer(io.device, kEndpointOut, io.writeTransfer, io.writeOverlapped,
                                          io.writeEvent, const_cast<void*>(data), static_cast<DWord>(length));
    if (started != RC_OK) {
        disconnect();
        return started;
    }
    io.writePending = true;
    return awaitWrite();
}
