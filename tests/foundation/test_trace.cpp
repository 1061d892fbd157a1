// Trace, error and telegram lines: formats, filters, list files, outputs.
#include <gtest/gtest.h>

#include <cerrno>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "wire/telegram.h"
#include "test_support.h"
#include "trace.h"

using test_support::captureStderr;
using test_support::captureStdout;
using test_support::readFile;
using test_support::TempDir;
using test_support::writeFile;

namespace {

UcTelegram telegram(int32_t opcode, int32_t address, int32_t length = 20, int32_t correlation = 0) {
    UcTelegram t{};
    uc::put32(&t, 0, length);
    uc::put32(&t, 4, opcode);
    uc::put32(&t, 8, address);
    uc::put32(&t, 16, correlation);
    for (int i = 0; i < UC_MAX_DATA_WORDS; ++i) uc::setDataWord(t, i, i + 0xA0);
    return t;
}

// Telegram lines written for the given telegram and categories.
std::string traced(const UcTelegram& t, int categories = 0x20) {
    return captureStderr([&] { traceTelegram("L", &t, categories); });
}

class Trace : public ::testing::Test {
protected:
    TempDir dir;  // list files are read from the working directory
    void TearDown() override { traceInit(static_cast<TraceParams*>(nullptr)); }
};

}  // namespace

// Must stay first: nothing has called traceInit in this process yet.
TEST(TraceBeforeInit, ReportsNothing) {
    std::string out = captureStderr([] {
        EXPECT_FALSE(traceError(false, "nobody hears %d", 1));
        EXPECT_FALSE(traceFatal(false, "nobody"));
        traceTrace("nothing");
        traceSetFlags(0x1FC);
        traceSetFile("never-created.log");
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(traceGetParamset()->flags, 0);
}

TEST_F(Trace, ErrorLineWithoutPrefixAndNoTraceLinesAtFlagsZero) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "", 0);
        traceTrace("hidden");
        EXPECT_TRUE(traceError(false, "%s%s:", "a", "b"));
        EXPECT_FALSE(traceError(true, "condition holds"));
    });
    EXPECT_EQ(out, "ERROR: ab:.\n");
}

TEST_F(Trace, NumberedLinesWithPrefix) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "Positioner", 4);
        traceTrace("first %d", 1);
        traceError(false, "between");  // error lines take no number
        traceTrace("second");
    });
    EXPECT_EQ(out,
              "Positioner TRACE    0: first 1.\n"
              "Positioner ERROR: between.\n"
              "Positioner TRACE    1: second.\n");
}

TEST_F(Trace, PrefixIsCutToThirtyCharactersAndNullPrefixIsEmpty) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "0123456789012345678901234567890123456789", 4);
        traceTrace("x");
        traceInit(nullptr, nullptr, 4);
        traceTrace("y");
    });
    EXPECT_EQ(out, "012345678901234567890123456789 TRACE    0: x.\nTRACE    0: y.\n");
}

TEST_F(Trace, LogFileGetsEverythingAndErrorsAreRepeatedOnStandardOutput) {
    std::string log = dir.file("trace.log");
    std::string err, out;
    out = captureStdout([&] {
        err = captureStderr([&] {
            traceInit(log.c_str(), "P", 4);
            traceTrace("only in the file");
            traceFatal(false, "fatal %d", 7);
            traceSetFile(nullptr);  // closes the log, back to standard error
        });
    });
    EXPECT_EQ(readFile(log), "P TRACE    0: only in the file.\nP FATAL: fatal 7.\n");
    EXPECT_EQ(out, "P FATAL: fatal 7.\n");
    EXPECT_EQ(err, "");
}

TEST_F(Trace, UnopenableLogFileKeepsTheCurrentStream) {
    std::string out = captureStderr([] {
        traceInit("/nonexistent-dir/x.log", "", 4);
        traceTrace("still here");
    });
    EXPECT_EQ(out, "ERROR: Failed to open Logfile /nonexistent-dir/x.log.\nTRACE    0: still here.\n");
}

TEST_F(Trace, IncludeListShowsOnlyListedAddresses) {
    writeFile("tracewhitelist.txt", "0x100 0x102\n");
    traceInit(nullptr, "", 0x1FC);
    EXPECT_NE(traced(telegram(UC_OP_ACK, 0x101)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x103)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0xFF)), "");
}

TEST_F(Trace, EmptyIncludeListShowsNothing) {
    writeFile("tracewhitelist.txt", "");
    traceInit(nullptr, "", 0x1FC);
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x101)), "");
}

TEST_F(Trace, ExcludeListHidesListedAddresses) {
    writeFile("traceblacklist.txt", "5 5");
    traceInit(nullptr, "", 0x1FC);
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 5)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, 4)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, 6)), "");
}

TEST_F(Trace, IncludeListWinsOverExcludeList) {
    writeFile("tracewhitelist.txt", "7 7");
    writeFile("traceblacklist.txt", "7 7");
    traceInit(nullptr, "", 0x1FC);
    EXPECT_NE(traced(telegram(UC_OP_ACK, 7)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 8)), "");
}

TEST_F(Trace, MalformedListEndsReadingAndKeepsEarlierPairs) {
    writeFile("traceblacklist.txt", "1 2\n010 0x0a\n3 x 5 6\n");
    traceInit(nullptr, "", 0x1FC);
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 1)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 2)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 8)), "") << "octal 010 to hex 0x0a";
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 10)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, 3)), "") << "the pair '3 x' does not scan";
    EXPECT_NE(traced(telegram(UC_OP_ACK, 5)), "");
}

TEST_F(Trace, HugeRangesAreCheapAndExact) {
    writeFile("traceblacklist.txt", "0 0x7fffffff\n-2147483648 -3\n99999999999999 1\n");
    long long ms = test_support::elapsedMs([] { traceInit(nullptr, "", 0x1FC); });
    EXPECT_LT(ms, 500);
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x7FFFFFFF)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, -3)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, -1)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, -2)), "") << "over-long number saturates, range empty";
}

TEST_F(Trace, ListFunctionsBuildRangesThatMerge) {
    traceInit(nullptr, "", 0x1FC);
    traceInitTraceList(true);
    traceAddTraceList(10, 20);
    traceAddTraceList(15, 30);
    traceAddTraceList(31, 31);
    traceAddTraceList(9, 5);  // first > last adds nothing
    for (int a : {10, 20, 25, 30, 31}) EXPECT_NE(traced(telegram(UC_OP_ACK, a)), "") << a;
    for (int a : {5, 7, 9, 32}) EXPECT_EQ(traced(telegram(UC_OP_ACK, a)), "") << a;
}

TEST_F(Trace, CategoryRangeAndTellFilters) {
    traceInit(nullptr, "", 0x07C);
    EXPECT_EQ(traced(telegram(UC_OP_TELL, 0x10)), "") << "TELL without 0x100";
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x0F05)), "") << "range 0xF00..0xF0D without 0x080";
    EXPECT_EQ(traced(telegram(UC_OP_TELL, 0x0F05)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, 0x10)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x10), 0x200), "") << "outside the category mask";
    traceSetFlags(0x1FC);
    EXPECT_NE(traced(telegram(UC_OP_TELL, 0x10)), "");
    EXPECT_NE(traced(telegram(UC_OP_TELL, 0x0F0D)), "");
    EXPECT_NE(traced(telegram(UC_OP_ACK, 0x0F00)), "");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 0x10), 0x001), "") << "0x001 is no category";
}

TEST_F(Trace, TelegramLineFormatAndDataWords) {
    traceInit(nullptr, "P", 0x1FC);
    EXPECT_EQ(traced(telegram(UC_OP_GET, 0x167, 16, 1)),
              "P TRACE    0: L: GET  Len=16 Addr=167 Ind=0 CNo=0-1.\n");
    EXPECT_EQ(traced(telegram(UC_OP_SET, 5, 48, (2 << 16) | 5)),
              "P TRACE    1: L: SET  Len=48 Addr=05 Ind=0 CNo=2-5 a0 a1 a2 a3.\n");
    traceSetFlags(0x1FD);
    EXPECT_EQ(traced(telegram(UC_OP_SET, 5, 48, -1)),
              "P TRACE    2: L: SET  Len=48 Addr=05 Ind=0 CNo=-1-65535 a0 a1 a2 a3 a4 a5 a6 a7.\n");
}

TEST_F(Trace, DataWordsStayInsideTheTelegram) {
    traceInit(nullptr, "", 0x1FD);
    std::string big = traced(telegram(UC_OP_ACK, 1, 100000));
    int words = 0;
    std::istringstream in(big.substr(big.find("CNo=")));
    std::string token;
    in >> token;
    while (in >> token) ++words;
    EXPECT_EQ(words, UC_MAX_DATA_WORDS);
    EXPECT_NE(big.find(" 11a."), std::string::npos) << "last word is data word 122";
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 1, -8)), "TRACE    1: L: ACK  Len=-8 Addr=01 Ind=0 CNo=0-0.\n");
    EXPECT_EQ(traced(telegram(UC_OP_ACK, 1, 8)), "TRACE    2: L: ACK  Len=8 Addr=01 Ind=0 CNo=0-0.\n");
}

TEST_F(Trace, UnknownOpcodesAreShownInHex) {
    traceInit(nullptr, "", 0x1FC);
    EXPECT_NE(traced(telegram(9, 1)).find("L: !!!9!!! Len="), std::string::npos);
    EXPECT_NE(traced(telegram(0x1F, 1)).find("L: !!!1f!!! Len="), std::string::npos);
    EXPECT_NE(traced(telegram(-1, 1)).find("L: !!!ffffffff!!! Len="), std::string::npos);
}

TEST_F(Trace, TelegramErrorLine) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "", 0);
        UcTelegram ack = telegram(UC_OP_ACK, 0x2A, 24, 1);
        EXPECT_TRUE(traceTelError(false, "UC recv", &ack));
        EXPECT_FALSE(traceTelError(true, "UC recv", &ack));
    });
    EXPECT_EQ(out, "ERROR: UC recv: ACK  Len=24 Addr=2a Ind=0 CNo=0-1.\n");
}

TEST_F(Trace, OperatingSystemErrorTexts) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "", 0);
        errno = ECONNREFUSED;
        EXPECT_TRUE(traceOsError(false, "Connect to controller: connect() failed", true));
        errno = ENOENT;
        EXPECT_TRUE(traceOsError(false, "open %s", false));  // the text is not a format
        EXPECT_FALSE(traceOsError(true, "no", true));
    });
    EXPECT_EQ(out, "ERROR: Connect to controller: connect() failed - WSA_Error #" +
                       std::to_string(ECONNREFUSED) + ".\nERROR: open %s - No such file or directory.\n");
}

TEST_F(Trace, NullRecordSilencesAndDefaultRecordRestores) {
    std::string out = captureStderr([] {
        traceInit(nullptr, "", 0x1FC);
        traceInit(static_cast<TraceParams*>(nullptr));
        EXPECT_FALSE(traceError(false, "silent"));
        UcTelegram t = telegram(UC_OP_ACK, 1);
        traceTelegram("L", &t, 0x20);
        traceInit(traceGetParamset());
        EXPECT_TRUE(traceError(false, "back"));
    });
    EXPECT_EQ(out, "ERROR: back.\n");
}

TEST_F(Trace, AnotherRecordCanBeInstalled) {
    TraceParams other{stderr, "OTHER ", TraceMessages, 41, IMutex(), true, TraceAddressSet()};
    std::string out = captureStderr([&] {
        traceInit(&other);
        traceTrace("x");
    });
    EXPECT_EQ(out, "OTHER TRACE   41: x.\n");
    EXPECT_EQ(other.counter, 42);
    EXPECT_NE(traceGetParamset(), &other);
}

TEST_F(Trace, ConcurrentWritersNeverInterleaveAndNumbersAscend) {
    std::string log = dir.file("threads.log");
    traceInit(log.c_str(), "", 0x1FC);
    constexpr int kThreads = 4, kLines = 500;
    std::vector<std::thread> writers;
    for (int w = 0; w < kThreads; ++w) {
        writers.emplace_back([w] {
            UcTelegram t = telegram(UC_OP_ACK, 0x10 + w, 48);
            for (int i = 0; i < kLines; ++i) {
                if (i % 2)
                    traceTrace("writer %d line %d with some text", w, i);
                else
                    traceTelegram("T", &t, 0x20);
            }
        });
    }
    for (auto& t : writers) t.join();
    traceSetFile(nullptr);
    std::istringstream lines(readFile(log));
    std::string line;
    std::regex shape(
        R"(TRACE +(\d+): (writer \d line \d+ with some text|T: ACK  Len=48 Addr=1\d Ind=0 CNo=0-0 a0 a1 a2 a3)\.)");
    int expected = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        ASSERT_EQ(std::stoi(m[1]), expected++);
    }
    EXPECT_EQ(expected, kThreads * kLines);
}

TEST(TraceAssert, FalseConditionEndsTheProcess) {
    EXPECT_EXIT(
        {
            traceInit(nullptr, "X", 0);
            traceAssert(false, "file.cpp", 12);
        },
        ::testing::ExitedWithCode(1), "X FATAL: Assertion failed: file.cpp#12\\.");
    EXPECT_EXIT(
        {
            traceInit(static_cast<TraceParams*>(nullptr));
            traceAssert(false, "file.cpp", 13);
        },
        ::testing::ExitedWithCode(1), "^$");
    traceAssert(true, "file.cpp", 14);
}
