#include "scripted_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "wire/telegram.h"
#include "net_peers.h"

int ScriptedDevice::connect() {
    if (connectDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(connectDelayMs.load()));
    ++connects;
    if (connectResult == 0) connected = true;
    return connectResult;
}

int ScriptedDevice::disconnect() {
    ++disconnects;
    connected = false;
    return 0;
}

int ScriptedDevice::receive(void* buffer, int* length) {
    if (!connected) return 2;
    Delivery next;
    {
        std::lock_guard<std::mutex> guard(lock_);
        asked_.push_back(*length);
        if (!script_.empty()) {
            next = std::move(script_.front());
            script_.pop_front();
        } else {
            next.result = 1;
        }
    }
    if (next.result == 1 && next.bytes.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(idleMs));
        return 1;
    }
    if (next.result == 0) {
        std::memcpy(buffer, next.bytes.data(), next.bytes.size());
        *length = static_cast<int>(next.bytes.size());
    }
    return next.result;
}

int ScriptedDevice::send(int length, const void* data) {
    if (!connected) return 2;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::lock_guard<std::mutex> guard(lock_);
    sent_.emplace_back(bytes, bytes + length);
    if (length >= 20 && uc::get32(bytes, 4) == UC_OP_GET) {
        const int32_t address = uc::get32(bytes, 8);
        if (std::count(dropAddresses_.begin(), dropAddresses_.end(), address)) connected = false;
        auto answer = answers_.find(address);
        if (answer != answers_.end()) script_.push_back({0, peers::ack(address, 1, answer->second)});
    }
    return 0;
}

int ScriptedDevice::resync() {
    ++resyncs;
    return 0;
}

void ScriptedDevice::deliver(int result, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    script_.push_back({result, std::move(bytes)});
}

void ScriptedDevice::answer(int32_t address, int32_t value) {
    std::lock_guard<std::mutex> guard(lock_);
    answers_[address] = value;
}

void ScriptedDevice::dropOnGet(int32_t address) {
    std::lock_guard<std::mutex> guard(lock_);
    dropAddresses_.push_back(address);
}

std::vector<std::vector<uint8_t>> ScriptedDevice::sent() const {
    std::lock_guard<std::mutex> guard(lock_);
    return sent_;
}

std::vector<int> ScriptedDevice::askedLengths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return asked_;
}

int ScriptedDevice::gets(int32_t address) const {
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto& t : sent_)
        if (t.size() >= 20 && uc::get32(t.data(), 4) == UC_OP_GET && uc::get32(t.data(), 8) == address) ++n;
    return n;
}
