// What the program reads of an axis, and the names of its status flags.
#ifndef TOOLS_POSITIONER_AXIS_STATE_H
#define TOOLS_POSITIONER_AXIS_STATE_H

#include <cstdint>
#include <string>

// The flags of PositionerGetStatus by name: "moving, approach active", or
// "idle" when none is set.
std::string statusText(int32_t status);
// The same as JSON members: "\"moving\": true, ...".
std::string statusJson(int32_t status);

struct AxisReading {
    int32_t position = 0, status = 0;
    int32_t reference = 0;
    bool referenceValid = false;
    int32_t amplitude = 0, frequency = 0;
};

// Reads every value of AxisReading; false after a message.
bool readAxis(int32_t handle, int32_t axis, AxisReading* reading);

#endif
