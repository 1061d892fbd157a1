// The libusb bus scan, alone and as part of the registry's presence scan.
#include <gtest/gtest.h>

#include "fake_libusb.h"
#include "link/uc_link.h"
#include "positioner.h"
#include "transport/usblib/uc_usb_lib_device.h"

namespace {

class UsbScan : public ::testing::Test {
protected:
    void SetUp() override { fake_libusb::reset(); }
    void TearDown() override {
        int n = 0;
        UC_presence(&n, 0);  // drops the registry's objects first
        fake_libusb::reset();
        UC_setUsbBuffers(65536, 16);
    }
};

TEST_F(UsbScan, NoControllersNoDevices) {
    fake_libusb::addDevice(fake_libusb::addBus(), 0x16C0, 0x0001);
    fake_libusb::addDevice(fake_libusb::addBus(), 0x1234, 0x055B);
    UcDeviceList list;
    EXPECT_EQ(transport::scanLibUsbDevices(list, UC_usbRingConfig()), RC_OK);
    EXPECT_TRUE(list.empty());
    int n = -1;
    EXPECT_EQ(UC_presence(&n, UC_CARRIER_USB), RC_OK);
    EXPECT_EQ(n, 0);
}

TEST_F(UsbScan, DeviceNumbersFollowTheBusOrder) {
    const int bus0 = fake_libusb::addBus(), bus1 = fake_libusb::addBus();
    fake_libusb::addDevice(bus0, 0x1234, 0x0001);  // not a controller
    fake_libusb::Device* a = fake_libusb::addDevice(bus0, 0x0456, 0x1234);
    fake_libusb::addDevice(bus1, 0x16C0, 0x0001);  // right vendor, other product
    fake_libusb::Device* b = fake_libusb::addDevice(bus1, 0x16C0, 0x055B);
    fake_libusb::Device* c = fake_libusb::addDevice(bus1, 0x0456, 0x1234);
    fake_libusb::Device* order[] = {a, b, c};
    const uint8_t variants[] = {1, 0, 1};

    int n = -1;
    ASSERT_EQ(UC_presence(&n, UC_CARRIER_USB), RC_OK);
    ASSERT_EQ(n, 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto device = std::static_pointer_cast<UcUsbLibDevice>(UC_deviceRef(i));
        ASSERT_TRUE(device);
        EXPECT_EQ(device->link().identityFallback, variants[i]);
        EXPECT_EQ(device->index, i);
        EXPECT_STREQ(UC_getName(i), "USB");
        EXPECT_EQ(UC_getTransport(i), 1);
        PositionerDeviceDescription info;
        ASSERT_EQ(PositionerDeviceInfo(i, &info), RC_OK);
        EXPECT_EQ(info.carrier, POSITIONER_CARRIER_LIBUSB);
        EXPECT_EQ(info.discovery, POSITIONER_FOUND_USB);
        EXPECT_EQ(info.hardwareId, -1) << "no PositionerCheck read it";
        EXPECT_STREQ(info.address, i == 0 ? "001/002" : i == 1 ? "002/002" : "002/003");
        // Device number i opens the i-th controller in bus order.
        ASSERT_EQ(UC_init(i), RC_OK);
        EXPECT_EQ(fake_libusb::stats(order[i]).openHandles, 1);
        EXPECT_EQ(UC_shutdown(i), RC_OK);
        EXPECT_EQ(fake_libusb::stats(order[i]).opens, 1);
    }
}

TEST_F(UsbScan, RingIsSizedByTheSettingsAtScanTime) {
    fake_libusb::addDevice(fake_libusb::addBus(), 0x16C0, 0x055B);
    UC_setUsbBuffers(4096, 3);
    UcDeviceList list;
    transport::scanLibUsbDevices(list, UC_usbRingConfig());
    UC_setUsbBuffers(8192, 5);  // affects later scans only
    transport::scanLibUsbDevices(list, UC_usbRingConfig());
    ASSERT_EQ(list.size(), 2u);
    const transport::UsbLibLink* first = &std::static_pointer_cast<UcUsbLibDevice>(list[0])->ring();
    const transport::UsbLibLink* second = &std::static_pointer_cast<UcUsbLibDevice>(list[1])->ring();
    EXPECT_EQ(first->slotSize, 4096);
    EXPECT_EQ(first->slotCount, 3);
    EXPECT_EQ(first->slots.size(), 3u);
    EXPECT_EQ(first->slots[2].data.size(), 4096u);
    EXPECT_EQ(second->slotSize, 8192);
    EXPECT_EQ(second->slotCount, 5);
    EXPECT_EQ(std::static_pointer_cast<UcUsbLibDevice>(list[1])->index, 0);  // counted per scan
}

}  // namespace
