#include "usb_slot.h"

#include <initializer_list>

#include "carrier.h"

namespace tmk {
namespace usb {
namespace {

Slot slots[kSlotCount] = {};

void closeMarked(plat::Handle& handle) {
    if (plat::isValidHandle(handle)) plat::closeHandle(handle);
    handle = plat::kInvalidHandle;
}

void freeSide(ReadSide* side) { delete side; }
void freeSide(WriteSide* side) {
    delete[] side->data;
    delete side;
}

template <typename Side>
void releaseSide(plat::Handle device, Side*& side, bool inFlight) {
    if (!side) return;
    if (inFlight && !requestSettled(device, &side->overlapped, side->event, kSettleWaitMs)) {
        // The driver may still write the record: it is left to it.
        side = nullptr;
        return;
    }
    closeMarked(side->event);
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

bool requestSettled(plat::Handle device, plat::Overlapped* overlapped, plat::Handle event,
                    int waitMs) {
    auto settled = [&] {
        plat::DWord bytes = 0;
        return plat::getOverlappedResult(device, overlapped, &bytes, false) ||
               plat::getLastError() != plat::kErrorIoIncomplete;
    };
    if (settled()) return true;
    plat::waitForSingleObject(event, static_cast<plat::DWord>(waitMs));
    return settled();
}

void abortAndReset(plat::Handle device) {
    for (uint8_t endpoint : {plat::kEndpointIn, plat::kEndpointOut}) {
        plat::deviceIoControl(device, plat::kIoctlAbortPipe, &endpoint, 1, nullptr, 0, nullptr, nullptr);
        plat::deviceIoControl(device, plat::kIoctlResetPipe, nullptr, 0, nullptr, 0, nullptr, nullptr);
    }
}

void dropConnection(Slot& slot) {
    releaseSide(slot.driverHandle, slot.read, slot.readPending);
    releaseSide(slot.driverHandle, slot.write, slot.writePending);
    slot.readPending = slot.writePending = false;
    slot.blockPos = slot.blockCount = slot.blockBytes = 0;
    closeMarked(slot.driverHandle);
    closeMarked(slot.instanceLock);
}

void releaseSlot(Slot& slot) {
    dropConnection(slot);
    slot = Slot{};
}

}  // namespace usb

const Carrier& usbCarrier() {
    static const Carrier carrier = {usb::count, usb::open,   usb::close, usb::receive,
                                    usb::send,  usb::cancel, usb::resync};
    return carrier;
}

}  // namespace tmk
