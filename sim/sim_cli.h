// Command line of the positioner-sim program: parsing, help text, and the
// rule that it only binds loopback addresses unless told otherwise.
#ifndef SIM_SIM_CLI_H
#define SIM_SIM_CLI_H

#include <string>
#include <utility>
#include <vector>

#include "sim_controller.h"

namespace sim {

struct CliConfig {
    std::vector<Options> controllers;
    std::vector<std::pair<Controller::Fault, int>> faults;  // set on every controller at start
    bool quiet = false;
    bool allowNonlocal = false;
    bool help = false;
};

// Fills config from the arguments (without the program name). False with
// a message in error when an argument is unknown or malformed.
bool parseCommandLine(const std::vector<std::string>& args, CliConfig& config, std::string& error);

std::string usageText();

// Empty when the configuration may run: --allow-nonlocal, every address to
// bind and the multicast interface in 127.0.0.0/8, or every network
// interface of the process a loopback one. Otherwise the reason to refuse.
std::string localityProblem(const CliConfig& config, bool interfacesAllLoopback);

// True when every network interface this process sees is a loopback one.
bool interfacesAllLoopback();

}  // namespace sim

#endif
