// Commands that set values of an axis: amplitude, frequency, output, load.
#include <cstdio>
#include <vector>

#include "commands.h"
#include "config_check.h"
#include "exit_codes.h"
#include "output.h"
#include "positioner.h"
#include "results.h"
#include "session.h"

namespace {

using AxisSetter = int32_t(UC_STDCALL*)(int32_t, int32_t, int32_t);

int setAxisValue(Invocation& call, const char* what, AxisSetter set) {
    const int32_t axis = call.args.number(0), value = call.args.number(1);
    if (!reportResult(set(call.session->handle(), axis, value), "set the %s of axis %d", what, axis))
        return kExitFailed;
    std::printf("axis %d: %s set to %d\n", axis, what, value);
    return kExitOk;
}

}  // namespace

int commandAmplitude(Invocation& call) { return setAxisValue(call, "amplitude", PositionerAmplitude); }

int commandFrequency(Invocation& call) { return setAxisValue(call, "frequency", PositionerFrequency); }

int commandOutput(Invocation& call) {
    const int32_t axis = call.args.number(0);
    const bool on = call.args.number(1) != 0;
    if (!reportResult(PositionerSetOutput(call.session->handle(), axis, on), "switch the output of axis %d %s",
                      axis, on ? "on" : "off"))
        return kExitFailed;
    std::printf("axis %d: output %s\n", axis, on ? "on" : "off");
    return kExitOk;
}

int commandLoad(Invocation& call) {
    const int32_t axis = call.args.number(0);
    const std::string& file = call.args.text(1);
    std::vector<SkippedPair> skipped;
    if (!findSkippedPairs(file, &skipped)) {
        complain("cannot read the file '%s'; check the name and its permissions", file.c_str());
        return kExitFile;
    }
    if (!reportResult(PositionerLoad(call.session->handle(), axis, file.c_str()), "load '%s' into axis %d",
                      file.c_str(), axis))
        return kExitFailed;
    if (skipped.empty()) {
        std::printf("axis %d: configuration %s loaded\n", axis, file.c_str());
        return kExitOk;
    }
    std::printf("axis %d: configuration %s loaded, %zu line%s skipped:\n", axis, file.c_str(), skipped.size(),
                skipped.size() == 1 ? "" : "s");
    for (const SkippedPair& s : skipped) std::printf("  line %d: %s\n", s.line, s.reason.c_str());
    if (!call.settings.strict) return kExitOk;
    complain("%s has %zu line%s that were not sent (--strict); correct them and load again", file.c_str(),
             skipped.size(), skipped.size() == 1 ? "" : "s");
    return kExitSkipped;
}
