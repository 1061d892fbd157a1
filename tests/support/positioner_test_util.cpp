#include "positioner_test_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "link/registry.h"
#include "telegram_bytes.h"
#include "wire/telegram.h"
#include "link/uc_link.h"
#include "test_support.h"

namespace postest {

std::string describe(const std::vector<Tel>& tels) {
    std::ostringstream out;
    for (const Tel& t : tels) {
        out << (t.opcode == UC_OP_SET   ? "SET "
                : t.opcode == UC_OP_GET ? "GET "
                                        : "??? ")
            << t.address << "[" << t.index << "]";
        if (t.opcode == UC_OP_SET) out << ":=" << t.value;
        out << "; ";
    }
    return out.str();
}

std::vector<Tel> fromSim(const std::vector<sim::Controller::Received>& log) {
    std::vector<Tel> out;
    for (const auto& r : log) {
        const bool wellFormedSet = r.opcode == UC_OP_SET && r.correlation == 0 && r.data.size() == 1;
        const bool wellFormedGet = r.opcode == UC_OP_GET && r.correlation == 1 && r.data.empty();
        const int32_t opcode = wellFormedSet || wellFormedGet ? r.opcode : -1;
        out.push_back({opcode, r.address, r.index, wellFormedSet ? r.data[0] : 0});
    }
    return out;
}

std::vector<DetectedDevice> checkDevices() {
    std::vector<DetectedDevice> copy;
    test_support::captureStderr([&] {
        DetectedDevice* devices = nullptr;
        const int n = PositionerCheck(&devices);
        if (devices) copy.assign(devices, devices + n);
    });
    return copy;
}

SimSession::SimSession(sim::Options options) : sim_(new sim::Controller(options)) {
    if (!sim_->start()) return;
    const std::vector<DetectedDevice> devices = checkDevices();
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].unavailable && devices[i].hardwareId == options.hardwareId) {
            int32_t h = -1;
            if (PositionerConnect(static_cast<int32_t>(i), &h) != RC_OK) break;
            // The connect ends with a SET that starts the reports; once the
            // controller has it, later logs hold only what tests send.
            const Tel started = set(325, 0, 1);
            if (eventually([&] {
                    const std::vector<Tel> log = fromSim(sim_->received());
                    return !log.empty() && log.back() == started;
                }))
                handle_ = h;
            else
                PositionerClose(h);
            break;
        }
    }
}

SimSession::~SimSession() { close(); }

void SimSession::close() {
    if (handle_ > 0) PositionerClose(handle_);
    handle_ = -1;
}

std::vector<Tel> SimSession::sentBy(const std::function<void()>& fn) {
    sim_->clearReceived();
    fn();
    EXPECT_EQ(PositionerMoveAbsoluteSync(handle_, kMarkerValue), RC_OK);
    const Tel marker = set(1109, 0, kMarkerValue);
    std::vector<Tel> got;
    const bool arrived = eventually([&] {
        got = fromSim(sim_->received());
        return !got.empty() && got.back() == marker;
    });
    EXPECT_TRUE(arrived) << "marker not received; got " << describe(got);
    if (arrived) got.pop_back();
    return got;
}

int TestDevice::send(int length, const void* data) {
    if (length >= 12) {
        const int32_t address = uc::get32(data, 8);
        std::lock_guard<std::mutex> guard(failLock_);
        for (const auto& f : failing_) {
            if (f.first == address) return f.second;
        }
    }
    return ScriptedDevice::send(length, data);
}

int TestDevice::disconnect() {
    ScriptedDevice::disconnect();
    return disconnectResult;
}

void TestDevice::failSends(int32_t address, int result) {
    std::lock_guard<std::mutex> guard(failLock_);
    failing_.emplace_back(address, result);
}

void TestDevice::clearFailures() {
    std::lock_guard<std::mutex> guard(failLock_);
    failing_.clear();
}

std::vector<Tel> TestDevice::sentTelegrams() const {
    std::vector<Tel> out;
    for (const auto& bytes : sent()) {
        if (bytes.size() < 20) continue;
        const int32_t opcode = uc::get32(bytes.data(), 4);
        const int32_t value = bytes.size() >= 24 ? uc::get32(bytes.data(), 20) : 0;
        out.push_back({opcode, uc::get32(bytes.data(), 8), uc::get32(bytes.data(), 12), value});
    }
    return out;
}

int appendDevice(const std::shared_ptr<UcDevice>& device) {
    deviceList.push_back(device);
    return static_cast<int>(deviceList.size()) - 1;
}

void clearDevices() { deviceList.clear(); }

std::vector<uint8_t> ackReply(int32_t address, int32_t index, int32_t reason, int32_t value,
                              int32_t correlation) {
    return test_support::telegram(UC_OP_ACK, address, index, correlation, {reason, value});
}

std::vector<uint8_t> tellBytes(int32_t address, int32_t index, int32_t value) {
    return test_support::telegram(UC_OP_TELL, address, index, 0, {value});
}

std::vector<uint8_t> rawBytes(int32_t length, int32_t opcode, int32_t address, int32_t index,
                              const std::vector<int32_t>& words) {
    return test_support::telegramWithLength(length, opcode, address, index, 0, words);
}

bool eventually(const std::function<bool()>& fn, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!fn()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace postest
