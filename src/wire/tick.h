// Millisecond tick of a monotonic clock, for time limits that must not
// jump with the wall clock.
#ifndef WIRE_TICK_H
#define WIRE_TICK_H

#include <cstdint>

namespace uc {

int64_t tickMs();

}  // namespace uc

#endif
