// Shared set-up of the kernel-driver transport tests: controllers plugged
// into the simulated driver, reached through UcUsbDriverDevice objects.
#ifndef TESTS_USBDRIVER_DRIVER_FIXTURE_H
#define TESTS_USBDRIVER_DRIVER_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sim_usb_driver.h"
#include "telegram_bytes.h"
#include "transport/usbdriver/uc_usb_driver_device.h"

namespace drvtest {

namespace simdrv = plat::simdrv;

using test_support::ack;
using test_support::Bytes;
using test_support::get;
using test_support::join;
using test_support::raw;
using test_support::slice;
using test_support::tell;

// Instance id unique to this test process (lock files are shared by all
// processes of the machine), e.g. "USB\VID_16C0&PID_055B\T1234&3".
std::string instanceId(int n);

struct Received {
    int result;
    Bytes bytes;  // what receive copied (on result 0)
};

// One receive call on the device asking for requested bytes (0: a whole
// telegram).
Received take(UcDevice& device, int requested = 0);

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Plugs a controller in under the GUID of the variant.
    simdrv::DeviceId plug(uint8_t variant = 1, simdrv::SimUsbPeer peer = simdrv::SimUsbPeer());
    // Plugs one variant-1 controller in and connects `device` to it.
    void connectOne(simdrv::SimUsbPeer peer = simdrv::SimUsbPeer());
    void queue(const Bytes& transfer) { simdrv::queueTransfer(sim, transfer.data(), transfer.size()); }
    Received take(int requested = 0) { return drvtest::take(*device, requested); }

    std::unique_ptr<UcUsbDriverDevice> device;
    simdrv::DeviceId sim = 0;

private:
    int handlesAtStart_ = 0;
    int plugged_ = 0;
};

}  // namespace drvtest

#endif
