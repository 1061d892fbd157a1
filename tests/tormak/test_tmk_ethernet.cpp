// The TMK_ functions over Ethernet, inside a private network namespace:
// carrier choice without USB devices, the single-socket ADDP search, open
// and close, and the resynchronisation that always lasts its whole limit.
// The carrier is chosen once per process: no test plugs a USB device in
// before its first TMK_presence, so whichever test runs first chooses
// Ethernet.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "connect/addp_search.h"
#include "connect/eth_transport.h"
#include "wire/telegram.h"
#include "net_peers.h"
#include "net_setup.h"
#include "sim_controller.h"
#include "test_support.h"
#include "tormak.h"
#include "trace.h"
#include "usb_bench.h"
#include "wire/timing.h"

using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

const std::vector<uint8_t> kAddpProbe = {'D', 'I', 'G', 'I', 0, 1, 0, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

class TmkEthernetTest : public ::testing::Test {
protected:
    void SetUp() override {
        TMK_initTrace(nullptr);
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(bench::routeMulticastOverLoopback());
        plat::simdrv::removeAllDevices();
    }

    // A controller simulator answering ADDP and TCP on 127.0.0.2.
    std::unique_ptr<sim::Controller> startController() {
        sim::Options options;
        options.address = "127.0.0.2";
        options.controllerType = 0x5777;
        options.answerVelorix = false;
        auto controller = std::make_unique<sim::Controller>(options);
        EXPECT_TRUE(controller->start());
        return controller;
    }
};

TEST_F(TmkEthernetTest, ChosenWithoutUsbAndKeptWhenUsbAppears) {
    auto controller = startController();
    int count = -1;
    ASSERT_EQ(TMK_presence(&count, true), RC_OK);
    EXPECT_EQ(count, 1) << "no variant devices on Ethernet";
    EXPECT_EQ(TMK_getTransferSize(0), 512);
    bench::BareDevice lateUsb(plat::kGuidVariant0);
    ASSERT_EQ(TMK_presence(&count, false), RC_OK);
    EXPECT_EQ(count, 1) << "a USB device plugged in later is not counted";

    int handle = -9;
    ASSERT_EQ(TMK_init(0, &handle), RC_OK);
    EXPECT_GT(handle, 0) << "the handle is the socket";
    int type = 0;
    EXPECT_EQ(TMK_getType(handle, &type), RC_OK);
    EXPECT_EQ(type, 0x5777);
    EXPECT_EQ(TMK_cancelIo(handle), RC_OK) << "nothing to cancel on a socket";
    // A controller that closes the connection on the GET: the read ends
    // with the failed receive at once, after one line.
    controller->setFault(sim::Controller::Fault::CloseConnection, true, 1);
    int id = 0, readResult = 0;
    std::string lines;
    const long long readMs =
        elapsedMs([&] { lines = captureStderr([&] { readResult = TMK_getId(handle, &id); }); });
    EXPECT_EQ(readResult, RC_ERROR);
    EXPECT_LT(readMs, 3000);
    EXPECT_LE(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    int other = -9;
    EXPECT_EQ(TMK_init(1, &other), RC_NOT_CONNECTED) << "beyond the discovered list";
    EXPECT_EQ(other, 0);
    int result = -9;
    long long ms = elapsedMs([&] { result = TMK_shutdown(handle); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_GE(ms, 190) << "100 ms before and after the close";
    EXPECT_EQ(TMK_shutdown(0), RC_NOT_CONNECTED);
    EXPECT_EQ(TMK_getType(handle, &type), RC_ERROR);
    // A closed handle is a descriptor number the process may reuse: it is
    // never closed or written again.
    EXPECT_EQ(TMK_shutdown(handle), RC_NOT_CONNECTED);
    char bytes[512] = {};
    EXPECT_EQ(TMK_send(handle, 24, bytes), RC_NOT_CONNECTED);
    EXPECT_EQ(TMK_recv(handle, 512, bytes), RC_NOT_CONNECTED);
    EXPECT_EQ(TMK_startSync(handle), RC_NOT_CONNECTED);
}

TEST_F(TmkEthernetTest, SearchKeepsReplyOrderAndEndsOneWaitAfterTheLast) {
    peers::ProbeResponder responder("224.0.5.128", 2362, {"127.0.0.3", "127.0.0.2"});
    ASSERT_TRUE(responder.ready());
    uint32_t addresses[tmk::kMaxControllers] = {};
    int found = -1, result = -9;
    long long ms = elapsedMs(
        [&] { result = tmk::searchAddp(uc::kSearchReplyWaitMs, addresses, tmk::kMaxControllers, &found); });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(found, 2);
    EXPECT_EQ(addresses[0], peers::ipv4("127.0.0.3"));
    EXPECT_EQ(addresses[1], peers::ipv4("127.0.0.2"));
    EXPECT_GE(ms, 950) << "the wait is not shortened after replies";
    EXPECT_LT(ms, 1600);
    auto probes = responder.probes();
    ASSERT_EQ(probes.size(), 1u) << "one probe from one socket";
    EXPECT_EQ(probes[0].payload, kAddpProbe);

    // The capacity ends the search at once.
    ms = elapsedMs([&] { result = tmk::searchAddp(uc::kSearchReplyWaitMs, addresses, 1, &found); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(found, 1);
    EXPECT_LT(ms, 900);
}

// A line peer found by discovery: probe replies and the TCP end both on
// 127.0.0.5, opened through TMK_init.
class TmkLineTest : public TmkEthernetTest {
protected:
    void SetUp() override {
        TmkEthernetTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(responder.ready());
        ASSERT_TRUE(peer.listening());
        int count = -1;
        ASSERT_EQ(TMK_presence(&count, false), RC_OK);
        ASSERT_EQ(count, 1);
        ASSERT_EQ(TMK_init(0, &handle), RC_OK);
        ASSERT_TRUE(peer.accept());
    }
    void TearDown() override {
        if (handle > 0) {
            EXPECT_EQ(TMK_shutdown(handle), RC_OK);
        }
    }

    peers::ProbeResponder responder{"224.0.5.128", 2362, {"127.0.0.5"}};
    peers::TcpPeer peer{"127.0.0.5"};
    int handle = -1;
};

// Sits through two whole 2000 ms resynchronisations: one on a quiet line,
// one that runs into its limit.
TEST_F(TmkLineTest, ResynchronisationAlwaysLastsItsWholeLimit) {
    int result = -9;
    long long ms = 0;
    std::string err = captureStderr([&] { ms = elapsedMs([&] { result = TMK_startSync(handle); }); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_GE(ms, 1950);
    EXPECT_LT(ms, 2600);
    EXPECT_NE(err.find("TRACE    0: Sync finished, 0 bytes skipped.\n"), std::string::npos) << err;
    EXPECT_EQ(peer.read(24), peers::telegram(20, UC_OP_SET, REG_SYNC, 0, 0, {0}))
        << "the SET of register 10 with a zero data word";
    EXPECT_TRUE(peer.quiet(100));

    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        // A GET from the controller's side is not a valid reply, and the
        // bytes that follow keep the line busy past the limit.
        peer.send(peers::telegram(16, UC_OP_GET, 1045, 0, 0));
        const std::vector<uint8_t> noise(8, 0x5A);
        while (!stop && peer.send(noise)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    UcTelegram buffer;
    err = captureStderr([&] { ms = elapsedMs([&] { result = TMK_recv(handle, 512, &buffer); }); });
    stop = true;
    chatter.join();
    EXPECT_EQ(result, RC_OUT_OF_SYNC) << "reported after the resynchronisation";
    EXPECT_GE(ms, 1950);
    EXPECT_LT(ms, 3000);
    EXPECT_NE(err.find("ERROR: Receive from controller: invalid opcode 1, assuming out of sync.\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Sync finished, "), std::string::npos) << err;
    EXPECT_EQ(err.find("Sync to datastream failed"), std::string::npos) << err;
    EXPECT_EQ(peer.read(24), peers::telegram(20, UC_OP_SET, REG_SYNC, 0, 0, {0}));
}

}  // namespace
