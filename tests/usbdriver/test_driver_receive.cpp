// Receiving from a driver device: telegrams taken one by one from a
// transfer, partial telegrams, length checks, empty completions, the read
// kept in flight across time-outs, cancelReceive, failed waits and a
// device that goes away.
#include <thread>

#include "driver_fixture.h"
#include "test_support.h"

using namespace drvtest;
using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

class DriverReceiveTest : public DriverTest {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        connectOne();
    }
    // A receive and what it wrote to standard error.
    Received takeTraced(std::string* errors, int requested = 0) {
        Received r{};
        *errors = captureStderr([&] { r = take(requested); });
        return r;
    }
};

TEST_F(DriverReceiveTest, TelegramsOfOneTransferAreTakenWithoutNewReads) {
    const Bytes first = tell(1045, 7);
    const Bytes second = ack(359, 0x5000);
    queue(join({first, tell(1028, 1)}));
    EXPECT_EQ(take().bytes, first);
    EXPECT_EQ(simdrv::readRequests(sim), 1);
    EXPECT_EQ(take().bytes, tell(1028, 1));
    EXPECT_EQ(simdrv::readRequests(sim), 1);
    // The transfer is used up: the third receive issues a new read.
    queue(second);
    EXPECT_EQ(take().bytes, second);
    EXPECT_EQ(simdrv::readRequests(sim), 2);
}

TEST_F(DriverReceiveTest, StartOfATelegramIsCompletedByTheNextRead) {
    const Bytes t = tell(1045, 123456);
    queue(slice(t, 0, 10));
    EXPECT_EQ(take().bytes, slice(t, 0, 10));
    queue(slice(t, 10, 14));
    EXPECT_EQ(take(14).bytes, slice(t, 10, 14));
    EXPECT_EQ(simdrv::readRequests(sim), 2);
}

TEST_F(DriverReceiveTest, BadLengthAtTheStartOfATransferDropsItSilently) {
    const Bytes badTransfers[] = {raw(509, 4, 24), raw(-8, 4, 24), raw(8, 4, 24), raw(-5, 4, 24)};
    for (const Bytes& bad : badTransfers) {
        queue(join({bad, tell(1045, 1)}));
        std::string errors;
        EXPECT_EQ(takeTraced(&errors).result, RC_OUT_OF_SYNC);
        EXPECT_EQ(errors, "");
    }
    // The rest of each transfer went with it.
    const Bytes t = tell(1045, 2);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 5);
    // A continuation request beyond a whole telegram is refused as well.
    queue(t);
    EXPECT_EQ(take(513).result, RC_OUT_OF_SYNC);
}

TEST_F(DriverReceiveTest, BadLengthInsideATransferDropsTheRestWithAMessage) {
    const Bytes good = tell(1045, 1);
    // A bad length word, and a telegram cut after two bytes: the missing
    // bytes read as the 0xCC fill and announce an impossible length.
    const Bytes rests[] = {raw(600, 4, 24), Bytes{0x14, 0x00}};
    for (const Bytes& rest : rests) {
        queue(join({good, rest, good}));
        EXPECT_EQ(take().bytes, good);
        std::string errors;
        EXPECT_EQ(takeTraced(&errors).result, RC_OUT_OF_SYNC);
        EXPECT_NE(errors.find("ERROR: Protocol error: incomplete packet received."), std::string::npos)
            << errors;
    }
    queue(good);
    EXPECT_EQ(take().bytes, good);
    EXPECT_EQ(simdrv::readRequests(sim), 3);
}

TEST_F(DriverReceiveTest, ShortAckIsReadAsTwentyEightBytesAfterTheBoundTest) {
    // An ACK announcing 20 bytes is taken as 28; a TELL is not padded.
    queue(join({raw(16, UC_OP_ACK, 28), raw(16, UC_OP_TELL, 20)}));
    Received r = take();
    EXPECT_EQ(r.bytes.size(), 28u);
    EXPECT_EQ(take().bytes.size(), 20u);
    // Below the smallest telegram the bound test wins over the ACK rule.
    queue(join({raw(8, UC_OP_ACK, 28)}));
    EXPECT_EQ(take().result, RC_OUT_OF_SYNC);
    // An ACK at the end of a transfer gets no more than the transfer holds.
    queue(raw(16, UC_OP_ACK, 24));
    EXPECT_EQ(take().bytes.size(), 24u);
}

TEST_F(DriverReceiveTest, TransferLongerThanATelegramIsHandedOutInBoundedPieces) {
    // The largest telegram, then the next from the same transfer.
    const Bytes big = raw(508, UC_OP_TELL, 512);
    const Bytes t = tell(1045, 3);
    queue(join({big, t}));
    EXPECT_EQ(take().bytes, big);
    EXPECT_EQ(take().bytes, t);
}

TEST_F(DriverReceiveTest, EmptyCompletionIsReportedAndAFreshReadFollows) {
    queue(Bytes());
    std::string errors;
    EXPECT_EQ(takeTraced(&errors).result, RC_TIMEOUT);
    EXPECT_NE(errors.find("ERROR: Empty packet received."), std::string::npos) << errors;
    const Bytes t = tell(1045, 4);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 2);
}

TEST_F(DriverReceiveTest, OneReadServesManyTimeOuts) {
    for (int i = 0; i < 3; ++i) {
        long long ms = elapsedMs([&] { EXPECT_EQ(take().result, RC_TIMEOUT); });
        EXPECT_GE(ms, 450);
        EXPECT_LT(ms, 1500);
    }
    EXPECT_EQ(simdrv::readRequests(sim), 1);
    // Data arriving later completes that same read.
    const Bytes t = tell(1045, 5);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 1);
}

TEST_F(DriverReceiveTest, CancelReceiveEndsTheWaitAndKeepsTheRead) {
    Received r{};
    std::string errors;
    long long ms = 0;
    std::thread receiver([&] { ms = elapsedMs([&] { r = takeTraced(&errors); }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    device->cancelReceive();
    receiver.join();
    EXPECT_EQ(r.result, RC_TIMEOUT);
    EXPECT_LT(ms, 400);
    // The driver still holds the read: no empty packet, and no new request.
    EXPECT_EQ(errors, "");
    const Bytes t = tell(1045, 6);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 1);
}

TEST_F(DriverReceiveTest, FailedWaitGivesSystemErrorAndTheReadStaysInFlight) {
    simdrv::failNextReadWait(sim);
    EXPECT_EQ(take().result, RC_SYSTEM_ERROR);
    EXPECT_TRUE(device->link().connected);
    const Bytes t = tell(1045, 8);
    queue(t);
    EXPECT_EQ(take().bytes, t);
    EXPECT_EQ(simdrv::readRequests(sim), 1);
}

TEST_F(DriverReceiveTest, DeviceGoneClosesTheConnection) {
    // The read in flight comes back empty, the next request is refused.
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        simdrv::removeDevice(sim);
    });
    std::string errors;
    EXPECT_EQ(takeTraced(&errors).result, RC_TIMEOUT);
    unplug.join();
    EXPECT_NE(errors.find("Empty packet received"), std::string::npos);
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    EXPECT_FALSE(device->link().connected);
    EXPECT_EQ(take().result, RC_NOT_CONNECTED);
    // Plugged in again (a new interface at index 0): connect works again.
    sim = plug(1);
    EXPECT_EQ(device->connect(), RC_OK);
}

}  // namespace
