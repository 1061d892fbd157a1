// The shared library exports exactly the 64 Positioner functions and the
// additions, and the export list from which the Windows module-definition
// file is made gives each its argument byte count.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "positioner.h"
#include "positioner/export_list.h"

namespace {

// Name -> argument bytes (4 per argument).
const std::map<std::string, int> kExpected = {
    {"PositionerCheck", 4}, {"PositionerConnect", 8}, {"PositionerClose", 4}, {"PositionerSetHardwareId", 8},
    {"PositionerLoad", 12},
    {"PositionerSetOutput", 12}, {"PositionerResetPosition", 8}, {"PositionerUpdateAbsolute", 12},
    {"PositionerMoveReference", 8}, {"PositionerStopDetection", 12}, {"PositionerSingleCircleMode", 12},
    {"PositionerAmplitudeControl", 12}, {"PositionerStopMoving", 8}, {"PositionerStopApproach", 8},
    {"PositionerAmplitude", 12}, {"PositionerFrequency", 12}, {"PositionerDCLevel", 12},
    {"PositionerDcInEnable", 12}, {"PositionerAcInEnable", 12}, {"PositionerIntEnable", 12},
    {"PositionerExternalStepFwdInput", 12}, {"PositionerExternalStepInputEdge", 12},
    {"PositionerExternalStepBkwInput", 12}, {"PositionerBandwidthLimitEnable", 12},
    {"PositionerSetStopDetectionSticky", 12}, {"PositionerClearStopDetection", 8},
    {"PositionerSetTargetGround", 12}, {"PositionerStepCount", 12},
    {"PositionerStaticAmplitude", 8}, {"PositionerMoveAbsoluteSync", 8}, {"PositionerTriggerPolarity", 12},
    {"PositionerTriggerAxis", 12}, {"PositionerTriggerEpsilon", 12}, {"PositionerTriggerModeIn", 8},
    {"PositionerTriggerModeOut", 8}, {"PositionerQuadratureAxis", 12}, {"PositionerQuadratureInputPeriod", 12},
    {"PositionerQuadratureOutputPeriod", 12}, {"PositionerSensorPowerGroupA", 8},
    {"PositionerSensorPowerGroupB", 8}, {"PositionerDutyCycleEnable", 8}, {"PositionerDutyCyclePeriod", 8},
    {"PositionerDutyCycleOffTime", 8},
    {"PositionerMoveAbsolute", 16}, {"PositionerSetTargetPos", 16}, {"PositionerMoveRelative", 16},
    {"PositionerMoveSingleStep", 12}, {"PositionerMoveContinuous", 12}, {"PositionerTrigger", 16},
    {"PositionerGetStatus", 12}, {"PositionerGetPosition", 12}, {"PositionerGetRotCount", 12},
    {"PositionerGetReference", 16}, {"PositionerGetReferenceRotCount", 12}, {"PositionerGetSpeed", 12},
    {"PositionerGetStepwidth", 12},
    {"PositionerGetAmplitude", 12}, {"PositionerGetFrequency", 12}, {"PositionerGetDcLevel", 12},
    {"PositionerGetDcInEnable", 12}, {"PositionerGetAcInEnable", 12}, {"PositionerGetIntEnable", 12},
    {"PositionerGetBandwidthLimitEnable", 12}, {"PositionerCapMeasure", 12},
    // Additions: addressing, trace control, halting, report waits, result texts.
    {"PositionerDeviceInfo", 8}, {"PositionerConnectAddress", 8}, {"PositionerTraceOff", 0},
    {"PositionerTraceToStderr", 0}, {"PositionerTraceToFile", 4}, {"PositionerTraceFlags", 4},
    {"PositionerTracePrefix", 4}, {"PositionerHalt", 8}, {"PositionerHaltAll", 4},
    {"PositionerWaitReport", 16}, {"PositionerResultText", 4},
};

TEST(Exports, ExpectedListHasTheFamilyAndElevenAdditions) { EXPECT_EQ(kExpected.size(), 64u + 11u); }

TEST(Exports, SharedLibraryExportsExactlyThePositionerFunctions) {
    const std::string command = std::string("nm -D --defined-only '") + DRAVEX_LIBRARY + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name && type == "T" && name.rfind("Positioner", 0) == 0)
            exported.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0) << command;
    std::set<std::string> expected;
    for (const auto& e : kExpected) expected.insert(e.first);
    EXPECT_EQ(exported, expected);
}

TEST(Exports, ExportListGivesEveryNameItsArgumentBytes) {
    std::map<std::string, int> listed;
    for (const pos::ExportName& e : pos::kExportNames) {
        EXPECT_TRUE(listed.emplace(e.name, e.argBytes).second) << "listed twice: " << e.name;
    }
    EXPECT_EQ(listed, kExpected);
}

TEST(ResultText, EveryCodeHasASentenceOfItsOwnAndUnknownCodesShareOne) {
    std::set<std::string> sentences;
    for (int32_t code : {RC_OK, RC_ERROR, RC_TIMEOUT, RC_NOT_CONNECTED, RC_DRIVER_ERROR, RC_INVALID_PARAM,
                         RC_DEVICE_LOCKED, RC_SYSTEM_ERROR, RC_NO_DEVICE, RC_OUT_OF_SYNC}) {
        const std::string text = PositionerResultText(code);
        EXPECT_TRUE(text.size() > 4 && std::isupper(static_cast<unsigned char>(text[0])) && text.back() == '.')
            << code << ": " << text;
        EXPECT_TRUE(sentences.insert(text).second) << "shared by another code: " << text;
    }
    const std::string unknown = PositionerResultText(4);
    EXPECT_EQ(sentences.count(unknown), 0u);
    EXPECT_EQ(unknown, PositionerResultText(5));
    EXPECT_EQ(unknown, PositionerResultText(-2147483647 - 1));
}

}  // namespace
