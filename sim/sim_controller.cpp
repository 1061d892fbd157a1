// Placeholder while the simulator is being written: every operation
// reports failure or nothing.
#include "sim_controller.h"

namespace sim {

struct Controller::Impl {
    Options options;
};

Controller::Controller(Options options) : impl_(new Impl{std::move(options)}) {}
Controller::~Controller() = default;
bool Controller::start() { return false; }
void Controller::stop() {}
const std::string& Controller::address() const { return impl_->options.address; }
void Controller::setRegister(int32_t, int32_t, int32_t) {}
bool Controller::registerValue(int32_t, int32_t, int32_t*) const { return false; }
std::vector<Controller::Received> Controller::received() const { return {}; }
void Controller::clearReceived() {}
bool Controller::waitForReceived(size_t, int) { return false; }
int Controller::malformedInputs() const { return 0; }
void Controller::sendTell(int32_t, int32_t, int32_t) {}
void Controller::sendRaw(const void*, size_t) {}
void Controller::setFault(Fault, bool, int) {}
std::vector<std::vector<uint8_t>> Controller::probesReceived(bool) const { return {}; }
int Controller::connectionsAccepted() const { return 0; }
int Controller::connectionsOpen() const { return 0; }
void Controller::usbWrite(const void*, size_t) {}
bool Controller::usbRead(std::vector<uint8_t>&, int, size_t) { return false; }
void Controller::usbFlush() {}

}  // namespace sim
