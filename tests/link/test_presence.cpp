// Presence scans over the carriers: order of the groups, the result and
// the count, and the network scan's waits.
#include <gtest/gtest.h>

#include "fake_libusb.h"
#include "link/uc_link.h"
#include "net_peers.h"
#include "test_support.h"
#include "sim_usb_driver.h"
#include "transport/uc_device.h"
#include "platform/usb_driver_protocol.h"

using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

class PresenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0x1FC);
        REQUIRE_PRIVATE_NETWORK();
        fake_libusb::reset();
        fake_libusb::addDevice(fake_libusb::addBus(), 0x16C0, 0x055B);
        plat::simdrv::removeAllDevices();
        plat::simdrv::clearFaults();
        plat::simdrv::addDevice(plat::kGuidVariant1, "USB\\VID_16C0&PID_055B\\1");
    }
    void TearDown() override {
        int unused = 0;
        UC_presence(&unused, 0);
        fake_libusb::reset();
        plat::simdrv::removeAllDevices();
        plat::simdrv::clearFaults();
    }
};

TEST_F(PresenceTest, ScanWithNoControllerAnsweringTakesTwoProbeWaits) {
    int count = 42, result = -9;
    long long ms = elapsedMs([&] { captureStderr([&] { result = UC_presence(&count, 4 | 2); }); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(count, 0);
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 2500);
}

TEST_F(PresenceTest, GroupsComeInCarrierOrder) {
    peers::ProbeResponder addp("224.0.5.128", 2362, {"127.0.0.2", "127.0.0.3"});
    peers::ProbeResponder velorix("239.255.170.171", 7071, {"127.0.0.2"});
    ASSERT_TRUE(addp.ready() && velorix.ready());
    int count = 0;
    captureStderr([&] { EXPECT_EQ(UC_presence(&count, UC_CARRIER_ALL), RC_OK); });
    ASSERT_EQ(count, 5) << "the controller reachable by both probes is listed twice";
    // libusb device (variant 0), driver device of the variant-1 interface,
    // then the ADDP replies and the "Velorix discovery" reply.
    EXPECT_EQ(UC_deviceRef(0)->link().identityFallback, 0);
    EXPECT_EQ(UC_deviceRef(1)->link().identityFallback, 1);
    const char* expected[] = {"USB", "USB", "127.0.0.2", "127.0.0.3", "127.0.0.2"};
    for (int i = 0; i < 5; ++i) EXPECT_STREQ(UC_getName(i), expected[i]) << i;
    EXPECT_EQ(UC_getTransport(1), 1);
    EXPECT_EQ(UC_getTransport(4), 2);
    EXPECT_FALSE(UC_isConnected(2));
}

TEST_F(PresenceTest, DriverScanFailureDecidesTheResult) {
    // Both interface enumerations fail: the second one's code (-1) wins.
    plat::simdrv::failNext(plat::simdrv::Fault::ClassDevs);
    plat::simdrv::failNext(plat::simdrv::Fault::EnumInterfaces);
    int count = 42;
    EXPECT_EQ(UC_presence(&count, UC_CARRIER_USB), RC_ERROR);
    EXPECT_EQ(count, 42);
    EXPECT_STREQ(UC_getName(0), "USB") << "the list keeps what the scans added";
    // One enumeration failing alone does not fail the scan.
    plat::simdrv::failNext(plat::simdrv::Fault::ClassDevs);
    EXPECT_EQ(UC_presence(&count, UC_CARRIER_USB), RC_OK);
    EXPECT_EQ(count, 1);
}

}  // namespace
