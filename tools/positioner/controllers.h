// The controllers of a scan, one entry per controller: a network
// controller that answers both discovery probes is one controller listed
// under two device numbers.
#ifndef TOOLS_POSITIONER_CONTROLLERS_H
#define TOOLS_POSITIONER_CONTROLLERS_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct ControllerEntry {
    int32_t hardwareId = -1;       // -1 when it could not be read
    bool available = false;        // opened and identified as a positioner controller
    int32_t carrier = 0;           // POSITIONER_CARRIER_*
    std::string address;           // IPv4 address, USB bus/device or driver instance
    std::vector<int32_t> devices;  // device numbers of the scan, ascending

    // "tcp 127.0.0.2 (id 1000)"
    std::string describe() const;
};

// Scans (PositionerCheck) and groups the device numbers by controller, in
// the order of their first device number.
std::vector<ControllerEntry> scanControllers();

// The table of 'list', or with json a JSON array.
void printControllers(const std::vector<ControllerEntry>& controllers, bool json, FILE* out);

const char* carrierName(int32_t carrier);

#endif
