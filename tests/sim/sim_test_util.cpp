#include "sim_test_util.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "telegram_bytes.h"
#include "wire/telegram.h"

namespace simtest {

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}
}  // namespace

Bytes getRequest(int32_t address, int32_t index, int32_t correlation) {
    return test_support::telegram(UC_OP_GET, address, index, correlation);
}

Bytes setRequest(int32_t address, int32_t index, int32_t value, int32_t correlation) {
    return test_support::telegram(UC_OP_SET, address, index, correlation, {value});
}

Bytes ackBytes(int32_t address, int32_t index, int32_t correlation, int32_t reason, int32_t value) {
    return test_support::telegram(UC_OP_ACK, address, index, correlation, {reason, value});
}

int32_t word(const Bytes& b, size_t i) { return b.size() >= 4 * i + 4 ? uc::get32(b.data(), 4 * i) : -12345; }

RawClient::~RawClient() { close(); }

bool RawClient::connect(const std::string& address, int port) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        close();
        return false;
    }
    return true;
}

bool RawClient::send(const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

Bytes RawClient::receiveSome(int timeoutMs) {
    if (fd_ < 0 || !readable(fd_, timeoutMs)) return {};
    uint8_t buffer[4096];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? Bytes(buffer, buffer + n) : Bytes();
}

bool RawClient::receiveExactly(size_t n, Bytes& out, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    out.clear();
    while (out.size() < n) {
        if (fd_ < 0 || !readable(fd_, remainingMs(deadline))) return false;
        uint8_t buffer[512];
        size_t want = std::min(sizeof buffer, n - out.size());
        ssize_t got = ::recv(fd_, buffer, want, 0);
        if (got <= 0) return false;
        out.insert(out.end(), buffer, buffer + got);
    }
    return true;
}

bool RawClient::receiveTelegram(Bytes& out, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Bytes header;
    if (!receiveExactly(4, header, timeoutMs)) return false;
    int32_t length = uc::get32(header.data(), 0);
    if (length < 16 || length > UC_MAX_LENGTH) return false;
    Bytes rest;
    if (!receiveExactly(static_cast<size_t>(length), rest, remainingMs(deadline))) return false;
    out = header;
    out.insert(out.end(), rest.begin(), rest.end());
    return true;
}

bool RawClient::receiveUntil(int32_t opcode, int32_t address, Bytes& out, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (receiveTelegram(out, remainingMs(deadline))) {
        if (word(out, 1) == opcode && word(out, 2) == address) return true;
    }
    return false;
}

bool RawClient::closedWithin(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (fd_ >= 0 && readable(fd_, remainingMs(deadline))) {
        uint8_t buffer[4096];
        if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
    }
    return false;
}

void RawClient::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::vector<ProbeReply> probe(const std::string& group, int port, const Bytes& payload, int waitMs) {
    std::vector<ProbeReply> replies;
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return replies;
    in_addr local{};
    inet_pton(AF_INET, "127.0.0.1", &local);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, group.c_str(), &to.sin_addr);
    if (::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
        static_cast<ssize_t>(payload.size())) {
        auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        while (readable(fd, remainingMs(deadline))) {
            uint8_t buffer[256];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) break;
            char text[INET_ADDRSTRLEN] = "";
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            replies.push_back({text, Bytes(buffer, buffer + n)});
        }
    }
    ::close(fd);
    return replies;
}

}  // namespace simtest
