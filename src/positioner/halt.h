// The one way to halt: end the absolute approach of an axis, then stop
// every movement of it, from whichever thread.
#ifndef POSITIONER_HALT_H
#define POSITIONER_HALT_H

#include <cstdint>

namespace pos {

int32_t haltAxis(int32_t handle, int32_t axis);
int32_t haltAllAxes(int32_t handle);

}  // namespace pos

#endif
