// The shared library exports exactly the 64 Positioner functions and the
// additions, and the export list from which the Windows module-definition
// file is made gives each its argument byte count.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "positioner.h"
#include "positioner/export_list.h"

namespace {

// Name -> argument bytes (4 per argument), from the committed export list
// (tests/foundation/exports/positioner.txt, written from the register map
// and reviewed in each change).
std::map<std::string, int> readExpected() {
    std::map<std::string, int> expected;
    std::ifstream list(EXPORT_LIST);
    std::string name;
    int bytes = 0;
    while (list >> name >> bytes) expected.emplace(name, bytes);
    return expected;
}
const std::map<std::string, int> kExpected = readExpected();

TEST(Exports, TheFamilyKeepsItsSixtyFourFunctionsAndTheListHasEveryRow) {
    int original = 0;
    for (const pos::ExportName& e : pos::kExportNames) original += e.origin == pos::Origin::Original;
    EXPECT_EQ(original, 64);
    EXPECT_EQ(kExpected.size(), static_cast<size_t>(pos::kExportCount));
}

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
