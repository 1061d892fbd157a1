#include "soak_plan.h"

#include <chrono>
#include <cstdlib>

namespace soak {
namespace {

long envNumber(const char* name, long fallback, long low, long high) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return (*end == '\0' && v >= low && v <= high) ? v : fallback;
}

// Sanitizer builds run several times slower; the bounds widen with them,
// as a loaded two-core machine also needs.
constexpr int kSlowdown =
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    3;
#else
    1;
#endif

// ThreadSanitizer slows the 200-odd threads of 99 simulated controllers
// several times over; a third of them keeps the run and its call bounds
// within reach on two loaded cores and still gives every handle a neighbour
// on each side (UC_SOAK_CONTROLLERS=99 runs them all).
constexpr int kDefaultControllers =
#if defined(__SANITIZE_THREAD__)
    33;
#else
    99;
#endif

}  // namespace

Plan planFromEnvironment() {
    Plan p;
    p.controllers = kDefaultControllers;
    p.seconds = static_cast<int>(envNumber("UC_SOAK_SECONDS", p.seconds, 1, 7 * 24 * 3600));
    p.controllers = static_cast<int>(envNumber("UC_SOAK_CONTROLLERS", p.controllers, 1, 99));
    p.seed = static_cast<uint32_t>(envNumber("UC_SOAK_SEED", 0, 0, 0x7FFFFFFF));
    if (p.seed == 0)
        p.seed =
            static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7FFFFFFF) | 1;
    return p;
}

CallBounds callBounds() {
    // Margins cover scheduling on a machine running ~400 threads on two
    // cores; the sums of the waits are in soak_plan.h.
    return {2000 * kSlowdown,        200 * kSlowdown,         10000 + 2000 * kSlowdown,
            3500 + 3000 * kSlowdown, 4700 + 2000 * kSlowdown, 5000 * kSlowdown};
}

}  // namespace soak
