// Reads a fuzz input front to back as small records: bytes, 16-bit
// little-endian counts and runs of bytes. Past the end every read yields
// zero or an empty run, so a harness needs no length checks of its own.
#ifndef FUZZ_FUZZ_INPUT_H
#define FUZZ_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzin {

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    size_t left() const { return size_ - pos_; }

    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    uint16_t u16() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    // The next n bytes, fewer where the input ends.
    std::vector<uint8_t> bytes(size_t n) {
        if (n > left()) n = left();
        std::vector<uint8_t> run(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return run;
    }
    std::vector<uint8_t> rest() { return bytes(left()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace fuzzin

// Stops the fuzzer with a message when a property of the code under test
// does not hold (libFuzzer reports the abort as a crash with its input).
#define FUZZ_CHECK(condition)                                                  \
    do {                                                                       \
        if (!(condition)) fuzzin::checkFailed(#condition, __FILE__, __LINE__); \
    } while (0)

namespace fuzzin {
[[noreturn]] void checkFailed(const char* what, const char* file, int line);

// Sets tracing up with the flags, writing to nowhere: the trace lines and
// the copies of error lines on standard output would only flood the log
// (libFuzzer reports on standard error).
void traceToNowhere(int flags);
}

#endif
