#include "config_loader.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config_keywords.h"
#include "handle_table.h"

namespace pos {

namespace {

constexpr size_t kTokenBuffer = 104;  // 103 characters and a terminator
constexpr int32_t kNoRegister = -1;

// One white-space separated token of the file, at most 103 bytes kept.
struct Token {
    char text[kTokenBuffer];
    size_t length;   // bytes kept
    bool truncated;  // the token was longer than the buffer holds
};

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads the next token; false at end of file (or on a read error).
bool readToken(FILE* file, Token& token) {
    int c;
    do {
        c = std::fgetc(file);
    } while (c != EOF && isSpace(c));
    if (c == EOF) return false;

    token.length = 0;
    token.truncated = false;
    for (; c != EOF && !isSpace(c); c = std::fgetc(file)) {
        if (token.length < kTokenBuffer - 1) {
            token.text[token.length++] = static_cast<char>(c);
        } else {
            token.truncated = true;  // the rest is read and dropped
        }
    }
    token.text[token.length] = '\0';
    return true;
}

// A whole token that is a signed decimal 32-bit integer.
bool parseValue(const Token& token, int32_t* value) {
    if (token.truncated || token.length == 0) return false;
    size_t i = (token.text[0] == '+' || token.text[0] == '-') ? 1 : 0;
    if (i == token.length) return false;
    for (size_t k = i; k < token.length; ++k) {
        if (token.text[k] < '0' || token.text[k] > '9') return false;
    }
    errno = 0;
    const long long v = std::strtoll(token.text, nullptr, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

int32_t keywordRegister(const char* keyword, size_t length) {
    for (const ConfigKeyword& k : kConfigKeywords) {
        if (std::strlen(k.text) == length && std::memcmp(k.text, keyword, length) == 0) return k.reg;
    }
    return kNoRegister;
}

int32_t loadConfiguration(int32_t handle, int32_t axis, const char* fileName) {
    HandleUse use(handle);
    HandleEntry* h = use.entry();
    if (!h) return RC_NOT_CONNECTED;
    if (!validAxis(axis) || !fileName) return RC_INVALID_PARAM;
    FILE* file = std::fopen(fileName, "r");
    if (!file) return RC_INVALID_PARAM;

    Token keyword, value;
    while (readToken(file, keyword) && readToken(file, value)) {
        int32_t number = 0;
        // A pair whose value is not an integer is skipped whole rather than
        // sent with a value that the file does not hold.
        if (!parseValue(value, &number)) continue;
        const int32_t reg = keyword.truncated ? kNoRegister : keywordRegister(keyword.text, keyword.length);
        if (reg > 0) sendSet(*h, reg, axis, number);  // failures show in later calls
    }
    std::fclose(file);
    return RC_OK;
}

}  // namespace pos
