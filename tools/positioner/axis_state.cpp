#include "axis_state.h"

#include "positioner.h"
#include "results.h"

namespace {

const struct {
    int32_t bit;
    const char* name;
    const char* jsonName;
} kFlags[] = {{POSITIONER_STATUS_MOVING, "moving", "moving"},
              {POSITIONER_STATUS_TARGET_REACHED, "target reached", "target_reached"},
              {POSITIONER_STATUS_END_OF_TRAVEL, "end of travel", "end_of_travel"},
              {POSITIONER_STATUS_APPROACH_ACTIVE, "approach active", "approach_active"}};

}  // namespace

std::string statusText(int32_t status) {
    std::string text;
    for (const auto& f : kFlags)
        if (status & f.bit) text += (text.empty() ? "" : ", ") + std::string(f.name);
    return text.empty() ? "idle" : text;
}

std::string statusJson(int32_t status) {
    std::string text;
    for (const auto& f : kFlags)
        text += (text.empty() ? "\"" : ", \"") + std::string(f.jsonName) +
                "\": " + ((status & f.bit) ? "true" : "false");
    return text;
}

bool readAxis(int32_t handle, int32_t axis, AxisReading* r) {
    return reportResult(PositionerGetPosition(handle, axis, &r->position), "read the position of axis %d",
                        axis) &&
           reportResult(PositionerGetStatus(handle, axis, &r->status), "read the status of axis %d", axis) &&
           reportResult(PositionerGetReference(handle, axis, &r->reference, &r->referenceValid),
                        "read the reference position of axis %d", axis) &&
           reportResult(PositionerGetAmplitude(handle, axis, &r->amplitude), "read the amplitude of axis %d",
                        axis) &&
           reportResult(PositionerGetFrequency(handle, axis, &r->frequency), "read the frequency of axis %d",
                        axis);
}
