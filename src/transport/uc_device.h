// The connection object of one controller. The device registry owns every
// object; three kinds implement it (libusb, kernel driver, TCP/IP).
#ifndef TRANSPORT_UC_DEVICE_H
#define TRANSPORT_UC_DEVICE_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

enum UcDeviceType { UC_DEVICE_USB = 1, UC_DEVICE_TCP = 2 };

class UcDevice {
public:
    UcDevice(int32_t type, uint8_t variantFlag) : deviceType(type), variant(variantFlag) {}
    virtual ~UcDevice() = default;
    UcDevice(const UcDevice&) = delete;
    UcDevice& operator=(const UcDevice&) = delete;

    virtual int connect() = 0;
    virtual int disconnect() = 0;
    // length in: 0 for one whole telegram, n > 0 for the next n bytes of a
    // telegram begun earlier; out (on 0): bytes copied. buffer holds 512.
    virtual int receive(void* buffer, int* length) = 0;
    virtual int send(int length, const void* data) = 0;
    virtual int resync() = 0;
    virtual const char* name() = 0;
    virtual void cancelReceive() {}

    int32_t deviceType;
    uint8_t variant;
    // Written by one thread and read by others (receiver, background
    // connect, status queries) without a lock, hence atomic words.
    std::atomic<bool> connected{false};
    std::atomic<bool> connectRunning{false};
    std::atomic<int32_t> linkStatus{0};
    std::map<int32_t, int32_t> valueCache;
};

// The registry's list of device objects. The list owns them; an open
// handle may share an object (UC_deviceRef) so that a later scan, which
// empties the list, cannot destroy it while it is in use.
using UcDeviceList = std::vector<std::shared_ptr<UcDevice>>;

// Enumeration routines: each appends the objects it creates to the list.
// scanLibUsbDevices returns 0, or RC_DRIVER_ERROR when the libusb library
// cannot be loaded (Windows).
int scanLibUsbDevices(UcDeviceList& list);
int scanDriverDevices(UcDeviceList& list);
int discoverTcpDevices(UcDeviceList& list, bool addp);

#endif
