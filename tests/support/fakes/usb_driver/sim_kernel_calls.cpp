// Events and instance locks under the simulated driver: the operating
// system's own, with the driver's one-shot faults (failNext) and the armed
// failure of a read's event wait (failNextReadWait) in front of them.
#include "sim_driver_state.h"

namespace plat {

Handle createEvent(bool manualReset, bool initiallySignalled) {
    if (simdrv::consumeFault(simdrv::Fault::CreateEvent)) {
        setLastError(kErrorNotEnoughMemory);
        return kNullHandle;
    }
    return os::createEvent(manualReset, initiallySignalled);
}

DWord waitForSingleObject(Handle object, DWord milliseconds) {
    if (simdrv::consumeFailingWait(object)) {
        setLastError(kErrorInvalidHandle);
        return kWaitFailed;
    }
    return os::waitForSingleObject(object, milliseconds);
}

Handle createInstanceLock(const char* name) {
    if (!name || !*name) return os::createInstanceLock(name);  // the parameter check first
    if (simdrv::consumeFault(simdrv::Fault::InstanceLock)) {
        setLastError(kErrorNotEnoughMemory);
        return kNullHandle;
    }
    return os::createInstanceLock(name);
}

}  // namespace plat
