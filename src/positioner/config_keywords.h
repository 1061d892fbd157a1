// The keywords of an axis configuration file and the register each names.
// Shared by PositionerLoad and the positioner program, which reports the
// lines of a file that PositionerLoad skips.
#ifndef POSITIONER_CONFIG_KEYWORDS_H
#define POSITIONER_CONFIG_KEYWORDS_H

#include <cstdint>

#include "wire/registers.h"

namespace pos {

namespace reg = uc::reg;

struct ConfigKeyword {
    const char* text;
    int32_t reg;
};

// Searched in this order; the first match wins.
inline constexpr ConfigKeyword kConfigKeywords[] = {
    {"poslooprange", reg::kPositionLoopRange},
    {"speedgain", reg::kSpeedGain},
    {"adaptsetpctrl", reg::kAdaptSetpointControl},
    {"actoroffset", reg::kActorOffset},
    {"actorgain", reg::kActorGain},
    {"maxampl", reg::kMaxAmplitude},
    {"sensordir", reg::kSensorDirection},
    {"period", reg::kPeriod},
    {"amplctrlavg", reg::kAmplitudeControlAverage},
    {"targetctrlavg", reg::kTargetControlAverage},
    {"amplctrlsensitivity", reg::kAmplitudeControlSensitivity},
    {"targetctrlsensitivity", reg::kTargetControlSensitivity},
    {"slowspeed", reg::kSlowSpeed},
    {"actordir", reg::kActorDirection},
    {"transfertype", reg::kTransferType},
    {"positionmin", reg::kPositionMin},
    {"positionmax", reg::kPositionMax},
    {"transfergain", reg::kTransferGain},
    {"singlecircle", reg::kSingleCircle},
    {"maxfrequ", reg::kMaxFrequency},
    {"rotary", reg::kRotary},
    {"humpenable", reg::kStopDetection},
    {"frequ", reg::kFrequency},
    {"sensorunit", reg::kSensorUnit},
    {"sensoravg", reg::kSensorAverage},
    {"amplctrl", reg::kAmplitudeControl},
    {"targetrange", reg::kTargetRange},
    {"targettime", reg::kTargetTime},
    {"refoffset", reg::kReferenceOffset},
};

}  // namespace pos

#endif
