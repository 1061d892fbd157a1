// Device registry operations on scripted device objects: device numbers,
// the value cache, the GET exchange rules, the receive completion and the
// TCP out-of-step handling.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/registry.h"
#include "wire/telegram.h"
#include "link/uc_link.h"
#include "net_peers.h"
#include "scripted_device.h"
#include "test_support.h"

using test_support::captureStderr;
using test_support::elapsedMs;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        traceInit(nullptr, "", 0x1FC);
        int unused = 0;
        UC_presence(&unused, 0);
    }
    void TearDown() override {
        int unused = 0;
        UC_presence(&unused, 0);
    }
    // Appends a connected scripted device; returns it (device number 0 for
    // the first).
    std::shared_ptr<ScriptedDevice> add(int32_t type = transport::kUsbDevice, uint8_t variantFlag = 0) {
        auto device = std::make_shared<ScriptedDevice>(type, variantFlag);
        device->connect();
        deviceList.push_back(device);
        return device;
    }
};

TEST_F(RegistryTest, BadDeviceNumbersAreRefusedBeforeAnyDeviceIsTouched) {
    auto device = add();
    for (int bad : {1, -1}) {
        SCOPED_TRACE(bad);
        int v = 55, result = 55, step = 55;
        EXPECT_EQ(UC_init(bad), RC_NO_DEVICE);
        EXPECT_EQ(UC_shutdown(bad), RC_NO_DEVICE);
        EXPECT_FALSE(UC_isConnected(bad));
        EXPECT_STREQ(UC_getName(bad), "INVALID");
        EXPECT_EQ(UC_getTransport(bad), 0);
        EXPECT_EQ(UC_getType(bad, &v), RC_NO_DEVICE);
        EXPECT_EQ(UC_getValue(bad, 0, &v, 0), RC_NO_DEVICE);
        EXPECT_EQ(UC_send(bad, 20, "12345678901234567890"), RC_NO_DEVICE);
        UcTelegram t = {};
        EXPECT_EQ(UC_recv(bad, &t), RC_NO_DEVICE);
        EXPECT_EQ(UC_cancelIo(bad), RC_NO_DEVICE);
        EXPECT_EQ(UC_startSync(bad), RC_NO_DEVICE);
        EXPECT_EQ(UC_request(bad, 359, &v), RC_NO_DEVICE);
        EXPECT_EQ(UC_sendHeader(bad, 359, UC_OP_GET), RC_NO_DEVICE);
        EXPECT_EQ(UC_initAsync(bad, 0), RC_NO_DEVICE);
        EXPECT_FALSE(UC_initStatus(bad, &result, &step));
        EXPECT_EQ(result, RC_NO_DEVICE);
        EXPECT_EQ(step, 0);
        EXPECT_EQ(UC_deviceRef(bad), nullptr);
        EXPECT_EQ(v, 55);
    }
    EXPECT_TRUE(device->sent().empty());
    EXPECT_EQ(device->connects, 1);
    EXPECT_TRUE(UC_isConnected(0));
    EXPECT_STREQ(UC_getName(0), "SCRIPTED");
    EXPECT_EQ(UC_getTransport(0), 1);
    EXPECT_EQ(UC_getTransferSize(), 512);
    deviceList.push_back(std::make_shared<ScriptedDevice>(transport::kTcpDevice));
    deviceList.push_back(std::make_shared<ScriptedDevice>(7));
    EXPECT_EQ(UC_getTransport(1), 2);
    EXPECT_EQ(UC_getTransport(2), 0);
}

TEST_F(RegistryTest, ScanWithoutCarrierEmptiesTheListButSharedObjectsLive) {
    bool firstGone = false, secondGone = false;
    add()->destroyed = &firstGone;
    add()->destroyed = &secondGone;
    std::shared_ptr<UcDevice> held = UC_deviceRef(1);
    int count = 42;
    EXPECT_EQ(UC_presence(&count, 0), RC_NO_DEVICE);
    EXPECT_EQ(count, 42);
    EXPECT_EQ(UC_deviceRef(0), nullptr);
    EXPECT_TRUE(firstGone);
    EXPECT_FALSE(secondGone) << "an object shared by a handle survives the scan";
    EXPECT_EQ(UC_sendHeader(*held, 359, UC_OP_GET), RC_OK);
    EXPECT_EQ(static_cast<ScriptedDevice&>(*held).sent().size(), 1u);
    held.reset();
    EXPECT_TRUE(secondGone);
}

TEST_F(RegistryTest, HeadersAreBuiltByteExact) {
    auto device = add();
    EXPECT_EQ(UC_sendHeader(0, 359, UC_OP_GET), RC_OK);
    EXPECT_EQ(UC_sendHeader(0, REG_SYNC, UC_OP_SET), RC_OK);
    const std::vector<uint8_t> get = {0x10, 0, 0, 0, 1, 0, 0, 0, 0x67, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    const std::vector<uint8_t> sync = peers::telegram(20, UC_OP_SET, 10, 0, 0, {0});
    ASSERT_EQ(device->sent().size(), 2u);
    EXPECT_EQ(device->sent()[0], get);
    EXPECT_EQ(device->sent()[1], sync) << "the resynchronisation SET carries a zero data word";
    EXPECT_EQ(UC_send(0, -1, "x"), RC_INVALID_PARAM);
    EXPECT_EQ(UC_send(0, 4, nullptr), RC_INVALID_PARAM);
}

TEST(RegistryReply, FinalReplyTest) {
    auto is = [](int32_t opcode, int32_t correlation) {
        std::vector<uint8_t> t = peers::telegram(24, opcode, 1, 0, correlation, {0, 0});
        return UC_isReply(reinterpret_cast<const UcTelegram*>(t.data()));
    };
    EXPECT_TRUE(is(UC_OP_ACK, 1));
    EXPECT_FALSE(is(UC_OP_ACK, 0));
    EXPECT_FALSE(is(UC_OP_ACK, 0x10001));
    EXPECT_TRUE(is(UC_OP_TELL, 0));
    EXPECT_TRUE(is(UC_OP_TELL, 0x20000));
    EXPECT_FALSE(is(UC_OP_TELL, 5));
    EXPECT_FALSE(is(UC_OP_SET, 1));
    EXPECT_FALSE(UC_isReply(nullptr));
}

TEST_F(RegistryTest, ValueCacheAndVariantFallback) {
    auto variantDevice = add(transport::kUsbDevice, 1);
    int v = 77;
    EXPECT_EQ(UC_getValue(0, 0, &v, -1), RC_OK);
    EXPECT_EQ(v, 77) << "address 0 writes nothing";
    EXPECT_EQ(UC_getType(0, &v), RC_OK);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(UC_getId(0, &v), RC_OK);
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(variantDevice->sent().empty());
    variantDevice->answer(600, 6);
    EXPECT_EQ(UC_getValue(0, 600, &v, UC_NO_FALLBACK), RC_OK) << "no fallback: the controller is asked";
    EXPECT_EQ(v, 6);

    auto plain = add();
    plain->disconnect();
    EXPECT_EQ(UC_getType(1, &v), RC_NOT_CONNECTED);
    EXPECT_FALSE(plain->link().hasCachedValues());
    plain->connect();
    plain->answer(REG_CONTROLLER_TYPE, 0x5123);
    EXPECT_EQ(UC_getType(1, &v), RC_OK);
    EXPECT_EQ(v, 0x5123);
    EXPECT_EQ(UC_shutdown(1), RC_OK);
    v = 0;
    EXPECT_EQ(UC_getType(1, &v), RC_OK) << "served from the cache after the device closed";
    EXPECT_EQ(v, 0x5123);
    EXPECT_EQ(plain->gets(REG_CONTROLLER_TYPE), 1);
}

TEST_F(RegistryTest, ExchangeWaitsForItsOwnRegisterWithoutAskingAgain) {
    auto device = add();
    device->deliver(0, peers::ack(360, 1, 1));
    device->deliver(0, peers::ack(359, 1, 0x5001));
    int v = 0;
    EXPECT_EQ(UC_request(0, 359, &v), RC_OK);
    EXPECT_EQ(v, 0x5001);
    EXPECT_EQ(device->gets(359), 1);
}

TEST_F(RegistryTest, ExchangeAsksAgainWhenNoFinalReplyIsInHand) {
    auto device = add();
    device->deliver(0, peers::ack(359, 0, 1));  // not a final reply: correlation 0
    device->deliver(RC_OUT_OF_SYNC);
    device->deliver(1);  // a time-out with a non-final buffer
    device->deliver(0, peers::ack(359, 1, 3));
    int v = 0;
    EXPECT_EQ(UC_request(0, 359, &v), RC_OK);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(device->gets(359), 4);

    // A TELL ends the exchange too; its value is taken from data word 1.
    device->deliver(0, peers::telegram(24, UC_OP_TELL, 359, 0, 0, {8, 9}));
    EXPECT_EQ(UC_request(0, 359, &v), RC_OK);
    EXPECT_EQ(v, 9);
}

TEST_F(RegistryTest, ExchangeFailuresAbortAndDisconnect) {
    auto device = add();
    device->deliver(0, peers::ack(360, 1, 1));  // a final reply for another register
    device->deliver(RC_ERROR);
    int v = 0, result = 0;
    std::string err = captureStderr([&] { result = UC_request(0, 359, &v); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_NE(err.find("ERROR: recv rc -1, connected 1.\n"), std::string::npos) << err;

    // No final reply in hand: the failure ends the exchange all the same,
    // without asking again (a closed peer would fail every receive at once).
    const int getsBefore = device->gets(359);
    device->deliver(RC_ERROR);
    err = captureStderr([&] { result = UC_request(0, 359, &v); });
    EXPECT_EQ(result, RC_ERROR);
    EXPECT_EQ(device->gets(359), getsBefore + 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    device->deliver(0, peers::ack(359, 1, 4));
    EXPECT_EQ(UC_request(0, 359, &v), RC_OK);
    EXPECT_EQ(v, 4);

    UC_abort();
    const size_t asked = device->receives();
    EXPECT_EQ(UC_request(0, 359, &v), RC_TIMEOUT);
    EXPECT_EQ(device->receives(), asked) << "an abort ends the exchange before receiving";
    int count = 0;
    UC_presence(&count, 0);  // clears the abort
    device = add();
    device->dropOnGet(359);
    EXPECT_EQ(UC_request(0, 359, &v), RC_NOT_CONNECTED);
    EXPECT_EQ(UC_request(0, 359, &v), RC_NOT_CONNECTED) << "the first send already fails";
}

TEST_F(RegistryTest, ExchangeEndsAtItsTimeLimit) {
    auto device = add();
    int v = 5, result = 0;
    long long ms = elapsedMs([&] { result = UC_request(0, 359, &v); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_EQ(v, 5);
    // The limit is counted in whole-millisecond ticks, so 3000 ticks can
    // be a little less than 3000 ms.
    EXPECT_GE(ms, 2999);
    EXPECT_LT(ms, 3600);
    EXPECT_GT(device->gets(359), 10) << "every time-out without a final reply asks again";
}

TEST_F(RegistryTest, CompletionReadIsBoundedInTimeAndSize) {
    auto device = add();
    const std::vector<uint8_t> ack = peers::ack(0x42, 1, 5);
    device->deliver(0, std::vector<uint8_t>(ack.begin(), ack.begin() + 10));
    device->deliver(1);
    device->deliver(0, std::vector<uint8_t>(ack.begin() + 10, ack.end()));
    UcTelegram t = {};
    EXPECT_EQ(UC_recv(0, &t), RC_OK);
    EXPECT_EQ(0, std::memcmp(&t, ack.data(), ack.size()));
    EXPECT_EQ(device->askedLengths(), (std::vector<int>{0, 18, 18}));

    // A device that keeps answering 1 does not hold the caller.
    device->deliver(0, std::vector<uint8_t>(ack.begin(), ack.begin() + 10));
    EXPECT_EQ(UC_recv(0, &t), RC_TIMEOUT);
    EXPECT_EQ(device->receives(), 4u + UC_COMPLETION_ATTEMPTS);

    // A telegram announced larger than the buffer is never completed.
    device->deliver(0, peers::telegram(600, UC_OP_ACK, 1, 0, 1));
    int result = 0;
    std::string err = captureStderr([&] { result = UC_recv(0, &t); });
    EXPECT_EQ(result, RC_OUT_OF_SYNC);
    EXPECT_NE(err.find("Length too large (604), assuming out of sync"), std::string::npos) << err;
    EXPECT_EQ(device->receives(), 5u + UC_COMPLETION_ATTEMPTS);
    EXPECT_EQ(device->resyncs, 0) << "a USB device gets no stream resynchronisation";
    EXPECT_EQ(UC_startSync(0), RC_OK);
    EXPECT_EQ(device->sent().size(), 0u);
}

// A telegram that comes in more pieces than one completion read takes is
// read on until whole; nothing of the telegram before it shows through.
TEST_F(RegistryTest, CompletionReadsEveryPieceAndNeverPassesAPartialTelegram) {
    auto device = add();
    const std::vector<uint8_t> first = peers::ack(1024, 1, 30000);
    device->deliver(0, first);
    UcTelegram t = {};
    ASSERT_EQ(UC_recv(0, &t), RC_OK);

    const std::vector<uint8_t> ack = peers::ack(1024, 1, 1234);
    const size_t cuts[] = {0, 2, 4, 11, 12, 20, ack.size()};  // the length word split too
    for (size_t i = 0; i + 1 < sizeof cuts / sizeof cuts[0]; ++i)
        device->deliver(0, std::vector<uint8_t>(ack.begin() + cuts[i], ack.begin() + cuts[i + 1]));
    ASSERT_EQ(UC_recv(0, &t), RC_OK);
    EXPECT_EQ(0, std::memcmp(&t, ack.data(), ack.size()));
    EXPECT_EQ(device->askedLengths(), (std::vector<int>{0, 0, 2, 24, 17, 16, 8}));

    // Pieces that stop short end in a time-out, not in a telegram made up
    // from the earlier one.
    device->deliver(0, std::vector<uint8_t>(first.begin(), first.begin() + 12));
    device->deliver(0, std::vector<uint8_t>(first.begin() + 12, first.begin() + 20));
    EXPECT_EQ(UC_recv(0, &t), RC_TIMEOUT);
}

TEST_F(RegistryTest, TcpOutOfSyncResynchronisesAndOutOfStepPauses) {
    auto device = add(transport::kTcpDevice);
    device->deliver(RC_OUT_OF_SYNC);
    UcTelegram t = {};
    EXPECT_EQ(UC_recv(0, &t), RC_OUT_OF_SYNC);
    ASSERT_EQ(device->sent().size(), 1u);
    EXPECT_EQ(device->sent()[0], peers::telegram(20, UC_OP_SET, REG_SYNC, 0, 0, {0}));
    EXPECT_EQ(device->resyncs, 1);

    device->deliver(0, peers::ack(REG_SYNC, 0, 0));
    EXPECT_EQ(UC_recv(0, &t), RC_OK) << "an ACK of register 10 is passed on";

    device->deliver(0, peers::tell(REG_SYNC, 0));
    int result = 0;
    std::string err;
    long long ms = elapsedMs([&] { err = captureStderr([&] { result = UC_recv(0, &t); }); });
    EXPECT_EQ(result, RC_TIMEOUT);
    EXPECT_GE(ms, 2000);
    EXPECT_LT(ms, 2600);
    EXPECT_NE(err.find("ERROR: Controller is out of sync, sleeping.\n"), std::string::npos) << err;
}

// Polls the background connect of device 0 until it has ended.
void waitForConnect(int* result, int* step) {
    for (int i = 0; i < 500 && UC_initStatus(0, result, step); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(UC_initStatus(0, result, step));
}

TEST_F(RegistryTest, BackgroundConnectRunsItsFourSteps) {
    auto device = std::make_shared<ScriptedDevice>();
    deviceList.push_back(device);
    device->answer(REG_CONTROLLER_TYPE, 0x5000);
    device->answer(REG_CONTROLLER_ID, 1234);
    device->answer(500, 50);
    device->connectDelayMs = 200;  // the second call surely finds the sequence running
    EXPECT_EQ(UC_initAsync(0, 500), RC_OK);
    EXPECT_EQ(UC_initAsync(0, 500), RC_OK);
    int result = -9, step = -9;
    waitForConnect(&result, &step);
    EXPECT_EQ(result, RC_OK);
    EXPECT_EQ(step, 4);
    EXPECT_EQ(device->connects, 1) << "one sequence only";
    EXPECT_TRUE(device->link().connected);
    int32_t cached[2] = {};
    EXPECT_TRUE(device->link().cachedValue(REG_CONTROLLER_ID, &cached[0]) &&
                device->link().cachedValue(500, &cached[1]));
    EXPECT_EQ(cached[0], 1234);
    EXPECT_EQ(cached[1], 50);
}

TEST_F(RegistryTest, BackgroundConnectStopsAtAFailingStep) {
    auto device = std::make_shared<ScriptedDevice>();
    deviceList.push_back(device);
    device->dropOnGet(REG_CONTROLLER_TYPE);
    EXPECT_EQ(UC_initAsync(0, 0), RC_OK);
    int result = -9, step = -9;
    waitForConnect(&result, &step);
    EXPECT_EQ(result, RC_NOT_CONNECTED);
    EXPECT_EQ(step, 2);
    EXPECT_FALSE(device->link().connected);

    device->connectResult = RC_DEVICE_LOCKED;
    EXPECT_EQ(UC_initAsync(0, 0), RC_OK);
    waitForConnect(&result, &step);
    EXPECT_EQ(result, RC_DEVICE_LOCKED);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(device->disconnects, 2) << "a failed sequence shuts the device";

    device->link().linkStatus = (2 << 16) | 2;
    UC_initStatus(0, &result, &step);
    EXPECT_EQ(result, 2);
    EXPECT_EQ(step, 2);
}

TEST(RegistryUsbRing, SettingsHaveLowerBounds) {
    EXPECT_EQ(UC_usbRingConfig().bufferSize, 65536);
    EXPECT_EQ(UC_usbRingConfig().bufferCount, 16);
    UC_setUsbBuffers(100, 1);
    EXPECT_EQ(UC_usbRingConfig().bufferSize, 1024);
    EXPECT_EQ(UC_usbRingConfig().bufferCount, 2);
    UC_setUsbBuffers(200000, 40);
    EXPECT_EQ(UC_usbRingConfig().bufferSize, 200000);
    EXPECT_EQ(UC_usbRingConfig().bufferCount, 40);
}

}  // namespace
