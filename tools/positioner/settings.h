// Options of the positioner command line that every command sees.
#ifndef TOOLS_POSITIONER_SETTINGS_H
#define TOOLS_POSITIONER_SETTINGS_H

#include <string>

struct Settings {
    std::string address;  // --address: open this controller without a scan
    int hardwareId = -1;  // --id: the controller with this hardware id
    int device = -1;      // --device: this device number of the scan
    int settleMs = 300;   // time for the controller's first reports after opening
    int timeoutS = 60;    // longest wait for a move to end
    bool quiet = false;   // no progress lines
    bool json = false;    // list, status: JSON
    bool strict = false;  // load: fail when lines are skipped
    bool trace = false;   // library trace lines with every telegram
    std::string logFile;  // library trace lines to this file
};

#endif
