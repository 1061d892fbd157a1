#include "axis_model.h"

#include <cmath>
#include <limits>

#include "registers.h"
#include "sim_controller.h"

namespace sim {

namespace {
constexpr int32_t kDefaultStepWidth = 100;

struct Preset {
    int32_t address;
    int32_t value;
};
// Registers every axis holds from the start (the capacity is per axis,
// see preset()).
constexpr Preset kPresets[] = {
    {reg::kAmplitude, 30000},
    {reg::kFrequency, 1000},
    {reg::kStatus, 0},
    {reg::kReferencePosition, 0},
    {reg::kPosition, 0},
    {reg::kSpeed, 0},
    {reg::kTarget, 0},
    {reg::kTargetRotationCount, 0},
    {reg::kDcLevel, 0},
    {reg::kDcInEnable, 0},
    {reg::kAcInEnable, 0},
    {reg::kIntEnable, 0},
    {reg::kBandwidthLimitEnable, 0},
    {reg::kStepWidth, kDefaultStepWidth},
};

int32_t clampToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
}  // namespace

const AxisModel::Command AxisModel::kCommands[] = {
    {reg::kApproach, &AxisModel::approach},
    {reg::kRelativeMove, &AxisModel::relativeMove},
    {reg::kContinuousBackward, &AxisModel::continuousBackward},
    {reg::kContinuousForward, &AxisModel::continuousForward},
    {reg::kStepBackward, &AxisModel::stepBackward},
    {reg::kStepForward, &AxisModel::stepForward},
    {reg::kStop, &AxisModel::stopCommand},
    {reg::kMoveReference, &AxisModel::moveReference},
    {reg::kResetPosition, &AxisModel::resetPosition},
};

AxisModel::AxisModel(int32_t index, MotionLimits limits, RegisterStore& registers)
    : index_(index), limits_(limits), registers_(registers) {}

void AxisModel::preset() {
    for (const Preset& p : kPresets) registers_.set(p.address, index_, p.value);
    registers_.set(reg::kCapacity, index_, 950 + 10 * index_);
}

void AxisModel::command(int32_t address, int32_t value) {
    for (const Command& c : kCommands) {
        if (c.address == address) {
            (this->*c.apply)(value);
            return;
        }
    }
}

void AxisModel::approach(int32_t value) {
    if (value == 1) {
        startTarget(Goal::Absolute, static_cast<int64_t>(stored(reg::kTarget)) + offset_);
        setStatusBits(kStatusApproachActive, true);
    } else if (value == 0) {
        setStatusBits(kStatusApproachActive, false);
        if (motion_ == Motion::Target && goal_ == Goal::Absolute) halt();
    }
}

void AxisModel::relativeMove(int32_t value) {
    if (value == 1) startTarget(Goal::Relative, physical() + stored(reg::kTarget));
}

void AxisModel::continuous(int direction, int32_t value) {
    if (value == 1) {
        motion_ = Motion::Continuous;
        direction_ = direction;
        pending_ = 0.0;
        setStatusBits(kStatusMoving, true);
        setStatusBits(kStatusTargetReached, false);
    } else if (value == 0 && motion_ == Motion::Continuous && direction_ == direction) {
        halt();
    }
}

void AxisModel::step(int direction, int32_t value) {
    if (value != 1) return;
    int32_t width = stored(reg::kStepWidth);
    if (width <= 0) width = kDefaultStepWidth;
    setPhysical(physical() + static_cast<int64_t>(direction) * width);
}

void AxisModel::stopCommand(int32_t value) {
    if (value != 1) return;
    halt();
    setStatusBits(kStatusApproachActive, false);
}

void AxisModel::moveReference(int32_t value) {
    if (value == 1) startTarget(Goal::Reference, kReferenceMark);
}

void AxisModel::resetPosition(int32_t value) {
    if (value != 1) return;
    offset_ = physical();
    registers_.set(reg::kPosition, index_, 0);
}

void AxisModel::startTarget(Goal goal, int64_t physicalTarget) {
    motion_ = Motion::Target;
    goal_ = goal;
    target_ = physicalTarget;
    pending_ = 0.0;
    setStatusBits(kStatusMoving, true);
    setStatusBits(kStatusTargetReached, false);
}

void AxisModel::arrive() {
    setPhysical(target_);
    Goal goal = goal_;
    halt();
    if (goal == Goal::Reference) {
        registers_.set(reg::kReferencePosition, index_, stored(reg::kPosition));
        setStatusBits(kStatusReferenceValid, true);
    } else {
        setStatusBits(kStatusTargetReached, true);
    }
}

void AxisModel::halt() {
    motion_ = Motion::Idle;
    direction_ = 0;
    registers_.set(reg::kSpeed, index_, 0);
    setStatusBits(kStatusMoving, false);
}

void AxisModel::advance(double seconds) {
    if (motion_ != Motion::Idle) {
        pending_ += static_cast<double>(limits_.speed) * seconds;
        int64_t stride = static_cast<int64_t>(std::floor(pending_));
        pending_ -= static_cast<double>(stride);
        int64_t now = physical();
        if (motion_ == Motion::Target) {
            int64_t remaining = target_ - now;
            direction_ = remaining < 0 ? -1 : 1;
            if (std::llabs(remaining) <= stride) {
                arrive();
            } else {
                setPhysical(now + direction_ * stride);
            }
        } else {
            setPhysical(now + direction_ * stride);
        }
        if (motion_ != Motion::Idle) {
            if (std::llabs(physical()) >= limits_.travelLimit) {
                halt();
            } else {
                registers_.set(reg::kSpeed, index_, direction_ * limits_.speed);
            }
        }
    }
    setStatusBits(kStatusEndOfTravel, std::llabs(physical()) >= limits_.travelLimit);
}

int64_t AxisModel::physical() const { return static_cast<int64_t>(stored(reg::kPosition)) + offset_; }

void AxisModel::setPhysical(int64_t p) {
    int64_t limit = limits_.travelLimit;
    if (p > limit) p = limit;
    if (p < -limit) p = -limit;
    registers_.set(reg::kPosition, index_, clampToInt32(p - offset_));
}

void AxisModel::setStatusBits(int32_t mask, bool on) {
    int32_t status = stored(reg::kStatus);
    registers_.set(reg::kStatus, index_, on ? (status | mask) : (status & ~mask));
}

}  // namespace sim
