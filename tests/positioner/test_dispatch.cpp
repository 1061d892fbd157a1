// The receive loop and the dispatcher, driven through a scripted device:
// which ACK and TELL telegrams reach which getter, the latched wakes, the
// trace lines of the loop, and a receive failure.
#include <gtest/gtest.h>

#include <thread>

#include "positioner/handle_table.h"
#include "positioner_test_util.h"
#include "test_support.h"
#include "trace.h"

using postest::ackReply;
using postest::tellBytes;
using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override { open(0); }
    void TearDown() override {
        if (handle > 0) PositionerClose(handle);
        postest::clearDevices();
    }
    // Tracing is set up while no receive thread runs, then a handle opened.
    void open(int traceFlags) {
        if (handle > 0) PositionerClose(handle);
        traceInit(nullptr, "", traceFlags);
        device = std::make_shared<postest::TestDevice>();
        ASSERT_EQ(PositionerConnect(postest::appendDevice(device), &handle), RC_OK);
    }
    // Delivers the telegrams and waits until the loop has taken them.
    void deliverAndSettle(const std::vector<std::vector<uint8_t>>& telegrams) {
        const size_t before = device->receives();
        for (const auto& t : telegrams) device->deliver(0, t);
        ASSERT_TRUE(postest::eventually([&] { return device->receives() >= before + telegrams.size() + 1; }));
    }
    std::shared_ptr<postest::TestDevice> device;
    int32_t handle = -1;
};

TEST_F(DispatchTest, PositionTellReachesItsAxisOnly) {
    deliverAndSettle({tellBytes(1045, 2, 777)});
    int32_t v = 0;
    EXPECT_EQ(PositionerGetPosition(handle, 2, &v), RC_OK);
    EXPECT_EQ(v, 777);
    EXPECT_EQ(PositionerGetPosition(handle, 1, &v), RC_OK);
    EXPECT_EQ(v, 0);

    deliverAndSettle({tellBytes(1045, 6, 111), tellBytes(1045, -1, 222), tellBytes(1028, 6, 0xFFF)});
    for (int axis = 0; axis < 6; ++axis) {
        int32_t status = -1;
        EXPECT_EQ(PositionerGetPosition(handle, axis, &v), RC_OK);
        EXPECT_EQ(v, axis == 2 ? 777 : 0) << axis;
        EXPECT_EQ(PositionerGetStatus(handle, axis, &status), RC_OK);
        EXPECT_EQ(status, 0) << axis;
    }
}

TEST_F(DispatchTest, AckWakesTheWaitingGetterWithItsValueWordNotItsReason) {
    int32_t amplitude = 0, result = -99;
    std::thread getter([&] { result = PositionerGetAmplitude(handle, 1, &amplitude); });
    ASSERT_TRUE(postest::eventually([&] { return device->gets(1024) == 1; }));
    device->deliver(0, ackReply(1024, 1, 2 /* out of range */, 4242));
    getter.join();
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(amplitude, 4242);
}

TEST_F(DispatchTest, DcLevelTellIsKeptForTheNextGetter) {
    deliverAndSettle({tellBytes(1300, 3, -42)});
    int32_t level = 0, result = -99;
    // The device never answers the GET: only the kept wake can end the wait.
    const long long ms = elapsedMs([&] { result = PositionerGetDcLevel(handle, 3, &level); });
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(level, -42);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(device->gets(1300), 1) << "the GET is still sent";
}

TEST_F(DispatchTest, AmplitudeTellUpdatesTheValueButWakesNobody) {
    deliverAndSettle({tellBytes(1024, 0, 11)});
    int32_t amplitude = 0, result = -99;
    std::thread getter([&] { result = PositionerGetAmplitude(handle, 0, &amplitude); });
    ASSERT_TRUE(postest::eventually([&] { return device->gets(1024) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(amplitude, 0) << "the getter must still wait";
    device->deliver(0, ackReply(1024, 0, 0, 22));
    getter.join();
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(amplitude, 22);
}

TEST_F(DispatchTest, RepliesOfOtherRegistersAxesOrShapesDoNotWake) {
    // ACK for a register that is only TELL-routed, ACK of another axis, an
    // ACK too short to carry a value, a TELL of an ACK-routed register.
    deliverAndSettle({ackReply(1045, 0, 0, 5), ackReply(1377, 1, 0, 1),
                      postest::rawBytes(20, UC_OP_ACK, 1377, 0, {0}), tellBytes(1377, 0, 1),
                      ackReply(1032, 0, 0, 9)});
    bool enabled = true;
    int32_t result = -99;
    std::thread getter([&] { result = PositionerGetDcInEnable(handle, 0, &enabled); });
    ASSERT_TRUE(postest::eventually([&] { return device->gets(1377) == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    device->deliver(0, ackReply(1377, 0, 0, 2));
    getter.join();
    EXPECT_EQ(result, RC_OK);
    EXPECT_FALSE(enabled);
    int32_t v = -1;
    EXPECT_EQ(PositionerGetPosition(handle, 0, &v), RC_OK);
    EXPECT_EQ(v, 0) << "an ACK of 1045 is not a position report";
}

TEST_F(DispatchTest, FailedQuerySendReturnsAtOnceButCapMeasureStillWaits) {
    device->failSends(1025, RC_SYSTEM_ERROR);
    int32_t v = 5;
    EXPECT_EQ(PositionerGetFrequency(handle, 0, &v), RC_SYSTEM_ERROR);
    EXPECT_EQ(v, 5);

    // The start of a measurement is not checked: the TELL of the result,
    // already kept, still answers.
    device->failSends(1310, RC_SYSTEM_ERROR);
    deliverAndSettle({tellBytes(1385, 2, 880)});
    EXPECT_EQ(PositionerCapMeasure(handle, 2, &v), RC_OK);
    EXPECT_EQ(v, 880);
}

TEST_F(DispatchTest, UnexpectedOpcodeGivesOneErrorLineAndNoChange) {
    const std::string err =
        captureStderr([&] { deliverAndSettle({postest::rawBytes(20, UC_OP_STAT, 1045, 0, {99})}); });
    EXPECT_EQ(err, "ERROR: UC recv: telegram unexpected.\n");
    int32_t v = -1;
    EXPECT_EQ(PositionerGetPosition(handle, 0, &v), RC_OK);
    EXPECT_EQ(v, 0);
}

TEST_F(DispatchTest, ImpossibleLengthsAreTracedAsTheLargestTelegram) {
    open(0x1FC);
    const std::string err = captureStderr([&] {
        deliverAndSettle({postest::rawBytes(8, UC_OP_ACK, 0x77, 0, {0, 1}),
                          postest::rawBytes(-5, UC_OP_ACK, 0x78, 0, {0, 1}),
                          postest::rawBytes(24, UC_OP_ACK, 0x79, 0, {0, 1})});
    });
    EXPECT_NE(err.find("UC recv: ACK  Len=508 Addr=77 "), std::string::npos) << err;
    EXPECT_NE(err.find("UC recv: ACK  Len=508 Addr=78 "), std::string::npos) << err;
    EXPECT_NE(err.find("UC recv: ACK  Len=24 Addr=79 "), std::string::npos) << err;
}

TEST_F(DispatchTest, LengthAboveTheBufferNeverReachesTheLoop) {
    open(0x1FC);
    const std::string err = captureStderr([&] {
        deliverAndSettle({postest::rawBytes(600, UC_OP_TELL, 1045, 0, {31}), tellBytes(1045, 0, 32)});
    });
    EXPECT_EQ(err.find("Len=600"), std::string::npos) << err;
    int32_t v = 0;
    EXPECT_EQ(PositionerGetPosition(handle, 0, &v), RC_OK);
    EXPECT_EQ(v, 32) << "the loop goes on after a telegram that lost framing";
}

TEST_F(DispatchTest, ReceiveFailureDisconnectsTheHandleUntilClosed) {
    device->disconnectResult = RC_SYSTEM_ERROR;
    const std::string err = captureStderr([&] {
        device->deliver(RC_NOT_CONNECTED);
        ASSERT_TRUE(postest::eventually([&] {
            int32_t v;
            return PositionerGetPosition(handle, 0, &v) == RC_NOT_CONNECTED;
        }));
    });
    EXPECT_EQ(err, "FATAL: UC recv: Receive failed.\n");
    const size_t sentBefore = device->sent().size();
    int32_t v = 0;
    bool b = false;
    EXPECT_EQ(PositionerStopMoving(handle, 0), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerGetAmplitude(handle, 0, &v), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerGetDcInEnable(handle, 0, &b), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerMoveAbsolute(handle, 0, 1, 1), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerSetHardwareId(handle, 5), RC_NOT_CONNECTED);
    EXPECT_EQ(PositionerLoad(handle, 0, "/nonexistent"), RC_NOT_CONNECTED);
    EXPECT_EQ(device->sent().size(), sentBefore);

    EXPECT_EQ(PositionerClose(handle), RC_SYSTEM_ERROR) << "the device's close result";
    EXPECT_EQ(PositionerClose(handle), RC_ERROR) << "the number is free again";
    handle = -1;
}

// ---- setters and stop rules that need a failing send ---------------------

TEST_F(DispatchTest, SequencesStopOnlyWhenTheirFirstSetFails) {
    using postest::set;
    using postest::Tel;
    struct Row {
        const char* label;
        int32_t (*call)(int32_t handle);
        int32_t failing;
        int32_t result;
        std::vector<Tel> sent;
    };
    // clang-format off
    const Row rows[] = {
        {"MoveAbsolute first fails", [](int32_t h) { return PositionerMoveAbsolute(h, 1, 5, 6); }, 1032, RC_SYSTEM_ERROR, {}},
        {"MoveAbsolute second fails", [](int32_t h) { return PositionerMoveAbsolute(h, 1, 5, 6); }, 1304, RC_OK,
         {set(1032, 1, 5), set(1037, 1, 1)}},
        {"MoveAbsolute third fails", [](int32_t h) { return PositionerMoveAbsolute(h, 1, 5, 6); }, 1037, RC_SYSTEM_ERROR,
         {set(1032, 1, 5), set(1304, 1, 6)}},
        {"MoveRelative first fails", [](int32_t h) { return PositionerMoveRelative(h, 2, 5, 6); }, 1032, RC_SYSTEM_ERROR, {}},
        {"MoveRelative second fails", [](int32_t h) { return PositionerMoveRelative(h, 2, 5, 6); }, 1304, RC_OK,
         {set(1032, 2, 5), set(1048, 2, 1)}},
        {"SetTargetPos first fails", [](int32_t h) { return PositionerSetTargetPos(h, 0, 5, 6); }, 1032, RC_SYSTEM_ERROR, {}},
        {"SetTargetPos second fails", [](int32_t h) { return PositionerSetTargetPos(h, 0, 5, 6); }, 1304, RC_SYSTEM_ERROR,
         {set(1032, 0, 5)}},
        {"Trigger first fails", [](int32_t h) { return PositionerTrigger(h, 4, 1, 2); }, 1328, RC_SYSTEM_ERROR, {}},
        {"Trigger second fails", [](int32_t h) { return PositionerTrigger(h, 4, 1, 2); }, 1329, RC_SYSTEM_ERROR,
         {set(1328, 4, 1)}},
        {"SetHardwareId first fails", [](int32_t h) { return PositionerSetHardwareId(h, 77); }, 362, RC_OK,
         {set(367, 0, 0x5A3C)}},
        {"SetHardwareId second fails", [](int32_t h) { return PositionerSetHardwareId(h, 77); }, 367, RC_SYSTEM_ERROR,
         {set(362, 0, 77)}},
        {"Amplitude fails", [](int32_t h) { return PositionerAmplitude(h, 0, 9); }, 1024, RC_SYSTEM_ERROR, {}},
    };
    // clang-format on
    for (const Row& r : rows) {
        device->failSends(r.failing, RC_SYSTEM_ERROR);
        const size_t before = device->sentTelegrams().size();
        EXPECT_EQ(r.call(handle), r.result) << r.label;
        std::vector<Tel> sent = device->sentTelegrams();
        sent.erase(sent.begin(), sent.begin() + static_cast<long>(before));
        EXPECT_EQ(sent, r.sent) << r.label << ": " << postest::describe(sent);
        device->clearFailures();
    }
}

// The value a successful amplitude or frequency SET stores is read only
// after a wake, which brings its own value; so this looks at the cache.
TEST_F(DispatchTest, AmplitudeAndFrequencyAreCachedOnlyAfterASuccessfulSend) {
    const pos::AxisEntry& axis = pos::handleEntry(handle)->axes[4];
    EXPECT_EQ(PositionerAmplitude(handle, 4, 1234), RC_OK);
    EXPECT_EQ(PositionerFrequency(handle, 4, 567), RC_OK);
    EXPECT_EQ(axis.get(pos::Field::Amplitude), 1234);
    EXPECT_EQ(axis.get(pos::Field::Frequency), 567);
    device->failSends(1024, RC_SYSTEM_ERROR);
    device->failSends(1025, RC_SYSTEM_ERROR);
    EXPECT_EQ(PositionerAmplitude(handle, 4, 99), RC_SYSTEM_ERROR);
    EXPECT_EQ(PositionerFrequency(handle, 4, 98), RC_SYSTEM_ERROR);
    EXPECT_EQ(axis.get(pos::Field::Amplitude), 1234);
    EXPECT_EQ(axis.get(pos::Field::Frequency), 567);
}

}  // namespace
