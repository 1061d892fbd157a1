// Calls on one handle from several threads: a halt that goes out while a
// querying getter waits, closes and lost connections that end the calls in
// progress, report waits, and many threads mixing every kind of call with
// connects and closes (run under ThreadSanitizer and AddressSanitizer too).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "ithreads.h"
#include "positioner_test_util.h"
#include "test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
using Fault = sim::Controller::Fault;
using postest::Tel;

long long msSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A simulated controller opened by its address (no scan).
class Opened {
public:
    explicit Opened(sim::Options options = sim::Options()) : sim_(options) {
        if (!sim_.start() || PositionerConnectAddress(sim_.address().c_str(), &handle_) != RC_OK) return;
        // Once SET 325 is in, the log holds only what the test sends.
        postest::eventually([&] { return index(postest::set(325, 0, 1)) >= 0; });
    }
    ~Opened() { close(); }
    int32_t close() { return handle_ > 0 ? PositionerClose(std::exchange(handle_, -1)) : RC_ERROR; }
    // The handle, which the caller closes from now on.
    int32_t release() { return std::exchange(handle_, -1); }
    int32_t handle() const { return handle_; }
    sim::Controller& sim() { return sim_; }

    std::vector<Tel> log() { return postest::fromSim(sim_.received()); }
    // Position of a telegram in the simulator's log, -1 when not there.
    int index(const Tel& t) {
        const std::vector<Tel> all = log();
        auto it = std::find(all.begin(), all.end(), t);
        return it == all.end() ? -1 : static_cast<int>(it - all.begin());
    }
    bool arrives(const Tel& t, int timeoutMs = 3000) {
        return postest::eventually([&] { return index(t) >= 0; }, timeoutMs);
    }

private:
    sim::Controller sim_;
    int32_t handle_ = -1;
};

class HandleThreads : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_PRIVATE_NETWORK(); }
};

// A querying getter waits for a reply that is 2.5 s late, or never comes;
// a halt from another thread reaches the controller while it still waits.
TEST_F(HandleThreads, HaltGoesOutWhileAGetterWaitsAndCloseEndsTheGetter) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "no reply" : "reply 2500 ms late");
        Opened o;
        ASSERT_GT(o.handle(), 0);
        o.sim().setFault(silent ? Fault::Silent : Fault::Late, true, 2500);

        std::atomic<bool> getterDone{false};
        auto getter = std::async(std::launch::async, [&] {
            int32_t amplitude = 0;
            const int32_t rc = PositionerGetAmplitude(o.handle(), 1, &amplitude);
            getterDone = true;
            return rc;
        });
        ASSERT_TRUE(o.arrives(postest::get(1024, 1)));

        const Clock::time_point called = Clock::now();
        EXPECT_EQ(PositionerHalt(o.handle(), 0), RC_OK);
        ASSERT_TRUE(o.arrives(postest::set(1107, 0, 1)));
        EXPECT_FALSE(getterDone) << "the halt went out while the getter waited";
        const auto log = o.sim().received();
        const int approach = o.index(postest::set(1037, 0, 0));
        const int stop = o.index(postest::set(1107, 0, 1));
        EXPECT_EQ(approach + 1, stop) << "the approach ends right before the stop";
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(log[stop].at - called).count(), 1000);

        const Clock::time_point closing = Clock::now();
        EXPECT_EQ(o.close(), RC_OK);
        EXPECT_EQ(getter.get(), RC_NOT_CONNECTED) << "a close ends the getter's wait";
        EXPECT_LT(msSince(closing), 2000);
    }
}

TEST_F(HandleThreads, HaltAllSendsTheApproachEndThenTheStopOfEveryAxis) {
    Opened o;
    ASSERT_GT(o.handle(), 0);
    EXPECT_EQ(PositionerHalt(0, 0), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerHaltAll(100), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerHalt(o.handle(), 6), RC_INVALID_PARAM);
    EXPECT_EQ(PositionerHalt(o.handle(), -1), RC_INVALID_PARAM);

    const size_t before = o.log().size();
    EXPECT_EQ(PositionerHaltAll(o.handle()), RC_OK);
    std::vector<Tel> expected;
    for (int axis = 0; axis < 6; ++axis) {
        expected.push_back(postest::set(1037, axis, 0));
        expected.push_back(postest::set(1107, axis, 1));
    }
    ASSERT_TRUE(o.arrives(expected.back()));
    const std::vector<Tel> log = o.log();
    EXPECT_EQ(std::vector<Tel>(log.begin() + static_cast<long>(before), log.end()), expected)
        << "nothing is sent for a rejected halt: " << postest::describe(log);
}

TEST_F(HandleThreads, ReportWaitersEachSeeEveryChange) {
    Opened o;
    ASSERT_GT(o.handle(), 0);
    const int32_t h = o.handle();
    uint32_t cursor = 0;
    int32_t axes = -1;
    EXPECT_EQ(PositionerWaitReport(h, &cursor, 0, &axes), RC_TIMEOUT) << "nothing reported yet";
    EXPECT_EQ(PositionerWaitReport(h, nullptr, 0, &axes), RC_INVALID_PARAM);
    EXPECT_EQ(PositionerWaitReport(h, &cursor, 0, nullptr), RC_INVALID_PARAM);
    EXPECT_EQ(PositionerWaitReport(h, &cursor, -1, &axes), RC_INVALID_PARAM);
    EXPECT_EQ(PositionerWaitReport(0, &cursor, 0, &axes), RC_NOT_CONNECTED);

    // Two waiters with cursors of their own both see one TELL.
    auto waiter = [&] {
        uint32_t mine = cursor;
        int32_t changed = 0;
        const int32_t rc = PositionerWaitReport(h, &mine, 5000, &changed);
        return std::make_tuple(rc, mine, changed);
    };
    auto first = std::async(std::launch::async, waiter);
    auto second = std::async(std::launch::async, waiter);
    IThread::sleep(50);
    o.sim().sendTell(1045, 2, 1234);
    for (auto* w : {&first, &second}) {
        const auto [rc, seen, changed] = w->get();
        EXPECT_EQ(rc, RC_OK);
        EXPECT_NE(seen, cursor);
        EXPECT_EQ(changed, 1 << 2);
    }
    int32_t position = 0;
    EXPECT_EQ(PositionerGetPosition(h, 2, &position), RC_OK);
    EXPECT_EQ(position, 1234);

    // Changes between two waits are not missed; a repeated value is no
    // change, the first report of a field is one even when it repeats 0.
    ASSERT_EQ(PositionerWaitReport(h, &cursor, 1000, &axes), RC_OK);
    o.sim().sendTell(1045, 2, 1234);
    o.sim().sendTell(1045, 3, 0);
    o.sim().sendTell(1346, 5, 7);
    ASSERT_TRUE(postest::eventually([&] {
        int32_t speed = 0;
        return PositionerGetSpeed(h, 5, &speed) == RC_OK && speed == 7;
    }));
    EXPECT_EQ(PositionerWaitReport(h, &cursor, 1000, &axes), RC_OK);
    EXPECT_EQ(axes, (1 << 3) | (1 << 5));
    EXPECT_EQ(PositionerWaitReport(h, &cursor, 100, &axes), RC_TIMEOUT);

    // A close ends a wait at once.
    auto closed = std::async(std::launch::async, [&] {
        uint32_t mine = cursor;
        return PositionerWaitReport(h, &mine, 20000, &axes);
    });
    IThread::sleep(50);
    const Clock::time_point closing = Clock::now();
    EXPECT_EQ(o.close(), RC_OK);
    EXPECT_EQ(closed.get(), RC_NOT_CONNECTED);
    EXPECT_LT(msSince(closing), 2000);
}

TEST_F(HandleThreads, LostConnectionEndsReportWaitsAndGettersAtOnce) {
    Opened o;
    ASSERT_GT(o.handle(), 0);
    o.sim().setFault(Fault::Silent, true);
    auto report = std::async(std::launch::async, [&] {
        uint32_t cursor = 0;
        int32_t axes = 0;
        return PositionerWaitReport(o.handle(), &cursor, 20000, &axes);
    });
    auto getter = std::async(std::launch::async, [&] {
        bool on = false;
        return PositionerGetDcInEnable(o.handle(), 0, &on);
    });
    ASSERT_TRUE(o.arrives(postest::get(1377, 0)));
    const Clock::time_point lost = Clock::now();
    o.sim().setFault(Fault::CloseConnection, true, 0);
    EXPECT_EQ(report.get(), RC_NOT_CONNECTED);
    EXPECT_EQ(getter.get(), RC_NOT_CONNECTED);
    EXPECT_LT(msSince(lost), 3000) << "not the getter's 10 s";
}

// Setters, querying getters (two on the same register), cached getters and
// report waits on one handle from several threads, while another thread
// closes the handle and opens the controller again. Every call returns a
// result it may return, and nothing is used after it was released.
TEST_F(HandleThreads, ManyThreadsMixCallsWithConnectsAndCloses) {
    sim::Options options;
    options.tellIntervalMs = 10;
    Opened o(options);
    ASSERT_GT(o.handle(), 0);
    o.sim().setFault(Fault::Late, true, 5);

    std::atomic<int32_t> handle{o.release()};
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0}, reported{0}, reopened{0};
    std::mutex unexpectedLock;
    std::set<std::string> unexpected;
    auto expect = [&](const char* what, int32_t rc, std::initializer_list<int32_t> allowed) {
        if (std::find(allowed.begin(), allowed.end(), rc) != allowed.end()) return rc;
        std::lock_guard<std::mutex> guard(unexpectedLock);
        unexpected.insert(std::string(what) + " returned " + std::to_string(rc));
        return rc;
    };
    const std::initializer_list<int32_t> sendResults = {RC_OK, RC_NOT_CONNECTED};
    const std::initializer_list<int32_t> waitResults = {RC_OK, RC_TIMEOUT, RC_NOT_CONNECTED};

    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                expect("PositionerAmplitude", PositionerAmplitude(handle, t, 1000 + i % 100), sendResults);
                expect("PositionerMoveRelative", PositionerMoveRelative(handle, t, 10, 0), sendResults);
                expect("PositionerHalt", PositionerHalt(handle, t), sendResults);
                expect("PositionerHaltAll", PositionerHaltAll(handle), sendResults);
            }
        });
        threads.emplace_back([&] {  // both on amplitude of axis 0: they take turns
            while (!stop) {
                int32_t v = 0;
                if (expect("PositionerGetAmplitude", PositionerGetAmplitude(handle, 0, &v), waitResults) ==
                    RC_OK)
                    ++answered;
            }
        });
    }
    threads.emplace_back([&] {
        while (!stop) {
            bool on = false;
            expect("PositionerGetIntEnable", PositionerGetIntEnable(handle, 3, &on), waitResults);
            int32_t v = 0;
            expect("PositionerGetPosition", PositionerGetPosition(handle, 1, &v), sendResults);
            expect("PositionerGetStatus", PositionerGetStatus(handle, 1, &v), sendResults);
        }
    });
    threads.emplace_back([&] {
        uint32_t cursor = 0;
        while (!stop) {
            int32_t axes = 0;
            if (expect("PositionerWaitReport", PositionerWaitReport(handle, &cursor, 50, &axes), waitResults) ==
                RC_OK)
                ++reported;
        }
    });
    threads.emplace_back([&] {
        const Clock::time_point start = Clock::now();
        while (msSince(start) < 2500) {
            IThread::sleep(300);
            expect("PositionerClose", PositionerClose(handle), {RC_OK});
            int32_t next = -1;
            if (expect("PositionerConnectAddress", PositionerConnectAddress(o.sim().address().c_str(), &next),
                       {RC_OK}) == RC_OK) {
                handle = next;
                ++reopened;
            }
        }
        stop = true;
    });
    for (std::thread& t : threads) t.join();

    EXPECT_TRUE(unexpected.empty()) << *unexpected.begin();
    EXPECT_GT(reopened.load(), 0);
    EXPECT_GT(answered.load(), 0);
    EXPECT_GT(reported.load(), 0);
    EXPECT_EQ(PositionerClose(handle), RC_OK);
    EXPECT_EQ(PositionerClose(handle), RC_ERROR) << "closed once only";
}

}  // namespace
