// positioner: list controllers, show and set axis values, move and stop
// axes, load axis configuration files and read or write single registers,
// through the Positioner API of dravex and the raw channel of tormak.
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "arguments.h"
#include "command_table.h"
#include "exit_codes.h"
#include "help.h"
#include "interrupts.h"
#include "output.h"
#include "raw_channel.h"
#include "session.h"

namespace {

struct CommandLine {
    Settings settings;
    std::vector<std::string> words;  // the command and its arguments
    bool help = false, version = false;
};

// An option's whole-number value within min..max.
bool numberOption(const std::string& option, const std::string& text, int64_t min, int64_t max, int* out) {
    int64_t v = 0;
    if (!parseNumber(text, min, max, &v)) {
        complain("%s needs a whole number from %lld to %lld, not '%s'", option.c_str(),
                 static_cast<long long>(min), static_cast<long long>(max), text.c_str());
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

// Options may come before or after the command; words starting with a
// single '-' (negative numbers) are arguments.
bool parseCommandLine(int argc, char** argv, CommandLine& line) {
    Settings& s = line.settings;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.rfind("--", 0) != 0) {
            line.words.push_back(word);
            continue;
        }
        static const char* const kWithValue[] = {"--address", "--id",      "--device",
                                                 "--settle",  "--timeout", "--log"};
        bool takesValue = false;
        for (const char* o : kWithValue) takesValue = takesValue || word == o;
        if (takesValue && i + 1 >= argc) {
            complain("%s needs a value; see 'positioner --help'", word.c_str());
            return false;
        }
        const std::string value = takesValue ? argv[++i] : "";
        bool ok = true;
        if (word == "--help")
            line.help = true;
        else if (word == "--version")
            line.version = true;
        else if (word == "--trace")
            s.trace = true;
        else if (word == "--quiet")
            s.quiet = true;
        else if (word == "--json")
            s.json = true;
        else if (word == "--strict")
            s.strict = true;
        else if (word == "--address")
            s.address = value;
        else if (word == "--log")
            s.logFile = value;
        else if (word == "--id")
            ok = numberOption(word, value, 0, INT32_MAX, &s.hardwareId);
        else if (word == "--device")
            ok = numberOption(word, value, 0, INT32_MAX, &s.device);
        else if (word == "--settle")
            ok = numberOption(word, value, 0, 10000, &s.settleMs);
        else if (word == "--timeout")
            ok = numberOption(word, value, 1, 86400, &s.timeoutS);
        else {
            complain("unknown option %s; see 'positioner --help'", word.c_str());
            return false;
        }
        if (!ok) return false;
    }
    const int chosen = !s.address.empty() + (s.hardwareId >= 0) + (s.device >= 0);
    if (chosen > 1) {
        complain("--address, --id and --device each choose the controller; give only one");
        return false;
    }
    return true;
}

// Options that only some commands take.
bool optionsFit(const CommandSpec& command, const Settings& s) {
    if (s.json && !(command.options & kOptionJson)) {
        complain("--json applies to list and status, not to %s", command.name);
        return false;
    }
    if (s.strict && !(command.options & kOptionStrict)) {
        complain("--strict applies to load, not to %s", command.name);
        return false;
    }
    return true;
}

// The axis a command names (its first argument), -1 for all or none.
int32_t commandAxis(const CommandSpec& command, const ArgValues& args) {
    const bool namesAxis = !command.args.empty() && (command.args[0].kind == ArgKind::Axis ||
                                                     command.args[0].kind == ArgKind::AxisOrAll);
    return namesAxis ? args.number(0) : -1;
}

int runCommand(const CommandSpec& command, const Settings& settings, const ArgValues& args) {
    Invocation call{settings, args, nullptr, nullptr};
    if (command.needs == Needs::Controller) {
        // Before the controller is opened: the library's threads inherit the
        // blocked signals, so that only the watching thread takes them.
        InterruptHalt interrupts;
        Session session(settings);
        const int opened = session.open();
        if (opened != kExitOk) return opened;
        interrupts.arm(session, commandAxis(command, args));
        call.session = &session;
        const int code = command.run(call);
        interrupts.disarm();
        return InterruptHalt::interrupted() ? kExitInterrupted : code;
    }
    if (command.needs == Needs::RawChannel) {
        RawChannel raw(settings);
        const int opened = raw.open();
        if (opened != kExitOk) return opened;
        call.raw = &raw;
        return command.run(call);
    }
    return command.run(call);
}

}  // namespace

int main(int argc, char** argv) {
    setUpOutput();
    CommandLine line;
    if (!parseCommandLine(argc, argv, line)) return kExitUsage;
    if (line.version) {
        printVersion();
        return kExitOk;
    }
    if (line.words.empty()) {
        printOverview(line.help ? stdout : stderr);
        return line.help ? kExitOk : kExitUsage;
    }
    const bool helpCommand = line.words[0] == "help";
    if (helpCommand && line.words.size() == 1) {
        printOverview(stdout);
        return kExitOk;
    }
    const std::string& name = line.words[helpCommand ? 1 : 0];
    const CommandSpec* command = findCommand(name);
    if (!command) {
        complain("unknown command '%s'; 'positioner --help' lists the commands", name.c_str());
        return kExitUsage;
    }
    if (helpCommand || line.help) {
        printCommandHelp(*command, stdout);
        return kExitOk;
    }
    ArgValues args;
    const int checked = checkArguments(*command, {line.words.begin() + 1, line.words.end()}, args);
    if (checked != kExitOk) return checked;
    if (!optionsFit(*command, line.settings)) return kExitUsage;
    const int traced = setUpTrace(line.settings);
    if (traced != kExitOk) return traced;
    return runCommand(*command, line.settings, args);
}
