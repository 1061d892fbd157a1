// The connection object of one controller: UcDevice, a pure interface,
// and UcDeviceBase, what its three kinds (libusb, kernel driver, TCP/IP)
// share. The device registry owns every object. The link state kept with
// each object (uc_link_state.h) states its own locking.
#ifndef TRANSPORT_UC_DEVICE_H
#define TRANSPORT_UC_DEVICE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/uc_link_state.h"

namespace transport {

// The device types a connection object reports (UC_getTransport).
constexpr int32_t kUsbDevice = 1;
constexpr int32_t kTcpDevice = 2;

// Where a controller sits, as callers are told (PositionerDeviceInfo): the
// carrier, the route by which it was found, and a printable address.
enum class CarrierKind : int32_t { LibUsb = 1, Driver = 2, Tcp = 3 };
enum class Route : int32_t { Usb = 0, Addp = 1, Velorix = 2, Address = 3 };
struct Origin {
    CarrierKind carrier;
    Route route;
    std::string address;
};

}  // namespace transport

// The connection object of one controller, as the link layer sees it: the
// eight operations of the carrier, where the controller sits, what kind of
// byte stream it is, and the link state kept with it.
class UcDevice {
public:
    UcDevice() = default;
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
    virtual void cancelReceive() = 0;
    virtual transport::Origin origin() = 0;

    // transport::kUsbDevice or transport::kTcpDevice (UC_getTransport).
    virtual int32_t transport() const = 0;
    // A byte stream that can lose the telegram framing and find it again
    // (resync): the TCP kind. Its link resynchronises after a framing loss
    // and pauses when the controller reports being out of step; USB
    // transfers keep their framing.
    virtual bool isResyncableStream() const = 0;

    virtual UcLinkState& link() = 0;
    virtual const UcLinkState& link() const = 0;
};

// What the kinds share: the link state, their transport, and no action for
// cancelReceive (a kind whose receive can be woken overrides it).
class UcDeviceBase : public UcDevice {
public:
    UcDeviceBase(int32_t deviceType, bool identityFallback)
        : transport_(deviceType), linkState_(identityFallback) {}

    void cancelReceive() override {}
    int32_t transport() const override { return transport_; }
    bool isResyncableStream() const override { return false; }
    UcLinkState& link() override { return linkState_; }
    const UcLinkState& link() const override { return linkState_; }

private:
    const int32_t transport_;

protected:
    UcLinkState linkState_;
};

// The registry's list of device objects. The list owns them; an open
// handle may share an object (UC_deviceRef) so that a later scan, which
// empties the list, cannot destroy it while it is in use.
using UcDeviceList = std::vector<std::shared_ptr<UcDevice>>;

namespace transport {

// USB ring of each libusb device: bufferCount slots of bufferSize bytes.
struct UsbRingConfig {
    int bufferSize;
    int bufferCount;
};

// Enumeration routines: each appends the objects it creates to the list.
// scanLibUsbDevices returns 0, or RC_DRIVER_ERROR when the libusb library
// cannot be loaded (Windows).
int scanLibUsbDevices(UcDeviceList& list, const UsbRingConfig& ring);
int scanDriverDevices(UcDeviceList& list);
int discoverTcpDevices(UcDeviceList& list, bool addp);

}  // namespace transport

#endif
