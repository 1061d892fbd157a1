// The register map of the Positioner functions: one table row per exported
// function, in families that share one body each. The rows expand into the
// descriptor arrays that the bodies read (families.cpp), into the
// exported functions themselves (exports.cpp), and into the list of export
// names with their argument byte counts (export_list.h), so a name, its
// signature and its register cannot drift apart.
//
// Arguments are named by their position after the handle: Arg1, Arg2, Arg3.
// The shape gives the C signature after the handle:
//   Axis      (int32 axis)                 Int     (int32 value)
//   AxisInt   (int32 axis, int32 value)    Bool    (bool flag)
//   AxisBool  (int32 axis, bool flag)      IntInt  (int32 selector, int32 value)
//   AxisIntInt (int32 axis or selector, int32 first, int32 second)
//   IntOut    (int32 axis, int32* out)     BoolOut (int32 axis, bool* out)
//   RefOut    (int32 axis, int32* position, bool* valid)
// A bool argument enters as its byte (0..255); the rule turns it into the
// value sent: Raw sends the byte (or the integer), NonZero sends 1 for any
// non-zero byte, IsOne sends 1 only for the byte 1.
// Ranges are inclusive: R(lo, hi); ANY means unchecked. AXIS is R(0, 5).
#ifndef POSITIONER_REGISTER_MAP_H
#define POSITIONER_REGISTER_MAP_H

// clang-format off

// Single-telegram setters.
// X(name, argBytes, shape, register, index, value, rule, constant, range of Arg1, range of Arg2, cache)
#define POSITIONER_SETTERS(X) \
    X(PositionerSetOutput,              12, AxisBool, reg::kOutput, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerResetPosition,           8, Axis,     reg::kResetPosition, Arg1, Const, Raw,     1, AXIS,     ANY,           None)      \
    X(PositionerUpdateAbsolute,         12, AxisInt,  reg::kTarget, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerMoveReference,           8, Axis,     reg::kMoveReference, Arg1, Const, Raw,     1, AXIS,     ANY,           None)      \
    X(PositionerStopDetection,          12, AxisBool, reg::kStopDetection, Arg1, Arg2,  NonZero, 0, AXIS,     ANY,           None)      \
    X(PositionerSingleCircleMode,       12, AxisBool, reg::kSingleCircle, Arg1, Arg2,  NonZero, 0, AXIS,     ANY,           None)      \
    X(PositionerAmplitudeControl,       12, AxisInt,  reg::kAmplitudeControl, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 2),       None)      \
    X(PositionerStopMoving,              8, Axis,     reg::kStop, Arg1, Const, Raw,     1, AXIS,     ANY,           None)      \
    X(PositionerStopApproach,            8, Axis,     reg::kApproach, Arg1, Const, Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerAmplitude,              12, AxisInt,  reg::kAmplitude, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 140000),  Amplitude) \
    X(PositionerFrequency,              12, AxisInt,  reg::kFrequency, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 20000),   Frequency) \
    X(PositionerDCLevel,                12, AxisInt,  reg::kDcLevel, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerDcInEnable,             12, AxisBool, reg::kDcInEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerAcInEnable,             12, AxisBool, reg::kAcInEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerIntEnable,              12, AxisBool, reg::kIntEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerExternalStepFwdInput,   12, AxisInt,  reg::kExternalStepForwardInput, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 6),       None)      \
    X(PositionerExternalStepInputEdge,  12, AxisInt,  reg::kExternalStepInputEdge, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 1),       None)      \
    X(PositionerExternalStepBkwInput,   12, AxisInt,  reg::kExternalStepBackwardInput, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 6),       None)      \
    X(PositionerBandwidthLimitEnable,   12, AxisBool, reg::kBandwidthLimitEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerSetStopDetectionSticky, 12, AxisBool, reg::kStopDetectionSticky, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerClearStopDetection,      8, Axis,     reg::kClearStopDetection, Arg1, Const, Raw,     1, AXIS,     ANY,           None)      \
    X(PositionerSetTargetGround,        12, AxisBool, reg::kTargetGround, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None)      \
    X(PositionerStepCount,              12, AxisInt,  reg::kStepCount, Arg1, Arg2,  Raw,     0, AXIS,     R(1, 65535),   None)      \
    X(PositionerStaticAmplitude,         8, Int,      reg::kStaticAmplitude, Zero, Arg1,  Raw,     0, R(0, 2048), ANY,         None)      \
    X(PositionerMoveAbsoluteSync,        8, Int,      reg::kMoveAbsoluteSync, Zero, Arg1,  Raw,     0, ANY,      ANY,           None)      \
    X(PositionerTriggerPolarity,        12, IntInt,   reg::kTriggerPolarity, Arg1, Arg2,  Raw,     0, R(0, 5),  R(0, 1),       None)      \
    X(PositionerTriggerAxis,            12, IntInt,   reg::kTriggerAxis, Arg1, Arg2,  Raw,     0, R(0, 5),  R(0, 5),       None)      \
    X(PositionerTriggerEpsilon,         12, IntInt,   reg::kTriggerEpsilon, Arg1, Arg2,  Raw,     0, R(0, 5),  ANY,           None)      \
    X(PositionerTriggerModeIn,           8, Int,      reg::kTriggerModeIn, Zero, Arg1,  Raw,     0, R(0, 2),  ANY,           None)      \
    X(PositionerTriggerModeOut,          8, Int,      reg::kTriggerModeOut, Zero, Arg1,  Raw,     0, R(0, 3),  ANY,           None)      \
    X(PositionerQuadratureAxis,         12, IntInt,   reg::kQuadratureAxis, Arg1, Arg2,  Raw,     0, R(0, 2),  R(0, 5),       None)      \
    X(PositionerQuadratureInputPeriod,  12, IntInt,   reg::kQuadratureInputPeriod, Arg1, Arg2,  Raw,     0, R(0, 2),  ANY,           None)      \
    X(PositionerQuadratureOutputPeriod, 12, IntInt,   reg::kQuadratureOutputPeriod, Arg1, Arg2,  Raw,     0, R(0, 2),  ANY,           None)      \
    X(PositionerSensorPowerGroupA,       8, Bool,     reg::kSensorPowerGroupA, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None)      \
    X(PositionerSensorPowerGroupB,       8, Bool,     reg::kSensorPowerGroupB, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None)      \
    X(PositionerDutyCycleEnable,         8, Bool,     reg::kDutyCycleEnable, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None)      \
    X(PositionerDutyCyclePeriod,         8, Int,      reg::kDutyCyclePeriod, Zero, Arg1,  Raw,     0, R(0, 65535), ANY,        None)      \
    X(PositionerDutyCycleOffTime,        8, Int,      reg::kDutyCycleOffTime, Zero, Arg1,  Raw,     0, R(0, 65535), ANY,        None)

// Setters that send a sequence of SETs, index = Arg1 (checked by the range).
// Each step: S(register, value, onFailure); Stop ends the sequence when that
// SET failed, Go sends the next whatever happened. The result is that of
// the last SET sent.
// X(name, argBytes, shape, range of Arg1, step 1, step 2, step 3)
#define POSITIONER_SEQUENCES(X) \
    X(PositionerMoveAbsolute, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), S(reg::kApproach, One, Go)) \
    X(PositionerSetTargetPos, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), NO_STEP)          \
    X(PositionerMoveRelative, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), S(reg::kRelativeMove, One, Go)) \
    X(PositionerTrigger,      16, AxisIntInt, R(0, 5), S(reg::kTriggerLower, Arg2, Stop), S(reg::kTriggerUpper, Arg3, Go), NO_STEP)

// Setters whose direction argument (Arg2) picks the register, which is set
// to 1 (index = axis): direction 0 the first register, 1 the second, any
// other direction is out of range.
// X(name, argBytes, shape, register for 0, register for 1)
#define POSITIONER_DIRECTIONS(X) \
    X(PositionerMoveSingleStep, 12, AxisInt, reg::kStepBackward, reg::kStepForward) \
    X(PositionerMoveContinuous, 12, AxisInt, reg::kContinuousBackward, reg::kContinuousForward)

// Getters that copy a cached value (nothing sent). StatusBits packs status
// bits 0, 1, 8, 10 into result bits 0..3; RefOut also reports status bit 11.
// X(name, argBytes, shape, cache, rule)
#define POSITIONER_CACHED_GETTERS(X) \
    X(PositionerGetStatus,            12, IntOut, Status,                 StatusBits) \
    X(PositionerGetPosition,          12, IntOut, Position,               Raw)        \
    X(PositionerGetRotCount,          12, IntOut, RotationCount,          Raw)        \
    X(PositionerGetReference,         16, RefOut, ReferencePosition,      Raw)        \
    X(PositionerGetReferenceRotCount, 12, IntOut, ReferenceRotationCount, Raw)        \
    X(PositionerGetSpeed,             12, IntOut, Speed,                  Raw)        \
    X(PositionerGetStepwidth,         12, IntOut, StepWidth,              Raw)

// Getters that ask the controller and wait for the wake of the reply.
// Get sends GET register[axis]; StartMeasure sends SET register[axis] := 1
// without examining its result. A bool output is 1 when the value is 1.
// X(name, argBytes, shape, request, register, wait condition, cache)
#define POSITIONER_QUERIES(X) \
    X(PositionerGetAmplitude,            12, IntOut,  Get,          reg::kAmplitude, AmplitudeReady,      Amplitude)            \
    X(PositionerGetFrequency,            12, IntOut,  Get,          reg::kFrequency, FrequencyReady,      Frequency)            \
    X(PositionerGetDcLevel,              12, IntOut,  Get,          reg::kDcLevel, DcLevelReady,        DcLevel)              \
    X(PositionerGetDcInEnable,           12, BoolOut, Get,          reg::kDcInEnable, DcInEnableReady,     DcInEnable)           \
    X(PositionerGetAcInEnable,           12, BoolOut, Get,          reg::kAcInEnable, AcInEnableReady,     AcInEnable)           \
    X(PositionerGetIntEnable,            12, BoolOut, Get,          reg::kIntEnable, IntEnableReady,      IntEnable)            \
    X(PositionerGetBandwidthLimitEnable, 12, BoolOut, Get,          reg::kBandwidthLimitEnable, BandwidthLimitReady, BandwidthLimitEnable) \
    X(PositionerCapMeasure,              12, IntOut,  StartMeasure, reg::kCapacityStart, CapMeasureReady,     CapMeasure)

// Functions with bodies of their own (lifecycle and file loader).
// X(name, argBytes)
#define POSITIONER_OWN_BODIES(X) \
    X(PositionerCheck,          4) \
    X(PositionerConnect,        8) \
    X(PositionerClose,          4) \
    X(PositionerSetHardwareId,  8) \
    X(PositionerLoad,          12)

// Functions added beside the 64 of the Positioner family: addressing,
// trace control, halting, report waits and result texts.
// X(name, argBytes)
#define POSITIONER_ADDITIONS(X) \
    X(PositionerDeviceInfo,      8) \
    X(PositionerConnectAddress,  8) \
    X(PositionerTraceOff,        0) \
    X(PositionerTraceToStderr,   0) \
    X(PositionerTraceToFile,     4) \
    X(PositionerTraceFlags,      4) \
    X(PositionerTracePrefix,     4) \
    X(PositionerHalt,            8) \
    X(PositionerHaltAll,         4) \
    X(PositionerWaitReport,     16) \
    X(PositionerResultText,      4)

// clang-format on

#endif
