// Counting and opening the devices of the kernel driver's two interface
// GUIDs.
#include <new>

#include "uc_telegram.h"
#include "usb_slot.h"

namespace tmk {
namespace usb {
namespace {

int createSides(Slot& slot) {
    slot.read = new (std::nothrow) ReadSide();
    slot.write = new (std::nothrow) WriteSide();
    if (!slot.read || !slot.write) return RC_SYSTEM_ERROR;
    slot.read->event = plat::createEvent(false, false);
    slot.write->event = plat::createEvent(false, false);
    if (!plat::isValidHandle(slot.read->event) || !plat::isValidHandle(slot.write->event))
        return RC_SYSTEM_ERROR;
    slot.read->overlapped.event = slot.read->event;
    slot.write->overlapped.event = slot.write->event;
    return RC_OK;
}

int openInto(Slot& slot, int number, bool isVariant) {
    plat::InterfaceInfo info;
    int result = plat::readInterface(plat::interfaceGuid(isVariant), number, &info);
    if (result != RC_OK) return result;
    result = plat::takeInstanceLock(info.instanceId, &slot.instanceLock);
    if (result != RC_OK) return result;
    slot.driverHandle = plat::openDeviceOverlapped(info.path.c_str());
    if (!plat::isValidHandle(slot.driverHandle)) return RC_SYSTEM_ERROR;
    return createSides(slot);
}

}  // namespace

// An empty list of a GUID counts as "not connected"; the count fails only
// when both GUIDs fail.
int count(int* variant1Count, int* variant0Count) {
    int n1 = 0, n0 = 0;
    const int result1 = plat::countInterfaces(plat::kGuidVariant1, &n1, RC_NOT_CONNECTED);
    const int result0 = plat::countInterfaces(plat::kGuidVariant0, &n0, RC_NOT_CONNECTED);
    if (result1 != RC_OK && result0 != RC_OK) return result0;
    *variant1Count = n1;
    *variant0Count = n0;
    return RC_OK;
}

int open(int number, bool isVariant, int* handle) {
    *handle = -1;
    if (number < 0) return RC_NOT_CONNECTED;
    const int index = claimSlot();
    if (index < 0) return RC_ERROR;
    Slot& slot = slotAt(index);
    const int result = openInto(slot, number, isVariant);
    if (result != RC_OK) {
        releaseSlot(slot);
        return result;
    }
    *handle = index;
    return RC_OK;
}

}  // namespace usb
}  // namespace tmk
