// The receive loop of a positioner handle and its dispatcher: any sequence
// of deliveries (telegram bytes, split telegrams, time-outs, loss of
// framing, failures) from the handle's device is traced and applied to
// the axis cache; once the loop has dealt with all of them (or ended),
// every cached getter is read. The unused axis entry
// 6 must stay untouched, and a failed receive must leave the handle
// disconnected.
//
// Input: deliveries of [kind byte][16-bit count][count bytes]; kind mod 8:
// 0-4 bytes (at most one telegram's worth is taken per receive), 5 a
// time-out, 6 loss of framing, 7 a failure (count mod 4 picks -1, 2, 3, 8).
#include <chrono>
#include <thread>

#include "fuzz_input.h"
#include "positioner.h"
#include "positioner/handle_table.h"
#include "positioner_harness.h"
#include "trace.h"

namespace {

constexpr int kPollLimit = 1000000;  // about a minute of 50 us polls

using CachedGetter = int32_t (*)(int32_t, int32_t, int32_t*);
constexpr CachedGetter kCachedGetters[] = {PositionerGetStatus,   PositionerGetPosition,
                                           PositionerGetRotCount, PositionerGetReferenceRotCount,
                                           PositionerGetSpeed,    PositionerGetStepwidth};

bool loopEnded(int handle) {
    int32_t v = 0;
    return PositionerGetStatus(handle, 0, &v) == RC_NOT_CONNECTED;
}

// The getters answer from the cache for axes 0..5, refuse other axes, and
// answer 2 for all once the loop has ended.
void readCache(int handle, bool ended) {
    for (int axis = -1; axis <= 6; ++axis) {
        const bool valid = axis >= 0 && axis <= 5;
        const int expected = ended ? RC_NOT_CONNECTED : valid ? RC_OK : RC_INVALID_PARAM;
        int32_t value = 0;
        for (CachedGetter get : kCachedGetters) FUZZ_CHECK(get(handle, axis, &value) == expected);
        bool referenceValid = false;
        FUZZ_CHECK(PositionerGetReference(handle, axis, &value, &referenceValid) == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceCategoryMask | TraceTell);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    auto device = fuzzpos::makeDevice(fuzzpos::readScript(in));
    const int handle = fuzzpos::openHandle(device);
    FUZZ_CHECK(handle > 0);

    int polls = 0;
    while (!device->idle() && !loopEnded(handle)) {
        FUZZ_CHECK(++polls < kPollLimit);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    readCache(handle, loopEnded(handle));

    const pos::AxisEntry& unused = pos::handleEntry(handle)->axes[pos::kAxisEntries - 1];
    for (int f = 0; f < pos::kFieldCount; ++f) FUZZ_CHECK(unused.values[f] == 0);
    fuzzpos::closeHandle(handle);
    return 0;
}
