#include "controller_model.h"

#include "wire/telegram.h"
#include "registers.h"
#include "wire.h"

namespace sim {

namespace {
constexpr int32_t kReasonOk = 0;
constexpr int32_t kReasonInvalidAddress = 1;
constexpr int32_t kReasonOutOfRange = 2;
// An advance longer than this (a stalled ticker) moves the axes as if only
// this much time had passed.
constexpr double kLongestStepSeconds = 0.1;

constexpr int32_t kReportedRegisters[] = {reg::kPosition, reg::kStatus, reg::kReferencePosition, reg::kSpeed};

MotionLimits limitsFrom(const Options& o) {
    return MotionLimits{o.speed > 0 ? o.speed : 1, o.travelLimit > 0 ? o.travelLimit : 1};
}
}  // namespace

ControllerModel::ControllerModel(const Options& options) : lastAdvance_(Clock::now()) {
    registers_.set(reg::kControllerType, 0, options.controllerType);
    registers_.set(reg::kControllerId, 0, options.hardwareId);
    axes_.reserve(kAxisCount);
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        axes_.emplace_back(axis, limitsFrom(options), registers_);
        axes_.back().preset();
    }
}

RequestOutcome ControllerModel::handle(const Bytes& telegram) {
    const int32_t op = uc::get32(telegram.data(), uc::kOpcodeOffset);
    const int32_t address = uc::get32(telegram.data(), uc::kAddressOffset);
    const int32_t index = uc::get32(telegram.data(), uc::kIndexOffset);
    const int32_t correlation = uc::get32(telegram.data(), uc::kCorrelationOffset);
    if (op == UC_OP_SET) return handleSet(address, index, correlation, telegram);
    if (op == UC_OP_GET) return handleGet(address, index, correlation);
    return RequestOutcome{};  // DO, STAT, CHRQ, ACK, TELL: not answered
}

RequestOutcome ControllerModel::handleGet(int32_t address, int32_t index, int32_t correlation) const {
    RequestOutcome out;
    out.answered = true;
    int32_t value = 0;
    bool known = registers_.get(address, index, &value);
    out.reply =
        makeAck(address, index, correlation, known ? kReasonOk : kReasonInvalidAddress, known ? value : 0);
    return out;
}

RequestOutcome ControllerModel::handleSet(int32_t address, int32_t index, int32_t correlation,
                                          const Bytes& telegram) {
    RequestOutcome out;
    out.answered = true;
    if (telegram.size() < UC_HEADER_SIZE + 4) {
        out.reply = makeAck(address, index, correlation, kReasonOutOfRange, 0);
        return out;
    }
    const int32_t value = uc::get32(telegram.data(), uc::kDataOffset);
    registers_.set(address, index, value);
    if (address == reg::kIdUnlock && index == 0 && value == uc::value::kIdUnlockCode) {
        int32_t newId = 0;
        if (registers_.get(reg::kNewId, 0, &newId)) registers_.set(reg::kControllerId, 0, newId);
    }
    if (address == reg::kSync) out.syncRequested = true;
    if (index >= 0 && index < kAxisCount) {
        if (address == reg::kCapacityStart && value == 1) out.capacityAxis = index;
        axes_[static_cast<size_t>(index)].command(address, value);
    }
    out.reply = makeAck(address, index, correlation, kReasonOk, registers_.valueOr(address, index, value));
    return out;
}

void ControllerModel::advance(Clock::time_point now) {
    double seconds = std::chrono::duration<double>(now - lastAdvance_).count();
    lastAdvance_ = now;
    if (seconds <= 0) return;
    if (seconds > kLongestStepSeconds) seconds = kLongestStepSeconds;
    for (AxisModel& axis : axes_) axis.advance(seconds);
}

void ControllerModel::appendStatusTells(std::vector<Bytes>& out) const {
    for (int32_t axis = 0; axis < kAxisCount; ++axis) {
        for (int32_t address : kReportedRegisters)
            out.push_back(makeTell(address, axis, registers_.valueOr(address, axis, 0)));
    }
}

Bytes ControllerModel::capacityTell(int axis) const {
    return makeTell(reg::kCapacity, axis, registers_.valueOr(reg::kCapacity, axis, 0));
}

}  // namespace sim
