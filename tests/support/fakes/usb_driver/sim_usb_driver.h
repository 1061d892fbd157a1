// Controls of the simulated USB kernel driver that backs usb_driver_api.h
// on Linux. The driver is process-local: a program (normally a test)
// plugs devices in under either interface GUID and unplugs them again.
//
// A device moves bytes through a SimUsbPeer (for example a controller
// simulator bound in test code) and through transfers queued by the test,
// which take precedence over the peer. A bulk read completes with one
// transfer (cut to the request's buffer); a bulk write hands its bytes to
// the peer's write, or keeps them for written() when there is no peer.
// Reads of a device with a peer are completed by one platform thread per
// open device file, which polls the peer while a read is in flight.
#ifndef PLATFORM_SIM_USB_DRIVER_H
#define PLATFORM_SIM_USB_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/usb_driver_api.h"

namespace plat {
namespace simdrv {

// Controller end of a simulated device: write takes one host->controller
// transfer; read fills `transfer` with the next controller->host transfer
// of at most maxBytes, or returns false when none came within timeoutMs.
struct SimUsbPeer {
    std::function<void(const uint8_t* bytes, size_t n)> write;
    std::function<bool(std::vector<uint8_t>& transfer, int timeoutMs, size_t maxBytes)> read;
};

using DeviceId = int;

// Plugs a device in: its interface is listed under interfaceGuid after
// those already present. instanceId is what getDeviceInstanceId reports.
DeviceId addDevice(const Guid& interfaceGuid, const std::string& instanceId, SimUsbPeer peer = SimUsbPeer());
// Unplugs it: it leaves the enumeration, new requests on its open files
// fail with kErrorBadCommand, requests in flight complete with
// kErrorDeviceNotConnected and 0 bytes.
void removeDevice(DeviceId device);
void removeAllDevices();

// The next read completes with these bytes (n = 0: a 0-byte completion).
void queueTransfer(DeviceId device, const void* bytes, size_t n);
// While on, writes stay in flight; turning it off completes them in order.
// Abort, reset, unplug or close ends them with an error instead.
void stallWrites(DeviceId device, bool on);
// The next wait on the event of the next read request fails.
void failNextReadWait(DeviceId device);

// Requests issued so far on the device (bulk reads, bulk writes).
int readRequests(DeviceId device);
int writeRequests(DeviceId device);
// Bytes of the completed writes of a device without a peer, in order.
std::vector<uint8_t> written(DeviceId device);

// One-shot failures of the next call of a kind.
enum class Fault {
    ClassDevs,        // getClassDevs: kInvalidDevInfoSet
    EnumInterfaces,   // enumDeviceInterfaces: kErrorGenFailure
    InterfaceDetail,  // getDeviceInterfaceDetail (the fetch, not the size query)
    InstanceId,       // getDeviceInstanceId
    InstanceLock,     // createInstanceLock: kNullHandle
    OpenDevice,       // openDeviceOverlapped: kInvalidHandle
    CreateEvent       // createEvent: kNullHandle
};
void failNext(Fault fault);
void clearFaults();

// Handles (and device information sets) of this process not yet closed.
int openHandleCount();

}  // namespace simdrv
}  // namespace plat

#endif
