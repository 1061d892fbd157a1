// Discovery of many controllers that answer the probe each from its own
// threads while both CPUs are busy: 99 simulated controllers, 20 scans,
// every controller found in every scan. Also the durations of scans with
// no controller and with one, which the floor of the reply wait must not
// change. Prints the figures.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sim_controller.h"
#include "test_support.h"
#include "trace.h"
#include "transport/tcp/discovery.h"
#include "wire/timing.h"

using test_support::elapsedMs;

namespace {

constexpr int kControllers = 99;
constexpr int kScans = 20;
constexpr int kTimedScans = 5;

// Busy loops on every CPU while alive.
class BusyCpus {
public:
    BusyCpus() {
        const unsigned n = std::max(2u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < n; ++i)
            loops_.emplace_back([this] {
                unsigned long spins = 0;
                while (!stop_.load(std::memory_order_relaxed)) ++spins;
                sink_ += spins;
            });
    }
    ~BusyCpus() {
        stop_ = true;
        for (std::thread& t : loops_) t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<unsigned long> sink_{0};
    std::vector<std::thread> loops_;
};

struct Scan {
    std::set<uint32_t> distinct;
    int count = 0;
    long long ms = 0;
};

Scan scan() {
    Scan s;
    std::vector<uint32_t> addresses(transport::kMaxDiscovered);
    s.count = transport::kMaxDiscovered;
    s.ms = elapsedMs(
        [&] { transport::searchControllers(true, uc::kFirstReplyWaitMs, addresses.data(), &s.count); });
    s.distinct.insert(addresses.begin(), addresses.begin() + s.count);
    return s;
}

// Mean duration of a few scans, in ms.
long long meanScanMs(size_t expectedCount) {
    long long total = 0;
    for (int i = 0; i < kTimedScans; ++i) {
        const Scan s = scan();
        EXPECT_EQ(s.distinct.size(), expectedCount);
        total += s.ms;
    }
    return total / kTimedScans;
}

std::unique_ptr<sim::Controller> controllerAt(int i) {
    sim::Options o;
    o.address = "127.0.0." + std::to_string(2 + i);
    o.hardwareId = 1000 + i;
    o.answerVelorix = false;
    auto c = std::make_unique<sim::Controller>(o);
    return c->start() ? std::move(c) : nullptr;
}

class DiscoveryLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0);
        REQUIRE_PRIVATE_NETWORK();
    }
};

TEST_F(DiscoveryLoadTest, ScansWithNoneAndOneControllerKeepTheirDuration) {
    const long long none = meanScanMs(0);
    auto one = controllerAt(0);
    ASSERT_TRUE(one);
    const long long single = meanScanMs(1);
    std::printf("discovery: mean of %d scans: no controller %lld ms, one controller %lld ms\n", kTimedScans,
                none, single);
    // One wait of 500 ms; one reply, then one quiet wait of 250 ms.
    EXPECT_GE(none, 500);
    EXPECT_LT(none, 525 + 100);
    EXPECT_GE(single, 250);
    EXPECT_LT(single, 263 + 100);
}

TEST_F(DiscoveryLoadTest, NinetyNineControllersAnsweringOnTheirOwnThreadsAreAllFoundWhileCpusAreBusy) {
    std::vector<std::unique_ptr<sim::Controller>> controllers;
    for (int i = 0; i < kControllers; ++i) {
        controllers.push_back(controllerAt(i));
        ASSERT_TRUE(controllers.back()) << "controller " << i << " did not start";
    }
    BusyCpus busy;
    int complete = 0;
    long long shortest = -1, longest = 0, total = 0;
    size_t fewest = kControllers;
    for (int i = 0; i < kScans; ++i) {
        const Scan s = scan();
        if (s.distinct.size() == static_cast<size_t>(kControllers)) ++complete;
        fewest = std::min(fewest, s.distinct.size());
        shortest = shortest < 0 ? s.ms : std::min(shortest, s.ms);
        longest = std::max(longest, s.ms);
        total += s.ms;
    }
    std::printf(
        "discovery: %d controllers, CPUs busy: %d of %d scans complete (fewest found %zu), "
        "scan %lld..%lld ms, mean %lld ms\n",
        kControllers, complete, kScans, fewest, shortest, longest, total / kScans);
    EXPECT_EQ(complete, kScans);
    EXPECT_LT(longest, uc::kSearchLimitMs + 200) << "the search is bounded";
}

}  // namespace
