// Describing a listed controller, and opening a controller by its network
// address without a scan.
#ifndef POSITIONER_ADDRESSING_H
#define POSITIONER_ADDRESSING_H

#include <cstdint>

#include "positioner.h"

namespace pos {

int32_t describeDevice(int32_t device, PositionerDeviceDescription* info);
int32_t connectAddress(const char* address, int32_t* handle);

}  // namespace pos

#endif
