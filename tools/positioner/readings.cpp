// Commands that read an axis: status (a table of all axes, or JSON) and
// show (one axis, one value per line).
#include <cstdio>
#include <vector>

#include "axis_state.h"
#include "commands.h"
#include "exit_codes.h"
#include "json.h"
#include "session.h"

namespace {

constexpr int32_t kAxisCount = 6;

void printTable(const std::vector<std::pair<int32_t, AxisReading>>& axes) {
    std::printf("%-4s  %11s  %-34s  %11s  %-5s  %9s  %9s\n", "axis", "position", "status", "reference", "valid",
                "amplitude", "frequency");
    for (const auto& [axis, r] : axes)
        std::printf("%-4d  %11d  %-34s  %11d  %-5s  %9d  %9d\n", axis, r.position, statusText(r.status).c_str(),
                    r.reference, r.referenceValid ? "yes" : "no", r.amplitude, r.frequency);
}

void printJson(const Session& s, const std::vector<std::pair<int32_t, AxisReading>>& axes) {
    std::printf("{\"controller\": %s, \"axes\": [", jsonString(s.name()).c_str());
    for (size_t i = 0; i < axes.size(); ++i) {
        const auto& [axis, r] = axes[i];
        std::printf(
            "%s\n  {\"axis\": %d, \"position\": %d, \"status\": %d, %s, \"reference\": %d, "
            "\"reference_valid\": %s, \"amplitude\": %d, \"frequency\": %d}",
            i ? "," : "", axis, r.position, r.status, statusJson(r.status).c_str(), r.reference,
            r.referenceValid ? "true" : "false", r.amplitude, r.frequency);
    }
    std::printf("\n]}\n");
}

}  // namespace

int commandStatus(Invocation& call) {
    const int32_t only = call.args.number(0);
    std::vector<std::pair<int32_t, AxisReading>> axes;
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        if (only >= 0 && axis != only) continue;
        AxisReading r;
        if (!readAxis(call.session->handle(), axis, &r)) return kExitFailed;
        axes.emplace_back(axis, r);
    }
    if (call.settings.json) {
        printJson(*call.session, axes);
    } else {
        std::printf("controller %s\n", call.session->name().c_str());
        printTable(axes);
    }
    return kExitOk;
}

int commandShow(Invocation& call) {
    const int32_t axis = call.args.number(0);
    AxisReading r;
    if (!readAxis(call.session->handle(), axis, &r)) return kExitFailed;
    std::printf(
        "axis %d\n  position   %d\n  status     0x%X (%s)\n  reference  %d (%s)\n  amplitude  %d\n"
        "  frequency  %d\n",
        axis, r.position, r.status, statusText(r.status).c_str(), r.reference,
        r.referenceValid ? "valid" : "not valid", r.amplitude, r.frequency);
    return kExitOk;
}
