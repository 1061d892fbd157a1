// Byte layout of telegrams, names and reason texts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "wire/telegram.h"
#include "trace.h"

namespace {

std::vector<unsigned char> bytesOf(const UcTelegram& t, int n) {
    const auto* p = reinterpret_cast<const unsigned char*>(&t);
    return std::vector<unsigned char>(p, p + n);
}

}  // namespace

TEST(Telegram, RecordIsPackedTo512Bytes) {
    EXPECT_EQ(sizeof(UcTelegram), 512u);
    EXPECT_EQ(offsetof(UcTelegram, data), 20u);
}

TEST(Telegram, GetOfControllerTypeIsTheExactTwentyBytes) {
    UcTelegram t;
    std::memset(&t, 0xEE, sizeof t);
    ASSERT_EQ(uc::buildGet(t, REG_CONTROLLER_TYPE, 0, 1), 20);
    const std::vector<unsigned char> expected = {0x10, 0, 0, 0, 0x01, 0, 0,    0, 0x67, 0x01,
                                                 0,    0, 0, 0, 0,    0, 0x01, 0, 0,    0};
    EXPECT_EQ(bytesOf(t, 20), expected);
}

TEST(Telegram, SetCarriesOneLittleEndianDataWord) {
    UcTelegram t;
    ASSERT_EQ(uc::buildSet(t, REG_SYNC, 0, 0, -2), 24);
    EXPECT_EQ(uc::length(t), 20);
    const std::vector<unsigned char> expected = {0x14, 0, 0, 0, 0, 0, 0, 0, 0x0A, 0,    0,    0,
                                                 0,    0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(bytesOf(t, 24), expected);
}

TEST(Telegram, AckHoldsReasonThenValueAndTellHoldsValue) {
    UcTelegram ack;
    ASSERT_EQ(uc::buildAck(ack, 1024, 3, 1, 2, 0x01020304), 28);
    EXPECT_EQ(uc::length(ack), 24);
    EXPECT_EQ(uc::get32(&ack, 20), 2);
    EXPECT_EQ(uc::get32(&ack, 24), 0x01020304);
    EXPECT_EQ(uc::ackReason(ack), 2);
    EXPECT_EQ(uc::ackValue(ack), 0x01020304);
    const auto* raw = reinterpret_cast<const unsigned char*>(&ack);
    EXPECT_EQ(raw[24], 0x04);  // little-endian on the wire
    EXPECT_EQ(raw[27], 0x01);

    UcTelegram tell;
    ASSERT_EQ(uc::buildTell(tell, 1045, 2, 0, -7), 24);
    EXPECT_EQ(uc::opcode(tell), UC_OP_TELL);
    EXPECT_EQ(uc::get32(&tell, 20), -7);
    EXPECT_EQ(uc::tellValue(tell), -7);
}

TEST(Telegram, LargestTelegramHas123DataWords) {
    UcTelegram t;
    std::vector<int32_t> words(200, 7);
    EXPECT_EQ(uc::build(t, UC_OP_SET, 1, 0, 0, words.data(), 200), 512) << "clamped to 123 words";
    EXPECT_EQ(uc::length(t), UC_MAX_LENGTH);
    EXPECT_EQ(uc::dataWordCount(508), 123);
    EXPECT_EQ(uc::dataWordCount(509), 123) << "bounded by the data area";
    EXPECT_EQ(uc::dataWordCount(16), 0);
    EXPECT_EQ(uc::dataWordCount(8), 0);
    EXPECT_EQ(uc::dataWordCount(-4), 0);
    EXPECT_EQ(uc::dataWordCount(48), 8);
}

TEST(Telegram, OpcodeNamesAndReasonTexts) {
    const char* names[] = {"SET ", "GET ", "DO  ", "ACK ", "TELL", "STAT", "CHRQ"};
    for (int op = 0; op <= 6; ++op) EXPECT_STREQ(uc::knownOpcodeName(op), names[op]);
    EXPECT_EQ(uc::knownOpcodeName(7), nullptr);
    EXPECT_EQ(uc::knownOpcodeName(-1), nullptr);

    EXPECT_STREQ(tracePrintReason(0), "ok");
    EXPECT_STREQ(tracePrintReason(1), "invalid address");
    EXPECT_STREQ(tracePrintReason(2), "out of range");
    EXPECT_STREQ(tracePrintReason(99), "unknown error");
    EXPECT_STREQ(tracePrintReason(-1), "-1");
    EXPECT_STREQ(tracePrintReason(3), "3");
}
