#include "raw_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "wire/telegram.h"

namespace bench {

namespace {
constexpr size_t kChunk = 64 * 1024;
}

RawConnection::RawConnection(const std::string& address, int port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) return;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    // The same socket options as the library's controller connection: every
    // write goes out at once.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

RawConnection::~RawConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::sendAll(const void* bytes, size_t n) {
    const char* p = static_cast<const char*>(bytes);
    while (n > 0) {
        ssize_t sent = ::send(fd_, p, n, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        p += sent;
        n -= static_cast<size_t>(sent);
    }
    return true;
}

bool RawConnection::receiveExactly(void* bytes, size_t n) {
    char* p = static_cast<char*>(bytes);
    while (n > 0) {
        ssize_t got = ::recv(fd_, p, n, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

void RawConnection::shutdown() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

StreamReader::StreamReader(RawConnection& connection, int32_t tellAddress, int32_t tellIndex)
    : connection_(connection), tellAddress_(tellAddress), tellIndex_(tellIndex),
      thread_(&StreamReader::run, this) {}

StreamReader::~StreamReader() {
    connection_.shutdown();
    thread_.join();
}

bool StreamReader::waitForTelegrams(uint64_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (telegrams() < count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

void StreamReader::run() {
    // Bytes of a telegram that a chunk ended inside stay at the front.
    std::vector<unsigned char> buffer(kChunk + UC_MAX_TELEGRAM);
    size_t held = 0;
    for (;;) {
        ssize_t got = ::recv(connection_.fd(), buffer.data() + held, kChunk, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        held += static_cast<size_t>(got);
        size_t at = 0;
        uint64_t framed = 0;
        while (held - at >= 8) {
            const int64_t size = uc::wireSize(uc::get32(buffer.data(), at));
            if (size < UC_HEADER_SIZE || size > UC_MAX_TELEGRAM) return;  // not a telegram stream
            if (held - at < static_cast<size_t>(size)) break;
            const unsigned char* t = buffer.data() + at;
            if (uc::get32(t, 4) == UC_OP_TELL && uc::get32(t, 8) == tellAddress_ &&
                uc::get32(t, 12) == tellIndex_ && size >= UC_HEADER_SIZE + 4)
                lastValue_.store(uc::get32(t, UC_HEADER_SIZE), std::memory_order_relaxed);
            at += static_cast<size_t>(size);
            ++framed;
        }
        held -= at;
        if (held > 0 && at > 0) std::memmove(buffer.data(), buffer.data() + at, held);
        telegrams_.fetch_add(framed, std::memory_order_release);
    }
}

}  // namespace bench
