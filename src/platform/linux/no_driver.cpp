// The USB kernel driver on Linux: none is present. Device information sets
// are empty, no device path opens; events and instance locks are the
// operating system's own. (The tests replace this backend with a simulated
// driver of the same calls, tests/support/fakes/usb_driver.)
#include "kernel_objects.h"

namespace plat {

namespace {

struct EmptyDevInfoSet : KernelObject {
    EmptyDevInfoSet() : KernelObject(Kind::DevInfoSet) {}
};

bool fail(DWord error) {
    setLastError(error);
    return false;
}

}  // namespace

DevInfoSet getClassDevs(const Guid&) { return handleInsert(std::make_shared<EmptyDevInfoSet>()); }

bool enumDeviceInterfaces(DevInfoSet set, const Guid&, DWord, DeviceInterfaceData*) {
    if (!handleLookup(set, KernelObject::Kind::DevInfoSet)) return false;
    return fail(kErrorNoMoreItems);
}

bool getDeviceInterfaceDetail(DevInfoSet, const DeviceInterfaceData*, char*, DWord, DWord*, DevInfoData*) {
    return fail(kErrorInvalidParameter);
}

bool getDeviceInstanceId(DevInfoSet, const DevInfoData*, char*, DWord, DWord*) {
    return fail(kErrorInvalidParameter);
}

bool destroyDeviceInfoList(DevInfoSet set) {
    const KernelObject::Kind kind = KernelObject::Kind::DevInfoSet;
    return handleClose(set, &kind);
}

Handle openDeviceOverlapped(const char*) {
    setLastError(kErrorFileNotFound);
    return kInvalidHandle;
}

bool deviceIoControl(Handle, DWord, const void*, DWord, void*, DWord, DWord*, Overlapped*) {
    return fail(kErrorInvalidHandle);
}

bool getOverlappedResult(Handle, Overlapped*, DWord*, bool) { return fail(kErrorInvalidHandle); }

Handle createEvent(bool manualReset, bool initiallySignalled) {
    return os::createEvent(manualReset, initiallySignalled);
}

DWord waitForSingleObject(Handle object, DWord milliseconds) {
    return os::waitForSingleObject(object, milliseconds);
}

Handle createInstanceLock(const char* name) { return os::createInstanceLock(name); }

}  // namespace plat
