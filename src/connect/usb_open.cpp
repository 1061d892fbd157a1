// Counting and opening the devices of the kernel driver's two interface
// GUIDs.
#include <new>
#include <string>

#include "uc_telegram.h"
#include "usb_slot.h"

namespace tmk {
namespace usb {
namespace {

constexpr plat::DWord kMaxDetailSize = 4096;

const plat::Guid& guidOf(bool isVariant) { return isVariant ? plat::kGuidVariant1 : plat::kGuidVariant0; }

int countInterfaces(const plat::Guid& guid, int* count) {
    *count = 0;
    plat::DevInfoSet set = plat::getClassDevs(guid);
    if (set == plat::kInvalidDevInfoSet) return RC_DRIVER_ERROR;
    int n = 0;
    plat::DeviceInterfaceData data = {};
    while (plat::enumDeviceInterfaces(set, guid, static_cast<plat::DWord>(n), &data)) ++n;
    const plat::DWord error = plat::getLastError();
    plat::destroyDeviceInfoList(set);
    if (n == 0) return (error == plat::kErrorSuccess || error == plat::kErrorNoMoreItems) ? RC_NOT_CONNECTED : RC_ERROR;
    *count = n;
    return RC_OK;
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
        return plat::getLastError() == plat::kErrorNoMoreItems ? RC_NOT_CONNECTED : RC_SYSTEM_ERROR;
    plat::DWord required = 0;
    plat::getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr);
    if (required == 0 || required > kMaxDetailSize) return RC_SYSTEM_ERROR;
    char path[kMaxDetailSize];
    plat::DevInfoData device = {};
    if (!plat::getDeviceInterfaceDetail(set, &data, path, required, &required, &device)) return RC_SYSTEM_ERROR;
    path[kMaxDetailSize - 1] = '\0';
    info->path = path;
    plat::DWord idSize = 0;
    if (!plat::getDeviceInstanceId(set, &device, info->instanceId, kInstanceIdSize, &idSize)) return RC_ERROR;
    info->instanceId[kInstanceIdSize] = '\0';
    return RC_OK;
}

int findInterface(const plat::Guid& guid, int number, InterfaceInfo* info) {
    plat::DevInfoSet set = plat::getClassDevs(guid);
    if (set == plat::kInvalidDevInfoSet) return RC_DRIVER_ERROR;
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
    if (!plat::isValidHandle(h)) return RC_DEVICE_LOCKED;
    if (plat::getLastError() == plat::kErrorAlreadyExists) {
        plat::closeHandle(h);
        return RC_DEVICE_LOCKED;
    }
    *lock = h;
    return RC_OK;
}

int createSides(Slot& slot) {
    slot.read = new (std::nothrow) ReadSide();
    slot.write = new (std::nothrow) WriteSide();
    if (!slot.read || !slot.write) return RC_SYSTEM_ERROR;
    slot.read->event = plat::createEvent(false, false);
    slot.write->event = plat::createEvent(false, false);
    if (!plat::isValidHandle(slot.read->event) || !plat::isValidHandle(slot.write->event)) return RC_SYSTEM_ERROR;
    slot.read->overlapped.event = slot.read->event;
    slot.write->overlapped.event = slot.write->event;
    return RC_OK;
}

int openInto(Slot& slot, int number, bool isVariant) {
    InterfaceInfo info;
    int result = findInterface(guidOf(isVariant), number, &info);
    if (result != RC_OK) return result;
    result = takeInstanceLock(info.instanceId, &slot.instanceLock);
    if (result != RC_OK) return result;
    slot.driverHandle = plat::openDeviceOverlapped(info.path.c_str());
    if (!plat::isValidHandle(slot.driverHandle)) return RC_SYSTEM_ERROR;
    return createSides(slot);
}

}  // namespace

int count(int* variant1Count, int* variant0Count) {
    int n1 = 0, n0 = 0;
    const int result1 = countInterfaces(plat::kGuidVariant1, &n1);
    const int result0 = countInterfaces(plat::kGuidVariant0, &n0);
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
