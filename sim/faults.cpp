#include "faults.h"

#include <climits>
#include <iterator>

namespace sim {

namespace {
using F = Controller::Fault;
const FaultInfo kFaults[] = {
    {F::Silent, "silent", true, 0, 0, 0, "log requests, send nothing of its own"},
    {F::Late, "late", true, 500, 1, 60000, "send every ACK PARAM ms late (500)"},
    {F::SplitSegments, "split", true, 1, 1, UC_MAX_TELEGRAM, "write telegrams in PARAM-byte pieces (1)"},
    {F::Garbage, "garbage", false, 3, 1, 4096, "PARAM junk bytes before the next telegram (3)"},
    {F::OutOfStepTell, "out-of-step-tell", false, 0, 0, 0, "send a TELL of register 10"},
    {F::LengthTooLarge, "length-too-large", false, 509, INT_MIN, INT_MAX,
     "a telegram with length word PARAM (509)"},
    {F::BadOpcode, "bad-opcode", false, 1, INT_MIN, INT_MAX, "a 20-byte telegram with opcode PARAM (1)"},
    {F::CloseConnection, "close-connection", false, 0, 0, 1,
     "0: close connections now; 1: on the next request"},
    {F::TellFlood, "tell-flood", true, 1000, 1, 100000, "TELLs of 1045 at PARAM per second (1000)"},
};
}  // namespace

const FaultInfo& faultInfo(Controller::Fault fault) {
    for (const FaultInfo& f : kFaults)
        if (f.fault == fault) return f;
    return kFaults[0];
}

const FaultInfo* faultByName(const std::string& name) {
    for (const FaultInfo& f : kFaults)
        if (name == f.name) return &f;
    return nullptr;
}

const FaultInfo* faultTableBegin() { return std::begin(kFaults); }
const FaultInfo* faultTableEnd() { return std::end(kFaults); }

int effectiveParameter(const FaultInfo& info, int parameter) {
    if (parameter == 0) return info.defaultParameter;
    if (parameter < info.minParameter) return info.minParameter;
    if (parameter > info.maxParameter) return info.maxParameter;
    return parameter;
}

}  // namespace sim
