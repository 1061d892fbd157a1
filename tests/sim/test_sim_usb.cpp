// The simulated controller through its USB byte interface: no sockets, so
// these run outside a network namespace. They cover the controller model
// (registers, axes, capacity, periodic reports), the input framing and the
// fault modes as a USB host sees them.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "sim_controller.h"
#include "sim_test_util.h"
#include "uc_telegram.h"

using simtest::Bytes;
using simtest::word;

namespace {

sim::Options usbOnly() {
    sim::Options o;
    o.network = false;
    return o;
}

class UsbSim : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(controller.start()); }

    void write(const Bytes& b) { controller.usbWrite(b.data(), b.size()); }
    bool read(Bytes& out, int timeoutMs = 1000) { return controller.usbRead(out, timeoutMs); }
    // The next transfer that is a telegram with this opcode and address.
    bool readUntil(int32_t opcode, int32_t address, Bytes& out, int timeoutMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (read(out, 50) && word(out, 1) == opcode && word(out, 2) == address) return true;
        }
        return false;
    }
    int32_t get(int32_t address, int32_t index) {
        write(simtest::getRequest(address, index));
        Bytes ack;
        EXPECT_TRUE(readUntil(UC_OP_ACK, address, ack));
        return word(ack, 6);
    }
    void set(int32_t address, int32_t index, int32_t value) {
        write(simtest::setRequest(address, index, value));
        Bytes ack;
        EXPECT_TRUE(readUntil(UC_OP_ACK, address, ack));
    }
    int32_t reg(int32_t address, int32_t index) {
        int32_t v = -1;
        EXPECT_TRUE(controller.registerValue(address, index, &v));
        return v;
    }
    // Waits until the register holds value (the ticker moves axes).
    bool waitFor(int32_t address, int32_t index, int32_t value, int timeoutMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int32_t v = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (controller.registerValue(address, index, &v) && v == value) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    sim::Controller controller{usbOnly()};
};

TEST_F(UsbSim, GetAndSetAreAnsweredByteExact) {
    write(simtest::getRequest(359, 0, 1));
    Bytes ack;
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(ack, simtest::ackBytes(359, 0, 1, 0, 0x5000));

    write(simtest::setRequest(1024, 3, 77000, 0x00020005));
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(ack, simtest::ackBytes(1024, 3, 0x00020005, 0, 77000));
    write(simtest::getRequest(1024, 3, 1));
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(ack, simtest::ackBytes(1024, 3, 1, 0, 77000));

    // Registers never written are unknown; SET accepts any address.
    write(simtest::getRequest(4321, 0, 9));
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(ack, simtest::ackBytes(4321, 0, 9, 1, 0));
    write(simtest::getRequest(1024, 6, 1));
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(word(ack, 5), 1);
    set(4321, 0, -5);
    EXPECT_EQ(get(4321, 0), -5);

    auto log = controller.received();
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[1].opcode, UC_OP_SET);
    EXPECT_EQ(log[1].address, 1024);
    EXPECT_EQ(log[1].index, 3);
    EXPECT_EQ(log[1].correlation, 0x00020005);
    EXPECT_EQ(log[1].data, std::vector<int32_t>{77000});
    controller.clearReceived();
    EXPECT_TRUE(controller.received().empty());
}

TEST_F(UsbSim, PresetRegistersAndIdChange) {
    EXPECT_EQ(get(360, 0), 1000);
    for (int32_t address : {1025, 1300, 1377, 1378, 1379, 1384}) {
        write(simtest::getRequest(address, 5));
        Bytes ack;
        ASSERT_TRUE(readUntil(UC_OP_ACK, address, ack));
        EXPECT_EQ(word(ack, 5), 0) << address;
    }
    // The new id applies only with the unlock code.
    set(362, 0, 4711);
    set(367, 0, 0x1234);
    EXPECT_EQ(get(360, 0), 1000);
    set(367, 0, 0x5A3C);
    EXPECT_EQ(get(360, 0), 4711);
}

TEST_F(UsbSim, SetWithoutDataWordIsRefused) {
    Bytes bare = simtest::getRequest(1024, 0, 3);
    bare[4] = UC_OP_SET;
    write(bare);
    Bytes ack;
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(ack, simtest::ackBytes(1024, 0, 3, 2, 0));
    EXPECT_EQ(reg(1024, 0), 30000);
}

TEST_F(UsbSim, AbsoluteAndRelativeMovesReachTheirTargets) {
    set(1032, 1, 20000);
    set(1304, 1, 0);
    set(1037, 1, 1);
    int32_t status = reg(1028, 1);
    EXPECT_TRUE(status & sim::kStatusMoving);
    EXPECT_TRUE(status & sim::kStatusApproachActive);
    EXPECT_FALSE(status & sim::kStatusTargetReached);
    ASSERT_TRUE(waitFor(1045, 1, 20000));
    ASSERT_TRUE(waitFor(1028, 1, sim::kStatusTargetReached | sim::kStatusApproachActive));
    EXPECT_EQ(reg(1346, 1), 0);
    set(1037, 1, 0);
    EXPECT_EQ(reg(1028, 1), sim::kStatusTargetReached);

    set(1032, 1, -5000);
    set(1048, 1, 1);
    EXPECT_EQ(reg(1028, 1) & (sim::kStatusMoving | sim::kStatusTargetReached), sim::kStatusMoving);
    ASSERT_TRUE(waitFor(1045, 1, 15000));
    ASSERT_TRUE(waitFor(1028, 1, sim::kStatusTargetReached));
    EXPECT_EQ(reg(1045, 0), 0) << "other axes stay put";
}

TEST_F(UsbSim, ContinuousStepStopResetAndReference) {
    set(1039, 2, 1);
    ASSERT_TRUE(waitFor(1346, 2, 1000000));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    set(1107, 2, 1);
    int32_t stopped = reg(1045, 2);
    EXPECT_GT(stopped, 0);
    EXPECT_EQ(reg(1346, 2), 0);
    EXPECT_FALSE(reg(1028, 2) & sim::kStatusMoving);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(reg(1045, 2), stopped);

    set(1040, 2, 1);
    EXPECT_EQ(reg(1045, 2), stopped - 100);
    set(1353, 2, 7);
    set(1041, 2, 1);
    EXPECT_EQ(reg(1045, 2), stopped - 93);

    set(1103, 2, 1);
    EXPECT_EQ(reg(1045, 2), 0);
    // The mark sits at its physical place, so after the reset its counter
    // position is the mark minus the distance travelled before.
    set(1092, 2, 1);
    const int32_t markCounter = sim::kReferenceMark - (stopped - 93);
    ASSERT_TRUE(waitFor(1045, 2, markCounter));
    ASSERT_TRUE(waitFor(1028, 2, sim::kStatusReferenceValid));
    EXPECT_EQ(reg(1031, 2), markCounter);

    set(1038, 2, 1);
    ASSERT_TRUE(waitFor(1346, 2, -1000000));
    set(1038, 2, 0);
    EXPECT_EQ(reg(1346, 2), 0);
}

TEST(UsbSimLimits, ContinuousMoveStopsAtTheTravelLimit) {
    sim::Options o = usbOnly();
    o.travelLimit = 3000;
    sim::Controller c(o);
    ASSERT_TRUE(c.start());
    Bytes forward = simtest::setRequest(1039, 0, 1);
    c.usbWrite(forward.data(), forward.size());
    int32_t status = 0;
    for (int i = 0; i < 500 && !(status & sim::kStatusEndOfTravel); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        c.registerValue(1028, 0, &status);
    }
    EXPECT_EQ(status, sim::kStatusEndOfTravel);
    int32_t position = 0;
    c.registerValue(1045, 0, &position);
    EXPECT_EQ(position, 3000);
}

TEST_F(UsbSim, CapacityMeasurementAnswersByTell) {
    controller.setRegister(1385, 4, 1234);
    auto start = std::chrono::steady_clock::now();
    set(1310, 4, 1);
    Bytes tell;
    ASSERT_TRUE(readUntil(UC_OP_TELL, 1385, tell));
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, sim::kCapacityDelayMs - 5);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(tell.size(), 24u);
    EXPECT_EQ(word(tell, 3), 4);
    EXPECT_EQ(word(tell, 4), 0);
    EXPECT_EQ(word(tell, 5), 1234);
}

TEST(UsbSimReports, PeriodicTellsComeAtTheInterval) {
    sim::Options o = usbOnly();
    o.tellIntervalMs = 20;
    sim::Controller c(o);
    ASSERT_TRUE(c.start());
    c.setRegister(1045, 3, 999);
    Bytes t;
    ASSERT_TRUE(c.usbRead(t, 500));
    auto start = std::chrono::steady_clock::now();
    int reports = 0;
    std::vector<int32_t> seen;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(200)) {
        if (!c.usbRead(t, 50)) continue;
        ASSERT_EQ(word(t, 1), UC_OP_TELL);
        EXPECT_EQ(word(t, 4), 0);
        if (word(t, 2) == 1045 && word(t, 3) == 0) ++reports;
        if (word(t, 3) == 3 && seen.size() < 4) seen.push_back(word(t, 2));
        if (word(t, 2) == 1045 && word(t, 3) == 3) {
            EXPECT_EQ(word(t, 5), 999);
        }
    }
    EXPECT_GE(reports, 7);
    EXPECT_LE(reports, 12);
    EXPECT_EQ(seen, (std::vector<int32_t>{1045, 1028, 1031, 1346}));
}

TEST_F(UsbSim, FramingAcrossTransfersAndReadLimits) {
    Bytes get = simtest::getRequest(360, 0);
    controller.usbWrite(get.data(), 7);
    controller.usbWrite(get.data() + 7, get.size() - 7);
    Bytes ack;
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(word(ack, 6), 1000);

    // Two requests in one transfer, the reply read in pieces.
    Bytes two = simtest::getRequest(359, 0);
    two.insert(two.end(), get.begin(), get.end());
    write(two);
    ASSERT_TRUE(controller.usbRead(ack, 500, 10));
    EXPECT_EQ(ack.size(), 10u);
    ASSERT_TRUE(controller.usbRead(ack, 500, 512));
    EXPECT_EQ(ack.size(), 18u);
    ASSERT_TRUE(read(ack));
    EXPECT_EQ(word(ack, 2), 360);
    EXPECT_FALSE(controller.usbRead(ack, 20));

    set(1024, 0, 1);
    write(simtest::getRequest(1024, 0));
    controller.usbFlush();
    EXPECT_FALSE(controller.usbRead(ack, 20));
}

TEST_F(UsbSim, GarbageInputIsDroppedAndTheControllerStillAnswers) {
    std::mt19937 random(42);
    Bytes junk(5000);
    for (auto& b : junk) b = static_cast<uint8_t>(random());
    write(junk);
    // Lengths out of range and a bad opcode.
    write(Bytes{0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0});
    write(Bytes{0x0F, 0, 0, 0, 1, 0, 0, 0});
    write(Bytes{0x10, 0, 0, 0, 0x63, 0, 0, 0});
    controller.usbFlush();
    EXPECT_GT(controller.malformedInputs(), 0);
    // Random bytes may have framed as a partial telegram; it is dropped
    // once it stalls, so the next request is answered whole.
    std::this_thread::sleep_for(std::chrono::milliseconds(sim::kStallMs + 50));
    controller.clearReceived();
    const int before = controller.malformedInputs();
    EXPECT_EQ(get(360, 0), 1000);
    ASSERT_EQ(controller.received().size(), 1u);
    EXPECT_GE(controller.malformedInputs(), before);

    // A stalled partial telegram alone counts as one drop.
    const int beforePartial = controller.malformedInputs();
    Bytes get = simtest::getRequest(359, 0);
    controller.usbWrite(get.data(), 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(sim::kStallMs + 50));
    write(get);
    Bytes ack;
    ASSERT_TRUE(readUntil(UC_OP_ACK, 359, ack));
    EXPECT_EQ(controller.malformedInputs(), beforePartial + 1);
}

TEST_F(UsbSim, SilentAndLate) {
    controller.setFault(sim::Controller::Fault::Silent, true);
    write(simtest::setRequest(1025, 0, 555));
    write(simtest::setRequest(1310, 0, 1));
    Bytes t;
    EXPECT_FALSE(read(t, sim::kCapacityDelayMs + 100));
    EXPECT_EQ(controller.received().size(), 2u);
    EXPECT_EQ(reg(1025, 0), 555) << "silent still applies SETs";
    controller.setFault(sim::Controller::Fault::Silent, false);

    controller.setFault(sim::Controller::Fault::Late, true, 150);
    auto start = std::chrono::steady_clock::now();
    write(simtest::getRequest(1025, 0));
    write(simtest::getRequest(1024, 0));
    ASSERT_TRUE(read(t, 1000));
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, 145);
    EXPECT_EQ(word(t, 2), 1025);
    EXPECT_EQ(word(t, 6), 555);
    ASSERT_TRUE(read(t, 100));
    EXPECT_EQ(word(t, 2), 1024);
    controller.setFault(sim::Controller::Fault::Late, false);
    write(simtest::getRequest(1024, 0));
    ASSERT_TRUE(read(t, 50));
}

TEST_F(UsbSim, SplitAndGarbageShapeTheTransfers) {
    controller.setFault(sim::Controller::Fault::SplitSegments, true, 10);
    write(simtest::getRequest(359, 0));
    Bytes whole, piece;
    for (size_t expected : {10u, 10u, 8u}) {
        ASSERT_TRUE(read(piece));
        EXPECT_EQ(piece.size(), expected);
        whole.insert(whole.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(whole, simtest::ackBytes(359, 0, 1, 0, 0x5000));
    controller.setFault(sim::Controller::Fault::SplitSegments, false);

    controller.setFault(sim::Controller::Fault::Garbage, true, 5);
    write(simtest::getRequest(359, 0));
    write(simtest::getRequest(359, 0));
    ASSERT_TRUE(read(piece));
    EXPECT_EQ(piece, Bytes(5, 0xA5));
    ASSERT_TRUE(read(piece));
    EXPECT_EQ(piece.size(), 28u);
    ASSERT_TRUE(read(piece));
    EXPECT_EQ(piece.size(), 28u) << "garbage is one-shot";
}

TEST_F(UsbSim, OneShotTelegramFaults) {
    Bytes t;
    controller.setFault(sim::Controller::Fault::OutOfStepTell, true);
    ASSERT_TRUE(read(t));
    EXPECT_EQ(t.size(), 24u);
    EXPECT_EQ(word(t, 1), UC_OP_TELL);
    EXPECT_EQ(word(t, 2), 10);

    controller.setFault(sim::Controller::Fault::LengthTooLarge, true);
    ASSERT_TRUE(read(t));
    EXPECT_EQ(t.size(), 24u);
    EXPECT_EQ(word(t, 0), 509);
    controller.setFault(sim::Controller::Fault::LengthTooLarge, true, 4000);
    ASSERT_TRUE(read(t));
    EXPECT_EQ(word(t, 0), 4000);

    controller.setFault(sim::Controller::Fault::BadOpcode, true);
    ASSERT_TRUE(read(t));
    EXPECT_EQ(t.size(), 20u);
    EXPECT_EQ(word(t, 0), 16);
    EXPECT_EQ(word(t, 1), 1);
    controller.setFault(sim::Controller::Fault::BadOpcode, true, 5);
    ASSERT_TRUE(read(t));
    EXPECT_EQ(word(t, 1), 5);
    EXPECT_FALSE(read(t, 30)) << "each one-shot fires once";
}

TEST_F(UsbSim, TellFloodRunsAtItsRateUntilOff) {
    Bytes t;
    controller.setFault(sim::Controller::Fault::TellFlood, true, 2000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    controller.setFault(sim::Controller::Fault::TellFlood, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int tells = 0;
    while (controller.usbRead(t, 20)) {
        if (word(t, 1) == UC_OP_TELL && word(t, 2) == 1045) ++tells;
    }
    EXPECT_GE(tells, 300);
    EXPECT_LE(tells, 500);
}

TEST(UsbSimLifecycle, StartsOnceAndStopWakesReaders) {
    sim::Controller c(usbOnly());
    ASSERT_TRUE(c.start());
    EXPECT_FALSE(c.start());
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.stop();
    });
    Bytes t;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.usbRead(t, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    stopper.join();
    c.stop();
}

}  // namespace
