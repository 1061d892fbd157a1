// Bits of an axis status word (register reg::kStatus) as the controller
// sends it, and the flags PositionerGetStatus makes of them
// (POSITIONER_STATUS_* of positioner.h).
#ifndef WIRE_STATUS_BITS_H
#define WIRE_STATUS_BITS_H

#include <cstdint>

namespace uc {
namespace status {

constexpr int32_t kMoving = 0x001;
constexpr int32_t kTargetReached = 0x002;
constexpr int32_t kEndOfTravel = 0x100;
constexpr int32_t kApproachActive = 0x400;
constexpr int32_t kReferenceValid = 0x800;

}  // namespace status
}  // namespace uc

#endif
