// PositionerLoad on arbitrary file contents. What the handle's device is
// sent must be exactly what a plain reading of the file gives: white-space
// separated tokens taken in pairs, each pair with a known keyword and a
// signed decimal 32-bit value sent as one SET to the chosen axis, in file
// order; overlong tokens (more than 103 bytes) are neither keywords nor
// values.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "config_keywords_oracle.h"
#include "fuzz_input.h"
#include "wire/telegram.h"
#include "positioner.h"
#include "positioner_harness.h"
#include "trace.h"

namespace {

constexpr int32_t kAxis = 4;
constexpr size_t kLongestToken = 103;
// The loader is alone with the handle: its receive thread may idle long.
constexpr auto kLoaderIdleWait = std::chrono::milliseconds(5);

const std::map<std::string, int32_t> kKeywords = [] {
    std::map<std::string, int32_t> keywords;
    for (const auto& k : test_support::kConfigKeywords) keywords.emplace(k.name, k.address);
    return keywords;
}();

struct Set {
    int32_t address;
    int32_t value;
    bool operator==(const Set& o) const { return address == o.address && value == o.value; }
};

bool isBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string> tokensOf(const std::vector<uint8_t>& text) {
    std::vector<std::string> tokens;
    std::string token;
    for (uint8_t c : text) {
        if (!isBlank(c)) {
            token += static_cast<char>(c);
        } else if (!token.empty()) {
            tokens.push_back(token);
            token.clear();
        }
    }
    if (!token.empty()) tokens.push_back(token);
    return tokens;
}

bool decimalValue(const std::string& token, int32_t* value) {
    if (token.size() > kLongestToken) return false;
    size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (i == token.size()) return false;
    int64_t magnitude = 0;
    for (; i < token.size(); ++i) {
        if (token[i] < '0' || token[i] > '9') return false;
        magnitude = magnitude * 10 + (token[i] - '0');
        if (magnitude > (int64_t{1} << 31)) return false;
    }
    const int64_t v = token[0] == '-' ? -magnitude : magnitude;
    if (v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

std::vector<Set> expectedSets(const std::vector<uint8_t>& text) {
    const std::vector<std::string> tokens = tokensOf(text);
    std::vector<Set> sets;
    for (size_t i = 0; i + 1 < tokens.size(); i += 2) {
        int32_t value = 0;
        auto keyword = kKeywords.find(tokens[i]);
        if (keyword != kKeywords.end() && decimalValue(tokens[i + 1], &value))
            sets.push_back({keyword->second, value});
    }
    return sets;
}

// The telegrams must be one-word SETs of the axis with correlation 0.
std::vector<Set> sentSets(const std::vector<std::vector<uint8_t>>& sent) {
    std::vector<Set> sets;
    for (const auto& t : sent) {
        FUZZ_CHECK(t.size() == 24);
        FUZZ_CHECK(uc::get32(t.data(), 0) == 20 && uc::get32(t.data(), 4) == UC_OP_SET);
        FUZZ_CHECK(uc::get32(t.data(), 12) == kAxis && uc::get32(t.data(), 16) == 0);
        sets.push_back({uc::get32(t.data(), 8), uc::get32(t.data(), 20)});
    }
    return sets;
}

std::shared_ptr<ScriptedDevice> device;
int handle = -1;
std::string path;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceMessages);
    char dir[] = "/tmp/uc_fuzz_load_XXXXXX";
    FUZZ_CHECK(mkdtemp(dir) != nullptr);
    path = std::string(dir) + "/axis.cfg";
    device = fuzzpos::makeDevice({}, kLoaderIdleWait);
    handle = fuzzpos::openHandle(device);
    FUZZ_CHECK(handle > 0);
    device->takeSent();  // what the connect sent
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> text(data, data + size);
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
    FUZZ_CHECK(PositionerLoad(handle, kAxis, path.c_str()) == RC_OK);
    FUZZ_CHECK(sentSets(device->takeSent()) == expectedSets(text));
    return 0;
}
