// The registry against the controller simulator over the network: scan,
// connect, the cached identity reads, a stream resynchronisation and the
// background connect.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "link/uc_link.h"
#include "sim_controller.h"
#include "test_support.h"

using test_support::captureStderr;

namespace {

class LinkSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0x1FC);
        REQUIRE_PRIVATE_NETWORK();
        sim::Options options;
        options.address = "127.0.0.2";
        options.controllerType = 0x5123;
        options.hardwareId = 4711;
        controller.reset(new sim::Controller(options));
        ASSERT_TRUE(controller->start());
        int count = 0;
        captureStderr([&] { ASSERT_EQ(UC_presence(&count, UC_CARRIER_VELORIX), RC_OK); });
        ASSERT_EQ(count, 1);
        ASSERT_STREQ(UC_getName(0), "127.0.0.2");
    }
    void TearDown() override {
        int unused = 0;
        UC_presence(&unused, 0);
        controller.reset();
    }
    std::unique_ptr<sim::Controller> controller;
};

TEST_F(LinkSimTest, IdentityIsReadOnceThroughTheCache) {
    ASSERT_EQ(UC_init(0), RC_OK);
    EXPECT_TRUE(UC_isConnected(0));
    int type = 0, id = 0;
    EXPECT_EQ(UC_getType(0, &type), RC_OK);
    EXPECT_EQ(UC_getId(0, &id), RC_OK);
    EXPECT_EQ(type, 0x5123);
    EXPECT_EQ(id, 4711);
    controller->clearReceived();
    EXPECT_EQ(UC_getType(0, &type), RC_OK);
    EXPECT_EQ(UC_getId(0, &id), RC_OK);
    EXPECT_TRUE(controller->received().empty()) << "cached reads send nothing";
    EXPECT_EQ(UC_shutdown(0), RC_OK);
    EXPECT_FALSE(UC_isConnected(0));
    EXPECT_EQ(UC_getType(0, &type), RC_OK);
}

// A controller that closes the connection on the GET: the exchange ends
// with the failed receive after a few lines, not after its whole limit
// of re-sends.
TEST_F(LinkSimTest, ClosedPeerEndsTheExchangeAtOnce) {
    ASSERT_EQ(UC_init(0), RC_OK);
    controller->setFault(sim::Controller::Fault::CloseConnection, true, 1);
    int type = 0, result = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::string lines = captureStderr([&] { result = UC_getType(0, &type); });
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_NE(result, RC_OK);
    EXPECT_NE(result, RC_TIMEOUT);
    EXPECT_LT(took, std::chrono::milliseconds(UC_REQUEST_LIMIT_MS));
    EXPECT_LE(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
    EXPECT_EQ(type, 0);
    UC_shutdown(0);
}

TEST_F(LinkSimTest, ImplausibleLengthStartsAResynchronisation) {
    ASSERT_EQ(UC_init(0), RC_OK);
    for (int i = 0; i < 100 && controller->connectionsOpen() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(controller->connectionsOpen(), 1);
    controller->setFault(sim::Controller::Fault::LengthTooLarge, true);
    UcTelegram t = {};
    int result = 0;
    std::string err = captureStderr([&] {
        for (int i = 0; i < 6 && (result = UC_recv(0, &t)) == RC_TIMEOUT; ++i) {
        }
    });
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_NE(err.find("Length too large (513)"), std::string::npos) << err;
    // The rest of the bad telegram (20 bytes) and the ACK of the SET (28).
    EXPECT_NE(err.find("Sync finished, 48 bytes skipped"), std::string::npos) << err;
    ASSERT_TRUE(controller->waitForReceived(1, 1000));
    const sim::Controller::Received sync = controller->received().back();
    EXPECT_EQ(sync.opcode, UC_OP_SET);
    EXPECT_EQ(sync.address, REG_SYNC);
    EXPECT_EQ(sync.data, std::vector<int32_t>{0});
    // The stream is in step again.
    int value = 0;
    EXPECT_EQ(UC_request(0, 1024, &value), RC_OK);
    EXPECT_EQ(value, 30000);
}

TEST_F(LinkSimTest, BackgroundConnectReadsTheExtraRegister) {
    EXPECT_EQ(UC_initAsync(0, 1025), RC_OK);
    int result = -9, step = -9;
    for (int i = 0; i < 500 && UC_initStatus(0, &result, &step); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(UC_initStatus(0, &result, &step));
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(step, 4);
    EXPECT_TRUE(UC_isConnected(0));
    int frequency = 0;
    controller->clearReceived();
    EXPECT_EQ(UC_getValue(0, 1025, &frequency, UC_NO_FALLBACK), RC_OK);
    EXPECT_EQ(frequency, 1000);
    EXPECT_TRUE(controller->received().empty());
}

}  // namespace
