// UcUsbLibDevice: opening and closing the libusb handle, bulk writes.
#include "transport/usblib/usb_lib_device.h"

#include <algorithm>

#include "trace.h"
#include "platform/libusb_api.h"
#include "transport/usblib/usb_constants.h"
#include "uc_telegram.h"
#include "wire/timing.h"

using namespace usblib;

UsbLibLink::UsbLibLink(UcUsbLibDevice* owner, int slotBytes, int slots)
    : slotSize(std::max(slotBytes, UC_MAX_TELEGRAM)),
      slotCount(std::max(slots, kMinSlotCount)),
      reader(owner) {
    this->slots.reserve(static_cast<size_t>(slotCount));
    for (int i = 0; i < slotCount; ++i) this->slots.emplace_back(slotSize);
}

UcUsbLibDevice::UcUsbLibDevice(uint8_t variant, int32_t position, const UsbRingConfig& ring)
    : UcDevice(UC_DEVICE_USB, variant), index(position), link(nullptr) {
    link = new UsbLibLink(this, ring.bufferSize, ring.bufferCount);
}

UcUsbLibDevice::~UcUsbLibDevice() {
    // disconnect() also waits for a reader that closed the device itself,
    // so no thread touches the ring once it is freed.
    disconnect();
    delete link;
}

// connected is written with handleLock, sendLock and dataLock held, so
// holding any one of them gives a stable value.
bool UcUsbLibDevice::isConnected() {
    link->dataLock.lock();
    const bool open = connected;
    link->dataLock.unlock();
    return open;
}

void UcUsbLibDevice::setConnected(bool value) {
    link->dataLock.lock();
    connected = value;
    link->dataLock.unlock();
}

int UcUsbLibDevice::connect() {
    UsbLibLink& l = *link;
    if (isConnected()) return RC_OK;
    // A reader that closed the device after a failed read may still be
    // leaving its loop; it must be gone before a new one starts.
    l.reader.wait();

    l.handleLock.lock();
    int result = RC_OK;
    usb_dev_handle* handle = l.usbDevice ? usb_open(l.usbDevice) : nullptr;
    if (!handle) {
        traceError(false, "usb_open failed");
        result = RC_ERROR;
    } else {
        l.sendLock.lock();
        l.handle = handle;
        l.sendLock.unlock();
        const int claim = usb_claim_interface(handle, kInterface);
        if (claim == kClaimInUse) {
            result = RC_DEVICE_LOCKED;
        } else if (claim != 0) {
            traceError(false, "usb_claim_interface failed: %s", usb_strerror());
            result = RC_ERROR;
        }
    }
    if (result == RC_OK) {
        l.sendLock.lock();
        l.dataLock.lock();
        connected = true;
        l.lastReadResult = 0;
        l.cancelPending = false;
        l.dataLock.unlock();
        l.sendLock.unlock();
        l.reader.stop = false;
        l.reader.start();
    }
    l.handleLock.unlock();

    if (result != RC_OK) disconnect();  // closes a handle that was opened
    return result;
}

int UcUsbLibDevice::disconnect() {
    UsbLibLink& l = *link;
    int result = RC_OK;
    // Set before taking handleLock: the reader holds it during each step
    // and leaves its loop after the current one.
    l.reader.stop = true;

    l.handleLock.lock();
    if (connected && l.handle) {
        if (usb_release_interface(l.handle, kInterface) != 0) {
            traceError(false, "usb_release_interface failed: %s", usb_strerror());
            result = RC_ERROR;
        }
    }
    l.sendLock.lock();  // no bulk write may run on the handle being closed
    if (l.handle) {
        usb_close(l.handle);
        l.handle = nullptr;
    }
    setConnected(false);
    l.sendLock.unlock();
    l.handleLock.unlock();

    // On the reader thread itself the loop ends after this step; joining
    // here would wait for ever.
    if (!l.reader.isCurrentThread()) l.reader.wait();
    return result;
}

int UcUsbLibDevice::send(int length, const void* data) {
    UsbLibLink& l = *link;
    l.sendLock.lock();
    if (!connected || !l.handle) {
        l.sendLock.unlock();
        return RC_NOT_CONNECTED;
    }
    if (length < 0 || (!data && length > 0)) {
        l.sendLock.unlock();
        return RC_INVALID_PARAM;
    }
    const int n = usb_bulk_write(l.handle, kBulkOutEndpoint, static_cast<const char*>(data),
                                 length, uc::kSendWaitMs);
    l.sendLock.unlock();

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
    link->dataLock.lock();
    link->cancelPending = true;
    link->dataLock.unlock();
    link->dataReady.wakeOne();
}
