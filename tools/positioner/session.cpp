#include "session.h"

#include <algorithm>
#include <vector>

#include "controllers.h"
#include "exit_codes.h"
#include "ithreads.h"
#include "output.h"
#include "positioner.h"
#include "results.h"

namespace {
constexpr int32_t kTraceLines = 0x004;
constexpr int32_t kTraceEverything = 0x1FC;
}  // namespace

int setUpTrace(const Settings& settings) {
    // Off first, so that nothing reaches the terminal unasked, not even a
    // log file that cannot be opened.
    PositionerTraceOff();
    PositionerTracePrefix("positioner");
    PositionerTraceFlags(settings.trace ? kTraceEverything : kTraceLines);
    if (!settings.logFile.empty()) {
        if (PositionerTraceToFile(settings.logFile.c_str()) != RC_OK) {
            complain("cannot write the log file '%s'; check the directory and its permissions",
                     settings.logFile.c_str());
            return kExitFile;
        }
    } else if (settings.trace) {
        PositionerTraceToStderr();
    }
    return kExitOk;
}

Session::~Session() { close(); }

void Session::close() {
    const int32_t h = handle_.exchange(-1);
    if (h > 0) reportResult(PositionerClose(h), "close the controller %s", name_.c_str());
}

bool Session::picks(const ControllerEntry& c) const {
    if (settings_.device >= 0)
        return std::find(c.devices.begin(), c.devices.end(), settings_.device) != c.devices.end();
    if (settings_.hardwareId >= 0) return c.available && c.hardwareId == settings_.hardwareId;
    return c.available;
}

int Session::chooseFromScan(int32_t* device) {
    const std::vector<ControllerEntry> all = scanControllers();
    std::vector<ControllerEntry> candidates;
    for (const ControllerEntry& c : all)
        if (picks(c)) candidates.push_back(c);
    if (candidates.size() == 1) {
        const ControllerEntry& c = candidates.front();
        if (!c.available) {
            complain(
                "device %d (%s) cannot be opened: another program holds it, or it is not a positioner "
                "controller; close that program and retry",
                settings_.device, c.describe().c_str());
            return kExitNoController;
        }
        *device = settings_.device >= 0 ? settings_.device : c.devices.front();
        name_ = c.describe();
        return kExitOk;
    }
    if (all.empty()) {
        complain("no controller found on USB or the local network; check that it is switched on and connected");
        return kExitNoController;
    }
    if (settings_.device >= 0) {
        complain("the scan listed no device %d; choose one of these with --id or --address:", settings_.device);
    } else if (settings_.hardwareId >= 0 && candidates.empty()) {
        complain("no controller with hardware id %d found; choose one of these with --id or --address:",
                 settings_.hardwareId);
    } else if (settings_.hardwareId >= 0) {
        complain("%zu controllers have hardware id %d; choose one with --address:", candidates.size(),
                 settings_.hardwareId);
    } else if (candidates.empty()) {
        complain(
            "none of the controllers found can be opened (held by another program, or not a positioner "
            "controller):");
    } else {
        complain("%zu controllers found; choose one with --id or --address:", candidates.size());
    }
    printControllers(all, false, stderr);
    return kExitNoController;
}

int Session::open() {
    int32_t h = -1;
    int32_t rc = RC_OK;
    if (!settings_.address.empty()) {
        name_ = settings_.address;
        rc = PositionerConnectAddress(settings_.address.c_str(), &h);
        if (rc == RC_NOT_CONNECTED) {
            complain(
                "cannot open the controller at %s: no controller answers there (result 2); check the address "
                "and that the controller is switched on",
                name_.c_str());
            return kExitNoController;
        }
    } else {
        int32_t device = -1;
        const int chosen = chooseFromScan(&device);
        if (chosen != kExitOk) return chosen;
        rc = PositionerConnect(device, &h);
    }
    if (!reportResult(rc, "open the controller %s", name_.c_str())) return kExitNoController;
    handle_ = h;
    IThread::sleep(static_cast<unsigned long>(settings_.settleMs));
    return kExitOk;
}
