#include "usb_fixture.h"

#include "wire/telegram.h"
#include "link/uc_link.h"
#include "trace/trace_setup.h"

namespace usbtest {

void UsbLibTest::SetUp() {
    traceSetupShared(nullptr);
    fake_libusb::reset();
    UC_setUsbBuffers(1024, slotCount_);
    fake = fake_libusb::addDevice(fake_libusb::addBus(), 0x16C0, 0x055B);
    fake_libusb::setReadWaitCap(fake, 50);
    UcDeviceList list;
    ASSERT_EQ(transport::scanLibUsbDevices(list, UC_usbRingConfig()), RC_OK);
    ASSERT_EQ(list.size(), 1u);
    device = std::static_pointer_cast<UcUsbLibDevice>(list.front());
}

void UsbLibTest::TearDown() {
    device.reset();  // stops the reader before the fake's devices go
    fake_libusb::reset();
    UC_setUsbBuffers(65536, 16);
}

Received UsbLibTest::take(int requested) {
    unsigned char buffer[UC_MAX_TELEGRAM];
    int length = requested;
    Received r{device->receive(buffer, &length), {}};
    if (r.result == RC_OK) r.bytes.assign(buffer, buffer + length);
    return r;
}

}  // namespace usbtest

// Stand-in for the kernel-driver scan where these programs do not link
// one: the registry's USB scan then lists libusb devices only. A real
// definition, when linked, takes precedence over this weak one.
__attribute__((weak)) int transport::scanDriverDevices(UcDeviceList&) { return RC_OK; }
