#include "help.h"

#include <climits>
#include <string>

namespace {

const char* const kOptions =
    "Options (before or after the command):\n"
    "  --address HOST  the controller at HOST (IPv4 address or host name), opened\n"
    "                  without a scan\n"
    "  --id N          the controller with hardware id N (see 'list')\n"
    "  --device N      device number N of the scan (numbers can change between scans)\n"
    "                  Without these, the one controller the scan finds is used; when\n"
    "                  it finds several, they are listed and nothing is done.\n"
    "  --settle MS     wait for the controller's first reports after opening, 0..10000\n"
    "                  (default 300)\n"
    "  --timeout S     longest wait for a move to end, 1..86400 (default 60); the axis\n"
    "                  is stopped then\n"
    "  --quiet         no progress lines during moves\n"
    "  --json          list, status: JSON output\n"
    "  --strict        load: exit 5 when lines of the file were skipped\n"
    "  --trace         library trace lines and every telegram on standard error\n"
    "  --log FILE      library trace lines to FILE (with --trace also every telegram)\n"
    "  --version       program and library version\n"
    "  --help          this text; 'positioner help COMMAND' or 'positioner COMMAND\n"
    "                  --help' describes a command\n";

const char* const kExitStatuses =
    "Exit status: 0 done; 1 the controller refused or did not answer, or a move did\n"
    "not end; 2 wrong command line; 3 no controller, several to choose from, or it\n"
    "cannot be opened; 4 a file cannot be read or written; 5 load --strict skipped\n"
    "lines; 130 interrupted by Ctrl-C or SIGTERM (the command's axis, or every\n"
    "axis, is halted at once).\n";

}  // namespace

void printOverview(FILE* out) {
    std::fprintf(out,
                 "usage: positioner [OPTIONS] COMMAND [ARGUMENTS]\n\n"
                 "Drives the axes of a positioner controller on USB or the local network.\n\n"
                 "Commands:\n");
    for (const CommandSpec& c : commandTable())
        std::fprintf(out, "  %-36s %s\n", commandSynopsis(c).c_str(), c.summary.c_str());
    std::fprintf(out, "\n%s\n%s", kOptions, kExitStatuses);
}

void printCommandHelp(const CommandSpec& command, FILE* out) {
    std::fprintf(out, "usage: positioner [OPTIONS] %s\n\n%s\n", commandSynopsis(command).c_str(),
                 command.details);
    if (!command.args.empty()) {
        std::fprintf(out, "\nArguments:\n");
        for (const ArgRule& a : command.args) {
            const bool fullRange = a.kind == ArgKind::Integer && a.min == INT32_MIN && a.max == INT32_MAX;
            std::fprintf(out, "  %-10s %s%s\n", a.name, a.meaning.c_str(),
                         fullRange ? ", any 32-bit whole number" : "");
        }
    }
    if (command.options & kOptionJson) std::fprintf(out, "\n  --json     JSON output\n");
    if (command.options & kOptionStrict)
        std::fprintf(out, "\n  --strict   exit 5 when lines of the file were skipped\n");
    std::fprintf(out, "\nExample:\n  positioner %s\n", command.example);
}

void printVersion() { std::printf("positioner %s (dravex and tormak %s)\n", UC_VERSION, UC_VERSION); }
