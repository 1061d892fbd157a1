// Shared set-up of the libusb transport tests: one simulated controller on
// the fake libusb, reached through a UcUsbLibDevice made by the bus scan.
#ifndef TESTS_USBLIB_USB_FIXTURE_H
#define TESTS_USBLIB_USB_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>

#include "fake_libusb.h"
#include "telegram_bytes.h"
#include "transport/usblib/uc_usb_lib_device.h"
#include "uc_telegram.h"

namespace usbtest {

using test_support::ack;
using test_support::Bytes;
using test_support::join;
using test_support::raw;
using test_support::tell;

struct Received {
    int result;
    Bytes bytes;  // what receive copied (on result 0)
};

class UsbLibTest : public ::testing::Test {
protected:
    // Ring of slotCount slots of 1024 bytes.
    explicit UsbLibTest(int slotCount = 4) : slotCount_(slotCount) {}
    void SetUp() override;
    void TearDown() override;

    // One receive call asking for requested bytes (0: a whole telegram).
    Received take(int requested = 0);

    std::shared_ptr<UcUsbLibDevice> device;
    fake_libusb::Device* fake = nullptr;

private:
    int slotCount_;
};

}  // namespace usbtest

#endif
