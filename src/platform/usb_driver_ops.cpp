#include "usb_driver_ops.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "uc_telegram.h"

namespace plat {
namespace {

// An aborted request is awaited in this many slices of the limit: the
// request's event may have been signalled for another reason (a cancel),
// so one wait alone proves nothing.
constexpr int kSettleSlices = 10;

bool inFlight(Handle device, Overlapped* overlapped) {
    DWord bytes = 0;
    return !getOverlappedResult(device, overlapped, &bytes, false) && getLastError() == kErrorIoIncomplete;
}

// Path and device record of interface `member` of an open set.
int readPath(DevInfoSet set, const Guid& guid, int member, InterfaceInfo* info, DevInfoData* device) {
    DeviceInterfaceData data = {};
    if (!enumDeviceInterfaces(set, guid, static_cast<DWord>(member), &data))
        return getLastError() == kErrorNoMoreItems ? RC_NOT_CONNECTED : RC_SYSTEM_ERROR;
    DWord required = 0;
    if (getDeviceInterfaceDetail(set, &data, nullptr, 0, &required, nullptr) ||
        getLastError() != kErrorInsufficientBuffer || required == 0 || required > kMaxInterfacePath)
        return RC_SYSTEM_ERROR;
    std::vector<char> path(required, '\0');
    if (!getDeviceInterfaceDetail(set, &data, path.data(), required, nullptr, device)) return RC_SYSTEM_ERROR;
    path.back() = '\0';
    info->path = path.data();
    return RC_OK;
}

}  // namespace

const Guid& interfaceGuid(bool isVariant1) { return isVariant1 ? kGuidVariant1 : kGuidVariant0; }

int countInterfaces(const Guid& guid, int* count, int resultWhenNone) {
    *count = 0;
    DevInfoSet set = getClassDevs(guid);
    if (set == kInvalidDevInfoSet) return RC_DRIVER_ERROR;
    DeviceInterfaceData data = {};
    DWord n = 0;
    while (enumDeviceInterfaces(set, guid, n, &data)) ++n;
    const DWord lastError = getLastError();
    destroyDeviceInfoList(set);
    if (n == 0)
        return (lastError == kErrorSuccess || lastError == kErrorNoMoreItems) ? resultWhenNone : RC_ERROR;
    *count = static_cast<int>(n);
    return RC_OK;
}

int readInterface(const Guid& guid, int member, InterfaceInfo* info) {
    DevInfoSet set = getClassDevs(guid);
    if (set == kInvalidDevInfoSet) return RC_DRIVER_ERROR;
    DevInfoData device = {};
    int result = readPath(set, guid, member, info, &device);
    if (result == RC_OK && !getDeviceInstanceId(set, &device, info->instanceId, kInstanceIdSize, nullptr))
        result = RC_ERROR;
    info->instanceId[kInstanceIdSize] = '\0';
    destroyDeviceInfoList(set);
    return result;
}

int takeInstanceLock(const char* instanceId, Handle* lock) {
    std::string name(instanceId);
    std::replace(name.begin(), name.end(), '\\', '_');
    Handle h = createInstanceLock(name.c_str());
    if (!isValidHandle(h)) return RC_DEVICE_LOCKED;
    if (getLastError() == kErrorAlreadyExists) {
        closeHandle(h);
        return RC_DEVICE_LOCKED;
    }
    *lock = h;
    return RC_OK;
}

int startBulkTransfer(Handle device, uint8_t endpoint, SingleTransfer& request, Overlapped& overlapped,
                      Handle event, void* data, DWord size) {
    prepareSingleTransfer(request, endpoint);
    overlapped = Overlapped();
    overlapped.event = event;
    if (deviceIoControl(device, kIoctlBulkTransfer, &request, kSingleTransferSize, data, size, nullptr,
                        &overlapped))
        return RC_OK;
    const DWord error = getLastError();
    if (error == kErrorSuccess || error == kErrorIoPending) return RC_OK;
    return error == kErrorBadCommand ? RC_NOT_CONNECTED : RC_ERROR;
}

void abortAndReset(Handle device) {
    for (uint8_t endpoint : {kEndpointIn, kEndpointOut}) {
        DWord returned = 0;
        deviceIoControl(device, kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned, nullptr);
        deviceIoControl(device, kIoctlResetPipe, nullptr, 0, nullptr, 0, &returned, nullptr);
    }
}

bool awaitSettled(Handle device, Overlapped* overlapped, Handle event, int limitMs) {
    const DWord slice = static_cast<DWord>(std::max(limitMs, 0) / kSettleSlices);
    for (int i = 0; i < kSettleSlices && limitMs > 0 && inFlight(device, overlapped); ++i)
        waitForSingleObject(event, slice);
    return !inFlight(device, overlapped);
}

void closeIfValid(Handle& handle) {
    if (isValidHandle(handle)) closeHandle(handle);
    handle = kInvalidHandle;
}

}  // namespace plat
