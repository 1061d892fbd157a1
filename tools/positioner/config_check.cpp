#include "config_check.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "config_keywords.h"

namespace {

constexpr size_t kLongestToken = 103;  // longer keywords name nothing
constexpr size_t kShownLength = 40;    // of a token quoted in a message

struct Token {
    std::string text;
    int line = 0;
};

class TokenReader {
public:
    explicit TokenReader(FILE* file) : file_(file) {}
    bool next(Token* token) {
        int c;
        while ((c = std::fgetc(file_)) != EOF && std::isspace(c))
            if (c == '\n') ++line_;
        if (c == EOF) return false;
        token->text.clear();
        token->line = line_;
        for (; c != EOF && !std::isspace(c); c = std::fgetc(file_)) token->text += static_cast<char>(c);
        if (c == '\n') ++line_;
        return true;
    }

private:
    FILE* file_;
    int line_ = 1;
};

bool isDecimal32(const std::string& text) {
    size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (i == text.size() || text.size() > kLongestToken) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    return errno != ERANGE && v >= INT32_MIN && v <= INT32_MAX;
}

bool isKeyword(const std::string& text) {
    for (const pos::ConfigKeyword& k : pos::kConfigKeywords)
        if (text == k.text) return true;
    return false;
}

std::string shown(const std::string& text) {
    return "'" + (text.size() > kShownLength ? text.substr(0, kShownLength) + "..." : text) + "'";
}

}  // namespace

bool findSkippedPairs(const std::string& fileName, std::vector<SkippedPair>* skipped) {
    FILE* file = std::fopen(fileName.c_str(), "r");
    if (!file) return false;
    TokenReader reader(file);
    Token keyword, value;
    while (reader.next(&keyword)) {
        if (!reader.next(&value)) {
            skipped->push_back({keyword.line, "keyword " + shown(keyword.text) + " has no value"});
            break;
        }
        if (!isDecimal32(value.text)) {
            skipped->push_back({keyword.line, "the value " + shown(value.text) + " of " + shown(keyword.text) +
                                                  " is not a whole 32-bit number"});
        } else if (!isKeyword(keyword.text)) {
            skipped->push_back({keyword.line, "unknown keyword " + shown(keyword.text)});
        }
    }
    const bool readAll = !std::ferror(file);
    std::fclose(file);
    return readAll;
}
