// Fault soak: up to 99 handles on as many simulated controllers while the
// controllers misbehave at random. No call may take longer than the waits
// it rests on or give a code it cannot give, a lost handle stays lost until
// it is closed, every handle ends closed, and once the line is quiet each
// axis reports the last position its controller sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fault_injector.h"
#include "handle_worker.h"
#include "positioner.h"
#include "positioner_test_util.h"
#include "sim_controller.h"
#include "soak_controllers.h"
#include "soak_plan.h"
#include "test_support.h"
#include "uc_telegram.h"

namespace {

constexpr int kTellIntervalMs = 200;
constexpr int kUsbEach = 2;                // controllers behind libusb and behind the kernel driver
constexpr int kQuietAfterFaultsMs = 4500;  // resync and out-of-step pauses end

// The last n lines of a text.
std::string lastLines(const std::string& text, int n) {
    size_t from = text.size();
    for (int i = 0; i <= n; ++i) {
        if (from == 0) return text;
        from = text.rfind('\n', from - 1);
        if (from == std::string::npos) return text;
    }
    return text.substr(from + 1);
}

template <class Fn>
void onEveryWorker(std::vector<std::unique_ptr<soak::HandleWorker>>& workers, Fn fn) {
    std::vector<std::thread> threads;
    for (auto& w : workers) threads.emplace_back([&w, &fn] { fn(*w); });
    for (std::thread& t : threads) t.join();
}

TEST(FaultSoak, HandlesSurviveRandomFaultsAndEndClosedWithTheLastPositions) {
    REQUIRE_PRIVATE_NETWORK();
    const soak::Plan plan = soak::planFromEnvironment();
    RecordProperty("seed", std::to_string(plan.seed));

    soak::SoakControllers controllers(plan.controllers, kUsbEach, kTellIntervalMs);
    ASSERT_TRUE(controllers.start());
    std::printf("soak: %d controllers (%d on USB), %d s, seed %u (UC_SOAK_SEED repeats it)\n", plan.controllers,
                controllers.usbCount(), plan.seconds, plan.seed);
    // Every network controller answers the discovery probe from its own
    // threads; the scan must find them all at its first attempt.
    const std::vector<DetectedDevice> found = postest::checkDevices();
    std::printf("soak: the scan found %zu controllers\n", found.size());
    ASSERT_EQ(found.size(), static_cast<size_t>(plan.controllers));

    soak::Findings findings;
    const soak::CallBounds bounds = soak::callBounds();
    std::vector<std::unique_ptr<soak::HandleWorker>> workers;
    for (size_t d = 0; d < found.size(); ++d) {
        ASSERT_FALSE(found[d].unavailable) << "device " << d;
        sim::Controller* c = controllers.byId(found[d].hardwareId);
        ASSERT_TRUE(c) << "unknown id " << found[d].hardwareId;
        workers.push_back(std::make_unique<soak::HandleWorker>(
            static_cast<int32_t>(d), *c, plan.seed + 7919 * static_cast<uint32_t>(d + 1), bounds, findings));
        ASSERT_TRUE(workers.back()->open()) << findings.summary();
    }
    if (plan.controllers == 99) {
        int32_t extra = 12345;
        EXPECT_EQ(PositionerConnect(0, &extra), RC_ERROR) << "a hundredth handle";
        EXPECT_EQ(extra, 12345) << "nothing is written when no handle is free";
    }

    soak::FaultInjector injector(controllers.all(), plan.seed);
    std::atomic<bool> stop{false};
    const std::string traceOutput = test_support::captureStderr([&] {
        injector.start();
        std::vector<std::thread> threads;
        for (auto& w : workers) threads.emplace_back([&w, &stop] { w->run(stop); });
        std::this_thread::sleep_for(std::chrono::seconds(plan.seconds));
        stop = true;
        for (std::thread& t : threads) t.join();
        injector.stop();

        std::this_thread::sleep_for(std::chrono::milliseconds(kQuietAfterFaultsMs));
        onEveryWorker(workers, [](soak::HandleWorker& w) { w.checkLastPositions(); });
        onEveryWorker(workers, [](soak::HandleWorker& w) { w.close(); });
    });

    soak::WorkerStats total;
    for (auto& w : workers) {
        total.calls += w->stats().calls;
        total.timeouts += w->stats().timeouts;
        total.disconnects += w->stats().disconnects;
        total.reconnects += w->stats().reconnects;
    }
    std::string faults;
    int injected = 0;
    for (const auto& [name, n] : injector.counts()) {
        faults += " " + name + "=" + std::to_string(n);
        injected += n;
    }
    std::printf(
        "soak: %lld calls, %d getter time-outs, %d lost handles, %d reconnects; faults:%s; %zu bytes of "
        "trace\n",
        total.calls, total.timeouts, total.disconnects, total.reconnects, faults.c_str(), traceOutput.size());
    EXPECT_EQ(findings.count(), 0) << findings.summary() << "\nlast lines of the trace:\n"
                                   << lastLines(traceOutput, 60);
    EXPECT_GT(injected, plan.seconds) << "the faults were injected";
    EXPECT_GT(total.calls, 100LL * plan.controllers) << "the handles were driven";

    // Every handle number is free again: the lowest one comes back first.
    for (int32_t h = 0; h <= 99; ++h)
        EXPECT_EQ(PositionerClose(h), RC_ERROR) << "handle " << h << " still open";
    int32_t h = -1;
    ASSERT_EQ(PositionerConnect(0, &h), RC_OK);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(PositionerClose(h), RC_OK);
}

}  // namespace
