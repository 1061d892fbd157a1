// Sending to a driver device: the bytes reach the controller, a write that
// does not complete times out, and a later send does not reuse the record
// of a write still in flight. Also a request/reply with the controller
// simulator on the other end.
#include <thread>

#include "driver_fixture.h"
#include "wire/telegram.h"
#include "sim_controller.h"
#include "test_support.h"

using namespace drvtest;
using test_support::elapsedMs;

namespace {

class DriverSendTest : public DriverTest {};

TEST_F(DriverSendTest, SendHandsTheBytesToTheController) {
    connectOne();
    const Bytes request = get(359);
    EXPECT_EQ(device->send(static_cast<int>(request.size()), request.data()), RC_OK);
    EXPECT_EQ(simdrv::written(sim), request);
    EXPECT_EQ(simdrv::writeRequests(sim), 1);
    EXPECT_EQ(simdrv::readRequests(sim), 0);
    EXPECT_EQ(device->send(-1, request.data()), RC_INVALID_PARAM);
    EXPECT_EQ(device->send(20, nullptr), RC_INVALID_PARAM);
    EXPECT_EQ(simdrv::writeRequests(sim), 1);
}

TEST_F(DriverSendTest, SendToAGoneDeviceClosesIt) {
    connectOne();
    simdrv::removeDevice(sim);
    const Bytes request = get(359);
    EXPECT_EQ(device->send(20, request.data()), RC_NOT_CONNECTED);
    EXPECT_FALSE(device->link().connected);
    EXPECT_EQ(device->send(20, request.data()), RC_NOT_CONNECTED);
}

TEST_F(DriverSendTest, StuckWriteTimesOutAndBlocksLaterSendsUntilItEnds) {
    connectOne();
    simdrv::stallWrites(sim, true);
    const Bytes first = get(359);
    const Bytes second = get(360);
    const Bytes third = get(1024);
    long long ms = elapsedMs([&] { EXPECT_EQ(device->send(20, first.data()), RC_TIMEOUT); });
    EXPECT_GE(ms, 9900);
    // The first write still owns the record: the second send waits for it
    // and is refused when it is still in flight, issuing nothing.
    ms = elapsedMs([&] { EXPECT_EQ(device->send(20, second.data()), RC_TIMEOUT); });
    EXPECT_GE(ms, 9900);
    EXPECT_EQ(simdrv::writeRequests(sim), 1);
    // The first write completes while the third send waits for it: the
    // third goes out after it.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        simdrv::stallWrites(sim, false);
    });
    ms = elapsedMs([&] { EXPECT_EQ(device->send(20, third.data()), RC_OK); });
    release.join();
    EXPECT_LT(ms, 5000);
    EXPECT_EQ(simdrv::writeRequests(sim), 2);
    EXPECT_EQ(simdrv::written(sim), join({first, third}));
}

TEST_F(DriverSendTest, RequestAndReplyWithTheControllerSimulator) {
    sim::Options options;
    options.network = false;
    options.controllerType = 0x5123;
    sim::Controller controller(options);
    ASSERT_TRUE(controller.start());
    simdrv::SimUsbPeer peer;
    peer.write = [&](const uint8_t* b, size_t n) { controller.usbWrite(b, n); };
    peer.read = [&](std::vector<uint8_t>& t, int ms, size_t max) { return controller.usbRead(t, ms, max); };
    connectOne(peer);

    const Bytes request = get(359);
    ASSERT_EQ(device->send(20, request.data()), RC_OK);
    Received r{RC_TIMEOUT, {}};
    for (int i = 0; i < 4 && r.result == RC_TIMEOUT; ++i) r = take();
    ASSERT_EQ(r.result, RC_OK);
    ASSERT_EQ(r.bytes.size(), 28u);
    EXPECT_EQ(uc::get32(r.bytes.data(), 4), UC_OP_ACK);
    EXPECT_EQ(uc::get32(r.bytes.data(), 8), 359);
    EXPECT_EQ(uc::get32(r.bytes.data(), 24), 0x5123);
    device.reset();  // closes before the controller goes
}

}  // namespace
