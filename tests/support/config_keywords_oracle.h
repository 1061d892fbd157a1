// The keywords of an axis configuration file and the registers they set,
// written out from the file format rather than taken from the loader's
// table: the load test and the configuration fuzz target check the
// loader's sends against it.
#ifndef TESTS_SUPPORT_CONFIG_KEYWORDS_ORACLE_H
#define TESTS_SUPPORT_CONFIG_KEYWORDS_ORACLE_H

#include <cstdint>

namespace test_support {

struct ConfigKeyword {
    const char* name;
    int32_t address;
};

inline constexpr ConfigKeyword kConfigKeywords[] = {
    {"poslooprange", 1364},
    {"speedgain", 1355},
    {"adaptsetpctrl", 1356},
    {"actoroffset", 1357},
    {"actorgain", 1358},
    {"maxampl", 1359},
    {"sensordir", 1361},
    {"period", 1363},
    {"amplctrlavg", 1348},
    {"targetctrlavg", 1349},
    {"amplctrlsensitivity", 1343},
    {"targetctrlsensitivity", 1344},
    {"slowspeed", 1341},
    {"actordir", 1338},
    {"transfertype", 1337},
    {"positionmin", 1369},
    {"positionmax", 1370},
    {"transfergain", 1319},
    {"singlecircle", 1305},
    {"maxfrequ", 1301},
    {"rotary", 1106},
    {"humpenable", 1104},
    {"frequ", 1025},
    {"sensorunit", 1053},
    {"sensoravg", 1368},
    {"amplctrl", 1354},
    {"targetrange", 1365},
    {"targettime", 1099},
    {"refoffset", 1339},
};

}  // namespace test_support

#endif
