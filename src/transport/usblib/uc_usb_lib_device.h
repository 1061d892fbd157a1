// Controller on USB reached through libusb-0.1: interface 0, bulk-in
// endpoint 0x86, bulk-out endpoint 0x02. A reader thread keeps a bulk read
// pending while the device is open and stores each completed transfer in
// one slot of a ring; receive() hands out the telegrams found there.
#ifndef TRANSPORT_USBLIB_UC_USB_LIB_DEVICE_H
#define TRANSPORT_USBLIB_UC_USB_LIB_DEVICE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ithreads.h"
#include "transport/uc_device.h"

struct usb_device;
struct usb_dev_handle;

class UcUsbLibDevice;

namespace transport {

// One ring buffer. The slot belongs to the reader while filled is 0 and to
// receive() while it is not; filled is the hand-over.
struct UsbRingSlot {
    explicit UsbRingSlot(int size) : data(static_cast<size_t>(size)) {}
    std::vector<unsigned char> data;
    int32_t filled = 0;   // bytes stored; 0: free
    int32_t readPos = 0;  // bytes already handed out
};

class UsbReaderThread : public IThread {
public:
    explicit UsbReaderThread(UcUsbLibDevice* device) : owner(device) {}
    void run() override;

    UcUsbLibDevice* owner;
    std::atomic<bool> stop{false};
};

// State shared by the device object, its reader thread and its callers.
// Lock order: handleLock, then sendLock, then spaceLock or dataLock.
// receive() takes dataLock and spaceLock one after the other, never both.
struct UsbLibLink {
    UsbLibLink(UcUsbLibDevice* owner, int slotBytes, int slots);

    struct usb_device* usbDevice = nullptr;
    usb_dev_handle* handle = nullptr;
    std::vector<UsbRingSlot> slots;
    int32_t writeIndex = 0;      // changed by the reader only
    int32_t readIndex = 0;       // changed by receive() only
    int32_t lastReadResult = 0;  // under dataLock
    // cancelReceive() was called and no receive has ended on it yet; kept
    // like the latched wake of dataReady (under dataLock).
    bool cancelPending = false;
    int32_t slotSize;
    int32_t slotCount;
    UsbReaderThread reader;
    IWaitCondition dataReady;  // a slot was filled, or cancelReceive()
    IWaitCondition slotFree;   // receive() emptied a slot
    IMutex dataLock;           // publishing and taking filled slots
    IMutex spaceLock;          // freeing slots and waiting for a free one
    IMutex handleLock;         // open/claim, release/close, each reader step
    // Held around each bulk write and around closing the handle, so that a
    // write never runs on a handle that another thread is closing.
    IMutex sendLock;
};

}  // namespace transport

class UcUsbLibDevice : public UcDeviceBase {
public:
    UcUsbLibDevice(uint8_t variant, int32_t index, const transport::UsbRingConfig& ring);
    ~UcUsbLibDevice() override;

    int connect() override;
    int disconnect() override;
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override { return 0; }
    const char* name() override { return "USB"; }
    void cancelReceive() override;
    transport::Origin origin() override {
        return {transport::CarrierKind::LibUsb, transport::Route::Usb, location};
    }

    // One reader iteration: wait for a free slot, read one transfer into it.
    int readerStep();

    // The ring and the libusb handle of the device.
    transport::UsbLibLink& ring() { return *link_; }

    int32_t index;
    std::string location;  // "bus/device" as the scan found it

private:
    bool isConnected();
    void setConnected(bool value);
    void waitForData(const transport::UsbRingSlot& slot);
    int takeTelegram(transport::UsbRingSlot& slot, int requested, void* buffer, int* length);
    void releaseSlot(transport::UsbRingSlot& slot);

    std::unique_ptr<transport::UsbLibLink> link_;
};

#endif
