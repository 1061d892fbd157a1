#include "session.h"

#include <cstdio>

#include "ithreads.h"
#include "results.h"
#include "trace.h"

namespace {
constexpr int kTraceAll = 0x1FC;
}

std::vector<DetectedDevice> scanControllers(const Settings& settings) {
    DetectedDevice* devices = nullptr;
    const int32_t count = PositionerCheck(&devices);
    // The scan sets its own trace configuration; put ours in place.
    traceInit(nullptr, "positioner", settings.trace ? kTraceAll : 0);
    std::vector<DetectedDevice> copy;
    if (devices && count > 0) copy.assign(devices, devices + count);
    return copy;
}

Session::~Session() {
    if (handle_ > 0) reportResult("close", PositionerClose(handle_));
}

bool Session::open() {
    const std::vector<DetectedDevice> devices = scanControllers(settings_);
    int n = settings_.device;
    if (settings_.hardwareId >= 0) {
        n = -1;
        for (size_t i = 0; i < devices.size() && n < 0; ++i) {
            if (!devices[i].unavailable && devices[i].hardwareId == settings_.hardwareId) n = static_cast<int>(i);
        }
        if (n < 0) {
            std::fprintf(stderr, "positioner: no available controller with hardware id %d\n", settings_.hardwareId);
            return false;
        }
    }
    if (n < 0 || n >= static_cast<int>(devices.size())) {
        std::fprintf(stderr, "positioner: device %d: not found (%zu device(s) listed)\n", n, devices.size());
        return false;
    }
    if (devices[static_cast<size_t>(n)].unavailable) {
        std::fprintf(stderr, "positioner: device %d: not available (held elsewhere, or not a positioner)\n", n);
        return false;
    }
    int32_t h = -1;
    if (!reportResult("connect", PositionerConnect(n, &h))) return false;
    handle_ = h;
    IThread::sleep(static_cast<unsigned long>(settings_.settleMs));
    return true;
}
