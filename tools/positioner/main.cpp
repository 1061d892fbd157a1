// positioner: list controllers, show and set axis values, move axes and
// load axis configuration files through the Positioner API of dravex.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"

namespace {

struct Command {
    const char* name;
    const char* arguments;
    size_t minArgs, maxArgs;
    int (*run)(const Settings&, const Args&);
    const char* help;
};

const Command kCommands[] = {
    {"list", "", 0, 0, commandList, "list the controllers found (device number, hardware id)"},
    {"show", "AXIS", 1, 1, commandShow, "show position, status, amplitude and frequency of an axis"},
    {"amplitude", "AXIS VALUE", 2, 2, commandAmplitude, "set the drive amplitude (0..140000)"},
    {"frequency", "AXIS VALUE", 2, 2, commandFrequency, "set the drive frequency (0..20000)"},
    {"move-abs", "AXIS POSITION [ROTATIONS]", 2, 3, commandMoveAbsolute, "move to a position, watching it"},
    {"move-rel", "AXIS DISTANCE [ROTATIONS]", 2, 3, commandMoveRelative, "move by a distance, watching it"},
    {"move-cont", "AXIS fwd|bkw [SECONDS]", 2, 3, commandMoveContinuous,
     "move until Ctrl-C, the end of travel, or SECONDS"},
    {"step", "AXIS fwd|bkw [COUNT]", 2, 3, commandStep, "single steps (default 1)"},
    {"load", "AXIS FILE", 2, 2, commandLoad, "send an axis configuration file"},
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: positioner [options] COMMAND [ARGUMENTS]\n\n"
                 "Commands:\n");
    for (const Command& c : kCommands) {
        std::string call = std::string(c.name) + " " + c.arguments;
        std::fprintf(out, "  %-36s %s\n", call.c_str(), c.help);
    }
    std::fprintf(out,
                 "\nOptions:\n"
                 "  --device N    device number from 'list' (default 0)\n"
                 "  --id N        the controller with hardware id N instead (numbers may change\n"
                 "                between scans, ids do not)\n"
                 "  --settle MS   wait for the controller's reports after opening (default 300)\n"
                 "  --timeout S   longest wait for a move to end (default 60)\n"
                 "  --trace       trace lines and every telegram on standard error\n"
                 "  --help        this text\n\n"
                 "Ctrl-C during a move stops the axis. Exit status: 0 done, 1 failed,\n"
                 "2 usage error, 130 interrupted.\n");
}

bool numberOption(int argc, char** argv, int& i, const char* what, int min, int* out) {
    int32_t v = 0;
    if (i + 1 >= argc || !parseInt(argv[i + 1], what, &v) || v < min) {
        std::fprintf(stderr, "positioner: %s needs a number of at least %d\n", argv[i], min);
        return false;
    }
    *out = v;
    ++i;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const std::string option = argv[i];
        if (option == "--help") {
            usage(stdout);
            return kExitOk;
        } else if (option == "--trace") {
            settings.trace = true;
        } else if (option == "--device") {
            if (!numberOption(argc, argv, i, "device", 0, &settings.device)) return kExitUsage;
        } else if (option == "--id") {
            if (!numberOption(argc, argv, i, "id", 0, &settings.hardwareId)) return kExitUsage;
        } else if (option == "--settle") {
            if (!numberOption(argc, argv, i, "settle", 0, &settings.settleMs)) return kExitUsage;
        } else if (option == "--timeout") {
            if (!numberOption(argc, argv, i, "timeout", 1, &settings.timeoutS)) return kExitUsage;
        } else {
            std::fprintf(stderr, "positioner: unknown option %s\n", argv[i]);
            usage(stderr);
            return kExitUsage;
        }
    }
    if (i >= argc) {
        usage(stderr);
        return kExitUsage;
    }
    const std::string name = argv[i];
    const Args args(argv + i + 1, argv + argc);
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        if (args.size() < c.minArgs || args.size() > c.maxArgs) {
            std::fprintf(stderr, "usage: positioner %s %s\n", c.name, c.arguments);
            return kExitUsage;
        }
        return c.run(settings, args);
    }
    std::fprintf(stderr, "positioner: unknown command '%s'\n", name.c_str());
    usage(stderr);
    return kExitUsage;
}
