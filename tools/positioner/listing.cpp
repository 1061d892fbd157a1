// list: the controllers of a scan, one row (or JSON object) per controller.
#include <cstdio>

#include "commands.h"
#include "controllers.h"
#include "exit_codes.h"
#include "output.h"

int commandList(Invocation& call) {
    const std::vector<ControllerEntry> controllers = scanControllers();
    if (controllers.empty()) {
        if (call.settings.json) std::printf("[]\n");
        complain("no controller found on USB or the local network; check that it is switched on and connected");
        return kExitNoController;
    }
    printControllers(controllers, call.settings.json, stdout);
    return kExitOk;
}
