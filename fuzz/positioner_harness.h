// What the registry and Positioner harnesses share: the script of a
// ScriptedDevice read from the input, and a positioner handle opened on
// such a device.
#ifndef FUZZ_POSITIONER_HARNESS_H
#define FUZZ_POSITIONER_HARNESS_H

#include <chrono>
#include <deque>
#include <memory>

#include "fuzz_input.h"
#include "scripted_device.h"

namespace fuzzpos {

// A receive with nothing to hand out waits this long in the harnesses.
constexpr std::chrono::microseconds kIdleWait(50);

// A scripted device named "FUZZ". variantFlag 1 (the default): the
// identity reads at connect send nothing.
std::shared_ptr<ScriptedDevice> makeDevice(std::deque<ScriptedDevice::Delivery> script = {},
                                           std::chrono::microseconds idleWait = kIdleWait,
                                           uint8_t variantFlag = 1);

// Deliveries from the rest of the input: [kind byte][16-bit count][count
// bytes]; kind mod 8: 0-4 bytes, 5 a time-out, 6 loss of framing, 7 a
// failure (count mod 4 picks -1, 2, 3, 8).
std::deque<ScriptedDevice::Delivery> readScript(fuzzin::Input& in);

// Opens a positioner handle on the device through the registry's list;
// -1 when that fails.
int openHandle(const std::shared_ptr<UcDevice>& device);
// Closes the handle and empties the registry's list.
void closeHandle(int handle);

}  // namespace fuzzpos

#endif
