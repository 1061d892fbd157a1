// Device interface enumeration through the SetupAPI.
#include <windows.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/usb_driver_api.h"

namespace plat {

namespace {

static_assert(sizeof(Guid) == sizeof(GUID), "plat::Guid has the layout of GUID");

GUID toWin(const Guid& g) {
    GUID w;
    std::memcpy(&w, &g, sizeof w);
    return w;
}

Guid fromWin(const GUID& w) {
    Guid g;
    std::memcpy(&g, &w, sizeof g);
    return g;
}

HDEVINFO toWin(DevInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }

SP_DEVICE_INTERFACE_DATA toWin(const DeviceInterfaceData& d) {
    SP_DEVICE_INTERFACE_DATA w = {};
    w.cbSize = sizeof w;
    w.InterfaceClassGuid = toWin(d.interfaceGuid);
    w.Flags = d.flags;
    w.Reserved = d.reserved;
    return w;
}

void fromWin(const SP_DEVINFO_DATA& w, DevInfoData* info) {
    info->classGuid = fromWin(w.ClassGuid);
    info->devInst = w.DevInst;
    info->reserved = w.Reserved;
}

SP_DEVINFO_DATA toWin(const DevInfoData& info) {
    SP_DEVINFO_DATA w = {};
    w.cbSize = sizeof w;
    w.ClassGuid = toWin(info.classGuid);
    w.DevInst = info.devInst;
    w.Reserved = info.reserved;
    return w;
}

constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// The SetupAPI refuses a record whose size field is not the size it has on
// the platform: 32-bit Windows packs the records to single bytes, 64-bit
// Windows to eight.
#if defined(_WIN64)
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 32, "SP_DEVICE_INTERFACE_DATA of 64-bit Windows");
static_assert(sizeof(SP_DEVINFO_DATA) == 32, "SP_DEVINFO_DATA of 64-bit Windows");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A of 64-bit Windows");
#else
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "SP_DEVICE_INTERFACE_DATA of 32-bit Windows");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA of 32-bit Windows");
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5,
              "SP_DEVICE_INTERFACE_DETAIL_DATA_A of 32-bit Windows");
#endif
static_assert(kPathOffset == sizeof(DWORD), "the device path follows the size field");

}  // namespace

DevInfoSet getClassDevs(const Guid& interfaceGuid) {
    const GUID guid = toWin(interfaceGuid);
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return set == INVALID_HANDLE_VALUE ? kInvalidDevInfoSet : reinterpret_cast<DevInfoSet>(set);
}

bool enumDeviceInterfaces(DevInfoSet set, const Guid& interfaceGuid, DWord member, DeviceInterfaceData* data) {
    const GUID guid = toWin(interfaceGuid);
    SP_DEVICE_INTERFACE_DATA w = {};
    w.cbSize = sizeof w;
    if (!SetupDiEnumDeviceInterfaces(toWin(set), nullptr, &guid, member, &w)) return false;
    data->interfaceGuid = fromWin(w.InterfaceClassGuid);
    data->flags = w.Flags;
    data->reserved = w.Reserved;
    return true;
}

bool getDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData* data, char* path, DWord pathCapacity,
                              DWord* requiredSize, DevInfoData* info) {
    SP_DEVICE_INTERFACE_DATA interfaceData = toWin(*data);
    DWORD detailSize = 0;
    if (!SetupDiGetDeviceInterfaceDetailA(toWin(set), &interfaceData, nullptr, 0, &detailSize, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    if (detailSize <= kPathOffset) {
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    const DWORD pathSize = detailSize - kPathOffset;  // with the NUL
    if (requiredSize) *requiredSize = pathSize;
    if (!path || pathCapacity < pathSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    // The record's size field holds the size of its fixed part (5 bytes
    // with single-byte characters on 32-bit Windows, 8 on 64-bit), not of
    // the buffer.
    std::vector<char> buffer(detailSize);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!SetupDiGetDeviceInterfaceDetailA(toWin(set), &interfaceData, detail, detailSize, nullptr,
                                          info ? &device : nullptr))
        return false;
    buffer.back() = '\0';  // the path ends within the record whatever the driver wrote
    std::memcpy(path, detail->DevicePath, pathSize);
    if (info) fromWin(device, info);
    return true;
}

bool getDeviceInstanceId(DevInfoSet set, const DevInfoData* info, char* id, DWord capacity,
                         DWord* requiredSize) {
    SP_DEVINFO_DATA device = toWin(*info);
    DWORD required = 0;
    const bool ok = SetupDiGetDeviceInstanceIdA(toWin(set), &device, id, capacity, &required);
    if (requiredSize) *requiredSize = required;
    return ok;
}

bool destroyDeviceInfoList(DevInfoSet set) { return SetupDiDestroyDeviceInfoList(toWin(set)); }

}  // namespace plat
