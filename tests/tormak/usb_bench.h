// Simulated USB devices for the tormak tests: devices of the simulated
// kernel driver, bare (bytes queued by the test) or bound to a controller
// simulator's USB byte interface.
#ifndef TESTS_TORMAK_USB_BENCH_H
#define TESTS_TORMAK_USB_BENCH_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_controller.h"
#include "sim_usb_driver.h"
#include "platform/usb_driver_protocol.h"

namespace bench {

// An instance id unique to this process and call, so that the instance
// lock files of tests that run at the same time never meet.
std::string uniqueInstanceId();

// A plugged device without a peer; unplugged on destruction.
class BareDevice {
public:
    explicit BareDevice(const plat::Guid& guid);
    ~BareDevice();
    BareDevice(const BareDevice&) = delete;
    BareDevice& operator=(const BareDevice&) = delete;
    plat::simdrv::DeviceId id() const { return id_; }

private:
    plat::simdrv::DeviceId id_;
};

// A controller simulator (no sockets) plugged in under a GUID. The
// simulator lives as long as the driver's record of the device.
class UsbController {
public:
    explicit UsbController(const plat::Guid& guid, int32_t controllerType = 0x5000, int32_t hardwareId = 1000);
    ~UsbController();
    UsbController(const UsbController&) = delete;
    UsbController& operator=(const UsbController&) = delete;
    sim::Controller& sim() { return *sim_; }
    plat::simdrv::DeviceId id() const { return id_; }

private:
    std::shared_ptr<sim::Controller> sim_;
    plat::simdrv::DeviceId id_;
};

// Telegram bytes in wire order.
std::vector<uint8_t> telegramBytes(int32_t opcode, int32_t address, int32_t index, int32_t correlation,
                                   const std::vector<int32_t>& data);

}  // namespace bench

#endif
