#include "arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exit_codes.h"
#include "output.h"

namespace {

// The text for a value out of its range, like "a whole number from 0 to 140000".
std::string rangeText(const ArgRule& rule) {
    const std::string span = std::to_string(rule.min) + " to " + std::to_string(rule.max);
    switch (rule.kind) {
        case ArgKind::Axis: return "an axis number from " + span;
        case ArgKind::AxisOrAll: return "an axis number from " + span + ", or all";
        case ArgKind::Direction: return "fwd or bkw";
        case ArgKind::OnOff: return "on or off";
        case ArgKind::File: return "a readable file";
        case ArgKind::Integer: break;
    }
    return "a whole number from " + span;
}

bool checkOne(const ArgRule& rule, const std::string& text, int32_t* number) {
    int64_t v = 0;
    switch (rule.kind) {
        case ArgKind::AxisOrAll:
            if (text == "all") {
                *number = -1;
                return true;
            }
            [[fallthrough]];
        case ArgKind::Axis:
        case ArgKind::Integer:
            if (!parseNumber(text, rule.min, rule.max, &v)) return false;
            *number = static_cast<int32_t>(v);
            return true;
        case ArgKind::Direction:
            if (text == "fwd" || text == "forward")
                *number = 1;
            else if (text == "bkw" || text == "backward")
                *number = 0;
            else
                return false;
            return true;
        case ArgKind::OnOff:
            if (text == "on")
                *number = 1;
            else if (text == "off")
                *number = 0;
            else
                return false;
            return true;
        case ArgKind::File: {
            FILE* file = std::fopen(text.c_str(), "r");
            if (!file) {
                complain("cannot read the file '%s': %s; check the name", text.c_str(), std::strerror(errno));
                return false;
            }
            std::fclose(file);
            *number = 0;
            return true;
        }
    }
    return false;
}

}  // namespace

bool parseNumber(const std::string& text, int64_t min, int64_t max, int64_t* value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const bool negative = !text.empty() && text[0] == '-';
    const char* digits = text.c_str() + (hex ? 2 : 0);
    if (text.empty() || (negative && text.size() == 1) || std::isspace(static_cast<unsigned char>(digits[0])) ||
        (hex && (digits[0] == '-' || digits[0] == '+')))
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(digits, &end, hex ? 16 : 10);
    if (*end != '\0' || errno == ERANGE || v < min || v > max) return false;
    *value = v;
    return true;
}

int checkArguments(const CommandSpec& command, const std::vector<std::string>& given, ArgValues& values) {
    size_t required = 0;
    for (const ArgRule& a : command.args) required += a.optional ? 0 : 1;
    const size_t most = command.args.size();
    if (given.size() < required || given.size() > most) {
        const std::string count =
            required == most ? std::to_string(most) : std::to_string(required) + " to " + std::to_string(most);
        complain("%s takes %s argument%s (%s), not %zu; see 'positioner help %s'", command.name, count.c_str(),
                 most == 1 ? "" : "s", commandSynopsis(command).c_str(), given.size(), command.name);
        return kExitUsage;
    }
    values = ArgValues();
    values.given = given.size();
    for (size_t i = 0; i < command.args.size(); ++i) {
        const ArgRule& rule = command.args[i];
        int32_t number = rule.fallback;
        if (i < given.size() && !checkOne(rule, given[i], &number)) {
            if (rule.kind == ArgKind::File) return kExitFile;
            complain("%s: %s must be %s, not '%s'; see 'positioner help %s'", command.name, rule.name,
                     rangeText(rule).c_str(), given[i].c_str(), command.name);
            return kExitUsage;
        }
        values.numbers.push_back(number);
        values.texts.push_back(i < given.size() ? given[i] : std::string());
    }
    return kExitOk;
}
