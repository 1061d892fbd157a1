// Splits a byte stream from a host into whole telegrams by their length
// word, dropping bytes that cannot start a telegram.
#ifndef SIM_FRAMER_H
#define SIM_FRAMER_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

class TelegramFramer {
public:
    // A candidate telegram start is accepted when its length word lies in
    // 16..508 and its opcode in 0..6; otherwise one byte is dropped and the
    // next position is tried.
    static bool plausibleHeader(const uint8_t* header, size_t available);

    // Appends n bytes received at now and moves every completed telegram to
    // out. A partial telegram older than kStallMs is dropped first.
    void feed(const uint8_t* bytes, size_t n, Clock::time_point now, std::vector<Bytes>& out);
    // Drops a partial telegram that has waited kStallMs for its rest.
    void expire(Clock::time_point now);

    // Number of drops so far: each run of skipped bytes and each stalled
    // partial telegram counts once. droppedBytes() counts the bytes.
    int drops() const { return drops_; }
    size_t droppedBytes() const { return droppedBytes_; }
    bool partial() const { return !buffer_.empty(); }

private:
    void frame(std::vector<Bytes>& out);
    void dropFront(size_t n);

    Bytes buffer_;  // at most one telegram (512 bytes) plus one feed slice
    Clock::time_point lastInput_{};
    bool inDropRun_ = false;
    int drops_ = 0;
    size_t droppedBytes_ = 0;
};

}  // namespace sim

#endif
