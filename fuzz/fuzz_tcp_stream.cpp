// The telegram reader of the TCP transports (net::receiveTelegram) and the
// drain that resynchronises a stream (net::syncToStream), fed a controller byte
// stream through a socketpair, segment by segment. After a loss of framing
// the stream is drained as the TCP device's resync does. Every telegram
// handed out must be the next bytes of the stream and have the size that
// its length word announces.
//
// Input: one flag byte, then segments of [16-bit count][count bytes]
// (count mod 1024).
// Flag bit 0: the drain's time limit counts as exceeded at once.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "fuzz_input.h"
#include "wire/telegram.h"
#include "trace.h"
#include "net/sockets.h"
#include "uc_telegram.h"

namespace {

// The waits of the reader: a segment boundary inside a telegram counts as
// the peer pausing longer than the receive wait.
constexpr int kNoWaitMs = 0;
constexpr int kDrainLimitMs = 60000;
constexpr int kLimitExceeded = -1;
constexpr uint16_t kSegmentMask = 0x03FF;

class Stream {
public:
    Stream() {
        int pair[2];
        FUZZ_CHECK(socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0);
        reader_ = pair[0];
        writer_ = pair[1];
    }
    ~Stream() {
        close(reader_);
        if (writer_ >= 0) close(writer_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void write(const std::vector<uint8_t>& segment) {
        FUZZ_CHECK(::send(writer_, segment.data(), segment.size(), MSG_NOSIGNAL) ==
                   static_cast<ssize_t>(segment.size()));
        written_.insert(written_.end(), segment.begin(), segment.end());
    }
    void end() {
        close(writer_);
        writer_ = -1;
    }
    int reader() const { return reader_; }
    // Bytes the reader has taken out of the stream so far.
    size_t consumed() const {
        int queued = 0;
        FUZZ_CHECK(ioctl(reader_, FIONREAD, &queued) == 0);
        return written_.size() - static_cast<size_t>(queued);
    }
    size_t total() const { return written_.size(); }
    bool matches(size_t from, const uint8_t* bytes, size_t n) const {
        return from + n <= written_.size() && std::memcmp(written_.data() + from, bytes, n) == 0;
    }

private:
    int reader_ = -1;
    int writer_ = -1;
    std::vector<uint8_t> written_;
};

void checkTelegram(const Stream& stream, size_t before, const uint8_t* buffer, int n) {
    FUZZ_CHECK(n >= 4 && n <= UC_MAX_TELEGRAM);
    // A length word below 4 leaves a telegram of just that word.
    const int64_t announced = uc::wireSize(uc::get32(buffer));
    FUZZ_CHECK(n == std::max<int64_t>(4, announced));
    if (n >= 8) {
        const int32_t opcode = uc::get32(buffer, 4);
        FUZZ_CHECK(opcode == UC_OP_ACK || opcode == UC_OP_TELL);
    }
    FUZZ_CHECK(stream.consumed() - before == static_cast<size_t>(n));
    FUZZ_CHECK(stream.matches(before, buffer, static_cast<size_t>(n)));
}

// A drain ends quiet with nothing left in the stream, on the closed
// stream, or (limit exceeded) after exactly one byte.
void resync(const Stream& stream, int limitMs, bool ended) {
    const size_t before = stream.consumed();
    const int result = net::syncToStream(stream.reader(), kNoWaitMs, limitMs);
    if (result == -2) {
        FUZZ_CHECK(limitMs == kLimitExceeded && stream.consumed() == before + 1);
    } else {
        FUZZ_CHECK(result == 0 || (result == -1 && ended));
        FUZZ_CHECK(stream.consumed() == stream.total());
    }
}

// Reads telegrams until the stream has nothing more for now (or, once the
// writer has gone, until it reports the closed stream).
void pump(const Stream& stream, int limitMs, bool ended) {
    uint8_t buffer[UC_MAX_TELEGRAM];
    for (;;) {
        const size_t before = stream.consumed();
        const int n = net::receiveTelegram(stream.reader(), kNoWaitMs, buffer);
        if (n > 0) {
            checkTelegram(stream, before, buffer, n);
        } else if (n == -2) {
            FUZZ_CHECK(stream.consumed() > before);
            resync(stream, limitMs, ended);
        } else if (n == 0) {
            FUZZ_CHECK(!ended && stream.consumed() == before);
            return;
        } else {
            FUZZ_CHECK(n == -1 && ended && stream.consumed() == stream.total());
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzin::traceToNowhere(TraceCategoryMask);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzin::Input in(data, size);
    const int limitMs = (in.byte() & 1) ? kLimitExceeded : kDrainLimitMs;
    Stream stream;
    while (!in.empty()) {
        stream.write(in.bytes(in.u16() & kSegmentMask));
        pump(stream, limitMs, false);
    }
    stream.end();
    pump(stream, limitMs, true);
    return 0;
}
