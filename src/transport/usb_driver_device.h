// Controller on USB served by the vendor's kernel driver: the device
// interface is found by interface GUID, its path opened for overlapped I/O,
// and data moved by bulk-transfer I/O control requests on endpoints 0x86
// (in) and 0x02 (out). A named instance lock keeps a second opener out.
// There is no reader thread: receive() keeps at most one read in flight
// across calls and hands out the telegrams of a completed transfer one by
// one.
#ifndef TRANSPORT_USB_DRIVER_DEVICE_H
#define TRANSPORT_USB_DRIVER_DEVICE_H

#include <cstddef>
#include <cstdint>

#include "transport/uc_device.h"
#include "uc_telegram.h"
#include "usb_driver_api.h"
#include "usb_driver_protocol.h"

// I/O state of an open device; zero-filled when created by connect().
struct UsbDriverIo {
    static constexpr size_t kBufferSize = 4096;

    uint8_t buffer[kBufferSize];  // receive buffer, 0xCC before each read
    plat::Overlapped readOverlapped;
    plat::Overlapped writeOverlapped;
    plat::SingleTransfer readTransfer;
    plat::SingleTransfer writeTransfer;
    plat::Handle device;
    plat::Handle readEvent;
    plat::Handle writeEvent;
    plat::Handle instanceLock;
    uint32_t readPos;   // bytes of buffer already handed out
    uint32_t fill;      // bytes delivered by the last completed read
    bool readPending;   // a read request is in flight
    bool writePending;  // a write whose wait ran out is still in flight
};

class UcUsbDriverDevice : public UcDevice {
public:
    static constexpr int kReceiveWaitMs = 500;
    static constexpr int kSendWaitMs = 10000;
    static constexpr size_t kInstanceIdSize = 99;

    // variant 1: interface of the variant-1 GUID, 0: of the variant-0 GUID;
    // index: member index of the interface in the list of its GUID.
    UcUsbDriverDevice(uint8_t variantFlag, int32_t index);
    ~UcUsbDriverDevice() override;

    int connect() override;
    int disconnect() override;
    int receive(void* buffer, int* length) override;
    int send(int length, const void* data) override;
    int resync() override { return RC_OK; }
    const char* name() override { return "USB"; }
    void cancelReceive() override;
    // The instance id is looked up now (empty when the driver's list no
    // longer has the interface).
    UcOrigin origin() override;

    int32_t index() const { return index_; }

private:
    struct OpenedInterface;
    int openInterface(plat::DevInfoSet set, const plat::Guid& guid, OpenedInterface* opened);
    int startIo(const OpenedInterface& opened);
    int issueRead();
    int awaitRead();
    int awaitWrite();
    int takeTelegram(int32_t requested, bool freshTransfer, void* out, int* length);
    int32_t wordAt(uint32_t pos) const;

    const int32_t index_;
    UsbDriverIo* io_ = nullptr;
};

// Counts the present interfaces of a GUID: 0 (count set), 3 when the
// device list is not available, -1 when enumeration failed otherwise.
int countInterfaces(const plat::Guid& guid, int* count);

// Takes the named lock of a device instance (backslashes of the id become
// underscores): 0 with the lock, or 7 when another opener holds it or it
// cannot be made.
int takeInstanceLock(const char* instanceId, plat::Handle* lock);

#endif
