// The controller a command talks to: chosen by --address (no scan), --id,
// --device, or as the only controller the scan finds; opened, and closed
// again at the end.
#ifndef TOOLS_POSITIONER_SESSION_H
#define TOOLS_POSITIONER_SESSION_H

#include <cstdint>
#include <string>

#include "settings.h"

struct ControllerEntry;

// Library trace lines: none, unless --trace (standard error) or --log FILE.
// Returns kExitOk, or kExitFile after a message when the log file cannot
// be opened.
int setUpTrace(const Settings& settings);

class Session {
public:
    explicit Session(const Settings& settings) : settings_(settings) {}
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Chooses and opens the controller, then waits settleMs for its first
    // reports. Returns kExitOk, or an exit status after one message.
    int open();
    int32_t handle() const { return handle_; }
    const Settings& settings() const { return settings_; }
    // "tcp 127.0.0.2 (id 1000)", for messages.
    const std::string& name() const { return name_; }

private:
    bool picks(const ControllerEntry& controller) const;
    int chooseFromScan(int32_t* device);

    Settings settings_;
    int32_t handle_ = -1;
    std::string name_;
};

#endif
