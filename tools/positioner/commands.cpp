// Commands that read or set values: list, show, amplitude, frequency, load.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "results.h"
#include "status.h"

bool parseInt(const std::string& text, const char* what, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) {
        std::fprintf(stderr, "positioner: %s: '%s' is not a whole number\n", what, text.c_str());
        return false;
    }
    *value = static_cast<int32_t>(v);
    return true;
}

int commandList(const Settings& settings, const Args&) {
    const std::vector<DetectedDevice> devices = scanControllers(settings);
    if (devices.empty()) {
        std::printf("no controllers found\n");
        return kExitFailed;
    }
    std::printf("device  hardware id  state\n");
    for (size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].unavailable) {
            std::printf("%6zu  %11s  unavailable\n", i, "-");
        } else {
            std::printf("%6zu  %11d  positioner controller\n", i, devices[i].hardwareId);
        }
    }
    return kExitOk;
}

int commandShow(const Settings& settings, const Args& args) {
    int32_t axis = 0;
    if (!parseInt(args[0], "axis", &axis)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    int32_t position = 0, status = 0, amplitude = 0, frequency = 0;
    if (!reportResult("position", PositionerGetPosition(s.handle(), axis, &position)) ||
        !reportResult("status", PositionerGetStatus(s.handle(), axis, &status)) ||
        !reportResult("amplitude", PositionerGetAmplitude(s.handle(), axis, &amplitude)) ||
        !reportResult("frequency", PositionerGetFrequency(s.handle(), axis, &frequency)))
        return kExitFailed;
    std::printf("axis %d\n  position   %d\n  status     0x%X (%s)\n  amplitude  %d\n  frequency  %d\n", axis,
                position, status, statusText(status).c_str(), amplitude, frequency);
    return kExitOk;
}

namespace {

using AxisSetter = int32_t(UC_STDCALL*)(int32_t, int32_t, int32_t);

int setAxisValue(const Settings& settings, const Args& args, const char* what, AxisSetter set) {
    int32_t axis = 0, value = 0;
    if (!parseInt(args[0], "axis", &axis) || !parseInt(args[1], what, &value)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    if (!reportResult(what, set(s.handle(), axis, value))) return kExitFailed;
    std::printf("axis %d: %s set to %d\n", axis, what, value);
    return kExitOk;
}

}  // namespace

int commandAmplitude(const Settings& settings, const Args& args) {
    return setAxisValue(settings, args, "amplitude", PositionerAmplitude);
}

int commandFrequency(const Settings& settings, const Args& args) {
    return setAxisValue(settings, args, "frequency", PositionerFrequency);
}

int commandLoad(const Settings& settings, const Args& args) {
    int32_t axis = 0;
    if (!parseInt(args[0], "axis", &axis)) return kExitUsage;
    Session s(settings);
    if (!s.open()) return kExitFailed;
    if (!reportResult("load", PositionerLoad(s.handle(), axis, args[1].c_str()))) return kExitFailed;
    std::printf("axis %d: configuration %s loaded\n", axis, args[1].c_str());
    return kExitOk;
}
