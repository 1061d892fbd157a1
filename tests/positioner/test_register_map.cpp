// Every setter, getter and move of the register map against the simulated
// controller: the telegrams it got (register, index, value, order), the
// results, the range boundaries and bool rules, and that nothing is sent
// when a check fails. The expected rows are written out here, from the
// register map as documented, independently of the library's table.
#include <gtest/gtest.h>

#include "positioner_test_util.h"
#include "test_support.h"

using postest::get;
using postest::set;
using postest::Tel;

namespace {

// Calls a function whose bool argument should arrive as an arbitrary byte.
using AxisBoolFn = int32_t(UC_STDCALL*)(int32_t, int32_t, bool);
using BoolFn = int32_t(UC_STDCALL*)(int32_t, bool);
int32_t withByte(AxisBoolFn fn, int32_t h, int32_t axis, uint8_t byte) {
    using Raw = int32_t(UC_STDCALL*)(int32_t, int32_t, uint8_t);
    return reinterpret_cast<Raw>(reinterpret_cast<void (*)()>(fn))(h, axis, byte);
}
int32_t withByte(BoolFn fn, int32_t h, uint8_t byte) {
    using Raw = int32_t(UC_STDCALL*)(int32_t, uint8_t);
    return reinterpret_cast<Raw>(reinterpret_cast<void (*)()>(fn))(h, byte);
}

struct Case {
    const char* label;
    std::function<int32_t(int32_t handle)> call;
    int32_t result;
    std::vector<Tel> sent;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

int32_t out = 0;
bool flag = false;

// clang-format off
const Case kCases[] = {
    {"SetOutput true", [](int32_t h) { return PositionerSetOutput(h, 3, true); }, 0, {set(1095, 3, 1)}},
    {"SetOutput byte 2 sent as is", [](int32_t h) { return withByte(PositionerSetOutput, h, 3, 2); }, 0, {set(1095, 3, 2)}},
    {"SetOutput false", [](int32_t h) { return PositionerSetOutput(h, 0, false); }, 0, {set(1095, 0, 0)}},
    {"SetOutput axis 6", [](int32_t h) { return PositionerSetOutput(h, 6, true); }, 6, {}},
    {"ResetPosition", [](int32_t h) { return PositionerResetPosition(h, 0); }, 0, {set(1103, 0, 1)}},
    {"ResetPosition axis -1", [](int32_t h) { return PositionerResetPosition(h, -1); }, 6, {}},
    {"UpdateAbsolute", [](int32_t h) { return PositionerUpdateAbsolute(h, 5, -123456); }, 0, {set(1032, 5, -123456)}},
    {"UpdateAbsolute axis 6", [](int32_t h) { return PositionerUpdateAbsolute(h, 6, 1); }, 6, {}},
    {"MoveReference", [](int32_t h) { return PositionerMoveReference(h, 3); }, 0, {set(1092, 3, 1)}},
    {"MoveReference axis 6", [](int32_t h) { return PositionerMoveReference(h, 6); }, 6, {}},
    {"StopDetection byte 2 sends 1", [](int32_t h) { return withByte(PositionerStopDetection, h, 3, 2); }, 0, {set(1104, 3, 1)}},
    {"StopDetection false", [](int32_t h) { return PositionerStopDetection(h, 3, false); }, 0, {set(1104, 3, 0)}},
    {"StopDetection axis 6", [](int32_t h) { return PositionerStopDetection(h, 6, true); }, 6, {}},
    {"SingleCircleMode byte 2 sends 1", [](int32_t h) { return withByte(PositionerSingleCircleMode, h, 3, 2); }, 0, {set(1305, 3, 1)}},
    {"SingleCircleMode false", [](int32_t h) { return PositionerSingleCircleMode(h, 3, false); }, 0, {set(1305, 3, 0)}},
    {"SingleCircleMode axis 6", [](int32_t h) { return PositionerSingleCircleMode(h, 6, true); }, 6, {}},
    {"AmplitudeControl 0", [](int32_t h) { return PositionerAmplitudeControl(h, 3, 0); }, 0, {set(1354, 3, 0)}},
    {"AmplitudeControl 2", [](int32_t h) { return PositionerAmplitudeControl(h, 3, 2); }, 0, {set(1354, 3, 2)}},
    {"AmplitudeControl 3", [](int32_t h) { return PositionerAmplitudeControl(h, 3, 3); }, 6, {}},
    {"AmplitudeControl -1", [](int32_t h) { return PositionerAmplitudeControl(h, 3, -1); }, 6, {}},
    {"AmplitudeControl axis 6", [](int32_t h) { return PositionerAmplitudeControl(h, 6, 1); }, 6, {}},
    {"StopMoving", [](int32_t h) { return PositionerStopMoving(h, 3); }, 0, {set(1107, 3, 1)}},
    {"StopMoving axis 6", [](int32_t h) { return PositionerStopMoving(h, 6); }, 6, {}},
    {"StopApproach", [](int32_t h) { return PositionerStopApproach(h, 3); }, 0, {set(1037, 3, 0)}},
    {"StopApproach axis -1", [](int32_t h) { return PositionerStopApproach(h, -1); }, 6, {}},
    {"Amplitude 140000", [](int32_t h) { return PositionerAmplitude(h, 3, 140000); }, 0, {set(1024, 3, 140000)}},
    {"Amplitude 0", [](int32_t h) { return PositionerAmplitude(h, 0, 0); }, 0, {set(1024, 0, 0)}},
    {"Amplitude 140001", [](int32_t h) { return PositionerAmplitude(h, 3, 140001); }, 6, {}},
    {"Amplitude -1", [](int32_t h) { return PositionerAmplitude(h, 3, -1); }, 6, {}},
    {"Amplitude axis 6", [](int32_t h) { return PositionerAmplitude(h, 6, 100); }, 6, {}},
    {"Frequency 20000", [](int32_t h) { return PositionerFrequency(h, 5, 20000); }, 0, {set(1025, 5, 20000)}},
    {"Frequency 0", [](int32_t h) { return PositionerFrequency(h, 3, 0); }, 0, {set(1025, 3, 0)}},
    {"Frequency 20001", [](int32_t h) { return PositionerFrequency(h, 3, 20001); }, 6, {}},
    {"Frequency -1", [](int32_t h) { return PositionerFrequency(h, 3, -1); }, 6, {}},
    {"Frequency axis 6", [](int32_t h) { return PositionerFrequency(h, 6, 100); }, 6, {}},
    {"DCLevel", [](int32_t h) { return PositionerDCLevel(h, 3, -5); }, 0, {set(1300, 3, -5)}},
    {"DCLevel axis 6", [](int32_t h) { return PositionerDCLevel(h, 6, 1); }, 6, {}},
    {"DcInEnable byte 2 sent as is", [](int32_t h) { return withByte(PositionerDcInEnable, h, 3, 2); }, 0, {set(1377, 3, 2)}},
    {"DcInEnable true", [](int32_t h) { return PositionerDcInEnable(h, 3, true); }, 0, {set(1377, 3, 1)}},
    {"DcInEnable axis 6", [](int32_t h) { return PositionerDcInEnable(h, 6, true); }, 6, {}},
    {"AcInEnable byte 2 sent as is", [](int32_t h) { return withByte(PositionerAcInEnable, h, 3, 2); }, 0, {set(1378, 3, 2)}},
    {"AcInEnable axis 6", [](int32_t h) { return PositionerAcInEnable(h, 6, true); }, 6, {}},
    {"IntEnable byte 2 sent as is", [](int32_t h) { return withByte(PositionerIntEnable, h, 3, 2); }, 0, {set(1379, 3, 2)}},
    {"IntEnable axis 6", [](int32_t h) { return PositionerIntEnable(h, 6, true); }, 6, {}},
    {"ExternalStepFwdInput 0", [](int32_t h) { return PositionerExternalStepFwdInput(h, 3, 0); }, 0, {set(1380, 3, 0)}},
    {"ExternalStepFwdInput 6", [](int32_t h) { return PositionerExternalStepFwdInput(h, 3, 6); }, 0, {set(1380, 3, 6)}},
    {"ExternalStepFwdInput 7", [](int32_t h) { return PositionerExternalStepFwdInput(h, 3, 7); }, 6, {}},
    {"ExternalStepFwdInput -1", [](int32_t h) { return PositionerExternalStepFwdInput(h, 3, -1); }, 6, {}},
    {"ExternalStepFwdInput axis 6", [](int32_t h) { return PositionerExternalStepFwdInput(h, 6, 0); }, 6, {}},
    {"ExternalStepInputEdge 1", [](int32_t h) { return PositionerExternalStepInputEdge(h, 3, 1); }, 0, {set(1381, 3, 1)}},
    {"ExternalStepInputEdge 2", [](int32_t h) { return PositionerExternalStepInputEdge(h, 3, 2); }, 6, {}},
    {"ExternalStepInputEdge axis 6", [](int32_t h) { return PositionerExternalStepInputEdge(h, 6, 0); }, 6, {}},
    {"ExternalStepBkwInput 6", [](int32_t h) { return PositionerExternalStepBkwInput(h, 3, 6); }, 0, {set(1382, 3, 6)}},
    {"ExternalStepBkwInput 7", [](int32_t h) { return PositionerExternalStepBkwInput(h, 3, 7); }, 6, {}},
    {"ExternalStepBkwInput axis 6", [](int32_t h) { return PositionerExternalStepBkwInput(h, 6, 0); }, 6, {}},
    {"BandwidthLimitEnable byte 2 sent as is", [](int32_t h) { return withByte(PositionerBandwidthLimitEnable, h, 3, 2); }, 0, {set(1384, 3, 2)}},
    {"BandwidthLimitEnable axis 6", [](int32_t h) { return PositionerBandwidthLimitEnable(h, 6, true); }, 6, {}},
    {"SetStopDetectionSticky byte 2 sent as is", [](int32_t h) { return withByte(PositionerSetStopDetectionSticky, h, 3, 2); }, 0, {set(1386, 3, 2)}},
    {"SetStopDetectionSticky false", [](int32_t h) { return PositionerSetStopDetectionSticky(h, 3, false); }, 0, {set(1386, 3, 0)}},
    {"SetStopDetectionSticky axis 6", [](int32_t h) { return PositionerSetStopDetectionSticky(h, 6, true); }, 6, {}},
    {"ClearStopDetection", [](int32_t h) { return PositionerClearStopDetection(h, 3); }, 0, {set(1387, 3, 1)}},
    {"ClearStopDetection axis 6", [](int32_t h) { return PositionerClearStopDetection(h, 6); }, 6, {}},
    {"SetTargetGround byte 2 sent as is", [](int32_t h) { return withByte(PositionerSetTargetGround, h, 3, 2); }, 0, {set(1105, 3, 2)}},
    {"SetTargetGround axis 6", [](int32_t h) { return PositionerSetTargetGround(h, 6, true); }, 6, {}},
    {"StepCount 0", [](int32_t h) { return PositionerStepCount(h, 3, 0); }, 6, {}},
    {"StepCount 1", [](int32_t h) { return PositionerStepCount(h, 3, 1); }, 0, {set(1395, 3, 1)}},
    {"StepCount 65535", [](int32_t h) { return PositionerStepCount(h, 3, 65535); }, 0, {set(1395, 3, 65535)}},
    {"StepCount 65536", [](int32_t h) { return PositionerStepCount(h, 3, 65536); }, 6, {}},
    {"StepCount axis 6", [](int32_t h) { return PositionerStepCount(h, 6, 5); }, 6, {}},

    {"StaticAmplitude 2048", [](int32_t h) { return PositionerStaticAmplitude(h, 2048); }, 0, {set(1318, 0, 2048)}},
    {"StaticAmplitude 0", [](int32_t h) { return PositionerStaticAmplitude(h, 0); }, 0, {set(1318, 0, 0)}},
    {"StaticAmplitude 2049", [](int32_t h) { return PositionerStaticAmplitude(h, 2049); }, 6, {}},
    {"StaticAmplitude -1", [](int32_t h) { return PositionerStaticAmplitude(h, -1); }, 6, {}},
    {"MoveAbsoluteSync", [](int32_t h) { return PositionerMoveAbsoluteSync(h, -7); }, 0, {set(1109, 0, -7)}},
    {"TriggerPolarity 5/1", [](int32_t h) { return PositionerTriggerPolarity(h, 5, 1); }, 0, {set(1330, 5, 1)}},
    {"TriggerPolarity 0/0", [](int32_t h) { return PositionerTriggerPolarity(h, 0, 0); }, 0, {set(1330, 0, 0)}},
    {"TriggerPolarity polarity 2", [](int32_t h) { return PositionerTriggerPolarity(h, 1, 2); }, 6, {}},
    {"TriggerPolarity trigger 6", [](int32_t h) { return PositionerTriggerPolarity(h, 6, 0); }, 6, {}},
    {"TriggerPolarity trigger -1", [](int32_t h) { return PositionerTriggerPolarity(h, -1, 0); }, 6, {}},
    {"TriggerAxis", [](int32_t h) { return PositionerTriggerAxis(h, 2, 5); }, 0, {set(1331, 2, 5)}},
    {"TriggerAxis axis 6", [](int32_t h) { return PositionerTriggerAxis(h, 2, 6); }, 6, {}},
    {"TriggerAxis trigger 6", [](int32_t h) { return PositionerTriggerAxis(h, 6, 0); }, 6, {}},
    {"TriggerEpsilon", [](int32_t h) { return PositionerTriggerEpsilon(h, 4, -99); }, 0, {set(1332, 4, -99)}},
    {"TriggerEpsilon trigger 6", [](int32_t h) { return PositionerTriggerEpsilon(h, 6, 1); }, 6, {}},
    {"TriggerModeIn 2", [](int32_t h) { return PositionerTriggerModeIn(h, 2); }, 0, {set(1413, 0, 2)}},
    {"TriggerModeIn 3", [](int32_t h) { return PositionerTriggerModeIn(h, 3); }, 6, {}},
    {"TriggerModeOut 3", [](int32_t h) { return PositionerTriggerModeOut(h, 3); }, 0, {set(1414, 0, 3)}},
    {"TriggerModeOut 4", [](int32_t h) { return PositionerTriggerModeOut(h, 4); }, 6, {}},
    {"TriggerModeOut -1", [](int32_t h) { return PositionerTriggerModeOut(h, -1); }, 6, {}},
    {"QuadratureAxis", [](int32_t h) { return PositionerQuadratureAxis(h, 2, 5); }, 0, {set(1390, 2, 5)}},
    {"QuadratureAxis quadrature 3", [](int32_t h) { return PositionerQuadratureAxis(h, 3, 0); }, 6, {}},
    {"QuadratureAxis axis 6", [](int32_t h) { return PositionerQuadratureAxis(h, 0, 6); }, 6, {}},
    {"QuadratureInputPeriod", [](int32_t h) { return PositionerQuadratureInputPeriod(h, 0, 777); }, 0, {set(1391, 0, 777)}},
    {"QuadratureInputPeriod quadrature 3", [](int32_t h) { return PositionerQuadratureInputPeriod(h, 3, 1); }, 6, {}},
    {"QuadratureOutputPeriod", [](int32_t h) { return PositionerQuadratureOutputPeriod(h, 2, -1); }, 0, {set(1392, 2, -1)}},
    {"QuadratureOutputPeriod quadrature -1", [](int32_t h) { return PositionerQuadratureOutputPeriod(h, -1, 1); }, 6, {}},
    {"SensorPowerGroupA byte 1", [](int32_t h) { return withByte(PositionerSensorPowerGroupA, h, 1); }, 0, {set(1366, 0, 1)}},
    {"SensorPowerGroupA byte 2 sends 0", [](int32_t h) { return withByte(PositionerSensorPowerGroupA, h, 2); }, 0, {set(1366, 0, 0)}},
    {"SensorPowerGroupA false", [](int32_t h) { return PositionerSensorPowerGroupA(h, false); }, 0, {set(1366, 0, 0)}},
    {"SensorPowerGroupB byte 2 sends 0", [](int32_t h) { return withByte(PositionerSensorPowerGroupB, h, 2); }, 0, {set(1367, 0, 0)}},
    {"SensorPowerGroupB true", [](int32_t h) { return PositionerSensorPowerGroupB(h, true); }, 0, {set(1367, 0, 1)}},
    {"DutyCycleEnable byte 2 sends 0", [](int32_t h) { return withByte(PositionerDutyCycleEnable, h, 2); }, 0, {set(1416, 0, 0)}},
    {"DutyCycleEnable true", [](int32_t h) { return PositionerDutyCycleEnable(h, true); }, 0, {set(1416, 0, 1)}},
    {"DutyCyclePeriod 0", [](int32_t h) { return PositionerDutyCyclePeriod(h, 0); }, 0, {set(1417, 0, 0)}},
    {"DutyCyclePeriod 65535", [](int32_t h) { return PositionerDutyCyclePeriod(h, 65535); }, 0, {set(1417, 0, 65535)}},
    {"DutyCyclePeriod 65536", [](int32_t h) { return PositionerDutyCyclePeriod(h, 65536); }, 6, {}},
    {"DutyCycleOffTime 65535", [](int32_t h) { return PositionerDutyCycleOffTime(h, 65535); }, 0, {set(1418, 0, 65535)}},
    {"DutyCycleOffTime 0", [](int32_t h) { return PositionerDutyCycleOffTime(h, 0); }, 0, {set(1418, 0, 0)}},
    {"DutyCycleOffTime 65536", [](int32_t h) { return PositionerDutyCycleOffTime(h, 65536); }, 6, {}},
    {"DutyCycleOffTime -1", [](int32_t h) { return PositionerDutyCycleOffTime(h, -1); }, 6, {}},

    {"MoveAbsolute", [](int32_t h) { return PositionerMoveAbsolute(h, 3, 1234, 2); }, 0,
     {set(1032, 3, 1234), set(1304, 3, 2), set(1037, 3, 1)}},
    {"MoveAbsolute axis 6", [](int32_t h) { return PositionerMoveAbsolute(h, 6, 1, 1); }, 6, {}},
    {"SetTargetPos", [](int32_t h) { return PositionerSetTargetPos(h, 3, -50, 1); }, 0, {set(1032, 3, -50), set(1304, 3, 1)}},
    {"SetTargetPos axis -1", [](int32_t h) { return PositionerSetTargetPos(h, -1, 1, 1); }, 6, {}},
    {"MoveRelative", [](int32_t h) { return PositionerMoveRelative(h, 3, 100, 0); }, 0,
     {set(1032, 3, 100), set(1304, 3, 0), set(1048, 3, 1)}},
    {"MoveRelative axis 6", [](int32_t h) { return PositionerMoveRelative(h, 6, 1, 1); }, 6, {}},
    {"Trigger", [](int32_t h) { return PositionerTrigger(h, 5, -10, 10); }, 0, {set(1328, 5, -10), set(1329, 5, 10)}},
    {"Trigger trigger 6", [](int32_t h) { return PositionerTrigger(h, 6, 0, 1); }, 6, {}},
    {"MoveSingleStep 0", [](int32_t h) { return PositionerMoveSingleStep(h, 3, 0); }, 0, {set(1040, 3, 1)}},
    {"MoveSingleStep 1", [](int32_t h) { return PositionerMoveSingleStep(h, 3, 1); }, 0, {set(1041, 3, 1)}},
    {"MoveSingleStep 2", [](int32_t h) { return PositionerMoveSingleStep(h, 3, 2); }, 6, {}},
    {"MoveSingleStep -1", [](int32_t h) { return PositionerMoveSingleStep(h, 3, -1); }, 6, {}},
    {"MoveSingleStep axis 6", [](int32_t h) { return PositionerMoveSingleStep(h, 6, 0); }, 6, {}},
    {"MoveContinuous 0", [](int32_t h) { return PositionerMoveContinuous(h, 3, 0); }, 0, {set(1038, 3, 1)}},
    {"MoveContinuous 1", [](int32_t h) { return PositionerMoveContinuous(h, 3, 1); }, 0, {set(1039, 3, 1)}},
    {"MoveContinuous 2", [](int32_t h) { return PositionerMoveContinuous(h, 3, 2); }, 6, {}},
    {"MoveContinuous axis 6", [](int32_t h) { return PositionerMoveContinuous(h, 6, 1); }, 6, {}},
    {"SetHardwareId", [](int32_t h) { return PositionerSetHardwareId(h, 1000); }, 0, {set(362, 0, 1000), set(367, 0, 0x5A3C)}},

    {"GetStatus", [](int32_t h) { return PositionerGetStatus(h, 2, &out); }, 0, {}},
    {"GetStatus null", [](int32_t h) { return PositionerGetStatus(h, 2, nullptr); }, 6, {}},
    {"GetStatus axis 6", [](int32_t h) { return PositionerGetStatus(h, 6, &out); }, 6, {}},
    {"GetPosition", [](int32_t h) { return PositionerGetPosition(h, 0, &out); }, 0, {}},
    {"GetPosition null", [](int32_t h) { return PositionerGetPosition(h, 0, nullptr); }, 6, {}},
    {"GetPosition axis -1", [](int32_t h) { return PositionerGetPosition(h, -1, &out); }, 6, {}},
    {"GetRotCount", [](int32_t h) { return PositionerGetRotCount(h, 5, &out); }, 0, {}},
    {"GetRotCount null", [](int32_t h) { return PositionerGetRotCount(h, 5, nullptr); }, 6, {}},
    {"GetReference", [](int32_t h) { return PositionerGetReference(h, 2, &out, &flag); }, 0, {}},
    {"GetReference null valid", [](int32_t h) { return PositionerGetReference(h, 2, &out, nullptr); }, 6, {}},
    {"GetReference null position", [](int32_t h) { return PositionerGetReference(h, 2, nullptr, &flag); }, 6, {}},
    {"GetReference axis 6", [](int32_t h) { return PositionerGetReference(h, 6, &out, &flag); }, 6, {}},
    {"GetReferenceRotCount", [](int32_t h) { return PositionerGetReferenceRotCount(h, 1, &out); }, 0, {}},
    {"GetReferenceRotCount null", [](int32_t h) { return PositionerGetReferenceRotCount(h, 1, nullptr); }, 6, {}},
    {"GetSpeed", [](int32_t h) { return PositionerGetSpeed(h, 1, &out); }, 0, {}},
    {"GetSpeed null", [](int32_t h) { return PositionerGetSpeed(h, 1, nullptr); }, 6, {}},
    {"GetStepwidth", [](int32_t h) { return PositionerGetStepwidth(h, 1, &out); }, 0, {}},
    {"GetStepwidth null", [](int32_t h) { return PositionerGetStepwidth(h, 1, nullptr); }, 6, {}},

    // Querying getters on axis 4, which no setter row touches: no reply
    // to an earlier SET is pending there.
    {"GetAmplitude", [](int32_t h) { return PositionerGetAmplitude(h, 4, &out); }, 0, {get(1024, 4)}},
    {"GetAmplitude null", [](int32_t h) { return PositionerGetAmplitude(h, 4, nullptr); }, 6, {}},
    {"GetAmplitude axis 6", [](int32_t h) { return PositionerGetAmplitude(h, 6, &out); }, 6, {}},
    {"GetFrequency", [](int32_t h) { return PositionerGetFrequency(h, 4, &out); }, 0, {get(1025, 4)}},
    {"GetFrequency null", [](int32_t h) { return PositionerGetFrequency(h, 4, nullptr); }, 6, {}},
    {"GetDcLevel", [](int32_t h) { return PositionerGetDcLevel(h, 4, &out); }, 0, {get(1300, 4)}},
    {"GetDcLevel null", [](int32_t h) { return PositionerGetDcLevel(h, 4, nullptr); }, 6, {}},
    {"GetDcInEnable", [](int32_t h) { return PositionerGetDcInEnable(h, 4, &flag); }, 0, {get(1377, 4)}},
    {"GetDcInEnable null", [](int32_t h) { return PositionerGetDcInEnable(h, 4, nullptr); }, 6, {}},
    {"GetAcInEnable", [](int32_t h) { return PositionerGetAcInEnable(h, 4, &flag); }, 0, {get(1378, 4)}},
    {"GetAcInEnable axis 6", [](int32_t h) { return PositionerGetAcInEnable(h, 6, &flag); }, 6, {}},
    {"GetIntEnable", [](int32_t h) { return PositionerGetIntEnable(h, 4, &flag); }, 0, {get(1379, 4)}},
    {"GetIntEnable null", [](int32_t h) { return PositionerGetIntEnable(h, 4, nullptr); }, 6, {}},
    {"GetBandwidthLimitEnable", [](int32_t h) { return PositionerGetBandwidthLimitEnable(h, 4, &flag); }, 0, {get(1384, 4)}},
    {"GetBandwidthLimitEnable null", [](int32_t h) { return PositionerGetBandwidthLimitEnable(h, 4, nullptr); }, 6, {}},
    {"CapMeasure", [](int32_t h) { return PositionerCapMeasure(h, 4, &out); }, 0, {set(1310, 4, 1)}},
    {"CapMeasure null", [](int32_t h) { return PositionerCapMeasure(h, 4, nullptr); }, 6, {}},
    {"CapMeasure axis 6", [](int32_t h) { return PositionerCapMeasure(h, 6, &out); }, 6, {}},
};
// clang-format on

class RegisterMapTest : public postest::SharedSimSessionTest<::testing::TestWithParam<Case>> {};

TEST_P(RegisterMapTest, SendsTheMappedTelegramsOrNothing) {
    const Case& c = GetParam();
    int32_t result = -99;
    const std::vector<Tel> sent = session->sentBy([&] { result = c.call(session->handle()); });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(sent, c.sent) << "expected " << postest::describe(c.sent) << "\n     got "
                            << postest::describe(sent);
}

TEST_P(RegisterMapTest, HandlesThatNameNoConnectionGetTwoAndSendNothing) {
    const Case& c = GetParam();
    for (int32_t bad : {0, -1, 100, 99, INT32_MIN}) {
        int32_t result = -99;
        const std::vector<Tel> sent = session->sentBy([&] { result = c.call(bad); });
        EXPECT_EQ(result, RC_NOT_CONNECTED) << "handle " << bad;
        EXPECT_TRUE(sent.empty()) << "handle " << bad << ": " << postest::describe(sent);
    }
}

INSTANTIATE_TEST_SUITE_P(AllFunctions, RegisterMapTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name;
                             for (const char* p = info.param.label; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

// ---- values delivered by the getters -------------------------------------

class GetterValueTest : public RegisterMapTest {};

TEST_F(GetterValueTest, QueryingGettersReturnTheControllersValue) {
    const int h = session->handle();
    struct Query {
        int32_t reg;
        std::function<int32_t(int32_t*)> call;
    } queries[] = {
        {1024, [h](int32_t* v) { return PositionerGetAmplitude(h, 1, v); }},
        {1025, [h](int32_t* v) { return PositionerGetFrequency(h, 1, v); }},
        {1300, [h](int32_t* v) { return PositionerGetDcLevel(h, 1, v); }},
    };
    for (const Query& q : queries) {
        session->sim().setRegister(q.reg, 1, 4000 + q.reg);
        int32_t v = 0;
        EXPECT_EQ(q.call(&v), RC_OK) << q.reg;
        EXPECT_EQ(v, 4000 + q.reg) << q.reg;
    }
}

TEST_F(GetterValueTest, EnableGettersAreTrueOnlyForExactlyOne) {
    const int h = session->handle();
    struct Query {
        int32_t reg;
        int32_t (*fn)(int32_t, int32_t, bool*);
    } queries[] = {{1377, PositionerGetDcInEnable},
                   {1378, PositionerGetAcInEnable},
                   {1379, PositionerGetIntEnable},
                   {1384, PositionerGetBandwidthLimitEnable}};
    for (const Query& q : queries) {
        for (int32_t stored : {1, 2, 0, -1}) {
            session->sim().setRegister(q.reg, 2, stored);
            bool enabled = stored != 1;  // the opposite of the expected answer
            EXPECT_EQ(q.fn(h, 2, &enabled), RC_OK) << q.reg;
            EXPECT_EQ(enabled, stored == 1) << q.reg << " holding " << stored;
        }
    }
}

TEST_F(GetterValueTest, CapMeasureReturnsTheReportedCapacity) {
    session->sim().setRegister(1385, 5, 123456);
    int32_t capacity = 0;
    EXPECT_EQ(PositionerCapMeasure(session->handle(), 5, &capacity), RC_OK);
    EXPECT_EQ(capacity, 123456);
}

TEST_F(GetterValueTest, CachedGettersReturnReportedValues) {
    const int h = session->handle();
    struct Cached {
        int32_t reg;
        int32_t (*fn)(int32_t, int32_t, int32_t*);
    } cached[] = {{1045, PositionerGetPosition},
                  {1302, PositionerGetRotCount},
                  {1303, PositionerGetReferenceRotCount},
                  {1346, PositionerGetSpeed},
                  {1353, PositionerGetStepwidth}};
    for (const Cached& c : cached) {
        const int32_t value = -70000 - c.reg;
        session->sim().sendTell(c.reg, 2, value);
        int32_t v = 0;
        EXPECT_TRUE(postest::eventually([&] { return c.fn(h, 2, &v) == RC_OK && v == value; })) << c.reg;
        // Other axes keep their values.
        EXPECT_EQ(c.fn(h, 1, &v), RC_OK);
        EXPECT_NE(v, value) << c.reg;
    }
}

TEST_F(GetterValueTest, StatusPacksFourBitsAndReferenceReportsBitEleven) {
    const int h = session->handle();
    struct Row {
        int32_t word, packed;
        bool valid;
    } rows[] = {{0x001, 0x1, false}, {0x002, 0x2, false}, {0x100, 0x4, false}, {0x400, 0x8, false},
                {0x800, 0x0, true},  {0x2FC, 0x0, false}, {-1, 0xF, true}};
    session->sim().sendTell(1031, 0, 4321);
    for (const Row& r : rows) {
        session->sim().sendTell(1028, 0, r.word);
        int32_t packed = -1;
        EXPECT_TRUE(postest::eventually([&] {
            bool valid = !r.valid;
            int32_t position = 0;
            return PositionerGetStatus(h, 0, &packed) == RC_OK && packed == r.packed &&
                   PositionerGetReference(h, 0, &position, &valid) == RC_OK && valid == r.valid &&
                   position == 4321;
        })) << std::hex
            << "status word 0x" << r.word << " packed 0x" << packed;
    }
}

}  // namespace
