// USB slot table of tormak: 100 slots over the kernel-driver platform
// layer; a slot number is the USB handle. The read side and the write side
// of a slot are separate heap records, so one thread may receive while
// another sends, and a record that the driver still holds (a request that
// never finished) can be left to it without blocking the slot's reuse.
#ifndef CONNECT_USB_SLOT_H
#define CONNECT_USB_SLOT_H

#include <cstdint>

#include "platform/usb_driver_ops.h"

namespace tmk {
namespace usb {

constexpr int kSlotCount = 100;
constexpr int kReadBufferSize = static_cast<int>(plat::kDriverReadSize);

// Read request state: event, overlapped record, transfer record, buffer.
struct ReadSide {
    plat::Handle event;
    plat::Overlapped overlapped;
    plat::SingleTransfer request;
    uint8_t buffer[kReadBufferSize];
};

// Write request state; `data` holds a copy of the bytes in flight, so the
// caller's buffer is free once send returns, even after a time-out.
struct WriteSide {
    plat::Handle event;
    plat::Overlapped overlapped;
    plat::SingleTransfer request;
    uint8_t* data;
    int capacity;
};

struct Slot {
    bool inUse;
    // 0 before first use, -1 once closed (also after a cancel).
    plat::Handle driverHandle;
    plat::Handle instanceLock;
    ReadSide* read;
    WriteSide* write;
    int blockPos;
    int blockCount;
    int blockBytes;     // bytes of the last read, for the final partial block
    bool readPending;   // a read request is in flight
    bool writePending;  // a write whose wait ran out is still in flight
};

// The slot of a handle, or nullptr when the handle is outside 0..99 or
// its slot is free. Nothing of the table is touched for a bad handle.
Slot* takenSlot(int handle);
// The lowest free slot (marked taken), or -1.
int claimSlot();
Slot& slotAt(int index);

// Releases the device handle, both sides and the instance lock of a slot;
// handles are marked closed (-1). A side whose request is still held by
// the driver after uc::kSettleLimitMs is left to it, not freed.
void dropConnection(Slot& slot);
// Frees the slot for the next open.
void releaseSlot(Slot& slot);

int count(int* variant1Count, int* variant0Count);
int open(int number, bool isVariant, int* handle);
int close(int handle);
int receive(int handle, void* buffer, int* bytes);
int send(int handle, int size, const void* data);
int cancel(int handle);
int resync(int handle);

}  // namespace usb
}  // namespace tmk

#endif
