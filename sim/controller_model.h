// The controller's registers and axes and its answer to each request.
// Not thread-safe: the owner serialises every call.
#ifndef SIM_CONTROLLER_MODEL_H
#define SIM_CONTROLLER_MODEL_H

#include <vector>

#include "axis_model.h"
#include "framer.h"
#include "register_store.h"
#include "sim_controller.h"

namespace sim {

struct RequestOutcome {
    bool answered = false;  // reply holds the ACK to send back
    Bytes reply;
    bool syncRequested = false;  // SET 10: keep quiet towards this host
    int capacityAxis = -1;       // SET 1310 := 1 on this axis
};

class ControllerModel {
public:
    explicit ControllerModel(const Options& options);

    // Handles one well-formed telegram from a host.
    RequestOutcome handle(const Bytes& telegram);
    // Moves every axis on to now.
    void advance(Clock::time_point now);
    // The periodic report: TELL 1045, 1028, 1031, 1346 for each axis.
    void appendStatusTells(std::vector<Bytes>& out) const;
    // The capacity result TELL 1385 of an axis.
    Bytes capacityTell(int axis) const;

    RegisterStore& registers() { return registers_; }
    const RegisterStore& registers() const { return registers_; }

private:
    RequestOutcome handleSet(int32_t address, int32_t index, int32_t correlation, const Bytes& telegram);
    RequestOutcome handleGet(int32_t address, int32_t index, int32_t correlation) const;

    RegisterStore registers_;
    std::vector<AxisModel> axes_;
    Clock::time_point lastAdvance_;
};

}  // namespace sim

#endif
