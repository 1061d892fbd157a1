#include "dispatcher.h"

#include "wire/registers.h"
#include "wire/telegram.h"

namespace pos {

namespace reg = uc::reg;

namespace {

struct Route {
    int32_t address;
    int32_t opcode;
    Field field;
    Wait wakes;
};

const Route kRoutes[] = {
    {reg::kAmplitude, UC_OP_ACK, Field::Amplitude, Wait::AmplitudeReady},
    {reg::kAmplitude, UC_OP_TELL, Field::Amplitude, Wait::None},
    {reg::kFrequency, UC_OP_ACK, Field::Frequency, Wait::FrequencyReady},
    {reg::kFrequency, UC_OP_TELL, Field::Frequency, Wait::None},
    {reg::kStatus, UC_OP_TELL, Field::Status, Wait::None},
    {reg::kReferencePosition, UC_OP_TELL, Field::ReferencePosition, Wait::None},
    {reg::kPosition, UC_OP_TELL, Field::Position, Wait::None},
    {reg::kDcLevel, UC_OP_ACK, Field::DcLevel, Wait::DcLevelReady},
    {reg::kDcLevel, UC_OP_TELL, Field::DcLevel, Wait::DcLevelReady},
    {reg::kRotationCount, UC_OP_TELL, Field::RotationCount, Wait::None},
    {reg::kReferenceRotationCount, UC_OP_TELL, Field::ReferenceRotationCount, Wait::None},
    {reg::kSpeed, UC_OP_TELL, Field::Speed, Wait::None},
    {reg::kStepWidth, UC_OP_TELL, Field::StepWidth, Wait::None},
    {reg::kDcInEnable, UC_OP_ACK, Field::DcInEnable, Wait::DcInEnableReady},
    {reg::kAcInEnable, UC_OP_ACK, Field::AcInEnable, Wait::AcInEnableReady},
    {reg::kIntEnable, UC_OP_ACK, Field::IntEnable, Wait::IntEnableReady},
    {reg::kBandwidthLimitEnable, UC_OP_ACK, Field::BandwidthLimitEnable, Wait::BandwidthLimitReady},
    {reg::kCapacity, UC_OP_TELL, Field::CapMeasure, Wait::CapMeasureReady},
};

const Route* findRoute(int32_t address, int32_t opcode) {
    for (const Route& r : kRoutes) {
        if (r.address == address && r.opcode == opcode) return &r;
    }
    return nullptr;
}

// A TELL carries its value in data word 0; an ACK carries the reason there
// and the value in data word 1.
int valueWordOf(int32_t opcode) { return opcode == UC_OP_ACK ? 1 : 0; }

}  // namespace

void dispatch(HandleEntry& h, const UcTelegram& tel, int32_t receivedLength) {
    const int32_t axis = uc::index(tel);
    if (!validAxis(axis)) return;
    const int32_t opcode = uc::opcode(tel);
    const Route* route = findRoute(uc::address(tel), opcode);
    if (!route) return;
    const int word = valueWordOf(opcode);
    // A shorter telegram would hand over whatever an earlier one left in
    // the buffer.
    if (uc::dataWordCount(receivedLength) <= word) return;

    AxisEntry& entry = h.axes[axis];
    const bool changed = entry.apply(route->field, uc::dataWord(tel, word));
    if (route->wakes != Wait::None) {
        if (IWaitCondition* w = entry.wait(route->wakes)) w->wakeOne();
    }
    if (changed) h.reports.noteChange(axis);
}

}  // namespace pos
