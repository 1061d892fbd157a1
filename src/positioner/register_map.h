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
// The last column, origin, marks the 64 functions of the Positioner family
// (Original) apart from those added beside them (Added).
//
// The table is the one source of the function list: export_list.h, the
// ranges of ranges.h and the copies that make_copies.cpp writes (the Python
// binding table and ranges, the export list of the tests) all come from it.
#ifndef POSITIONER_REGISTER_MAP_H
#define POSITIONER_REGISTER_MAP_H

// clang-format off

// Single-telegram setters.
// X(name, argBytes, shape, register, index, value, rule, constant, range of Arg1, range of Arg2, cache, origin)
#define POSITIONER_SETTERS(X) \
    X(PositionerSetOutput,              12, AxisBool, reg::kOutput, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerResetPosition,           8, Axis,     reg::kResetPosition, Arg1, Const, Raw,     1, AXIS,     ANY,           None, Original)      \
    X(PositionerUpdateAbsolute,         12, AxisInt,  reg::kTarget, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerMoveReference,           8, Axis,     reg::kMoveReference, Arg1, Const, Raw,     1, AXIS,     ANY,           None, Original)      \
    X(PositionerStopDetection,          12, AxisBool, reg::kStopDetection, Arg1, Arg2,  NonZero, 0, AXIS,     ANY,           None, Original)      \
    X(PositionerSingleCircleMode,       12, AxisBool, reg::kSingleCircle, Arg1, Arg2,  NonZero, 0, AXIS,     ANY,           None, Original)      \
    X(PositionerAmplitudeControl,       12, AxisInt,  reg::kAmplitudeControl, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 2),       None, Original)      \
    X(PositionerStopMoving,              8, Axis,     reg::kStop, Arg1, Const, Raw,     1, AXIS,     ANY,           None, Original)      \
    X(PositionerStopApproach,            8, Axis,     reg::kApproach, Arg1, Const, Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerAmplitude,              12, AxisInt,  reg::kAmplitude, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 140000),  Amplitude, Original) \
    X(PositionerFrequency,              12, AxisInt,  reg::kFrequency, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 20000),   Frequency, Original) \
    X(PositionerDCLevel,                12, AxisInt,  reg::kDcLevel, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerDcInEnable,             12, AxisBool, reg::kDcInEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerAcInEnable,             12, AxisBool, reg::kAcInEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerIntEnable,              12, AxisBool, reg::kIntEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerExternalStepFwdInput,   12, AxisInt,  reg::kExternalStepForwardInput, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 6),       None, Original)      \
    X(PositionerExternalStepInputEdge,  12, AxisInt,  reg::kExternalStepInputEdge, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 1),       None, Original)      \
    X(PositionerExternalStepBkwInput,   12, AxisInt,  reg::kExternalStepBackwardInput, Arg1, Arg2,  Raw,     0, AXIS,     R(0, 6),       None, Original)      \
    X(PositionerBandwidthLimitEnable,   12, AxisBool, reg::kBandwidthLimitEnable, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerSetStopDetectionSticky, 12, AxisBool, reg::kStopDetectionSticky, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerClearStopDetection,      8, Axis,     reg::kClearStopDetection, Arg1, Const, Raw,     1, AXIS,     ANY,           None, Original)      \
    X(PositionerSetTargetGround,        12, AxisBool, reg::kTargetGround, Arg1, Arg2,  Raw,     0, AXIS,     ANY,           None, Original)      \
    X(PositionerStepCount,              12, AxisInt,  reg::kStepCount, Arg1, Arg2,  Raw,     0, AXIS,     R(1, 65535),   None, Original)      \
    X(PositionerStaticAmplitude,         8, Int,      reg::kStaticAmplitude, Zero, Arg1,  Raw,     0, R(0, 2048), ANY,         None, Original)      \
    X(PositionerMoveAbsoluteSync,        8, Int,      reg::kMoveAbsoluteSync, Zero, Arg1,  Raw,     0, ANY,      ANY,           None, Original)      \
    X(PositionerTriggerPolarity,        12, IntInt,   reg::kTriggerPolarity, Arg1, Arg2,  Raw,     0, R(0, 5),  R(0, 1),       None, Original)      \
    X(PositionerTriggerAxis,            12, IntInt,   reg::kTriggerAxis, Arg1, Arg2,  Raw,     0, R(0, 5),  R(0, 5),       None, Original)      \
    X(PositionerTriggerEpsilon,         12, IntInt,   reg::kTriggerEpsilon, Arg1, Arg2,  Raw,     0, R(0, 5),  ANY,           None, Original)      \
    X(PositionerTriggerModeIn,           8, Int,      reg::kTriggerModeIn, Zero, Arg1,  Raw,     0, R(0, 2),  ANY,           None, Original)      \
    X(PositionerTriggerModeOut,          8, Int,      reg::kTriggerModeOut, Zero, Arg1,  Raw,     0, R(0, 3),  ANY,           None, Original)      \
    X(PositionerQuadratureAxis,         12, IntInt,   reg::kQuadratureAxis, Arg1, Arg2,  Raw,     0, R(0, 2),  R(0, 5),       None, Original)      \
    X(PositionerQuadratureInputPeriod,  12, IntInt,   reg::kQuadratureInputPeriod, Arg1, Arg2,  Raw,     0, R(0, 2),  ANY,           None, Original)      \
    X(PositionerQuadratureOutputPeriod, 12, IntInt,   reg::kQuadratureOutputPeriod, Arg1, Arg2,  Raw,     0, R(0, 2),  ANY,           None, Original)      \
    X(PositionerSensorPowerGroupA,       8, Bool,     reg::kSensorPowerGroupA, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None, Original)      \
    X(PositionerSensorPowerGroupB,       8, Bool,     reg::kSensorPowerGroupB, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None, Original)      \
    X(PositionerDutyCycleEnable,         8, Bool,     reg::kDutyCycleEnable, Zero, Arg1,  IsOne,   0, ANY,      ANY,           None, Original)      \
    X(PositionerDutyCyclePeriod,         8, Int,      reg::kDutyCyclePeriod, Zero, Arg1,  Raw,     0, R(0, 65535), ANY,        None, Original)      \
    X(PositionerDutyCycleOffTime,        8, Int,      reg::kDutyCycleOffTime, Zero, Arg1,  Raw,     0, R(0, 65535), ANY,        None, Original)

// Setters that send a sequence of SETs, index = Arg1 (checked by the range).
// Each step: S(register, value, onFailure); Stop ends the sequence when that
// SET failed, Go sends the next whatever happened. The result is that of
// the last SET sent.
// X(name, argBytes, shape, range of Arg1, step 1, step 2, step 3, origin)
#define POSITIONER_SEQUENCES(X) \
    X(PositionerMoveAbsolute, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), S(reg::kApproach, One, Go), Original) \
    X(PositionerSetTargetPos, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), NO_STEP, Original)          \
    X(PositionerMoveRelative, 16, AxisIntInt, AXIS,    S(reg::kTarget, Arg2, Stop), S(reg::kTargetRotationCount, Arg3, Go), S(reg::kRelativeMove, One, Go), Original) \
    X(PositionerTrigger,      16, AxisIntInt, R(0, 5), S(reg::kTriggerLower, Arg2, Stop), S(reg::kTriggerUpper, Arg3, Go), NO_STEP, Original)

// Setters whose direction argument (Arg2) picks the register, which is set
// to 1 (index = axis): direction 0 the first register, 1 the second, any
// other direction is out of range.
// X(name, argBytes, shape, register for 0, register for 1, origin)
#define POSITIONER_DIRECTIONS(X) \
    X(PositionerMoveSingleStep, 12, AxisInt, reg::kStepBackward, reg::kStepForward, Original) \
    X(PositionerMoveContinuous, 12, AxisInt, reg::kContinuousBackward, reg::kContinuousForward, Original)

// Getters that copy a cached value (nothing sent). StatusBits packs status
// bits 0, 1, 8, 10 into result bits 0..3; RefOut also reports status bit 11.
// X(name, argBytes, shape, cache, rule, origin)
#define POSITIONER_CACHED_GETTERS(X) \
    X(PositionerGetStatus,            12, IntOut, Status,                 StatusBits, Original) \
    X(PositionerGetPosition,          12, IntOut, Position,               Raw, Original)        \
    X(PositionerGetRotCount,          12, IntOut, RotationCount,          Raw, Original)        \
    X(PositionerGetReference,         16, RefOut, ReferencePosition,      Raw, Original)        \
    X(PositionerGetReferenceRotCount, 12, IntOut, ReferenceRotationCount, Raw, Original)        \
    X(PositionerGetSpeed,             12, IntOut, Speed,                  Raw, Original)        \
    X(PositionerGetStepwidth,         12, IntOut, StepWidth,              Raw, Original)

// Getters that ask the controller and wait for the wake of the reply.
// Get sends GET register[axis]; StartMeasure sends SET register[axis] := 1
// without examining its result. A bool output is 1 when the value is 1.
// X(name, argBytes, shape, request, register, wait condition, cache, origin)
#define POSITIONER_QUERIES(X) \
    X(PositionerGetAmplitude,            12, IntOut,  Get,          reg::kAmplitude, AmplitudeReady,      Amplitude, Original)            \
    X(PositionerGetFrequency,            12, IntOut,  Get,          reg::kFrequency, FrequencyReady,      Frequency, Original)            \
    X(PositionerGetDcLevel,              12, IntOut,  Get,          reg::kDcLevel, DcLevelReady,        DcLevel, Original)              \
    X(PositionerGetDcInEnable,           12, BoolOut, Get,          reg::kDcInEnable, DcInEnableReady,     DcInEnable, Original)           \
    X(PositionerGetAcInEnable,           12, BoolOut, Get,          reg::kAcInEnable, AcInEnableReady,     AcInEnable, Original)           \
    X(PositionerGetIntEnable,            12, BoolOut, Get,          reg::kIntEnable, IntEnableReady,      IntEnable, Original)            \
    X(PositionerGetBandwidthLimitEnable, 12, BoolOut, Get,          reg::kBandwidthLimitEnable, BandwidthLimitReady, BandwidthLimitEnable, Original) \
    X(PositionerCapMeasure,              12, IntOut,  StartMeasure, reg::kCapacityStart, CapMeasureReady,     CapMeasure, Original)

// Functions with bodies of their own (exports.cpp): lifecycle, file
// loader, addressing, trace control, halting, report waits, result texts.
// letters: every C argument (for these the handle too), one letter each: i int32, b bool, s text, I int32*, B bool*, U uint32*,
// D DetectedDevice**, R PositionerDeviceDescription* (the Python binding
// reads the same letters).
// X(name, argBytes, letters, origin)
#define POSITIONER_OWN_BODIES(X) \
    X(PositionerCheck,           4, "D",    Original) \
    X(PositionerConnect,         8, "iI",   Original) \
    X(PositionerClose,           4, "i",    Original) \
    X(PositionerSetHardwareId,   8, "ii",   Original) \
    X(PositionerLoad,           12, "iis",  Original) \
    X(PositionerDeviceInfo,      8, "iR",   Added)    \
    X(PositionerConnectAddress,  8, "sI",   Added)    \
    X(PositionerTraceOff,        0, "",     Added)    \
    X(PositionerTraceToStderr,   0, "",     Added)    \
    X(PositionerTraceToFile,     4, "s",    Added)    \
    X(PositionerTraceFlags,      4, "i",    Added)    \
    X(PositionerTracePrefix,     4, "s",    Added)    \
    X(PositionerHalt,            8, "ii",   Added)    \
    X(PositionerHaltAll,         4, "i",    Added)    \
    X(PositionerWaitReport,     16, "iUiI", Added)    \
    X(PositionerResultText,      4, "i",    Added)

// clang-format on

#endif
