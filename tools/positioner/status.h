// Reading the packed status of PositionerGetStatus. The bit meanings are
// those of the controller's status word: bit 0 moving, bit 1 target
// reached, bit 8 end of travel, bit 10 approach active.
#ifndef TOOLS_POSITIONER_STATUS_H
#define TOOLS_POSITIONER_STATUS_H

#include <cstdint>
#include <string>

constexpr int32_t kMoving = 0x1;
constexpr int32_t kTargetReached = 0x2;
constexpr int32_t kEndOfTravel = 0x4;
constexpr int32_t kApproachActive = 0x8;

// "moving, approach active", or "idle".
std::string statusText(int32_t status);

#endif
