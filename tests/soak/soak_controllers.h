// The simulated controllers of the soak: most on the network (127.0.0.2,
// 127.0.0.3, ...), a few behind the fake libusb and the simulated kernel
// driver, each with its own hardware id. The network ones answer the ADDP
// probe, each from its own threads.
#ifndef TESTS_SOAK_SOAK_CONTROLLERS_H
#define TESTS_SOAK_SOAK_CONTROLLERS_H

#include <cstdint>
#include <memory>
#include <vector>

#include "fault_injector.h"
#include "sim_controller.h"

namespace soak {

constexpr int32_t kFirstId = 5000;  // controller i has hardware id kFirstId + i

class SoakControllers {
public:
    // count controllers in all; up to usbEach of them on each USB carrier.
    SoakControllers(int count, int usbEach, int tellIntervalMs);
    ~SoakControllers();
    SoakControllers(const SoakControllers&) = delete;
    SoakControllers& operator=(const SoakControllers&) = delete;

    // Starts every controller and plugs the USB ones in; false if one
    // fails.
    bool start();
    size_t size() const { return controllers_.size(); }
    // The controller with this hardware id, or nullptr.
    sim::Controller* byId(int32_t id) const;
    std::vector<FaultTarget> all() const;
    int usbCount() const { return usbEach_ * 2; }

private:
    std::vector<std::unique_ptr<sim::Controller>> controllers_;
    int usbEach_;
};

}  // namespace soak

#endif
