#include "addressing.h"

#include <cstring>
#include <memory>

#include "lifecycle.h"
#include "link/uc_link.h"
#include "trace.h"
#include "trace_control.h"
#include "transport/net/sockets.h"
#include "transport/uc_tcp_device.h"

namespace pos {

namespace {

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
    const UcOrigin origin = object->origin();
    info->carrier = origin.carrier;
    info->discovery = origin.route;
    info->hardwareId = checkedHardwareId(device);
    copyText(info->address, origin.address);
    return RC_OK;
}

int32_t connectAddress(const char* address, int32_t* handle) {
    if (!address || !handle) return RC_INVALID_PARAM;
    setUpDefaultTrace();
    startSockets();
    uint32_t ipv4 = 0;
    if (!resolveIpv4(address, &ipv4)) {
        traceError(false, "Controller address %.100s does not resolve to an IPv4 address", address);
        *handle = -1;
        return RC_NOT_CONNECTED;
    }
    const int32_t rc = openHandle(std::make_shared<UcTcpDevice>(ipv4, UC_ROUTE_ADDRESS), -1, handle);
    if (rc == RC_NOT_CONNECTED)
        traceError(false, "Cannot connect to the controller at %.100s (%s port %d)", address,
                   dottedAddress(ipv4).c_str(), UC_CONTROLLER_PORT);
    return rc;
}

}  // namespace pos
