// Kernel objects of the Linux platform layer and the process's handle
// table. A handle names one object until it is closed; handle values are
// never reused, so a stale handle fails with kErrorInvalidHandle.
#ifndef PLATFORM_LINUX_KERNEL_OBJECTS_H
#define PLATFORM_LINUX_KERNEL_OBJECTS_H

#include <memory>
#include <mutex>

#include "monotonic_condition.h"
#include "platform/usb_driver_api.h"

namespace plat {

struct KernelObject {
    enum class Kind { Event, DeviceFile, InstanceLock, DevInfoSet };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    const Kind kind;
};

// Enters the object and returns its new handle.
Handle handleInsert(std::shared_ptr<KernelObject> object);
// The object of a handle if it is of that kind; null (last error
// kErrorInvalidHandle) otherwise.
std::shared_ptr<KernelObject> handleLookup(Handle handle, KernelObject::Kind kind);
// Removes the handle; the object goes when its last user lets it go
// (outside the table's lock). False for an unknown handle, or one of
// another kind when `kind` is given.
bool handleClose(Handle handle, const KernelObject::Kind* kind = nullptr);
int handleCount();

template <typename T>
std::shared_ptr<T> lookupAs(Handle handle, KernelObject::Kind kind) {
    return std::static_pointer_cast<T>(handleLookup(handle, kind));
}

// Event: auto-reset or manual-reset, with a latched signal.
struct EventObject : KernelObject {
    explicit EventObject(bool manual, bool signalled)
        : KernelObject(Kind::Event), manualReset(manual), isSignalled(signalled) {}
    void set();
    void reset();
    DWord wait(DWord milliseconds);

    const bool manualReset;
    std::mutex lock;
    MonotonicCondition changed;
    bool isSignalled;
};

// The operating system's own events and instance locks. The driver
// backend (no_driver.cpp in the libraries, a simulated driver in the
// tests) provides the calls of usb_driver_api.h on top of them.
namespace os {
Handle createEvent(bool manualReset, bool initiallySignalled);
DWord waitForSingleObject(Handle object, DWord milliseconds);
Handle createInstanceLock(const char* name);
}  // namespace os

}  // namespace plat

#endif
