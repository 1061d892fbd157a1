// Device interface enumeration of the simulated driver: a device
// information set is a snapshot of the present interfaces of one GUID.
#include <cstring>
#include <string>
#include <vector>

#include "sim_driver_state.h"

namespace plat {

namespace {

constexpr DWord kInterfaceActive = 1;

struct InterfaceEntry {
    std::string path;
    std::string instanceId;
};

struct DevInfoSetObject : KernelObject {
    DevInfoSetObject() : KernelObject(Kind::DevInfoSet) {}
    Guid interfaceGuid{};
    std::vector<InterfaceEntry> interfaces;
};

std::shared_ptr<DevInfoSetObject> lookupSet(DevInfoSet set) {
    return lookupAs<DevInfoSetObject>(set, KernelObject::Kind::DevInfoSet);
}

// Entries are named 1-based in the records' reserved words, 0 being none.
const InterfaceEntry* entryOf(const DevInfoSetObject& set, uintptr_t reserved) {
    if (reserved == 0 || reserved > set.interfaces.size()) {
        setLastError(kErrorInvalidParameter);
        return nullptr;
    }
    return &set.interfaces[reserved - 1];
}

// Copies text with its NUL when it fits; else kErrorInsufficientBuffer.
bool copyOut(const std::string& text, char* out, DWord capacity, DWord* requiredSize) {
    const DWord needed = static_cast<DWord>(text.size() + 1);
    if (requiredSize) *requiredSize = needed;
    if (!out || capacity < needed) {
        setLastError(kErrorInsufficientBuffer);
        return false;
    }
    std::memcpy(out, text.c_str(), needed);
    return true;
}

}  // namespace

DevInfoSet getClassDevs(const Guid& interfaceGuid) {
    if (simdrv::consumeFault(simdrv::Fault::ClassDevs)) {
        setLastError(kErrorInvalidParameter);
        return kInvalidDevInfoSet;
    }
    auto set = std::make_shared<DevInfoSetObject>();
    set->interfaceGuid = interfaceGuid;
    {
        std::lock_guard<std::mutex> guard(simdrv::driver().lock);
        for (const auto& device : simdrv::driver().present)
            if (device->interfaceGuid == interfaceGuid)
                set->interfaces.push_back({device->path, device->instanceId});
    }
    return handleInsert(set);
}

bool enumDeviceInterfaces(DevInfoSet set, const Guid& interfaceGuid, DWord member, DeviceInterfaceData* data) {
    auto s = lookupSet(set);
    if (!s) return false;
    if (!data) {
        setLastError(kErrorInvalidParameter);
        return false;
    }
    if (simdrv::consumeFault(simdrv::Fault::EnumInterfaces)) {
        setLastError(kErrorGenFailure);
        return false;
    }
    if (interfaceGuid != s->interfaceGuid || member >= s->interfaces.size()) {
        setLastError(kErrorNoMoreItems);
        return false;
    }
    data->interfaceGuid = interfaceGuid;
    data->flags = kInterfaceActive;
    data->reserved = static_cast<uintptr_t>(member) + 1;
    return true;
}

bool getDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData* data, char* path, DWord pathCapacity,
                              DWord* requiredSize, DevInfoData* info) {
    auto s = lookupSet(set);
    if (!s) return false;
    const InterfaceEntry* entry = data ? entryOf(*s, data->reserved) : nullptr;
    if (!entry) return false;
    const bool sizeQuery = !path || pathCapacity < entry->path.size() + 1;
    if (!sizeQuery && simdrv::consumeFault(simdrv::Fault::InterfaceDetail)) {
        setLastError(kErrorGenFailure);
        return false;
    }
    if (!copyOut(entry->path, path, pathCapacity, requiredSize)) return false;
    if (info) {
        info->classGuid = s->interfaceGuid;
        info->devInst = static_cast<DWord>(data->reserved);
        info->reserved = data->reserved;
    }
    return true;
}

bool getDeviceInstanceId(DevInfoSet set, const DevInfoData* info, char* id, DWord capacity,
                         DWord* requiredSize) {
    auto s = lookupSet(set);
    if (!s) return false;
    const InterfaceEntry* entry = info ? entryOf(*s, info->reserved) : nullptr;
    if (!entry) return false;
    if (simdrv::consumeFault(simdrv::Fault::InstanceId)) {
        setLastError(kErrorGenFailure);
        return false;
    }
    return copyOut(entry->instanceId, id, capacity, requiredSize);
}

bool destroyDeviceInfoList(DevInfoSet set) {
    const KernelObject::Kind kind = KernelObject::Kind::DevInfoSet;
    return handleClose(set, &kind);
}

}  // namespace plat
