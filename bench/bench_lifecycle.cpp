// PositionerClose and PositionerCheck, whose durations are set by fixed
// waits: a close waits for the receive loop to notice (at most one 500 ms
// receive wait) and then closes the socket between two 100 ms pauses; a
// count waits out the two discovery searches and closes every controller
// it identified. Each repetition is one call; the shared controllers are
// stopped first, so that a count sees only the ones started here. Each
// answers the discovery probe from its own threads.
#include <memory>
#include <random>
#include <thread>

#include "bench_support.h"
#include "sessions.h"
#include "trace.h"

namespace bench {
namespace {

constexpr int kFirstHost = 2;
constexpr int32_t kFirstId = 3000;

std::vector<std::unique_ptr<sim::Controller>> controllers;

void stopControllers() { controllers.clear(); }

bool startControllers(int count) {
    releaseSharedControllers();
    stopControllers();
    for (int i = 0; i < count; ++i) {
        controllers.emplace_back(new sim::Controller(controllerAt(kFirstHost + i, kFirstId + i)));
        if (!controllers.back()->start()) return false;
    }
    return true;
}

// A count whose every entry is an available positioner; -1 otherwise.
int countAvailable() {
    const std::vector<DetectedDevice> found = postest::checkDevices();
    for (const DetectedDevice& d : found)
        if (d.unavailable) return -1;
    return static_cast<int>(found.size());
}

void BM_Close_Latency(benchmark::State& state) {
    if (!startControllers(1) || countAvailable() != 1)
        return state.SkipWithError("the simulated controller was not found");
    // The close comes at a random point of the receive loop's wait, as an
    // application's would; the seed keeps runs comparable.
    static std::mt19937 random(7);
    std::uniform_int_distribution<int> phaseMs(0, 499);
    for (auto _ : state) {
        int32_t handle = -1;
        if (PositionerConnect(0, &handle) != RC_OK) return state.SkipWithError("PositionerConnect failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(phaseMs(random)));
        const Clock::time_point start = Clock::now();
        const int rc = PositionerClose(handle);
        state.SetIterationTime(secondsSince(start));
        if (rc != RC_OK) return state.SkipWithError("PositionerClose failed");
    }
}

void BM_Check_Duration(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!startControllers(count)) return state.SkipWithError("a simulated controller could not start");
    int missed = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const int found = countAvailable();
        state.SetIterationTime(secondsSince(start));
        if (found < 0 || found > count) return state.SkipWithError("the count listed what was not started");
        // A controller whose reply came too late for the search is not
        // listed; counted, so that a shortened count shows in the results.
        missed += count - found;
    }
    state.counters["missed"] = missed;
}

void teardown(const benchmark::State&) { stopControllers(); }

}  // namespace

BENCHMARK(BM_Close_Latency)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ComputeStatistics("max", maxOf)
    ->Teardown(teardown);
BENCHMARK(BM_Check_Duration)
    ->Arg(0)
    ->Arg(1)
    ->Arg(16)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->ComputeStatistics("max", maxOf)
    ->Teardown(teardown);

}  // namespace bench
