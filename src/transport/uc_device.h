// The connection object of one controller. The device registry owns every
// object; three kinds implement it (libusb, kernel driver, TCP/IP).
#ifndef TRANSPORT_UC_DEVICE_H
#define TRANSPORT_UC_DEVICE_H

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

enum UcDeviceType { UC_DEVICE_USB = 1, UC_DEVICE_TCP = 2 };

// Where a controller sits, as callers are told (PositionerDeviceInfo): the
// carrier, the route by which it was found, and a printable address.
enum UcCarrierKind { UC_KIND_LIBUSB = 1, UC_KIND_DRIVER = 2, UC_KIND_TCP = 3 };
enum UcRoute { UC_ROUTE_USB = 0, UC_ROUTE_ADDP = 1, UC_ROUTE_VELORIX = 2, UC_ROUTE_ADDRESS = 3 };
struct UcOrigin {
    int32_t carrier;
    int32_t route;
    std::string address;
};

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
    virtual UcOrigin origin() {
        return {deviceType == UC_DEVICE_TCP ? UC_KIND_TCP : UC_KIND_LIBUSB, UC_ROUTE_USB, name()};
    }

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
