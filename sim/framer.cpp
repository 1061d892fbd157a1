#include "framer.h"

#include "wire/telegram.h"
#include "sim_controller.h"

namespace sim {

namespace {
// Input is framed in slices so the buffer never grows beyond a telegram
// plus one slice, whatever a caller hands over at once.
constexpr size_t kFeedSlice = UC_MAX_TELEGRAM;
}  // namespace

bool TelegramFramer::plausibleHeader(const uint8_t* header, size_t available) {
    if (available >= 4) {
        int32_t length = uc::get32(header, uc::kLengthOffset);
        if (length < uc::kHeaderLength || length > UC_MAX_LENGTH) return false;
    }
    if (available >= 8) {
        int32_t opcode = uc::get32(header, uc::kOpcodeOffset);
        if (opcode < UC_OP_SET || opcode > UC_OP_CHRQ) return false;
    }
    return true;
}

void TelegramFramer::feed(const uint8_t* bytes, size_t n, Clock::time_point now, std::vector<Bytes>& out) {
    if (n == 0) return;
    expire(now);
    lastInput_ = now;
    while (n > 0) {
        size_t slice = n < kFeedSlice ? n : kFeedSlice;
        buffer_.insert(buffer_.end(), bytes, bytes + slice);
        bytes += slice;
        n -= slice;
        frame(out);
    }
}

void TelegramFramer::expire(Clock::time_point now) {
    if (buffer_.empty() || now - lastInput_ < std::chrono::milliseconds(kStallMs)) return;
    droppedBytes_ += buffer_.size();
    ++drops_;
    buffer_.clear();
    inDropRun_ = false;
}

void TelegramFramer::dropFront(size_t n) {
    if (!inDropRun_) ++drops_;
    inDropRun_ = true;
    droppedBytes_ += n;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
}

void TelegramFramer::frame(std::vector<Bytes>& out) {
    for (;;) {
        size_t checked = buffer_.size() < 8 ? buffer_.size() : 8;
        if (!plausibleHeader(buffer_.data(), checked)) {
            dropFront(1);
            continue;
        }
        if (buffer_.size() < 4) return;
        size_t whole = static_cast<size_t>(uc::wireSize(uc::get32(buffer_.data(), uc::kLengthOffset)));
        if (buffer_.size() < whole) return;
        out.emplace_back(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(whole));
        inDropRun_ = false;
    }
}

}  // namespace sim
