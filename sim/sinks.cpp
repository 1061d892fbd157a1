#include "sinks.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "sim_controller.h"

namespace sim {

namespace {
int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}
}  // namespace

bool Sink::send(const std::vector<Bytes>& chunks, int pauseMs) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (steadyMs() < quietUntilMs_.load()) return alive();
    return write(chunks, pauseMs);
}

void Sink::quietFor(int ms) { quietUntilMs_.store(steadyMs() + ms); }

TcpSink::~TcpSink() { ::close(fd_); }

void TcpSink::hangUp() {
    alive_.store(false);
    ::shutdown(fd_, SHUT_RDWR);
}

bool TcpSink::writeAll(const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t sent = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) {
            // Failed, or blocked beyond the send time-out: the host is
            // gone or does not read; give the connection up.
            hangUp();
            return false;
        }
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool TcpSink::write(const std::vector<Bytes>& chunks, int pauseMs) {
    if (!alive()) return false;
    if (pauseMs <= 0) {
        Bytes all;
        for (const Bytes& c : chunks) all.insert(all.end(), c.begin(), c.end());
        return writeAll(all.data(), all.size());
    }
    for (const Bytes& c : chunks) {
        if (!writeAll(c.data(), c.size())) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    return true;
}

bool UsbSink::write(const std::vector<Bytes>& chunks, int /*pauseMs*/) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return true;
        for (const Bytes& c : chunks) {
            if (c.empty()) continue;
            if (transfers_.size() >= kMaxUsbQueue) {
                transfers_.pop_front();
                ++dropped_;
            }
            transfers_.push_back(c);
        }
    }
    ready_.notify_all();
    return true;
}

bool UsbSink::read(Bytes& transfer, int timeoutMs, size_t maxBytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    bool got = ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                               [this] { return closed_ || !transfers_.empty(); });
    if (!got || closed_ || maxBytes == 0) return false;
    Bytes& front = transfers_.front();
    if (front.size() <= maxBytes) {
        transfer = std::move(front);
        transfers_.pop_front();
    } else {
        transfer.assign(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(maxBytes));
        front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(maxBytes));
    }
    return true;
}

void UsbSink::flush() {
    std::lock_guard<std::mutex> lock(mutex_);
    transfers_.clear();
}

void UsbSink::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        transfers_.clear();
    }
    ready_.notify_all();
}

size_t UsbSink::dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

}  // namespace sim
