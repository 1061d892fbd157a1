// Counting and opening the devices of the kernel driver's two interface
// GUIDs.
#include <new>
#include <string>

#include "usb_slot.h"

namespace tmk {
namespace usb {
namespace {

constexpr plat::DWord kMaxDetailSize = 4096;

const plat::Guid& guidOf(bool isVariant) { return isVariant ? plat::kGuidVariant1 : plat::kGuidVariant0; }

int countInterfaces(const plat::Guid& guid, int* count) {
    *count = 0;
    plat::DevInfoSet set = plat::getClassDevs(guid);
    if (set == plat::kInvalidDevInfoSet) return 3;
    int n = 0;
    plat::DeviceInterfaceData data = {};
    while (plat::enumDeviceInterfaces(set, guid, static_cast<plat::DWord>(n), &data)) ++n;
    const plat::DWord error = plat::getLastError();
    plat::destroyDeviceInfoList(set);
    if (n == 0) return (error == plat::kErrorSuccess || error == plat::kErrorNoMoreItems) ? 2 : -1;
    *count = n;
    return 0;
}

// What an open takes from the device list: the device path and the
// instance id of one interface.
struct InterfaceInfo {
    std::string path;
    char instanceId[kInstanceIdSize + 1];
};

int readInterface(plat::DevInfoSet set, const plat::Guid& guid, int number, InterfaceInfo* info) {
    plat::DeviceInterfaceData data = {};
    if (!plat::enumDeviceInterfaces(set, guid, static_cast<plat::DWord>(number), &data))
        return plat::getLastError() == plat::kErrorNoMoreItems ? 2 : 8;
    plat::DWord required = 0;
    plat::getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
    if (required == 0 || required > kMaxDetailSize) return 8;
    char path[kMaxDetailSize];
    plat::DevInfoData device = {};
    if (!plat::getDeviceInterfaceDetail(set, &data, path, required, &required, &device)) return 8;
    path[kMaxDetailSize - 1] = '\0';
    info->path = path;
    plat::DWord idSize = 0;
    if (!plat::getDeviceInstanceId(set, &device, info->instanceId, kInstanceIdSize, &idSize)) return -1;
    info->instanceId[kInstanceIdSize] = '\0';
    return 0;
}

int findInterface(const plat::Guid& guid, int number, InterfaceInfo* info) {
    plat::DevInfoSet set = plat::getClassDevs(guid);
    if (set == plat::kInvalidDevInfoSet) return 3;
    int result = readInterface(set, guid, number, info);
    plat::destroyDeviceInfoList(set);
    return result;
}

// The instance lock is named by the instance id with every backslash
// turned into an underscore; it keeps every other opener out.
int takeInstanceLock(const char* instanceId, plat::Handle* lock) {
    std::string name = instanceId;
    for (char& c : name)
        if (c == '\\') c = '_';
    plat::Handle h = plat::createInstanceLock(name.c_str());
    if (!plat::isValidHandle(h)) return 7;
    if (plat::getLastError() == plat::kErrorAlreadyExists) {
        plat::closeHandle(h);
        return 7;
    }
    *lock = h;
    return 0;
}

int createSides(Slot& slot) {
    slot.read = new (std::nothrow) ReadSide();
    slot.write = new (std::nothrow) WriteSide();
    if (!slot.read || !slot.write) return 8;
    slot.read->event = plat::createEvent(false, false);
    slot.write->event = plat::createEvent(false, false);
    if (!plat::isValidHandle(slot.read->event) || !plat::isValidHandle(slot.write->event)) return 8;
    slot.read->overlapped.event = slot.read->event;
    slot.write->overlapped.event = slot.write->event;
    return 0;
}

int openInto(Slot& slot, int number, bool isVariant) {
    InterfaceInfo info;
    int result = findInterface(guidOf(isVariant), number, &info);
    if (result != 0) return result;
    result = takeInstanceLock(info.instanceId, &slot.instanceLock);
    if (result != 0) return result;
    slot.driverHandle = plat::openDeviceOverlapped(info.path.c_str());
    if (!plat::isValidHandle(slot.driverHandle)) return 8;
    return createSides(slot);
}

}  // namespace

int count(int* variant1Count, int* variant0Count) {
    int n1 = 0, n0 = 0;
    const int result1 = countInterfaces(plat::kGuidVariant1, &n1);
    const int result0 = countInterfaces(plat::kGuidVariant0, &n0);
    if (result1 != 0 && result0 != 0) return result0;
    *variant1Count = n1;
    *variant0Count = n0;
    return 0;
}

int open(int number, bool isVariant, int* handle) {
    *handle = -1;
    if (number < 0) return 2;
    const int index = claimSlot();
    if (index < 0) return -1;
    Slot& slot = slotAt(index);
    const int result = openInto(slot, number, isVariant);
    if (result != 0) {
        releaseSlot(slot);
        return result;
    }
    *handle = index;
    return 0;
}

}  // namespace usb
}  // namespace tmk
