// Helpers of the Positioner tests: a simulated controller opened through
// the public API, a scripted device for exact control of what arrives,
// and readers of what the controller was sent.
#ifndef TESTS_POSITIONER_TEST_UTIL_H
#define TESTS_POSITIONER_TEST_UTIL_H

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "positioner.h"
#include "scripted_device.h"
#include "sim_controller.h"
#include "test_support.h"

namespace postest {

// One telegram as the controller got it: a SET carries one value word.
struct Tel {
    int32_t opcode, address, index, value;
    bool operator==(const Tel& o) const {
        return opcode == o.opcode && address == o.address && index == o.index && value == o.value;
    }
};
inline Tel set(int32_t address, int32_t index, int32_t value) { return {UC_OP_SET, address, index, value}; }
inline Tel get(int32_t address, int32_t index) { return {UC_OP_GET, address, index, 0}; }
std::string describe(const std::vector<Tel>& tels);

// Converts the simulator's log; a telegram whose framing is not that of a
// positioner request (SET: correlation 0 and exactly one word; GET:
// correlation 1 and none) is returned with opcode -1.
std::vector<Tel> fromSim(const std::vector<sim::Controller::Received>& log);

// PositionerCheck with its trace lines kept off the test output.
std::vector<DetectedDevice> checkDevices();

// A started simulator (no periodic reports unless asked) opened through
// PositionerCheck and PositionerConnect.
class SimSession {
public:
    explicit SimSession(sim::Options options = sim::Options());
    ~SimSession();
    bool ok() const { return handle_ > 0; }
    int handle() const { return handle_; }
    sim::Controller& sim() { return *sim_; }

    // What the controller got from running fn: the telegrams sent before a
    // marker SET that follows fn on the same connection. Empty when fn sent
    // nothing. Fails the test when the marker does not arrive.
    std::vector<Tel> sentBy(const std::function<void()>& fn);
    void close();

private:
    std::unique_ptr<sim::Controller> sim_;
    int handle_ = -1;
};

// A test suite sharing one SimSession, opened once per suite when the test
// runs in a private network namespace; tests skip outside one.
template <class Base = ::testing::Test>
class SharedSimSessionTest : public Base {
protected:
    static void SetUpTestSuite() {
        if (test_support::inPrivateNetworkNamespace()) session = new SimSession();
    }
    static void TearDownTestSuite() {
        delete session;
        session = nullptr;
    }
    void SetUp() override {
        REQUIRE_PRIVATE_NETWORK();
        ASSERT_TRUE(session && session->ok()) << "the simulated controller could not be opened";
    }
    static SimSession* session;
};
template <class Base>
SimSession* SharedSimSessionTest<Base>::session = nullptr;

// The marker of sentBy: PositionerMoveAbsoluteSync with this value.
constexpr int32_t kMarkerValue = 0x7E57;

// A scripted device whose sends to chosen registers fail and whose close
// result can be chosen. variant is set, so the identity reads at connect
// are answered without a request.
class TestDevice : public ScriptedDevice {
public:
    TestDevice() : ScriptedDevice(transport::kUsbDevice, 1, "TEST") { idleWait = std::chrono::milliseconds(5); }
    int send(int length, const void* data) override;
    int disconnect() override;

    void failSends(int32_t address, int result);
    void clearFailures();
    std::vector<Tel> sentTelegrams() const;
    int disconnectResult = 0;

private:
    mutable std::mutex failLock_;
    std::vector<std::pair<int32_t, int>> failing_;
};

// Appends the device to the registry's list; returns its device number.
int appendDevice(const std::shared_ptr<UcDevice>& device);
// The registry's list emptied (objects held by handles stay alive).
void clearDevices();

// Wire bytes of controller telegrams.
std::vector<uint8_t> ackReply(int32_t address, int32_t index, int32_t reason, int32_t value,
                              int32_t correlation = 1);
std::vector<uint8_t> tellBytes(int32_t address, int32_t index, int32_t value);
// Any header and data words; the length word is taken as given.
std::vector<uint8_t> rawBytes(int32_t length, int32_t opcode, int32_t address, int32_t index,
                              const std::vector<int32_t>& words);

// Polls fn until it returns true or timeoutMs passed.
bool eventually(const std::function<bool()>& fn, int timeoutMs = 3000);

}  // namespace postest

#endif
