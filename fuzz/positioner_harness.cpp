#include "positioner_harness.h"

#include "link/registry.h"
#include "positioner.h"
#include "uc_telegram.h"

namespace fuzzpos {

std::shared_ptr<ScriptedDevice> makeDevice(std::deque<ScriptedDevice::Delivery> script,
                                           std::chrono::microseconds idleWait, uint8_t variantFlag) {
    auto device = std::make_shared<ScriptedDevice>(transport::kUsbDevice, variantFlag, "FUZZ");
    device->idleWait = idleWait;
    device->deliverAll(std::move(script));
    return device;
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

std::deque<ScriptedDevice::Delivery> readScript(fuzzin::Input& in) {
    static constexpr int kFailures[] = {RC_ERROR, RC_NOT_CONNECTED, RC_DRIVER_ERROR, RC_SYSTEM_ERROR};
    std::deque<ScriptedDevice::Delivery> script;
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
