// Plain blocking TCP I/O for the reference figures: the least a program
// must do to move the same telegram bytes over the same loopback
// connection, with no framing checks, waits or dispatch of its own.
#ifndef BENCH_RAW_SOCKET_H
#define BENCH_RAW_SOCKET_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace bench {

// A stream socket to a simulated controller, with no socket options set
// (as the library opens its own).
class RawConnection {
public:
    RawConnection(const std::string& address, int port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    bool sendAll(const void* bytes, size_t n);
    bool receiveExactly(void* bytes, size_t n);
    // Ends the stream in both directions; a reader inside recv returns.
    void shutdown();

private:
    int fd_ = -1;
};

// Reads a connection on a thread of its own in large chunks, frames the
// telegrams by their length words and keeps a count and the last value of
// one register's TELLs: the least work that consumes a telegram stream.
class StreamReader {
public:
    StreamReader(RawConnection& connection, int32_t tellAddress, int32_t tellIndex);
    ~StreamReader();  // shuts the connection down and joins the thread
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    uint64_t telegrams() const { return telegrams_.load(std::memory_order_acquire); }
    int32_t lastTellValue() const { return lastValue_.load(std::memory_order_acquire); }
    // Polls until at least count telegrams were read; false after timeoutMs.
    bool waitForTelegrams(uint64_t count, int timeoutMs) const;

private:
    void run();

    RawConnection& connection_;
    const int32_t tellAddress_, tellIndex_;
    std::atomic<uint64_t> telegrams_{0};
    std::atomic<int32_t> lastValue_{0};
    std::thread thread_;
};

}  // namespace bench

#endif
