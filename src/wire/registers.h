// Register addresses of the controller, by name. Used by both libraries,
// the simulator and the tests; a register number is written only here.
#ifndef WIRE_REGISTERS_H
#define WIRE_REGISTERS_H

#include <cstdint>

#include "uc_telegram.h"

namespace uc {
namespace reg {

// Controller registers (index 0).
constexpr int32_t kSync = REG_SYNC;
constexpr int32_t kStartReports = 325;
constexpr int32_t kControllerType = REG_CONTROLLER_TYPE;
constexpr int32_t kControllerId = REG_CONTROLLER_ID;
constexpr int32_t kNewId = 362;
constexpr int32_t kIdUnlock = 367;

// Axis registers (index = axis) and controller-wide settings.
constexpr int32_t kAmplitude = 1024;
constexpr int32_t kFrequency = 1025;
constexpr int32_t kStatus = 1028;
constexpr int32_t kReferencePosition = 1031;
constexpr int32_t kTarget = 1032;
constexpr int32_t kApproach = 1037;
constexpr int32_t kContinuousBackward = 1038;
constexpr int32_t kContinuousForward = 1039;
constexpr int32_t kStepBackward = 1040;
constexpr int32_t kStepForward = 1041;
constexpr int32_t kPosition = 1045;
constexpr int32_t kRelativeMove = 1048;
constexpr int32_t kSensorUnit = 1053;
constexpr int32_t kMoveReference = 1092;
constexpr int32_t kOutput = 1095;
constexpr int32_t kTargetTime = 1099;
constexpr int32_t kResetPosition = 1103;
constexpr int32_t kStopDetection = 1104;
constexpr int32_t kTargetGround = 1105;
constexpr int32_t kRotary = 1106;
constexpr int32_t kStop = 1107;
constexpr int32_t kMoveAbsoluteSync = 1109;
constexpr int32_t kDcLevel = 1300;
constexpr int32_t kMaxFrequency = 1301;
constexpr int32_t kRotationCount = 1302;
constexpr int32_t kReferenceRotationCount = 1303;
constexpr int32_t kTargetRotationCount = 1304;
constexpr int32_t kSingleCircle = 1305;
constexpr int32_t kCapacityStart = 1310;
constexpr int32_t kStaticAmplitude = 1318;
constexpr int32_t kTransferGain = 1319;
constexpr int32_t kTriggerLower = 1328;
constexpr int32_t kTriggerUpper = 1329;
constexpr int32_t kTriggerPolarity = 1330;
constexpr int32_t kTriggerAxis = 1331;
constexpr int32_t kTriggerEpsilon = 1332;
constexpr int32_t kTransferType = 1337;
constexpr int32_t kActorDirection = 1338;
constexpr int32_t kReferenceOffset = 1339;
constexpr int32_t kSlowSpeed = 1341;
constexpr int32_t kAmplitudeControlSensitivity = 1343;
constexpr int32_t kTargetControlSensitivity = 1344;
constexpr int32_t kSpeed = 1346;
constexpr int32_t kAmplitudeControlAverage = 1348;
constexpr int32_t kTargetControlAverage = 1349;
constexpr int32_t kStepWidth = 1353;
constexpr int32_t kAmplitudeControl = 1354;
constexpr int32_t kSpeedGain = 1355;
constexpr int32_t kAdaptSetpointControl = 1356;
constexpr int32_t kActorOffset = 1357;
constexpr int32_t kActorGain = 1358;
constexpr int32_t kMaxAmplitude = 1359;
constexpr int32_t kSensorDirection = 1361;
constexpr int32_t kPeriod = 1363;
constexpr int32_t kPositionLoopRange = 1364;
constexpr int32_t kTargetRange = 1365;
constexpr int32_t kSensorPowerGroupA = 1366;
constexpr int32_t kSensorPowerGroupB = 1367;
constexpr int32_t kSensorAverage = 1368;
constexpr int32_t kPositionMin = 1369;
constexpr int32_t kPositionMax = 1370;
constexpr int32_t kDcInEnable = 1377;
constexpr int32_t kAcInEnable = 1378;
constexpr int32_t kIntEnable = 1379;
constexpr int32_t kExternalStepForwardInput = 1380;
constexpr int32_t kExternalStepInputEdge = 1381;
constexpr int32_t kExternalStepBackwardInput = 1382;
constexpr int32_t kBandwidthLimitEnable = 1384;
constexpr int32_t kCapacity = 1385;
constexpr int32_t kStopDetectionSticky = 1386;
constexpr int32_t kClearStopDetection = 1387;
constexpr int32_t kQuadratureAxis = 1390;
constexpr int32_t kQuadratureInputPeriod = 1391;
constexpr int32_t kQuadratureOutputPeriod = 1392;
constexpr int32_t kStepCount = 1395;
constexpr int32_t kTriggerModeIn = 1413;
constexpr int32_t kTriggerModeOut = 1414;
constexpr int32_t kDutyCycleEnable = 1416;
constexpr int32_t kDutyCyclePeriod = 1417;
constexpr int32_t kDutyCycleOffTime = 1418;

}  // namespace reg

// Register values with a meaning of their own.
namespace value {

// Written to reg::kIdUnlock, makes the controller store reg::kNewId as its
// id.
constexpr int32_t kIdUnlockCode = 0x5A3C;
// A positioner's reg::kControllerType: 0x5 in bits 12..15.
constexpr int32_t kTypeFamilyMask = 0xF000;
constexpr int32_t kPositionerType = 0x5000;

}  // namespace value
}  // namespace uc

#endif
