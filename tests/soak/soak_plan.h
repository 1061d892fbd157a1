// The soak run's settings (environment overrides for long runs by hand)
// and the bounds every call must keep.
#ifndef TESTS_SOAK_SOAK_PLAN_H
#define TESTS_SOAK_SOAK_PLAN_H

#include <cstdint>

namespace soak {

struct Plan {
    int seconds = 60;      // UC_SOAK_SECONDS: length of the fault phase
    int controllers = 99;  // UC_SOAK_CONTROLLERS: one handle each, 1..99 (33 under ThreadSanitizer)
    uint32_t seed = 0;     // UC_SOAK_SEED: 0 picks one from the clock
};

// Reads the environment; values out of range fall back to the defaults.
Plan planFromEnvironment();

// Longest time a call may take, in milliseconds. The waits they rest on:
// querying getters wait 10000 ms for the ACK; a close waits for the receive
// loop, which may sit in a 500 ms receive, a 2000 ms resynchronisation or
// the 2000 ms pause after an out-of-step report, and then pauses 200 ms in
// the disconnect; a connect may run the 3000 ms identity exchange.
// settleMs: once the faults stop, how long the last reports may take to
// arrive. A line that lost its framing drains (up to 2000 ms) and may pause
// for an out-of-step report (2000 ms); a flood still queued towards a slow
// host can cost it its framing once more.
struct CallBounds {
    int setterMs;
    int cachedGetterMs;
    int queryMs;
    int connectMs;
    int closeMs;
    int settleMs;
};
CallBounds callBounds();

}  // namespace soak

#endif
