// Addressing: what PositionerDeviceInfo tells about listed controllers,
// and PositionerConnectAddress opening a controller without a scan while
// another handle is open, across a later scan.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "positioner_test_util.h"
#include "test_support.h"
#include "trace.h"

namespace {

sim::Options simAt(const char* address, int32_t id) {
    sim::Options o;
    o.address = address;
    o.hardwareId = id;
    return o;
}

size_t probesSeen(const sim::Controller& c) {
    return c.probesReceived(true).size() + c.probesReceived(false).size();
}

int32_t amplitude(int32_t handle) {
    int32_t value = -1;
    return PositionerGetAmplitude(handle, 0, &value) == RC_OK ? value : -1;
}

class AddressingTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_PRIVATE_NETWORK();
        traceInit(nullptr, "", 0);
    }
};

TEST_F(AddressingTest, DeviceInfoDescribesEachListedControllerByRouteAndAddress) {
    sim::Controller a(simAt("127.0.0.2", 1000));
    sim::Controller b(simAt("127.0.0.3", 1001));
    ASSERT_TRUE(a.start() && b.start());
    const std::vector<DetectedDevice> found = postest::checkDevices();
    ASSERT_EQ(found.size(), 4u) << "two controllers, each answering both probes";
    PositionerDeviceDescription info;
    std::multiset<std::string> addp, velorix;
    for (int32_t i = 0; i < 4; ++i) {
        ASSERT_EQ(PositionerDeviceInfo(i, &info), RC_OK);
        EXPECT_EQ(info.carrier, POSITIONER_CARRIER_TCP);
        EXPECT_EQ(info.hardwareId, found[static_cast<size_t>(i)].hardwareId);
        EXPECT_EQ(info.hardwareId, std::string(info.address) == "127.0.0.2" ? 1000 : 1001);
        (info.discovery == POSITIONER_FOUND_ADDP ? addp : velorix).insert(info.address);
        EXPECT_TRUE(i < 2 ? info.discovery == POSITIONER_FOUND_ADDP
                          : info.discovery == POSITIONER_FOUND_VELORIX)
            << "ADDP devices come first";
    }
    const std::multiset<std::string> both = {"127.0.0.2", "127.0.0.3"};
    EXPECT_EQ(addp, both);
    EXPECT_EQ(velorix, both);
    EXPECT_EQ(PositionerDeviceInfo(4, &info), RC_NO_DEVICE);
    EXPECT_EQ(PositionerDeviceInfo(-1, &info), RC_NO_DEVICE);
    EXPECT_EQ(PositionerDeviceInfo(0, nullptr), RC_INVALID_PARAM);
}

TEST_F(AddressingTest, ConnectAddressSendsNoProbeWorksBesideAScannedHandleAndSurvivesAScan) {
    sim::Controller scanned(simAt("127.0.0.2", 1000));
    sim::Controller named(simAt("127.0.0.3", 1001));
    ASSERT_TRUE(scanned.start() && named.start());
    scanned.setRegister(1024, 0, 1111);
    named.setRegister(1024, 0, 2222);

    postest::SimSession first(simAt("127.0.0.4", 1002));  // scans, then opens 127.0.0.4
    ASSERT_TRUE(first.ok());
    const size_t probesBefore = probesSeen(scanned) + probesSeen(named);
    int32_t byAddress = 0;
    EXPECT_EQ(PositionerConnectAddress("127.0.0.3", &byAddress), RC_OK);
    ASSERT_GT(byAddress, 0);
    EXPECT_NE(byAddress, first.handle());
    EXPECT_EQ(probesSeen(scanned) + probesSeen(named), probesBefore) << "no discovery probe on the wire";
    EXPECT_EQ(probesSeen(first.sim()), 2u) << "only the session's own scan";
    EXPECT_EQ(amplitude(byAddress), 2222);
    EXPECT_EQ(amplitude(first.handle()), 30000);

    // A scan while both handles are open leaves both on their controllers.
    EXPECT_EQ(postest::checkDevices().size(), 6u);
    EXPECT_EQ(amplitude(byAddress), 2222);
    EXPECT_EQ(amplitude(first.handle()), 30000);
    EXPECT_TRUE(postest::eventually([&] { return named.connectionsOpen() == 1; }))
        << "the scan's own connection is closed again";

    EXPECT_EQ(PositionerClose(byAddress), RC_OK);
    EXPECT_EQ(amplitude(byAddress), -1);
    EXPECT_EQ(PositionerClose(first.handle()), RC_OK);
    EXPECT_TRUE(postest::eventually([&] { return named.connectionsOpen() == 0; }));
}

TEST_F(AddressingTest, ConnectAddressFailuresNameTheAddressAndLeaveNoHandle) {
    int32_t handle = 0;
    EXPECT_EQ(PositionerConnectAddress(nullptr, &handle), RC_INVALID_PARAM);
    EXPECT_EQ(PositionerConnectAddress("127.0.0.2", nullptr), RC_INVALID_PARAM);
    EXPECT_EQ(handle, 0) << "nothing written for a null argument";
    std::string lines = test_support::captureStderr([&] {
        EXPECT_EQ(PositionerConnectAddress("127.0.0.9", &handle), RC_NOT_CONNECTED);  // nothing listens
    });
    EXPECT_EQ(handle, -1);
    EXPECT_NE(lines.find("ERROR: Cannot connect to the controller at 127.0.0.9"), std::string::npos) << lines;
    lines = test_support::captureStderr(
        [&] { EXPECT_EQ(PositionerConnectAddress("no-such-controller.invalid", &handle), RC_NOT_CONNECTED); });
    EXPECT_NE(lines.find("no-such-controller.invalid does not resolve"), std::string::npos) << lines;
    // No handle was left allocated: the next one is the lowest number.
    sim::Controller c(simAt("127.0.0.2", 1000));
    ASSERT_TRUE(c.start());
    test_support::captureStderr([&] { EXPECT_EQ(PositionerConnectAddress("127.0.0.2", &handle), RC_OK); });
    EXPECT_EQ(handle, 1);
    EXPECT_EQ(PositionerClose(handle), RC_OK);
}

}  // namespace
