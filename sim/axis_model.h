// Motion model of one axis. Position, status, reference position and speed
// live in the register store (so GET and setRegister see and change them);
// the axis keeps only what a movement needs besides.
#ifndef SIM_AXIS_MODEL_H
#define SIM_AXIS_MODEL_H

#include <cstdint>

#include "register_store.h"

namespace sim {

struct MotionLimits {
    int32_t speed;        // units per second
    int32_t travelLimit;  // the axis stays within +-travelLimit (physical)
};

class AxisModel {
public:
    AxisModel(int32_t index, MotionLimits limits, RegisterStore& registers);

    // Writes the axis's default registers.
    void preset();
    // Applies a SET of address := value that the axis reacts to (called
    // after the value was stored); other addresses are ignored.
    void command(int32_t address, int32_t value);
    // Moves the axis on by the given time.
    void advance(double seconds);

private:
    enum class Motion { Idle, Target, Continuous };
    enum class Goal { Absolute, Relative, Reference };

    void approach(int32_t value);
    void relativeMove(int32_t value);
    void continuousBackward(int32_t value) { continuous(-1, value); }
    void continuousForward(int32_t value) { continuous(+1, value); }
    void stepBackward(int32_t value) { step(-1, value); }
    void stepForward(int32_t value) { step(+1, value); }
    void stopCommand(int32_t value);
    void moveReference(int32_t value);
    void resetPosition(int32_t value);

    void continuous(int direction, int32_t value);
    void step(int direction, int32_t value);
    void startTarget(Goal goal, int64_t physicalTarget);
    void arrive();
    void halt();

    int64_t physical() const;
    void setPhysical(int64_t physical);
    int32_t stored(int32_t address) const { return registers_.valueOr(address, index_, 0); }
    void setStatusBits(int32_t mask, bool on);

    struct Command {
        int32_t address;
        void (AxisModel::*apply)(int32_t value);
    };
    static const Command kCommands[];

    const int32_t index_;
    const MotionLimits limits_;
    RegisterStore& registers_;
    Motion motion_ = Motion::Idle;
    Goal goal_ = Goal::Absolute;
    int direction_ = 0;
    int64_t target_ = 0;    // physical target of a Target motion
    int64_t offset_ = 0;    // physical position = counter (1045) + offset
    double pending_ = 0.0;  // fraction of a unit not yet moved
};

}  // namespace sim

#endif
