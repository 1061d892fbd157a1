// Counting, connecting and losing simulated network controllers.
#include <gtest/gtest.h>

#include <algorithm>

#include "positioner_test_util.h"
#include "test_support.h"
#include "trace.h"

namespace {

sim::Options simAt(const char* address, int32_t type, int32_t id) {
    sim::Options o;
    o.address = address;
    o.controllerType = type;
    o.hardwareId = id;
    o.answerVelorix = false;  // one route per controller
    return o;
}

class LifecycleSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PRIVATE_NETWORK();
        traceInit(nullptr, "", 0);
    }
};

// Runs first: no controller has been started yet.
TEST_F(LifecycleSimTest, CheckWithoutControllersGivesAnEmptyArrayAndReusesIt) {
    DetectedDevice* first = nullptr;
    DetectedDevice* second = nullptr;
    int n1 = -1, n2 = -1;
    test_support::captureStderr([&] {
        n1 = PositionerCheck(&first);
        n2 = PositionerCheck(&second);
    });
    EXPECT_EQ(n1, 0);
    EXPECT_EQ(n2, 0);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(first, second) << "the library keeps one array";
}

TEST_F(LifecycleSimTest, CheckListsPositionersWithTheirIdsAndOthersAsUnavailable) {
    sim::Controller a(simAt("127.0.0.2", 0x5000, 1111));
    sim::Controller b(simAt("127.0.0.3", 0x4000, 2222));
    sim::Controller c(simAt("127.0.0.4", 0x5ABC, 3333));
    sim::Controller d(simAt("127.0.0.5", 0x15000, 4444));  // 0x5 in bits 12..15, more above
    ASSERT_TRUE(a.start() && b.start() && c.start() && d.start());
    std::vector<DetectedDevice> found = postest::checkDevices();
    ASSERT_EQ(found.size(), 4u);
    std::vector<std::pair<int32_t, bool>> listed;
    for (const DetectedDevice& e : found) listed.emplace_back(e.hardwareId, e.unavailable);
    std::sort(listed.begin(), listed.end());
    const std::vector<std::pair<int32_t, bool>> expected = {
        {0, true}, {1111, false}, {3333, false}, {4444, false}};
    EXPECT_EQ(listed, expected);
}

TEST_F(LifecycleSimTest, HardwareIdSetIsReportedByTheNextCheck) {
    postest::SimSession s(simAt("127.0.0.2", 0x5000, 1000));
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(PositionerSetHardwareId(s.handle(), 4711), RC_OK);
    ASSERT_TRUE(postest::eventually([&] {
        int32_t id = 0;
        return s.sim().registerValue(360, 0, &id) && id == 4711;
    }));
    s.close();
    std::vector<DetectedDevice> found = postest::checkDevices();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].hardwareId, 4711);
    EXPECT_FALSE(found[0].unavailable);
}

TEST_F(LifecycleSimTest, ConnectStartsReportsAndReceivesThem) {
    sim::Options o = simAt("127.0.0.2", 0x5000, 1000);
    o.tellIntervalMs = 20;
    postest::SimSession s(o);
    ASSERT_TRUE(s.ok());
    std::vector<postest::Tel> log = postest::fromSim(s.sim().received());
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), postest::set(325, 0, 1)) << postest::describe(log);
    s.sim().setRegister(1045, 3, -2500);
    int32_t position = 0;
    EXPECT_TRUE(postest::eventually(
        [&] { return PositionerGetPosition(s.handle(), 3, &position) == RC_OK && position == -2500; }));
}

TEST_F(LifecycleSimTest, ScanWhileAHandleIsOpenLeavesItOnItsController) {
    postest::SimSession s(simAt("127.0.0.2", 0x5000, 1000));
    ASSERT_TRUE(s.ok());
    // A scan rebuilds the device list; the handle keeps its connection, and
    // the trace set-up its receive thread writes with stays as it was.
    // A set-up would now read this include list.
    test_support::TempDir dir;
    test_support::writeFile(dir.file("tracewhitelist.txt"), "1 1\n");
    ASSERT_TRUE(traceGetParamset()->listExcludes);
    std::vector<DetectedDevice> found = postest::checkDevices();
    EXPECT_TRUE(traceGetParamset()->listExcludes) << "tracing was set up again under the receive thread";
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].hardwareId, 1000);
    EXPECT_TRUE(s.sentBy([&] { EXPECT_EQ(PositionerStopMoving(s.handle(), 2), RC_OK); }) ==
                std::vector<postest::Tel>{postest::set(1107, 2, 1)});
    s.sim().sendTell(1045, 4, 9876);
    int32_t position = 0;
    EXPECT_TRUE(postest::eventually(
        [&] { return PositionerGetPosition(s.handle(), 4, &position) == RC_OK && position == 9876; }));
    // The new list's object for the same controller is a second connection.
    int32_t other = -1;
    ASSERT_EQ(PositionerConnect(0, &other), RC_OK);
    EXPECT_NE(other, s.handle());
    EXPECT_EQ(PositionerClose(other), RC_OK);
}

TEST_F(LifecycleSimTest, ControllerClosingTheConnectionDisconnectsTheHandle) {
    postest::SimSession s(simAt("127.0.0.2", 0x5000, 1000));
    ASSERT_TRUE(s.ok());
    const int32_t h = s.handle();
    const std::string err = test_support::captureStderr([&] {
        s.sim().setFault(sim::Controller::Fault::CloseConnection, true, 0);
        int32_t v;
        EXPECT_TRUE(postest::eventually([&] { return PositionerGetPosition(h, 0, &v) == RC_NOT_CONNECTED; }));
    });
    EXPECT_NE(err.find("FATAL: UC recv: Receive failed."), std::string::npos) << err;
    int32_t v = 0;
    EXPECT_EQ(PositionerAmplitude(h, 0, 10), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerGetFrequency(h, 0, &v), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerClose(h), RC_OK);
    EXPECT_EQ(PositionerClose(h), RC_ERROR);

    // The device can be opened again under the freed number.
    int32_t again = -1;
    ASSERT_EQ(PositionerConnect(0, &again), RC_OK);
    EXPECT_EQ(again, h);
    EXPECT_EQ(PositionerClose(again), RC_OK);
}

}  // namespace
