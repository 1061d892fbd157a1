#include "soak_controllers.h"

#include <unistd.h>

#include <algorithm>
#include <string>

#include "fake_libusb.h"
#include "sim_usb_driver.h"
#include "platform/usb_driver_protocol.h"

namespace soak {
namespace {

constexpr uint16_t kVendor = 0x16C0, kProduct = 0x055B;

sim::Options optionsFor(int i, bool network, int tellIntervalMs) {
    sim::Options o;
    o.network = network;
    o.address = "127.0.0." + std::to_string(2 + i);
    o.hardwareId = kFirstId + i;
    o.answerVelorix = false;  // one device number per controller
    o.tellIntervalMs = tellIntervalMs;
    return o;
}

}  // namespace

SoakControllers::SoakControllers(int count, int usbEach, int tellIntervalMs)
    : usbEach_(std::max(0, std::min(usbEach, count / 4))) {
    const int usb = usbCount();
    for (int i = 0; i < count; ++i)
        controllers_.push_back(std::make_unique<sim::Controller>(optionsFor(i, i >= usb, tellIntervalMs)));
}

SoakControllers::~SoakControllers() {
    // The device objects of the last scan stay in the registry; with every
    // handle closed they no longer read, so the carriers can go first.
    plat::simdrv::removeAllDevices();
    controllers_.clear();
}

bool SoakControllers::start() {
    for (auto& c : controllers_)
        if (!c->start()) return false;
    const int bus = usbEach_ > 0 ? fake_libusb::addBus() : -1;
    for (int i = 0; i < usbCount(); ++i) {
        sim::Controller* c = controllers_[static_cast<size_t>(i)].get();
        auto read = [c](std::vector<uint8_t>& t, int ms, size_t max) { return c->usbRead(t, ms, max); };
        if (i < usbEach_) {
            fake_libusb::setPeer(fake_libusb::addDevice(bus, kVendor, kProduct),
                                 {read, [c](const void* b, size_t n) { c->usbWrite(b, n); }});
        } else {
            const std::string instance =
                "USB\\VID_16C0&PID_055B\\SOAK" + std::to_string(getpid()) + "&" + std::to_string(i);
            plat::simdrv::addDevice(plat::kGuidVariant0, instance,
                                    {[c](const uint8_t* b, size_t n) { c->usbWrite(b, n); }, read});
        }
    }
    return true;
}

sim::Controller* SoakControllers::byId(int32_t id) const {
    const int32_t i = id - kFirstId;
    return (i >= 0 && i < static_cast<int32_t>(controllers_.size()))
               ? controllers_[static_cast<size_t>(i)].get()
               : nullptr;
}

std::vector<FaultTarget> SoakControllers::all() const {
    std::vector<FaultTarget> out;
    for (size_t i = 0; i < controllers_.size(); ++i)
        out.push_back({controllers_[i].get(), static_cast<int>(i) < usbCount()});
    return out;
}

}  // namespace soak
