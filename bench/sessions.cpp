#include "sessions.h"

#include <memory>

namespace bench {

namespace {
constexpr int kApiHost = 2;
constexpr int kRawHost = 3;

std::unique_ptr<postest::SimSession> api;
std::unique_ptr<sim::Controller> raw;
}  // namespace

sim::Options controllerAt(int host, int32_t hardwareId) {
    sim::Options o;
    o.address = "127.0.0." + std::to_string(host);
    o.hardwareId = hardwareId;
    o.answerVelorix = false;
    return o;
}

postest::SimSession& apiSession() {
    if (!api) api.reset(new postest::SimSession(controllerAt(kApiHost, kApiHardwareId)));
    return *api;
}

sim::Controller& rawPeer() {
    if (!raw) {
        raw.reset(new sim::Controller(controllerAt(kRawHost, kRawHardwareId)));
        raw->start();
    }
    return *raw;
}

std::string rawPeerAddress() { return controllerAt(kRawHost, kRawHardwareId).address; }

std::unique_ptr<RawConnection> connectToRawPeer() {
    sim::Controller& peer = rawPeer();
    const int before = peer.connectionsAccepted();
    std::unique_ptr<RawConnection> c(new RawConnection(rawPeerAddress(), kControllerPort));
    if (!c->ok()) return nullptr;
    const bool taken = postest::eventually([&] { return peer.connectionsAccepted() > before; });
    return taken ? std::move(c) : nullptr;
}

void releaseSharedControllers() {
    api.reset();
    raw.reset();
}

}  // namespace bench
