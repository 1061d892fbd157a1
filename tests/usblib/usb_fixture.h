// Shared set-up of the libusb transport tests: one simulated controller on
// the fake libusb, reached through a UcUsbLibDevice made by the bus scan.
#ifndef TESTS_USBLIB_USB_FIXTURE_H
#define TESTS_USBLIB_USB_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>

#include "fake_libusb.h"
#include "transport/usb_lib_device.h"
#include "uc_telegram.h"

namespace usbtest {

using fake_libusb::Bytes;

Bytes tell(int32_t address, int32_t value);
Bytes ack(int32_t address, int32_t value);
// A telegram header with the given length word and opcode, padded with
// zero bytes to total bytes.
Bytes raw(int32_t lengthWord, int32_t opcode, size_t total);
Bytes join(std::initializer_list<Bytes> parts);

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
