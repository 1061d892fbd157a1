// Register addresses the simulated controller gives a meaning to.
#ifndef SIM_REGISTERS_H
#define SIM_REGISTERS_H

#include <cstdint>

namespace sim {
namespace reg {

constexpr int32_t kSync = 10;
constexpr int32_t kControllerType = 359;
constexpr int32_t kControllerId = 360;
constexpr int32_t kNewId = 362;
constexpr int32_t kIdUnlock = 367;

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
constexpr int32_t kMoveReference = 1092;
constexpr int32_t kResetPosition = 1103;
constexpr int32_t kStop = 1107;
constexpr int32_t kDcLevel = 1300;
constexpr int32_t kRotationCount = 1304;
constexpr int32_t kCapacityStart = 1310;
constexpr int32_t kSpeed = 1346;
constexpr int32_t kStepWidth = 1353;
constexpr int32_t kDcInEnable = 1377;
constexpr int32_t kAcInEnable = 1378;
constexpr int32_t kIntEnable = 1379;
constexpr int32_t kBandwidthLimitEnable = 1384;
constexpr int32_t kCapacity = 1385;

}  // namespace reg
}  // namespace sim

#endif
