// One opened controller: the scan, the connect and the close.
#ifndef TOOLS_POSITIONER_SESSION_H
#define TOOLS_POSITIONER_SESSION_H

#include <cstdint>
#include <vector>

#include "positioner.h"

struct Settings {
    int device = 0;          // device number of the scan
    int hardwareId = -1;     // when >= 0: the first available device with this id
    bool trace = false;      // trace facility on (all telegram lines)
    int settleMs = 300;      // time for the controller's first reports
    int timeoutS = 60;       // longest wait for a move to end
};

// Scans the carriers and returns a copy of the device list. Leaves tracing
// on when asked, else only error lines.
std::vector<DetectedDevice> scanControllers(const Settings& settings);

class Session {
public:
    explicit Session(const Settings& settings) : settings_(settings) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Scans, opens settings.device and waits settleMs for the first
    // reports. False (after a message) when that fails.
    bool open();
    int32_t handle() const { return handle_; }
    const Settings& settings() const { return settings_; }

private:
    Settings settings_;
    int32_t handle_ = -1;
};

#endif
