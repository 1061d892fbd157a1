// Counting controllers, opening and closing handles, setting the id.
#ifndef POSITIONER_LIFECYCLE_H
#define POSITIONER_LIFECYCLE_H

#include <cstdint>

#include "positioner.h"

namespace pos {

int32_t checkDevices(DetectedDevice** devices);
int32_t connectHandle(int32_t device, int32_t* handle);
int32_t closeHandle(int32_t handle);
int32_t setHardwareId(int32_t handle, int32_t id);

}  // namespace pos

#endif
