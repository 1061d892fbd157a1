// Counting controllers, opening and closing handles, setting the id.
#ifndef POSITIONER_LIFECYCLE_H
#define POSITIONER_LIFECYCLE_H

#include <cstdint>
#include <memory>

#include "positioner.h"

class UcDevice;

namespace pos {

int32_t checkDevices(DetectedDevice** devices);
// The hardware id that the last PositionerCheck read for the device
// number; -1 when it read none (or the number is not in its list).
int32_t checkedHardwareId(int32_t device);
int32_t connectHandle(int32_t device, int32_t* handle);
// Opens a handle on the device object (PositionerConnect from step 1 on);
// device: the number the handle records (-1 for none). A null object
// gives 9.
int32_t openHandle(const std::shared_ptr<UcDevice>& object, int32_t device, int32_t* handle);
int32_t closeHandle(int32_t handle);
// The part of PositionerClose after the receive thread has ended: closes
// the device and releases the handle; returns the close's result.
int32_t releaseStoppedHandle(int32_t handle);
int32_t setHardwareId(int32_t handle, int32_t id);

}  // namespace pos

#endif
