// PositionerLoad against the simulated controller: pairs across any white
// space, unknown and overlong keywords, values that are not integers, and
// files that are not configuration files at all.
#include <gtest/gtest.h>

#include "config_keywords_oracle.h"
#include "positioner_test_util.h"
#include "test_support.h"

using postest::set;
using postest::Tel;

namespace {

class LoadTest : public postest::SharedSimSessionTest<> {
protected:
    // Loads content from a file on axis; returns what the controller got.
    std::vector<Tel> load(const std::string& content, int32_t axis = 2, int32_t expectResult = RC_OK) {
        const std::string path = dir.file("axis.cfg");
        test_support::writeFile(path, content);
        return session->sentBy(
            [&] { EXPECT_EQ(PositionerLoad(session->handle(), axis, path.c_str()), expectResult); });
    }
    test_support::TempDir dir;
};

TEST_F(LoadTest, EmptyFilesSendNothing) {
    EXPECT_TRUE(load("").empty());
    EXPECT_TRUE(load(" \n\t\r\n  ").empty());
}

TEST_F(LoadTest, KnownPairsAreSentInFileOrderUnknownOnesDropped) {
    EXPECT_EQ(load("frequ 1000\nnosuchkey 5\nmaxampl 42\n"),
              (std::vector<Tel>{set(1025, 2, 1000), set(1359, 2, 42)}));
}

TEST_F(LoadTest, EveryKeywordNamesItsRegister) {
    std::string content;
    std::vector<Tel> expected;
    int32_t value = 1;
    for (const auto& k : test_support::kConfigKeywords) {
        content += std::string(k.name) + " " + std::to_string(value) + "\n";
        expected.push_back(set(k.address, 5, value++));
    }
    // Case matters, and prefixes or extensions of keywords are not keywords.
    content += "FREQU 1\nfreq 2\nfrequency 3\n";
    EXPECT_EQ(load(content, 5), expected);
}

TEST_F(LoadTest, LineStructureHasNoMeaning) {
    const std::vector<Tel> expected = {set(1025, 0, 7), set(1359, 0, 8)};
    EXPECT_EQ(load("frequ\n7\nmaxampl\n\n\t8", 0), expected);
    EXPECT_EQ(load("frequ 7 maxampl 8\n", 0), expected);
    EXPECT_EQ(load("\r\n  frequ\t\t7\r\nmaxampl\v8\f", 0), expected);
}

TEST_F(LoadTest, TrailingKeywordWithoutValueIsDropped) {
    EXPECT_EQ(load("maxampl 9\nfrequ\n"), (std::vector<Tel>{set(1359, 2, 9)}));
}

TEST_F(LoadTest, ValuesAreSigned32BitDecimals) {
    EXPECT_EQ(load("actoroffset -250\nmaxampl +15\nfrequ 2147483647\nperiod -2147483648\n"),
              (std::vector<Tel>{set(1357, 2, -250), set(1359, 2, 15), set(1025, 2, INT32_MAX),
                                set(1363, 2, INT32_MIN)}));
}

TEST_F(LoadTest, PairsWhoseValueIsNoIntegerAreSkippedWhole) {
    EXPECT_EQ(load("frequ abc maxampl 9\n"), (std::vector<Tel>{set(1359, 2, 9)}));
    EXPECT_EQ(load("frequ 12abc\nfrequ 0x10\nfrequ 2147483648\nfrequ - \nfrequ 1.5\nmaxampl 3\n"),
              (std::vector<Tel>{set(1359, 2, 3)}));
}

TEST_F(LoadTest, OverlongTokensCountAsUnknownWithoutSplitting) {
    // 103 characters fit; the tail of a longer token must not become a
    // token of its own ("frequ" here), which would shift every pair after.
    EXPECT_EQ(load(std::string(103, 'x') + "frequ 5 maxampl 9\n"), (std::vector<Tel>{set(1359, 2, 9)}));
    EXPECT_EQ(load("frequ" + std::string(5000, 'y') + " 5 frequ 6\n"), (std::vector<Tel>{set(1025, 2, 6)}));
    EXPECT_EQ(load("frequ " + std::string(200, '1') + " maxampl 4\n"), (std::vector<Tel>{set(1359, 2, 4)}));
}

TEST_F(LoadTest, BinaryFilesAreReadWithoutHarm) {
    std::string binary;
    for (int i = 0; i < 300000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
    EXPECT_TRUE(load(binary).empty());
    // A keyword with a zero byte inside is not the keyword before the zero.
    EXPECT_EQ(load(std::string("frequ\0x 5 maxampl 6", 19)), (std::vector<Tel>{set(1359, 2, 6)}));
}

TEST_F(LoadTest, ArgumentsAndFileAreCheckedFirst) {
    const int32_t h = session->handle();
    const std::string path = dir.file("ok.cfg");
    test_support::writeFile(path, "frequ 5\n");
    std::vector<Tel> sent = session->sentBy([&] {
        EXPECT_EQ(PositionerLoad(h, 6, path.c_str()), RC_INVALID_PARAM);
        EXPECT_EQ(PositionerLoad(h, -1, path.c_str()), RC_INVALID_PARAM);
        EXPECT_EQ(PositionerLoad(h, 0, nullptr), RC_INVALID_PARAM);
        EXPECT_EQ(PositionerLoad(h, 0, dir.file("missing.cfg").c_str()), RC_INVALID_PARAM);
        EXPECT_EQ(PositionerLoad(0, 0, path.c_str()), RC_NOT_CONNECTED);
        EXPECT_EQ(PositionerLoad(100, 0, path.c_str()), RC_NOT_CONNECTED);
    });
    EXPECT_TRUE(sent.empty()) << postest::describe(sent);
}

}  // namespace
