#include "usb_bench.h"

#include <unistd.h>

#include <atomic>

#include "telegram_bytes.h"
#include "wire/telegram.h"

namespace bench {

std::string uniqueInstanceId() {
    static std::atomic<int> next{0};
    return "USB\\VID_16C0&PID_055B\\TMK" + std::to_string(getpid()) + "&" + std::to_string(next++);
}

BareDevice::BareDevice(const plat::Guid& guid) : id_(plat::simdrv::addDevice(guid, uniqueInstanceId())) {}

BareDevice::~BareDevice() { plat::simdrv::removeDevice(id_); }

UsbController::UsbController(const plat::Guid& guid, int32_t controllerType, int32_t hardwareId) {
    sim::Options options;
    options.network = false;
    options.controllerType = controllerType;
    options.hardwareId = hardwareId;
    sim_ = std::make_shared<sim::Controller>(options);
    sim_->start();
    std::shared_ptr<sim::Controller> peer = sim_;
    plat::simdrv::SimUsbPeer link;
    link.write = [peer](const uint8_t* bytes, size_t n) { peer->usbWrite(bytes, n); };
    link.read = [peer](std::vector<uint8_t>& transfer, int timeoutMs, size_t maxBytes) {
        return peer->usbRead(transfer, timeoutMs, maxBytes);
    };
    id_ = plat::simdrv::addDevice(guid, uniqueInstanceId(), link);
}

UsbController::~UsbController() { plat::simdrv::removeDevice(id_); }

std::vector<uint8_t> telegramBytes(int32_t opcode, int32_t address, int32_t index, int32_t correlation,
                                   const std::vector<int32_t>& data) {
    return test_support::telegram(opcode, address, index, correlation, data);
}

}  // namespace bench
