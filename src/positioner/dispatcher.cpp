#include "dispatcher.h"

#include "link/telegram.h"

namespace pos {

namespace {

struct Route {
    int32_t address;
    int32_t opcode;
    Field field;
    Wait wakes;
};

const Route kRoutes[] = {
    {1024, UC_OP_ACK, Field::Amplitude, Wait::AmplitudeReady},
    {1024, UC_OP_TELL, Field::Amplitude, Wait::None},
    {1025, UC_OP_ACK, Field::Frequency, Wait::FrequencyReady},
    {1025, UC_OP_TELL, Field::Frequency, Wait::None},
    {1028, UC_OP_TELL, Field::Status, Wait::None},
    {1031, UC_OP_TELL, Field::ReferencePosition, Wait::None},
    {1045, UC_OP_TELL, Field::Position, Wait::None},
    {1300, UC_OP_ACK, Field::DcLevel, Wait::DcLevelReady},
    {1300, UC_OP_TELL, Field::DcLevel, Wait::DcLevelReady},
    {1302, UC_OP_TELL, Field::RotationCount, Wait::None},
    {1303, UC_OP_TELL, Field::ReferenceRotationCount, Wait::None},
    {1346, UC_OP_TELL, Field::Speed, Wait::None},
    {1353, UC_OP_TELL, Field::StepWidth, Wait::None},
    {1377, UC_OP_ACK, Field::DcInEnable, Wait::DcInEnableReady},
    {1378, UC_OP_ACK, Field::AcInEnable, Wait::AcInEnableReady},
    {1379, UC_OP_ACK, Field::IntEnable, Wait::IntEnableReady},
    {1384, UC_OP_ACK, Field::BandwidthLimitEnable, Wait::BandwidthLimitReady},
    {1385, UC_OP_TELL, Field::CapMeasure, Wait::CapMeasureReady},
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
    entry.set(route->field, uc::dataWord(tel, word));
    if (route->wakes != Wait::None) {
        if (IWaitCondition* w = entry.wait(route->wakes)) w->wakeOne();
    }
}

}  // namespace pos
