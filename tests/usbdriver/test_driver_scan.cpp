// Enumeration of the driver's interfaces: device order, the registry's
// presence scan, and enumeration failures.
#include "driver_fixture.h"
#include "link/registry.h"
#include "link/uc_link.h"
#include "positioner.h"
#include "platform/usb_driver_protocol.h"

using namespace drvtest;

namespace {

class DriverScanTest : public DriverTest {};

TEST_F(DriverScanTest, VariantOneInterfacesComeFirstThenVariantZero) {
    const simdrv::DeviceId v0 = plug(0);
    const simdrv::DeviceId v1a = plug(1);
    const simdrv::DeviceId v1b = plug(1);

    UcDeviceList list;
    ASSERT_EQ(transport::scanDriverDevices(list), RC_OK);
    ASSERT_EQ(list.size(), 3u);
    const struct {
        uint8_t variant;
        int32_t index;
        simdrv::DeviceId reaches;
    } expected[] = {{1, 0, v1a}, {1, 1, v1b}, {0, 0, v0}};
    for (size_t i = 0; i < 3; ++i) {
        auto* d = dynamic_cast<UcUsbDriverDevice*>(list[i].get());
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->transport(), transport::kUsbDevice);
        EXPECT_EQ(d->link().identityFallback, expected[i].variant) << "device " << i;
        EXPECT_EQ(d->index(), expected[i].index) << "device " << i;
        EXPECT_STREQ(d->name(), "USB");
        EXPECT_FALSE(d->link().connected);
        // The object opens the interface it was listed for.
        ASSERT_EQ(d->connect(), RC_OK);
        const Bytes t = tell(1045, static_cast<int32_t>(i));
        simdrv::queueTransfer(expected[i].reaches, t.data(), t.size());
        EXPECT_EQ(drvtest::take(*d).bytes, t) << "device " << i;
        EXPECT_EQ(d->disconnect(), RC_OK);
    }
}

TEST_F(DriverScanTest, PresenceScanListsDriverDevicesInTheSameOrder) {
    plug(0);
    plug(1);
    plug(1);
    int count = -1;
    ASSERT_EQ(UC_presence(&count, UC_CARRIER_USB), RC_OK);
    ASSERT_EQ(count, 3);  // no libusb controllers in this program
    const uint8_t variants[] = {1, 1, 0};
    const int plugOrder[] = {2, 3, 1};  // the instance id of each device number
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(UC_getName(i), "USB");
        EXPECT_EQ(deviceList[static_cast<size_t>(i)]->link().identityFallback, variants[i]) << "device " << i;
        PositionerDeviceDescription info;
        ASSERT_EQ(PositionerDeviceInfo(i, &info), RC_OK);
        EXPECT_EQ(info.carrier, POSITIONER_CARRIER_DRIVER);
        EXPECT_EQ(info.discovery, POSITIONER_FOUND_USB);
        EXPECT_EQ(info.hardwareId, -1) << "no PositionerCheck read it";
        EXPECT_EQ(info.address, instanceId(plugOrder[i])) << "device " << i;
    }
    // Nothing plugged: the scan succeeds with an empty list; an object of
    // the earlier list can no longer tell its instance id.
    simdrv::removeAllDevices();
    PositionerDeviceDescription gone;
    EXPECT_EQ(PositionerDeviceInfo(0, &gone), RC_OK);
    EXPECT_STREQ(gone.address, "");
    ASSERT_EQ(UC_presence(&count, UC_CARRIER_USB), RC_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(PositionerDeviceInfo(0, &gone), RC_NO_DEVICE);
    deviceList.clear();
}

TEST_F(DriverScanTest, CountingReportsListAndEnumerationFailures) {
    plug(1);
    int n = -1;
    EXPECT_EQ(plat::countInterfaces(plat::kGuidVariant1, &n, RC_OK), RC_OK);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(plat::countInterfaces(plat::kGuidVariant0, &n, RC_OK), RC_OK);
    EXPECT_EQ(n, 0);
    // tormak counts an empty list as "not connected".
    EXPECT_EQ(plat::countInterfaces(plat::kGuidVariant0, &n, RC_NOT_CONNECTED), RC_NOT_CONNECTED);

    simdrv::failNext(simdrv::Fault::ClassDevs);
    EXPECT_EQ(plat::countInterfaces(plat::kGuidVariant1, &n, RC_OK), RC_DRIVER_ERROR);
    EXPECT_EQ(n, 0);
    // A failure other than "no more items" before the first interface.
    simdrv::failNext(simdrv::Fault::EnumInterfaces);
    EXPECT_EQ(plat::countInterfaces(plat::kGuidVariant1, &n, RC_OK), RC_ERROR);
}

TEST_F(DriverScanTest, ScanFailsOnlyWhenBothGuidsFail) {
    plug(1);
    plug(0);
    UcDeviceList list;
    // Only the first GUID fails: the variant-0 device is still listed.
    simdrv::failNext(simdrv::Fault::ClassDevs);
    EXPECT_EQ(transport::scanDriverDevices(list), RC_OK);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->link().identityFallback, 0);

    // Both fail: the second GUID's result, nothing appended.
    list.clear();
    simdrv::failNext(simdrv::Fault::ClassDevs);       // variant 1: 3
    simdrv::failNext(simdrv::Fault::EnumInterfaces);  // variant 0: -1
    EXPECT_EQ(transport::scanDriverDevices(list), RC_ERROR);
    EXPECT_TRUE(list.empty());
}

}  // namespace
