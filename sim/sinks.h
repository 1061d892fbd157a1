// Where the controller's bytes go: one TCP connection or the USB side.
// Each send() is written whole before the next one starts, so telegrams
// from different threads never interleave.
#ifndef SIM_SINKS_H
#define SIM_SINKS_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "framer.h"

namespace sim {

class Sink {
public:
    virtual ~Sink() = default;
    // Sends the chunks in order. pauseMs > 0 sends each chunk on its own
    // with that pause after it; 0 lets them go together. Nothing is sent
    // while the host is held quiet (quietFor). False once the host is gone.
    bool send(const std::vector<Bytes>& chunks, int pauseMs);
    // Drops everything sent to this host for the next ms milliseconds.
    void quietFor(int ms);
    virtual bool alive() const = 0;

protected:
    virtual bool write(const std::vector<Bytes>& chunks, int pauseMs) = 0;

private:
    std::mutex writeMutex_;
    std::atomic<int64_t> quietUntilMs_{0};
};

// One accepted TCP connection. The descriptor is closed when the last
// holder releases the object.
class TcpSink : public Sink {
public:
    explicit TcpSink(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {}
    ~TcpSink() override;
    int fd() const { return fd_; }
    const std::string& peer() const { return peer_; }
    bool alive() const override { return alive_.load(); }
    // Ends the connection: the host sees it closed; the owner removes it.
    void hangUp();

protected:
    bool write(const std::vector<Bytes>& chunks, int pauseMs) override;

private:
    bool writeAll(const uint8_t* p, size_t n);

    const int fd_;
    const std::string peer_;
    std::atomic<bool> alive_{true};
};

// Controller->host transfers of the USB side, one per chunk, kept until
// read (at most kMaxUsbQueue; the oldest goes first when full).
class UsbSink : public Sink {
public:
    bool alive() const override { return true; }
    bool read(Bytes& transfer, int timeoutMs, size_t maxBytes);
    void flush();
    // Wakes every reader; later reads return false at once.
    void close();
    size_t dropped() const;

protected:
    bool write(const std::vector<Bytes>& chunks, int pauseMs) override;

private:
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Bytes> transfers_;
    size_t dropped_ = 0;
    bool closed_ = false;
};

}  // namespace sim

#endif
