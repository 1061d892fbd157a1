#include "script_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/registry.h"
#include "positioner.h"
#include "uc_telegram.h"

namespace fuzzpos {

ScriptDevice::ScriptDevice(std::deque<Delivery> script, std::chrono::microseconds idleWait, uint8_t variantFlag)
    : UcDevice(UC_DEVICE_USB, variantFlag), idleWait_(idleWait), script_(std::move(script)) {}

int ScriptDevice::connect() {
    connected = true;
    return RC_OK;
}

int ScriptDevice::disconnect() {
    connected = false;
    return RC_OK;
}

// Hands out at most what a transport would: one telegram's worth (the
// buffer holds 512 bytes), or the bytes asked for.
int ScriptDevice::receive(void* buffer, int* length) {
    if (!connected) return RC_NOT_CONNECTED;
    Delivery next{RC_TIMEOUT, {}};
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (script_.empty()) {
            idle_ = true;
        } else {
            next = std::move(script_.front());
            script_.pop_front();
        }
    }
    if (next.result == RC_TIMEOUT && next.bytes.empty()) std::this_thread::sleep_for(idleWait_);
    if (next.result != RC_OK) return next.result;
    const size_t room = *length > 0 ? static_cast<size_t>(*length) : static_cast<size_t>(UC_MAX_TELEGRAM);
    const size_t n = std::min(next.bytes.size(), room);
    if (n > 0) std::memcpy(buffer, next.bytes.data(), n);
    *length = static_cast<int>(n);
    return RC_OK;
}

int ScriptDevice::send(int length, const void* data) {
    if (!connected) return RC_NOT_CONNECTED;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    std::lock_guard<std::mutex> guard(lock_);
    sent_.emplace_back(bytes, bytes + length);
    return RC_OK;
}

std::vector<std::vector<uint8_t>> ScriptDevice::takeSent() {
    std::vector<std::vector<uint8_t>> taken;
    std::lock_guard<std::mutex> guard(lock_);
    taken.swap(sent_);
    return taken;
}

int openHandle(const std::shared_ptr<UcDevice>& device) {
    deviceList.push_back(device);
    int32_t handle = -1;
    if (PositionerConnect(static_cast<int32_t>(deviceList.size()) - 1, &handle) != RC_OK) return -1;
    return handle;
}

void closeHandle(int handle) {
    PositionerClose(handle);
    deviceList.clear();
}

std::deque<ScriptDevice::Delivery> readScript(fuzzin::Input& in) {
    static constexpr int kFailures[] = {RC_ERROR, RC_NOT_CONNECTED, RC_DRIVER_ERROR, RC_SYSTEM_ERROR};
    std::deque<ScriptDevice::Delivery> script;
    while (!in.empty()) {
        const uint8_t kind = in.byte() % 8;
        const uint16_t count = in.u16();
        switch (kind) {
            case 5: script.push_back({RC_TIMEOUT, {}}); break;
            case 6: script.push_back({RC_OUT_OF_SYNC, {}}); break;
            case 7: script.push_back({kFailures[count % 4], {}}); break;
            default: script.push_back({RC_OK, in.bytes(count)}); break;
        }
    }
    return script;
}

}  // namespace fuzzpos
