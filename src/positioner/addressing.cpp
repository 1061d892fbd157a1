#include "addressing.h"

#include <cstring>
#include <memory>

#include "lifecycle.h"
#include "link/uc_link.h"
#include "trace.h"
#include "trace_control.h"
#include "net/sockets.h"
#include "transport/tcp/uc_tcp_device.h"

namespace pos {

namespace {

// The transports' carrier kinds and discovery routes are the public
// constants of PositionerDeviceDescription, copied across unchanged.
// (Route::Address, a controller opened by its address, is never listed.)
template <typename Kind>
constexpr int32_t publicCode(Kind kind) {
    return static_cast<int32_t>(kind);
}
using transport::CarrierKind;
using transport::Route;
static_assert(publicCode(CarrierKind::LibUsb) == POSITIONER_CARRIER_LIBUSB &&
                  publicCode(CarrierKind::Driver) == POSITIONER_CARRIER_DRIVER &&
                  publicCode(CarrierKind::Tcp) == POSITIONER_CARRIER_TCP,
              "carrier kinds differ from POSITIONER_CARRIER_*");
static_assert(publicCode(Route::Usb) == POSITIONER_FOUND_USB &&
                  publicCode(Route::Addp) == POSITIONER_FOUND_ADDP &&
                  publicCode(Route::Velorix) == POSITIONER_FOUND_VELORIX,
              "discovery routes differ from POSITIONER_FOUND_*");

// Copies text into the fixed field, cut to fit, always NUL-terminated.
template <size_t N>
void copyText(char (&field)[N], const std::string& text) {
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

}  // namespace

int32_t describeDevice(int32_t device, PositionerDeviceDescription* info) {
    std::shared_ptr<UcDevice> object = UC_deviceRef(device);
    if (!object) return RC_NO_DEVICE;
    if (!info) return RC_INVALID_PARAM;
    const transport::Origin origin = object->origin();
    info->carrier = publicCode(origin.carrier);
    info->discovery = publicCode(origin.route);
    info->hardwareId = checkedHardwareId(device);
    copyText(info->address, origin.address);
    return RC_OK;
}

int32_t connectAddress(const char* address, int32_t* handle) {
    if (!address || !handle) return RC_INVALID_PARAM;
    setUpDefaultTrace();
    net::startSockets();
    uint32_t ipv4 = 0;
    if (!net::resolveIpv4(address, &ipv4)) {
        traceError(false, "Controller address %.100s does not resolve to an IPv4 address", address);
        *handle = -1;
        return RC_NOT_CONNECTED;
    }
    const int32_t rc = openHandle(std::make_shared<UcTcpDevice>(ipv4, Route::Address), -1, handle);
    if (rc == RC_NOT_CONNECTED)
        traceError(false, "Cannot connect to the controller at %.100s (%s port %d)", address,
                   net::dottedAddress(ipv4).c_str(), net::kControllerPort);
    return rc;
}

}  // namespace pos
