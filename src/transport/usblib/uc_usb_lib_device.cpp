// UcUsbLibDevice: opening and closing the libusb handle, bulk writes.
#include "transport/usblib/uc_usb_lib_device.h"

#include <algorithm>

#include "trace.h"
#include "platform/libusb_api.h"
#include "transport/usblib/usb_constants.h"
#include "uc_telegram.h"
#include "wire/timing.h"
#include "threads/mutex_guard.h"

using namespace transport;
using namespace transport::usblib;

transport::UsbLibLink::UsbLibLink(UcUsbLibDevice* owner, int slotBytes, int slots)
    : slotSize(std::max(slotBytes, UC_MAX_TELEGRAM)), slotCount(std::max(slots, kMinSlotCount)), reader(owner) {
    this->slots.reserve(static_cast<size_t>(slotCount));
    for (int i = 0; i < slotCount; ++i) this->slots.emplace_back(slotSize);
}

UcUsbLibDevice::UcUsbLibDevice(uint8_t variant, int32_t position, const transport::UsbRingConfig& ring)
    : UcDeviceBase(transport::kUsbDevice, variant != 0), index(position),
      link_(std::make_unique<UsbLibLink>(this, ring.bufferSize, ring.bufferCount)) {}

UcUsbLibDevice::~UcUsbLibDevice() {
    // disconnect() also waits for a reader that closed the device itself,
    // so no thread touches the ring once it is freed.
    disconnect();
}

// connected is written with handleLock, sendLock and dataLock held, so
// holding any one of them gives a stable value.
bool UcUsbLibDevice::isConnected() {
    MutexGuard guard(link_->dataLock);
    return linkState_.connected;
}

void UcUsbLibDevice::setConnected(bool value) {
    MutexGuard guard(link_->dataLock);
    linkState_.connected = value;
}

int UcUsbLibDevice::connect() {
    UsbLibLink& l = *link_;
    if (isConnected()) return RC_OK;
    // A reader that closed the device after a failed read may still be
    // leaving its loop; it must be gone before a new one starts.
    l.reader.wait();

    int result = RC_OK;
    {
        MutexGuard handleGuard(l.handleLock);
        usb_dev_handle* handle = l.usbDevice ? usb_open(l.usbDevice) : nullptr;
        if (!handle) {
            traceError(false, "usb_open failed");
            result = RC_ERROR;
        } else {
            {
                MutexGuard sendGuard(l.sendLock);
                l.handle = handle;
            }
            const int claim = usb_claim_interface(handle, kInterface);
            if (claim == kClaimInUse) {
                result = RC_DEVICE_LOCKED;
            } else if (claim != 0) {
                traceError(false, "usb_claim_interface failed: %s", usb_strerror());
                result = RC_ERROR;
            }
        }
        if (result == RC_OK) {
            {
                MutexGuard sendGuard(l.sendLock);
                MutexGuard dataGuard(l.dataLock);
                linkState_.connected = true;
                l.lastReadResult = 0;
                l.cancelPending = false;
            }
            l.reader.stop = false;
            l.reader.start();
        }
    }

    if (result != RC_OK) disconnect();  // closes a handle that was opened
    return result;
}

int UcUsbLibDevice::disconnect() {
    UsbLibLink& l = *link_;
    int result = RC_OK;
    // Set before taking handleLock: the reader holds it during each step
    // and leaves its loop after the current one.
    l.reader.stop = true;

    {
        MutexGuard handleGuard(l.handleLock);
        if (linkState_.connected && l.handle) {
            if (usb_release_interface(l.handle, kInterface) != 0) {
                traceError(false, "usb_release_interface failed: %s", usb_strerror());
                result = RC_ERROR;
            }
        }
        MutexGuard sendGuard(l.sendLock);  // no bulk write may run on the handle being closed
        if (l.handle) {
            usb_close(l.handle);
            l.handle = nullptr;
        }
        setConnected(false);
    }

    // On the reader thread itself the loop ends after this step; joining
    // here would wait for ever.
    if (!l.reader.isCurrentThread()) l.reader.wait();
    return result;
}

int UcUsbLibDevice::send(int length, const void* data) {
    UsbLibLink& l = *link_;
    int n = 0;
    {
        MutexGuard guard(l.sendLock);
        if (!linkState_.connected || !l.handle) return RC_NOT_CONNECTED;
        if (length < 0 || (!data && length > 0)) return RC_INVALID_PARAM;
        n = usb_bulk_write(l.handle, kBulkOutEndpoint, static_cast<const char*>(data), length, uc::kSendWaitMs);
    }

    if (n < 0) {
        traceError(false, "usb_bulk_write failed: %s", usb_strerror());
        disconnect();
        return n == kTransferTimeout ? RC_TIMEOUT : RC_ERROR;
    }
    if (n != length) {
        traceError(false, "usb_bulk_write transferred %d bytes of %d", n, length);
        return RC_ERROR;
    }
    return RC_OK;
}

void UcUsbLibDevice::cancelReceive() {
    MutexGuard guard(link_->dataLock);
    link_->cancelPending = true;
    link_->dataReady.wakeOne();
}
