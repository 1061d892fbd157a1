#include "scripted_device.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "wire/telegram.h"

namespace {

bool isGet(const std::vector<uint8_t>& t) {
    return t.size() >= UC_HEADER_SIZE && uc::get32(t.data(), uc::kOpcodeOffset) == UC_OP_GET;
}

}  // namespace

int ScriptedDevice::connect() {
    if (connectDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(connectDelayMs.load()));
    ++connects;
    if (connectResult == RC_OK) linkState_.connected = true;
    return connectResult;
}

int ScriptedDevice::disconnect() {
    ++disconnects;
    linkState_.connected = false;
    return RC_OK;
}

int ScriptedDevice::receive(void* buffer, int* length) {
    if (!linkState_.connected) return RC_NOT_CONNECTED;
    Delivery next{RC_TIMEOUT, {}};
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++receives_;
        if (asked_.size() < kAskedRecord) asked_.push_back(*length);
        if (script_.empty()) {
            idle_ = true;
        } else {
            next = std::move(script_.front());
            script_.pop_front();
        }
    }
    if (next.result == RC_TIMEOUT && next.bytes.empty()) std::this_thread::sleep_for(idleWait);
    if (next.result != RC_OK) return next.result;
    const size_t room = *length > 0 ? static_cast<size_t>(*length) : static_cast<size_t>(UC_MAX_TELEGRAM);
    const size_t n = std::min(next.bytes.size(), room);
    if (n > 0) std::memcpy(buffer, next.bytes.data(), n);
    *length = static_cast<int>(n);
    return RC_OK;
}

int ScriptedDevice::send(int length, const void* data) {
    if (!linkState_.connected) return RC_NOT_CONNECTED;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::lock_guard<std::mutex> guard(lock_);
    sent_.emplace_back(bytes, bytes + length);
    if (isGet(sent_.back())) {
        const int32_t address = uc::get32(bytes, uc::kAddressOffset);
        if (std::count(dropAddresses_.begin(), dropAddresses_.end(), address)) linkState_.connected = false;
        auto answer = answers_.find(address);
        if (answer != answers_.end()) {
            UcTelegram ack;
            const int n = uc::buildAck(ack, address, 0, 1, 0, answer->second);
            const uint8_t* ackBytes = reinterpret_cast<const uint8_t*>(&ack);
            script_.push_back({RC_OK, std::vector<uint8_t>(ackBytes, ackBytes + n)});
            idle_ = false;
        }
    }
    return RC_OK;
}

int ScriptedDevice::resync() {
    ++resyncs;
    return RC_OK;
}

void ScriptedDevice::deliver(int result, std::vector<uint8_t> bytes) {
    std::lock_guard<std::mutex> guard(lock_);
    script_.push_back({result, std::move(bytes)});
    idle_ = false;
}

void ScriptedDevice::deliverAll(std::deque<Delivery> script) {
    std::lock_guard<std::mutex> guard(lock_);
    for (Delivery& d : script) script_.push_back(std::move(d));
    idle_ = false;
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

std::vector<std::vector<uint8_t>> ScriptedDevice::takeSent() {
    std::vector<std::vector<uint8_t>> taken;
    std::lock_guard<std::mutex> guard(lock_);
    taken.swap(sent_);
    return taken;
}

std::vector<int> ScriptedDevice::askedLengths() const {
    std::lock_guard<std::mutex> guard(lock_);
    return asked_;
}

int ScriptedDevice::gets(int32_t address) const {
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto& t : sent_)
        if (isGet(t) && uc::get32(t.data(), uc::kAddressOffset) == address) ++n;
    return n;
}
