// libusb bus scan: one UcUsbLibDevice per controller, in bus order.
#include <memory>
#include <new>
#include <string>

#include "trace.h"
#include "transport/usblib/uc_usb_lib_device.h"
#include "platform/libusb_api.h"
#include "uc_telegram.h"

namespace transport {

namespace {

struct UsbIdRow {
    uint16_t vendor;
    uint16_t product;
    uint8_t variant;
};

constexpr UsbIdRow kControllerIds[] = {
    {0x16C0, 0x055B, 0},
    {0x0456, 0x1234, 1},
};

// The matching row of the id table, or nullptr.
const UsbIdRow* findRow(const usb_device_descriptor& d) {
    for (const UsbIdRow& row : kControllerIds) {
        if (d.idVendor == row.vendor && d.idProduct == row.product) return &row;
    }
    return nullptr;
}

}  // namespace

int scanLibUsbDevices(UcDeviceList& list, const UsbRingConfig& ring) {
    usb_init();
    if (!usbLibraryLoaded()) {
        // Windows: libusb0.dll is missing; the other carriers still scan.
        traceError(false, "libusb-0.1 not available: %s", usb_strerror());
        return RC_DRIVER_ERROR;
    }
    usb_set_debug(0);
    usb_find_busses();
    usb_find_devices();
    int32_t matches = 0;
    for (usb_bus* bus = usb_get_busses(); bus; bus = bus->next) {
        for (struct usb_device* dev = bus->devices; dev; dev = dev->next) {
            const UsbIdRow* row = findRow(dev->descriptor);
            if (!row) continue;
            std::unique_ptr<UcUsbLibDevice> device;
            try {
                device = std::make_unique<UcUsbLibDevice>(row->variant, matches, ring);
            } catch (const std::bad_alloc&) {
                // The ring settings asked for more memory than there is.
                traceError(false, "USB ring of %d buffers of %d bytes cannot be allocated", ring.bufferCount,
                           ring.bufferSize);
                return RC_OK;
            }
            ++matches;
            device->ring().usbDevice = dev;
            device->location = std::string(bus->dirname) + "/" + dev->filename;
            list.push_back(std::move(device));
        }
    }
    return RC_OK;
}

}  // namespace transport
