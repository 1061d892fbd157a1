// The commands of the positioner program in one table: their arguments
// with ranges (checked before anything is sent or scanned), their help
// texts and the function that runs each.
#ifndef TOOLS_POSITIONER_COMMAND_TABLE_H
#define TOOLS_POSITIONER_COMMAND_TABLE_H

#include <cstdint>
#include <string>
#include <vector>

#include "settings.h"

enum class ArgKind {
    Axis,       // 0..5
    AxisOrAll,  // 0..5 or "all" (value -1)
    Integer,    // min..max
    Direction,  // fwd | bkw (value 1 | 0)
    OnOff,      // on | off (value 1 | 0)
    File,       // a file that can be read
};

struct ArgRule {
    const char* name;  // "AXIS"
    ArgKind kind;
    bool optional;     // may be left out (then it is the last ones given)
    int64_t min, max;  // Integer
    int32_t fallback;  // value of an optional argument left out
    std::string meaning;
};

// The checked arguments of one command line, by position in the rule.
struct ArgValues {
    std::vector<int32_t> numbers;
    std::vector<std::string> texts;
    size_t given = 0;
    int32_t number(size_t i) const { return numbers.at(i); }
    const std::string& text(size_t i) const { return texts.at(i); }
};

class Session;
class RawChannel;

// What a command gets when it runs; session or raw is set when its
// command needs it.
struct Invocation {
    const Settings& settings;
    const ArgValues& args;
    Session* session;
    RawChannel* raw;
};

enum class Needs { Nothing, Controller, RawChannel };

// Options that only some commands take.
enum CommandOption : unsigned { kOptionJson = 1, kOptionStrict = 2 };

struct CommandSpec {
    const char* name;
    std::vector<ArgRule> args;
    Needs needs;
    unsigned options;     // CommandOption bits
    std::string summary;  // one line of the command overview
    const char* details;  // what it does and prints, for 'help COMMAND'
    const char* example;  // arguments after "positioner"
    int (*run)(Invocation& call);
};

const std::vector<CommandSpec>& commandTable();
const CommandSpec* findCommand(const std::string& name);

// "move-abs AXIS POSITION [ROTATIONS]"
std::string commandSynopsis(const CommandSpec& command);

#endif
