// Controller on USB served by the vendor's kernel driver: the device
// interface is found by interface GUID, its path opened for overlapped I/O,
// and data moved by bulk-transfer I/O control requests on endpoints 0x86
// (in) and 0x02 (out). A named instance lock keeps a second opener out.
// There is no reader thread: receive() keeps at most one read in flight
// across calls and hands out the telegrams of a completed transfer one by
// one. Files: usb_driver_scan.cpp lists the devices, uc_usb_driver_device.cpp
// opens and closes one, usb_driver_io.cpp moves its telegrams.
#ifndef TRANSPORT_USBDRIVER_UC_USB_DRIVER_DEVICE_H
#define TRANSPORT_USBDRIVER_UC_USB_DRIVER_DEVICE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "transport/uc_device.h"
#include "uc_telegram.h"
#include "platform/usb_driver_ops.h"

namespace transport {

// I/O state of an open device; zero-filled when created by connect().
struct UsbDriverIo {
    static constexpr size_t kBufferSize = plat::kDriverReadSize;

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

}  // namespace transport

class UcUsbDriverDevice : public UcDeviceBase {
public:
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
    transport::Origin origin() override;

    int32_t index() const { return index_; }

private:
    struct OpenedInterface;
    int openInterface(OpenedInterface* opened);
    int startIo(const OpenedInterface& opened);
    int issueRead();
    int awaitRead();
    int awaitWrite();
    int takeTelegram(int32_t requested, bool freshTransfer, void* out, int* length);
    int32_t wordAt(uint32_t pos) const;

    const bool variant1_;  // an interface of the variant-1 GUID, else of the variant-0 one
    const int32_t index_;
    std::unique_ptr<transport::UsbDriverIo> io_;
};

#endif
