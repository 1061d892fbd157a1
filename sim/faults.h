// The fault modes: their names (as the program takes them), kinds and
// parameter rules.
#ifndef SIM_FAULTS_H
#define SIM_FAULTS_H

#include <string>

#include "sim_controller.h"

namespace sim {

struct FaultInfo {
    Controller::Fault fault;
    const char* name;      // "silent", "late", ...
    bool isSwitch;         // false: one-shot
    int defaultParameter;  // taken for parameter 0
    int minParameter;      // parameters are clamped to min..max
    int maxParameter;
    const char* help;  // one line for --help
};

const FaultInfo& faultInfo(Controller::Fault fault);
// nullptr for an unknown name.
const FaultInfo* faultByName(const std::string& name);
const FaultInfo* faultTableBegin();
const FaultInfo* faultTableEnd();

// The parameter a fault works with: the default for 0, else clamped.
int effectiveParameter(const FaultInfo& info, int parameter);

}  // namespace sim

#endif
