// Handle numbers, connect and close, device holds, on scripted devices.
#include <gtest/gtest.h>

#include "link/uc_link.h"
#include "positioner_test_util.h"
#include "test_support.h"
#include "trace.h"

namespace {

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { traceInit(nullptr, "", 0); }
    void TearDown() override { postest::clearDevices(); }

    int addDevice(std::shared_ptr<postest::TestDevice>* out = nullptr) {
        auto d = std::make_shared<postest::TestDevice>();
        if (out) *out = d;
        return postest::appendDevice(d);
    }
};

// Runs first in this program: a fresh library.
TEST_F(LifecycleTest, FirstHandleIsOneAndClosedNumbersAreReused) {
    int32_t a = -1, b = -1, c = -1;
    ASSERT_EQ(PositionerConnect(addDevice(), &a), RC_OK);
    ASSERT_EQ(PositionerConnect(addDevice(), &b), RC_OK);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(PositionerClose(a), RC_OK);
    ASSERT_EQ(PositionerConnect(addDevice(), &c), RC_OK);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(PositionerClose(b), RC_OK);
    EXPECT_EQ(PositionerClose(c), RC_OK);
}

TEST_F(LifecycleTest, HundredthConnectFailsAndWritesNothing) {
    std::vector<int32_t> handles;
    for (int i = 0; i < 99; ++i) {
        int32_t h = -1;
        ASSERT_EQ(PositionerConnect(addDevice(), &h), RC_OK) << i;
        handles.push_back(h);
        EXPECT_EQ(h, i + 1);
    }
    const int spare = addDevice();
    int32_t h = 12345;
    EXPECT_EQ(PositionerConnect(spare, &h), RC_ERROR);
    EXPECT_EQ(h, 12345);

    EXPECT_EQ(PositionerClose(50), RC_OK);
    EXPECT_EQ(PositionerConnect(spare, &h), RC_OK);
    EXPECT_EQ(h, 50);
    for (int32_t n : handles) EXPECT_EQ(PositionerClose(n), RC_OK) << n;
}

TEST_F(LifecycleTest, FailedConnectWritesMinusOneAndKeepsNoHandle) {
    int32_t h = 0;
    EXPECT_EQ(PositionerConnect(addDevice() + 5, &h), RC_NO_DEVICE);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(PositionerConnect(-1, &h), RC_NO_DEVICE);
    EXPECT_EQ(h, -1);

    std::shared_ptr<postest::TestDevice> locked;
    const int n = addDevice(&locked);
    locked->connectResult = RC_DEVICE_LOCKED;
    EXPECT_EQ(PositionerConnect(n, &h), RC_DEVICE_LOCKED);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(locked->disconnects, 0) << "a device that did not open is not closed";

    // Type read fails after the open: the device is closed again.
    auto plain = std::make_shared<ScriptedDevice>(transport::kUsbDevice, 0);
    plain->dropOnGet(REG_CONTROLLER_TYPE);
    EXPECT_EQ(PositionerConnect(postest::appendDevice(plain), &h), RC_NOT_CONNECTED);
    EXPECT_EQ(h, -1);
    EXPECT_EQ(plain->disconnects, 1);

    EXPECT_EQ(PositionerConnect(addDevice(), nullptr), RC_INVALID_PARAM);

    // None of the failures kept a number.
    ASSERT_EQ(PositionerConnect(addDevice(), &h), RC_OK);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(PositionerClose(h), RC_OK);
}

TEST_F(LifecycleTest, ConnectSendsStartOfReportsAndCloseReturnsTheDevicesResult) {
    std::shared_ptr<postest::TestDevice> d;
    int32_t h = -1;
    ASSERT_EQ(PositionerConnect(addDevice(&d), &h), RC_OK);
    EXPECT_EQ(d->sentTelegrams(), std::vector<postest::Tel>{postest::set(325, 0, 1)});
    d->disconnectResult = RC_SYSTEM_ERROR;
    EXPECT_EQ(PositionerClose(h), RC_SYSTEM_ERROR);
    EXPECT_EQ(d->disconnects, 1);
    EXPECT_FALSE(d->link().connected);
}

TEST_F(LifecycleTest, CloseOfNumbersNotAllocated) {
    for (int32_t n : {0, -1, 100, 7, INT32_MAX, INT32_MIN}) EXPECT_EQ(PositionerClose(n), RC_ERROR) << n;
    int32_t h = -1;
    ASSERT_EQ(PositionerConnect(addDevice(), &h), RC_OK);
    EXPECT_EQ(PositionerClose(h), RC_OK);
    EXPECT_EQ(PositionerClose(h), RC_ERROR);
}

TEST_F(LifecycleTest, OneDeviceIsHeldByOneHandleAtATime) {
    const int n = addDevice();
    int32_t first = -1, second = 77;
    ASSERT_EQ(PositionerConnect(n, &first), RC_OK);
    EXPECT_EQ(PositionerConnect(n, &second), RC_DEVICE_LOCKED);
    EXPECT_EQ(second, -1);
    EXPECT_EQ(PositionerClose(first), RC_OK);
    ASSERT_EQ(PositionerConnect(n, &second), RC_OK);
    EXPECT_EQ(PositionerClose(second), RC_OK);
}

TEST_F(LifecycleTest, ScanWhileOpenKeepsTheHandlesDeviceAlive) {
    bool destroyed = false;
    postest::TestDevice* raw = nullptr;
    int32_t h = -1;
    {
        std::shared_ptr<postest::TestDevice> d;
        const int n = addDevice(&d);
        d->destroyed = &destroyed;
        raw = d.get();
        ASSERT_EQ(PositionerConnect(n, &h), RC_OK);
    }
    int count = 0;
    EXPECT_EQ(UC_presence(&count, 0), RC_NO_DEVICE);  // empties the list
    EXPECT_FALSE(destroyed);

    raw->deliver(0, postest::tellBytes(1045, 1, 31337));
    int32_t v = 0;
    EXPECT_TRUE(postest::eventually([&] { return PositionerGetPosition(h, 1, &v) == RC_OK && v == 31337; }));
    EXPECT_EQ(PositionerStopMoving(h, 1), RC_OK);
    EXPECT_EQ(raw->sentTelegrams().back(), postest::set(1107, 1, 1));

    EXPECT_EQ(PositionerClose(h), RC_OK);
    EXPECT_TRUE(destroyed) << "the last holder was the handle";
}

}  // namespace
