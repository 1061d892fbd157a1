// Telegram framing of the libusb transport: how receive() cuts the
// transfers stored in the ring into telegrams.
#include <thread>

#include "test_support.h"
#include "usb_fixture.h"

using namespace usbtest;

namespace {

class UsbReceive : public UsbLibTest {
protected:
    void SetUp() override {
        UsbLibTest::SetUp();
        ASSERT_EQ(device->connect(), RC_OK);
    }
};

TEST_F(UsbReceive, TwoTelegramsInOneTransferComeOneAfterTheOther) {
    const Bytes first = ack(359, 0x5000), second = tell(1045, -7);
    fake_libusb::pushTransfer(fake, join({first, second}));
    fake_libusb::pushTransfer(fake, tell(1028, 3));

    Received r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, first);
    r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, second);
    // The slot is used up: the next call reads the next transfer.
    r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, tell(1028, 3));
}

TEST_F(UsbReceive, TelegramSplitOverTwoTransfersIsCompletedOnRequest) {
    const Bytes whole = tell(1045, 123456);
    fake_libusb::pushTransfer(fake, Bytes(whole.begin(), whole.begin() + 10));
    fake_libusb::pushTransfer(fake, join({Bytes(whole.begin() + 10, whole.end()), tell(1, 2)}));

    Received head = take();
    ASSERT_EQ(head.result, RC_OK);
    EXPECT_EQ(head.bytes, Bytes(whole.begin(), whole.begin() + 10));
    Received rest = take(14);
    ASSERT_EQ(rest.result, RC_OK);
    EXPECT_EQ(join({head.bytes, rest.bytes}), whole);
    // The telegram after the split one is framed normally.
    Received next = take();
    ASSERT_EQ(next.result, RC_OK);
    EXPECT_EQ(next.bytes, tell(1, 2));
}

TEST_F(UsbReceive, ContinuationGetsNoMoreThanTheSlotHolds) {
    fake_libusb::pushTransfer(fake, Bytes(6, 0x11));
    Received r = take(100);
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, Bytes(6, 0x11));
}

TEST_F(UsbReceive, ShortAckIsReadAsWholeAckWhenTheBytesAreThere) {
    Bytes padded = raw(20, UC_OP_ACK, 28);
    padded[24] = 0x42;
    fake_libusb::pushTransfer(fake, padded);
    fake_libusb::pushTransfer(fake, raw(20, UC_OP_ACK, 24));
    fake_libusb::pushTransfer(fake, raw(20, UC_OP_TELL, 28));

    Received r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, padded);  // 28, not 24
    r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes.size(), 24u);  // only 24 available
    r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes.size(), 24u);  // the padding rule is for ACKs only
}

TEST_F(UsbReceive, ImplausibleLengthDropsTheRestOfTheSlot) {
    struct Case {
        int32_t lengthWord;
        int requested;
    } cases[] = {
        {596, 0},                   // 600 bytes
        {509, 0},                   // 513 bytes
        {15, 0},                    // 19 bytes, below a header
        {-8, 0},                    // negative
        {INT32_MAX, 0}, {16, 513},  // a continuation beyond the largest telegram
        {16, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lengthWord);
        fake_libusb::pushTransfer(fake, join({raw(c.lengthWord, UC_OP_TELL, 24), tell(7, 7)}));
        fake_libusb::pushTransfer(fake, tell(8, 8));
        unsigned char buffer[UC_MAX_TELEGRAM];
        int length = c.requested;
        std::string err =
            test_support::captureStderr([&] { EXPECT_EQ(device->receive(buffer, &length), RC_OUT_OF_SYNC); });
        EXPECT_EQ(err, "");
        EXPECT_EQ(length, c.requested);
        // tell(7, 7) went with the slot; the next transfer is intact.
        Received next = take();
        ASSERT_EQ(next.result, RC_OK);
        EXPECT_EQ(next.bytes, tell(8, 8));
    }
    EXPECT_TRUE(device->link().connected);
}

TEST_F(UsbReceive, LengthWordCutByTheTransferEndIsOutOfSync) {
    fake_libusb::pushTransfer(fake, Bytes{24, 0, 0});
    fake_libusb::pushTransfer(fake, tell(8, 8));
    EXPECT_EQ(take().result, RC_OUT_OF_SYNC);
    EXPECT_EQ(take().bytes, tell(8, 8));
}

TEST_F(UsbReceive, EmptyTransferStoresNothing) {
    fake_libusb::pushTransfer(fake, Bytes{});
    fake_libusb::pushTransfer(fake, tell(9, 9));
    ASSERT_TRUE(fake_libusb::waitForReads(fake, 3, 2000));  // both consumed
    Received r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, tell(9, 9));
}

TEST_F(UsbReceive, NothingWithinTheWaitIsATimeOut) {
    int result = -100;
    const long long ms = test_support::elapsedMs([&] { result = take().result; });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_GE(ms, 450);
    EXPECT_TRUE(device->link().connected);
}

TEST_F(UsbReceive, CancelWithoutWaiterLeavesOneWakePending) {
    device->cancelReceive();
    device->cancelReceive();  // wakes do not add up
    int result = -100;
    long long ms = test_support::elapsedMs([&] { result = take().result; });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_LT(ms, 300);
    // The wake was taken: this one waits again until data comes.
    std::thread feeder([this] {
        IThread::sleep(150);
        fake_libusb::pushTransfer(fake, tell(3, 3));
    });
    Received r;
    ms = test_support::elapsedMs([&] { r = take(); });
    feeder.join();
    EXPECT_EQ(r.result, RC_OK);
    EXPECT_GE(ms, 100);
}

TEST_F(UsbReceive, CancelEndsAWaitingReceive) {
    std::thread canceller([this] {
        IThread::sleep(100);
        device->cancelReceive();
    });
    int result = -100;
    const long long ms = test_support::elapsedMs([&] { result = take().result; });
    canceller.join();
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_LT(ms, 400);
}

TEST_F(UsbReceive, NullArgumentsAreRefused) {
    int length = 0;
    unsigned char buffer[UC_MAX_TELEGRAM];
    EXPECT_EQ(device->receive(nullptr, &length), RC_INVALID_PARAM);
    EXPECT_EQ(device->receive(buffer, nullptr), RC_INVALID_PARAM);
}

}  // namespace
