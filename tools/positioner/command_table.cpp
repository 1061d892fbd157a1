#include "command_table.h"

#include <climits>

#include "commands.h"
#include "ranges.h"

namespace {

constexpr int64_t kInt32Min = INT32_MIN;
constexpr int64_t kInt32Max = INT32_MAX;

// "0..140000"
std::string rangeText(const pos::Range& r) { return std::to_string(r.lo) + ".." + std::to_string(r.hi); }
const std::string kAxisText = "axis number, " + rangeText(pos::kAxisRange);

ArgRule axis() { return {"AXIS", ArgKind::Axis, false, pos::kAxisRange.lo, pos::kAxisRange.hi, 0, kAxisText}; }
ArgRule integer(const char* name, int64_t min, int64_t max, std::string meaning) {
    return {name, ArgKind::Integer, false, min, max, 0, std::move(meaning)};
}
// The value of a setter, in the range the library checks for it.
ArgRule setterValue(const pos::ArgRanges& setter, const char* meaning) {
    const pos::Range r = setter.value();
    return integer("VALUE", r.lo, r.hi, std::string(meaning) + ", " + rangeText(r));
}
ArgRule optionalInteger(const char* name, int64_t min, int64_t max, int32_t fallback, const char* meaning) {
    return {name, ArgKind::Integer, true, min, max, fallback, meaning};
}
ArgRule direction() {
    return {"DIRECTION", ArgKind::Direction, false, 0, 1, 0, "fwd (forward) or bkw (backward)"};
}
ArgRule rotations() {
    return optionalInteger("ROTATIONS", kInt32Min, kInt32Max, 0, "rotation count of a rotary axis (default 0)");
}
ArgRule registerAddress() {
    return integer("REGISTER", 0, 65535, "register address, 0..65535 (decimal, or hexadecimal with 0x)");
}

const std::vector<CommandSpec> kCommands = {
    {"list",
     {},
     Needs::Nothing,
     kOptionJson,
     "list the controllers found (one row per controller)",
     "Scans USB and the local network and prints one row per controller: hardware id,\n"
     "carrier (libusb, driver, tcp), address, and the device numbers under which the\n"
     "scan listed it (a network controller that answers both discovery probes is\n"
     "listed twice). With --json the same as a JSON array. Exits 3 when none is found.",
     "list --json",
     commandList},
    {"status",
     {{"AXIS", ArgKind::Axis, true, pos::kAxisRange.lo, pos::kAxisRange.hi, -1,
       kAxisText + " (default: all axes)"}},
     Needs::Controller,
     kOptionJson,
     "table of position, status, reference, amplitude, frequency",
     "Prints one row per axis: position (as last reported by the controller), status\n"
     "flags (moving, target reached, end of travel, approach active), reference\n"
     "position and whether it is valid, drive amplitude and frequency (read from the\n"
     "controller). With --json the same as a JSON object.",
     "--id 1000 status",
     commandStatus},
    {"show",
     {axis()},
     Needs::Controller,
     0,
     "the values of status for one axis, one per line",
     "Prints the position, status flags, reference position, amplitude and frequency\n"
     "of one axis, one value per line.",
     "--id 1000 show 0",
     commandShow},
    {"amplitude",
     {axis(), setterValue(pos::ranges::PositionerAmplitude, "drive amplitude in the controller's units")},
     Needs::Controller,
     0,
     "set the drive amplitude (" + rangeText(pos::ranges::PositionerAmplitude.value()) + ")",
     "Sets the amplitude of the drive signal with which the axis moves.",
     "--id 1000 amplitude 0 45000",
     commandAmplitude},
    {"frequency",
     {axis(), setterValue(pos::ranges::PositionerFrequency, "drive frequency in the controller's units")},
     Needs::Controller,
     0,
     "set the drive frequency (" + rangeText(pos::ranges::PositionerFrequency.value()) + ")",
     "Sets the frequency of the drive signal with which the axis moves.",
     "--id 1000 frequency 0 1500",
     commandFrequency},
    {"output",
     {axis(), {"STATE", ArgKind::OnOff, false, 0, 1, 0, "on or off"}},
     Needs::Controller,
     0,
     "switch the axis's drive output on or off",
     "Switches the drive output of the axis on or off.",
     "--id 1000 output 0 on",
     commandOutput},
    {"move-abs",
     {axis(), integer("POSITION", kInt32Min, kInt32Max, "target position in the controller's units"),
      rotations()},
     Needs::Controller,
     0,
     "move to a position and wait until it is reached",
     "Starts an absolute approach to POSITION and shows the position until the axis\n"
     "stands with the target reached, stops at the end of travel, or --timeout passes\n"
     "(the axis is then stopped). Ctrl-C stops the axis.",
     "--id 1000 move-abs 0 20000",
     commandMoveAbsolute},
    {"move-rel",
     {axis(), integer("DISTANCE", kInt32Min, kInt32Max, "distance in the controller's units"), rotations()},
     Needs::Controller,
     0,
     "move by a distance and wait until it is reached",
     "Moves the axis by DISTANCE from where it stands and shows the position as\n"
     "move-abs does.",
     "--id 1000 move-rel 0 -5000",
     commandMoveRelative},
    {"move-cont",
     {axis(), direction(),
      optionalInteger("SECONDS", 0, 86400, 0,
                      "stop after this many seconds, 0..86400 (default 0: "
                      "until Ctrl-C or the end of travel)")},
     Needs::Controller,
     0,
     "move continuously until Ctrl-C, the end of travel, or SECONDS",
     "Moves the axis continuously in DIRECTION and shows the position; stops it after\n"
     "SECONDS, at the end of travel, or on Ctrl-C.",
     "--id 1000 move-cont 0 fwd 3",
     commandMoveContinuous},
    {"step",
     {axis(), direction(),
      optionalInteger("COUNT", 1, 100000, 1,
                      "number of single steps, 1..100000 "
                      "(default 1)")},
     Needs::Controller,
     0,
     "single steps",
     "Makes COUNT single steps in DIRECTION, then prints the position.",
     "--id 1000 step 0 fwd 5",
     commandStep},
    {"stop",
     {{"AXIS", ArgKind::AxisOrAll, false, pos::kAxisRange.lo, pos::kAxisRange.hi, 0, kAxisText + ", or all"}},
     Needs::Controller,
     0,
     "stop an axis, or all axes",
     "Ends an absolute approach and stops every movement of the axis (or of all six).",
     "--id 1000 stop all",
     commandStop},
    {"reference",
     {axis()},
     Needs::Controller,
     0,
     "move to the reference mark and wait",
     "Moves the axis to its reference mark and waits until the controller reports a\n"
     "valid reference position, then prints it. Stops the axis at --timeout or on Ctrl-C.",
     "--id 1000 reference 0",
     commandReference},
    {"load",
     {axis(), {"FILE", ArgKind::File, false, 0, 0, 0, "axis configuration file: keyword and value pairs"}},
     Needs::Controller,
     kOptionStrict,
     "send an axis configuration file",
     "Sends the parameters of an axis configuration file to the axis. Lines the library\n"
     "skips (unknown keyword, value that is not a whole number, keyword without value)\n"
     "are listed; with --strict they make the command exit 5 (after the rest was sent).",
     "--id 1000 load 0 axis0.cfg",
     commandLoad},
    {"get",
     {registerAddress(), optionalInteger("INDEX", 0, 255, 0, "index (often the axis), 0..255 (default 0)")},
     Needs::RawChannel,
     0,
     "read a controller register through the raw channel",
     "Sends GET REGISTER[INDEX] through the raw telegram channel (tormak) and prints the\n"
     "value of the controller's reply. The raw channel finds controllers by its own\n"
     "scan: pick one with --id; --address and --device do not apply.",
     "--id 1000 get 1024 0",
     commandGet},
    {"set",
     {registerAddress(), integer("INDEX", 0, 255, "index (often the axis), 0..255"),
      integer("VALUE", kInt32Min, kInt32Max, "value to write")},
     Needs::RawChannel,
     0,
     "write a controller register through the raw channel",
     "Sends SET REGISTER[INDEX] := VALUE through the raw telegram channel (tormak) and\n"
     "waits for the controller's acknowledgement. Bypasses every check of the library:\n"
     "know what the register does.",
     "--id 1000 set 1024 0 45000",
     commandSet},
};

}  // namespace

const std::vector<CommandSpec>& commandTable() { return kCommands; }

const CommandSpec* findCommand(const std::string& name) {
    for (const CommandSpec& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

std::string commandSynopsis(const CommandSpec& command) {
    std::string text = command.name;
    for (const ArgRule& a : command.args) {
        std::string name = a.kind == ArgKind::Direction   ? "fwd|bkw"
                           : a.kind == ArgKind::OnOff     ? "on|off"
                           : a.kind == ArgKind::AxisOrAll ? "AXIS|all"
                                                          : a.name;
        text += a.optional ? " [" + name + "]" : " " + name;
    }
    return text;
}
