#include "wire/telegram.h"

namespace uc {

int dataWordCount(int32_t length) {
    if (length < kHeaderLength) return 0;
    int32_t words = (length - kHeaderLength) / static_cast<int32_t>(kWordSize);
    return words > UC_MAX_DATA_WORDS ? UC_MAX_DATA_WORDS : words;
}

int build(UcTelegram& t, int32_t op, int32_t addr, int32_t idx, int32_t corr, const int32_t* words, int n) {
    if (n < 0 || !words) n = 0;
    if (n > UC_MAX_DATA_WORDS) n = UC_MAX_DATA_WORDS;
    put32(&t, kLengthOffset, kHeaderLength + 4 * n);
    put32(&t, kOpcodeOffset, op);
    put32(&t, kAddressOffset, addr);
    put32(&t, kIndexOffset, idx);
    put32(&t, kCorrelationOffset, corr);
    for (int i = 0; i < n; ++i) setDataWord(t, i, words[i]);
    return UC_HEADER_SIZE + 4 * n;
}

const char* knownOpcodeName(int32_t op) {
    static const char* const names[] = {"SET ", "GET ", "DO  ", "ACK ", "TELL", "STAT", "CHRQ"};
    if (op < 0 || op > 6) return nullptr;
    return names[op];
}

const char* knownReasonText(int32_t reason) {
    switch (reason) {
        case 0: return "ok";
        case 1: return "invalid address";
        case 2: return "out of range";
        case 99: return "unknown error";
        default: return nullptr;
    }
}

}  // namespace uc
