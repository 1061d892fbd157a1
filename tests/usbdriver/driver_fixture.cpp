#include "driver_fixture.h"

#include <unistd.h>

#include <cstring>

#include "wire/telegram.h"
#include "trace.h"
#include "platform/usb_driver_protocol.h"

namespace drvtest {

std::string instanceId(int n) {
    return "USB\\VID_16C0&PID_055B\\T" + std::to_string(getpid()) + "&" + std::to_string(n);
}

Received take(UcDevice& device, int requested) {
    uint8_t buffer[UC_MAX_TELEGRAM];
    std::memset(buffer, 0, sizeof buffer);
    int length = requested;
    Received r;
    r.result = device.receive(buffer, &length);
    if (r.result == RC_OK) r.bytes.assign(buffer, buffer + length);
    return r;
}

void DriverTest::SetUp() {
    simdrv::removeAllDevices();
    simdrv::clearFaults();
    traceInit(nullptr, "", 0);
    handlesAtStart_ = simdrv::openHandleCount();
}

void DriverTest::TearDown() {
    device.reset();  // disconnects when open
    simdrv::removeAllDevices();
    simdrv::clearFaults();
    EXPECT_EQ(simdrv::openHandleCount(), handlesAtStart_) << "handles left open";
}

simdrv::DeviceId DriverTest::plug(uint8_t variant, simdrv::SimUsbPeer peer) {
    const plat::Guid& guid = variant == 1 ? plat::kGuidVariant1 : plat::kGuidVariant0;
    return simdrv::addDevice(guid, instanceId(++plugged_), std::move(peer));
}

void DriverTest::connectOne(simdrv::SimUsbPeer peer) {
    sim = plug(1, std::move(peer));
    device.reset(new UcUsbDriverDevice(1, 0));
    ASSERT_EQ(device->connect(), RC_OK);
    ASSERT_TRUE(device->link().connected);
}

}  // namespace drvtest
