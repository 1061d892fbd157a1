#include "usb_slot.h"

#include "carrier.h"
#include "wire/timing.h"

namespace tmk {
namespace usb {
namespace {

Slot slots[kSlotCount] = {};

void freeSide(ReadSide* side) { delete side; }
void freeSide(WriteSide* side) {
    delete[] side->data;
    delete side;
}

template <typename Side>
void releaseSide(plat::Handle device, Side*& side, bool inFlight) {
    if (!side) return;
    if (inFlight && !plat::awaitSettled(device, &side->overlapped, side->event, uc::kSettleLimitMs)) {
        // The driver may still write the record: it is left to it.
        side = nullptr;
        return;
    }
    plat::closeIfValid(side->event);
    freeSide(side);
    side = nullptr;
}

}  // namespace

Slot& slotAt(int index) { return slots[index]; }

Slot* takenSlot(int handle) {
    if (handle < 0 || handle >= kSlotCount || !slots[handle].inUse) return nullptr;
    return &slots[handle];
}

int claimSlot() {
    for (int i = 0; i < kSlotCount; ++i) {
        if (slots[i].inUse) continue;
        slots[i] = Slot{};
        slots[i].inUse = true;
        return i;
    }
    return -1;
}

void dropConnection(Slot& slot) {
    releaseSide(slot.driverHandle, slot.read, slot.readPending);
    releaseSide(slot.driverHandle, slot.write, slot.writePending);
    slot.readPending = slot.writePending = false;
    slot.blockPos = slot.blockCount = slot.blockBytes = 0;
    plat::closeIfValid(slot.driverHandle);
    plat::closeIfValid(slot.instanceLock);
}

void releaseSlot(Slot& slot) {
    dropConnection(slot);
    slot = Slot{};
}

}  // namespace usb

const Carrier& usbCarrier() {
    static const Carrier carrier = {usb::count, usb::open,   usb::close,  usb::receive,
                                    usb::send,  usb::cancel, usb::resync, nullptr};
    return carrier;
}

}  // namespace tmk
