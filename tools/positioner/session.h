// The controller a command talks to: chosen by --address (no scan), --id,
// --device, or as the only controller the scan finds; opened, and closed
// again at the end.
#ifndef TOOLS_POSITIONER_SESSION_H
#define TOOLS_POSITIONER_SESSION_H

#include <atomic>
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
    // Closes the controller (from any thread; once). Calls on the handle
    // in progress on other threads end with result 2.
    void close();
    int32_t handle() const { return handle_.load(); }
    const Settings& settings() const { return settings_; }
    // "tcp 127.0.0.2 (id 1000)", for messages.
    const std::string& name() const { return name_; }

private:
    bool picks(const ControllerEntry& controller) const;
    int chooseFromScan(int32_t* device);

    Settings settings_;
    std::atomic<int32_t> handle_{-1};
    std::string name_;
};

#endif
