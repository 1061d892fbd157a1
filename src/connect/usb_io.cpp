// Block receive, waited-for send, cancel and close of a USB slot.
#include <algorithm>
#include <cstring>
#include <new>

#include "uc_telegram.h"
#include "usb_slot.h"
#include "wire/timing.h"

namespace tmk {
namespace usb {
namespace {

bool connected(const Slot& slot) { return plat::isValidHandle(slot.driverHandle); }

// Hands out block blockPos of the last read: 512 bytes, of which those
// beyond the transfer are zero.
int takeBlock(Slot& slot, void* buffer, int* bytes) {
    const int offset = slot.blockPos * UC_MAX_TELEGRAM;
    const int n = std::min(UC_MAX_TELEGRAM, slot.blockBytes - offset);
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memcpy(out, slot.read->buffer + offset, static_cast<size_t>(n));
    std::memset(out + n, 0, static_cast<size_t>(UC_MAX_TELEGRAM - n));
    ++slot.blockPos;
    *bytes = n;
    return RC_OK;
}

// Issues the bulk read. 0 in flight, 2 the driver refuses the command
// (the device is gone), -1 the request could not be issued.
int issueRead(Slot& slot) {
    ReadSide& side = *slot.read;
    plat::resetEvent(side.event);
    const int started = plat::startBulkTransfer(slot.driverHandle, plat::kEndpointIn, side.request,
                                                side.overlapped, side.event, side.buffer, kReadBufferSize);
    if (started == RC_OK) slot.readPending = true;
    return started;
}

// Takes the result of a read whose event was signalled.
int completeRead(Slot& slot, void* buffer, int* bytes) {
    plat::DWord count = 0;
    if (!plat::getOverlappedResult(slot.driverHandle, &slot.read->overlapped, &count, false)) {
        if (plat::getLastError() == plat::kErrorIoIncomplete) return RC_TIMEOUT;  // still in flight
        slot.readPending = false;
        return RC_ERROR;
    }
    slot.readPending = false;
    slot.blockBytes = static_cast<int>(std::min<plat::DWord>(count, kReadBufferSize));
    slot.blockCount = (slot.blockBytes + UC_MAX_TELEGRAM - 1) / UC_MAX_TELEGRAM;
    slot.blockPos = 0;
    if (slot.blockCount == 0) return RC_TIMEOUT;
    return takeBlock(slot, buffer, bytes);
}

// Makes room in the write side for a copy of size bytes.
bool reserveWriteData(WriteSide& side, int size) {
    if (size <= side.capacity) return true;
    uint8_t* data = new (std::nothrow) uint8_t[static_cast<size_t>(size)];
    if (!data) return false;
    delete[] side.data;
    side.data = data;
    side.capacity = size;
    return true;
}

// Waits at most the write limit for the write in flight. 0 done, 1 still
// in flight, -1 the wait failed or the write failed.
int awaitWrite(Slot& slot) {
    WriteSide& side = *slot.write;
    const plat::DWord waited = plat::waitForSingleObject(side.event, uc::kSendWaitMs);
    plat::DWord count = 0;
    if (plat::getOverlappedResult(slot.driverHandle, &side.overlapped, &count, false)) {
        slot.writePending = false;
        return RC_OK;
    }
    if (plat::getLastError() == plat::kErrorIoIncomplete)
        return waited == plat::kWaitFailed ? RC_ERROR : RC_TIMEOUT;
    slot.writePending = false;
    return RC_ERROR;
}

}  // namespace

int receive(int handle, void* buffer, int* bytes) {
    *bytes = 0;
    Slot* slot = takenSlot(handle);
    if (!slot) return RC_NOT_CONNECTED;
    if (!connected(*slot) || !slot->read) return RC_ERROR;
    if (slot->blockPos < slot->blockCount) return takeBlock(*slot, buffer, bytes);
    if (!slot->readPending) {
        int issued = issueRead(*slot);
        if (issued != RC_OK) return issued;
    }
    switch (plat::waitForSingleObject(slot->read->event, uc::kReceiveWaitMs)) {
        case plat::kWaitObject0: return completeRead(*slot, buffer, bytes);
        case plat::kWaitTimeout: return RC_TIMEOUT;  // the read stays pending for the next call
        default:
            // A read that the driver still holds stays pending: its record
            // and buffer must not be reused for a new request.
            if (plat::awaitSettled(slot->driverHandle, &slot->read->overlapped, slot->read->event, 0))
                slot->readPending = false;
            return RC_ERROR;
    }
}

int send(int handle, int size, const void* data) {
    Slot* slot = takenSlot(handle);
    if (!slot || !connected(*slot) || !slot->write) return RC_NOT_CONNECTED;
    // An earlier write that ran out of time still owns the write record.
    if (slot->writePending) {
        int earlier = awaitWrite(*slot);
        if (earlier == RC_TIMEOUT) return RC_TIMEOUT;
    }
    WriteSide& side = *slot->write;
    if (!reserveWriteData(side, size)) return RC_SYSTEM_ERROR;
    if (size > 0) std::memcpy(side.data, data, static_cast<size_t>(size));
    plat::resetEvent(side.event);
    const int started =
        plat::startBulkTransfer(slot->driverHandle, plat::kEndpointOut, side.request, side.overlapped,
                                side.event, side.data, static_cast<plat::DWord>(size));
    if (started == RC_ERROR) cancel(handle);
    if (started != RC_OK) return started;
    slot->writePending = true;
    return awaitWrite(*slot);
}

int cancel(int handle) {
    Slot* slot = takenSlot(handle);
    if (!slot) return RC_NOT_CONNECTED;
    if (connected(*slot)) plat::abortAndReset(slot->driverHandle);
    dropConnection(*slot);
    return RC_OK;
}

int close(int handle) {
    Slot* slot = takenSlot(handle);
    if (!slot) return RC_NOT_CONNECTED;
    // Requests still in flight are ended before their records are freed.
    if (connected(*slot) && (slot->readPending || slot->writePending)) plat::abortAndReset(slot->driverHandle);
    releaseSlot(*slot);
    return RC_OK;
}

int resync(int) { return RC_OK; }

}  // namespace usb
}  // namespace tmk
