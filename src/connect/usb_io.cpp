// Block receive, waited-for send, cancel and close of a USB slot.
#include <algorithm>
#include <cstring>
#include <new>

#include "usb_slot.h"

namespace tmk {
namespace usb {
namespace {

bool connected(const Slot& slot) { return plat::isValidHandle(slot.driverHandle); }

// Hands out block blockPos of the last read: 512 bytes, of which those
// beyond the transfer are zero.
int takeBlock(Slot& slot, void* buffer, int* bytes) {
    const int offset = slot.blockPos * kBlockSize;
    const int n = std::min(kBlockSize, slot.blockBytes - offset);
    uint8_t* out = static_cast<uint8_t*>(buffer);
    std::memcpy(out, slot.read->buffer + offset, static_cast<size_t>(n));
    std::memset(out + n, 0, static_cast<size_t>(kBlockSize - n));
    ++slot.blockPos;
    *bytes = n;
    return 0;
}

// Issues the bulk read. 0 in flight, 2 the driver refuses the command
// (the device is gone), -1 the request could not be issued.
int issueRead(Slot& slot) {
    ReadSide& side = *slot.read;
    plat::prepareSingleTransfer(side.request, plat::kEndpointIn);
    side.overlapped = plat::Overlapped{};
    side.overlapped.event = side.event;
    plat::resetEvent(side.event);
    if (!plat::deviceIoControl(slot.driverHandle, plat::kIoctlBulkTransfer, &side.request,
                               sizeof side.request, side.buffer, kReadBufferSize, nullptr,
                               &side.overlapped)) {
        const plat::DWord error = plat::getLastError();
        if (error == plat::kErrorBadCommand) return 2;
        if (error != plat::kErrorIoPending) return -1;
    }
    slot.readPending = true;
    return 0;
}

// Takes the result of a read whose event was signalled.
int completeRead(Slot& slot, void* buffer, int* bytes) {
    plat::DWord count = 0;
    if (!plat::getOverlappedResult(slot.driverHandle, &slot.read->overlapped, &count, false)) {
        if (plat::getLastError() == plat::kErrorIoIncomplete) return 1;  // still in flight
        slot.readPending = false;
        return -1;
    }
    slot.readPending = false;
    slot.blockBytes = static_cast<int>(std::min<plat::DWord>(count, kReadBufferSize));
    slot.blockCount = (slot.blockBytes + kBlockSize - 1) / kBlockSize;
    slot.blockPos = 0;
    if (slot.blockCount == 0) return 1;
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
    const plat::DWord waited = plat::waitForSingleObject(side.event, kWriteWaitMs);
    plat::DWord count = 0;
    if (plat::getOverlappedResult(slot.driverHandle, &side.overlapped, &count, false)) {
        slot.writePending = false;
        return 0;
    }
    if (plat::getLastError() == plat::kErrorIoIncomplete) return waited == plat::kWaitFailed ? -1 : 1;
    slot.writePending = false;
    return -1;
}

}  // namespace

int receive(int handle, void* buffer, int* bytes) {
    *bytes = 0;
    Slot* slot = takenSlot(handle);
    if (!slot) return 2;
    if (!connected(*slot) || !slot->read) return -1;
    if (slot->blockPos < slot->blockCount) return takeBlock(*slot, buffer, bytes);
    if (!slot->readPending) {
        int issued = issueRead(*slot);
        if (issued != 0) return issued;
    }
    switch (plat::waitForSingleObject(slot->read->event, kReceiveWaitMs)) {
        case plat::kWaitObject0: return completeRead(*slot, buffer, bytes);
        case plat::kWaitTimeout: return 1;  // the read stays pending for the next call
        default:
            // A read that the driver still holds stays pending: its record
            // and buffer must not be reused for a new request.
            if (requestSettled(slot->driverHandle, &slot->read->overlapped, slot->read->event, 0))
                slot->readPending = false;
            return -1;
    }
}

int send(int handle, int size, const void* data) {
    Slot* slot = takenSlot(handle);
    if (!slot || !connected(*slot) || !slot->write) return 2;
    // An earlier write that ran out of time still owns the write record.
    if (slot->writePending) {
        int earlier = awaitWrite(*slot);
        if (earlier == 1) return 1;
    }
    WriteSide& side = *slot->write;
    if (!reserveWriteData(side, size)) return 8;
    if (size > 0) std::memcpy(side.data, data, static_cast<size_t>(size));
    plat::prepareSingleTransfer(side.request, plat::kEndpointOut);
    side.overlapped = plat::Overlapped{};
    side.overlapped.event = side.event;
    plat::resetEvent(side.event);
    if (!plat::deviceIoControl(slot->driverHandle, plat::kIoctlBulkTransfer, &side.request,
                               sizeof side.request, side.data, static_cast<plat::DWord>(size),
                               nullptr, &side.overlapped)) {
        const plat::DWord error = plat::getLastError();
        if (error == plat::kErrorBadCommand) return 2;
        if (error != plat::kErrorIoPending) {
            cancel(handle);
            return -1;
        }
    }
    slot->writePending = true;
    return awaitWrite(*slot);
}

int cancel(int handle) {
    Slot* slot = takenSlot(handle);
    if (!slot) return 2;
    if (connected(*slot)) abortAndReset(slot->driverHandle);
    dropConnection(*slot);
    return 0;
}

int close(int handle) {
    Slot* slot = takenSlot(handle);
    if (!slot) return 2;
    // Requests still in flight are ended before their records are freed.
    if (connected(*slot) && (slot->readPending || slot->writePending)) abortAndReset(slot->driverHandle);
    releaseSlot(*slot);
    return 0;
}

int resync(int) { return 0; }

}  // namespace usb
}  // namespace tmk
