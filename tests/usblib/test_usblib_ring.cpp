// The ring between the reader thread and receive(): a ring that fills
// because nobody receives, and traffic with the controller simulator.
#include <atomic>
#include <thread>

#include "wire/telegram.h"
#include "sim_controller.h"
#include "test_support.h"
#include "usb_fixture.h"

using namespace usbtest;

namespace {

class UsbRing : public UsbLibTest {
protected:
    UsbRing() : UsbLibTest(2) {}
};

TEST_F(UsbRing, FullRingWaitsForReceiveAndLosesNothing) {
    constexpr int kTransfers = 6;
    for (int v = 1; v <= kTransfers; ++v) fake_libusb::pushTransfer(fake, tell(1045, v));
    ASSERT_EQ(device->connect(), RC_OK);
    ASSERT_TRUE(fake_libusb::waitForReads(fake, 2, 2000));
    IThread::sleep(300);
    // Both slots are filled and unread: the reader must not read again.
    EXPECT_EQ(fake_libusb::stats(fake).reads, 2);

    for (int v = 1; v <= kTransfers; ++v) {
        Received r = take();
        ASSERT_EQ(r.result, RC_OK) << v;
        EXPECT_EQ(r.bytes, tell(1045, v));
    }
    EXPECT_GE(fake_libusb::stats(fake).reads, kTransfers);
}

TEST_F(UsbRing, DisconnectWhileTheRingIsFullEndsPromptly) {
    for (int v = 0; v < 4; ++v) fake_libusb::pushTransfer(fake, tell(1, v));
    ASSERT_EQ(device->connect(), RC_OK);
    ASSERT_TRUE(fake_libusb::waitForReads(fake, 2, 2000));
    int result = -100;
    const long long ms = test_support::elapsedMs([&] { result = device->disconnect(); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(fake_libusb::stats(fake).openHandles, 0);
}

TEST_F(UsbRing, SlotsNeverOverrunWhateverTheTransferSize) {
    ASSERT_EQ(device->connect(), RC_OK);
    // A transfer larger than a slot is cut to the slot by the bulk read.
    fake_libusb::pushTransfer(fake, join({tell(1, 1), Bytes(4000, 0)}));
    Received r = take();
    ASSERT_EQ(r.result, RC_OK);
    EXPECT_EQ(r.bytes, tell(1, 1));
    // The zero padding reads as a too-short telegram: the slot's rest goes.
    EXPECT_EQ(take().result, RC_OUT_OF_SYNC);
}

// The receive loop of the link: a whole telegram, completed over as many
// calls as the transfers need.
int receiveTelegram(UcUsbLibDevice& device, Bytes& out) {
    unsigned char buffer[UC_MAX_TELEGRAM];
    int length = 0;
    int result = device.receive(buffer, &length);
    if (result != RC_OK) return result;
    out.assign(buffer, buffer + length);
    if (out.size() < 4) return RC_OUT_OF_SYNC;
    const int64_t whole = uc::wireSize(uc::get32(out.data()));
    while (static_cast<int64_t>(out.size()) < whole) {
        length = static_cast<int>(whole - static_cast<int64_t>(out.size()));
        result = device.receive(buffer, &length);
        if (result == RC_TIMEOUT) continue;
        if (result != RC_OK) return result;
        out.insert(out.end(), buffer, buffer + length);
    }
    return RC_OK;
}

class UsbWithSimulator : public UsbLibTest {
protected:
    UsbWithSimulator() : controller(options()) {}

    static sim::Options options() {
        sim::Options o;
        o.network = false;
        return o;
    }

    void SetUp() override {
        UsbLibTest::SetUp();
        ASSERT_TRUE(controller.start());
        fake_libusb::Peer peer;
        peer.read = [this](Bytes& t, int ms, size_t max) { return controller.usbRead(t, ms, max); };
        peer.write = [this](const void* p, size_t n) { controller.usbWrite(p, n); };
        fake_libusb::setPeer(fake, peer);
        ASSERT_EQ(device->connect(), RC_OK);
    }

    void TearDown() override {
        device->disconnect();
        controller.stop();
        UsbLibTest::TearDown();
    }

    // GET of a register, and the ACK that answers it.
    int32_t get(int32_t address) {
        UcTelegram t{};
        const int n = uc::buildGet(t, address, 0, 1);
        EXPECT_EQ(device->send(n, &t), RC_OK);
        for (int attempt = 0; attempt < 50; ++attempt) {
            Bytes reply;
            const int r = receiveTelegram(*device, reply);
            if (r == RC_TIMEOUT) continue;
            EXPECT_EQ(r, RC_OK);
            if (r != RC_OK) return -1;
            if (uc::get32(reply.data(), 4) == UC_OP_ACK && uc::get32(reply.data(), 8) == address)
                return uc::get32(reply.data(), 24);
        }
        ADD_FAILURE() << "no ACK for register " << address;
        return -1;
    }

    sim::Controller controller;
};

TEST_F(UsbWithSimulator, RequestsAreAnswered) {
    EXPECT_EQ(get(REG_CONTROLLER_TYPE), options().controllerType);
    EXPECT_EQ(get(REG_CONTROLLER_ID), options().hardwareId);
    ASSERT_TRUE(controller.waitForReceived(2, 1000));
    EXPECT_EQ(controller.received()[0].address, REG_CONTROLLER_TYPE);
}

TEST_F(UsbWithSimulator, TelegramsSplitIntoSmallTransfersAreReassembled) {
    controller.setFault(sim::Controller::Fault::SplitSegments, true, 7);
    EXPECT_EQ(get(REG_CONTROLLER_ID), options().hardwareId);
}

TEST_F(UsbWithSimulator, FloodOfTellsWhileSending) {
    controller.setFault(sim::Controller::Fault::TellFlood, true, 5000);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        UcTelegram t{};
        const int n = uc::buildSet(t, 1024, 0, 0, 1234);
        while (!done) {
            EXPECT_EQ(device->send(n, &t), RC_OK);
            IThread::sleep(2);
        }
    });
    int tells = 0;
    for (int i = 0; i < 400; ++i) {
        Bytes tel;
        const int r = receiveTelegram(*device, tel);
        if (r == RC_TIMEOUT) continue;
        ASSERT_EQ(r, RC_OK);
        const int32_t op = uc::get32(tel.data(), 4);
        ASSERT_TRUE(op == UC_OP_TELL || op == UC_OP_ACK) << op;
        if (op == UC_OP_TELL) {
            EXPECT_EQ(tel.size(), 24u);
            EXPECT_EQ(uc::get32(tel.data(), 8), 1045);
            ++tells;
        }
    }
    done = true;
    sender.join();
    EXPECT_GT(tells, 100);
}

}  // namespace
