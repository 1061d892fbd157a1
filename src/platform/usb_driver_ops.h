// Kernel-driver USB operations shared by the transports of both libraries:
// finding an interface of the driver's GUIDs, the per-instance lock,
// starting a bulk transfer, ending the transfers of a device, and waiting
// until an aborted request has left the driver. Results are the RC_ codes
// of uc_telegram.h.
#ifndef PLATFORM_USB_DRIVER_OPS_H
#define PLATFORM_USB_DRIVER_OPS_H

#include <cstdint>
#include <string>

#include "usb_driver_api.h"
#include "usb_driver_protocol.h"

namespace plat {

// Bytes one bulk read can bring (eight telegrams of the largest size).
constexpr DWord kDriverReadSize = 4096;
// Largest device path accepted from the device list.
constexpr DWord kMaxInterfacePath = 4096;
// Longest instance id accepted, without its NUL.
constexpr DWord kInstanceIdSize = 99;

// Interface GUID of hardware variant 1 (isVariant1) or 0.
const Guid& interfaceGuid(bool isVariant1);

// Counts the present interfaces of a GUID into *count: RC_OK, or
// `resultWhenNone` when there is none (the two libraries report an empty
// list differently); RC_DRIVER_ERROR when the device list is not
// available, RC_ERROR when enumeration failed otherwise.
int countInterfaces(const Guid& guid, int* count, int resultWhenNone);

// What opening takes from the device list: the device path and the
// instance id of one interface.
struct InterfaceInfo {
    std::string path;
    char instanceId[kInstanceIdSize + 1];
};

// Reads interface `member` of the GUID. RC_OK; RC_NOT_CONNECTED when the
// list has no such member; RC_DRIVER_ERROR when the list is not available;
// RC_SYSTEM_ERROR when the path cannot be read, RC_ERROR when the
// instance id cannot.
int readInterface(const Guid& guid, int member, InterfaceInfo* info);

// Takes the named lock of a device instance (backslashes of the id become
// underscores): RC_OK with *lock set, or RC_DEVICE_LOCKED when another
// opener holds it or it cannot be made.
int takeInstanceLock(const char* instanceId, Handle* lock);

// Starts a bulk transfer on an endpoint with the given request records
// (reset here; the overlapped record signals `event`). RC_OK when it is in
// flight or done, RC_NOT_CONNECTED when the driver refuses the command
// (the device is gone), RC_ERROR when it could not be issued.
int startBulkTransfer(Handle device, uint8_t endpoint, SingleTransfer& request, Overlapped& overlapped,
                      Handle event, void* data, DWord size);

// Aborts the transfers of both endpoints and resets them (results
// ignored): every request in flight is given back.
void abortAndReset(Handle device);

// True when the driver no longer holds the request of the overlapped
// record; otherwise waits on its event, in short slices, at most limitMs.
bool awaitSettled(Handle device, Overlapped* overlapped, Handle event, int limitMs);

// Closes a handle that is valid and marks it closed (kInvalidHandle).
void closeIfValid(Handle& handle);

}  // namespace plat

#endif
