// Millisecond tick of a monotonic clock, for time limits that must not
// jump with the wall clock.
#ifndef TRANSPORT_NET_TICK_H
#define TRANSPORT_NET_TICK_H

#include <cstdint>

namespace uc {

int64_t tickMs();

}  // namespace uc

#endif
