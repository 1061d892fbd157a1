#include "net_peers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "telegram_bytes.h"
#include "wire/telegram.h"
#include "test_support.h"

namespace peers {

namespace {

sockaddr_in socketAddress(const char* dotted, uint16_t port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = ipv4(dotted);
    return a;
}

bool readable(int fd, int ms) {
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

uint32_t ipv4(const char* dotted) {
    in_addr a;
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

TcpPeer::TcpPeer(const char* address) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = socketAddress(address, 2101);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener_, 4) != 0) {
        close(listener_);
        listener_ = -1;
    }
}

TcpPeer::~TcpPeer() {
    closeConnection();
    if (listener_ >= 0) close(listener_);
}

bool TcpPeer::accept(int ms) {
    if (!readable(listener_, ms)) return false;
    closeConnection();
    connection_ = ::accept(listener_, nullptr, nullptr);
    int on = 1;
    setsockopt(connection_, IPPROTO_TCP, 1 /* TCP_NODELAY */, &on, sizeof on);
    return connection_ >= 0;
}

bool TcpPeer::send(const void* bytes, size_t n) {
    return ::send(connection_, bytes, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
}

std::vector<uint8_t> TcpPeer::read(size_t n, int ms) {
    std::vector<uint8_t> got;
    const long long end = nowMs() + ms;
    while (got.size() < n) {
        long long left = end - nowMs();
        if (left <= 0 || !readable(connection_, static_cast<int>(left))) break;
        uint8_t chunk[512];
        size_t want = n - got.size() < sizeof chunk ? n - got.size() : sizeof chunk;
        ssize_t r = recv(connection_, chunk, want, 0);
        if (r <= 0) break;
        got.insert(got.end(), chunk, chunk + r);
    }
    return got;
}

bool TcpPeer::quiet(int ms) { return !readable(connection_, ms); }

void TcpPeer::closeConnection() {
    if (connection_ >= 0) close(connection_);
    connection_ = -1;
}

std::vector<uint8_t> telegram(int32_t length, int32_t opcode, int32_t address, int32_t index,
                              int32_t correlation, const std::vector<int32_t>& data) {
    return test_support::telegramWithLength(length, opcode, address, index, correlation, data);
}

std::vector<uint8_t> ack(int32_t address, int32_t correlation, int32_t value) {
    return telegram(24, UC_OP_ACK, address, 0, correlation, {0, value});
}

std::vector<uint8_t> tell(int32_t address, int32_t value) {
    return telegram(20, UC_OP_TELL, address, 0, 0, {value});
}

ProbeResponder::ProbeResponder(const char* group, uint16_t port, std::vector<std::string> replyFrom, int repeat,
                               std::string reply, int gapMs)
    : repeat_(repeat), reply_(std::move(reply)), gapMs_(gapMs) {
    socket_ = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = socketAddress(group, port);
    ip_mreq join = {};
    join.imr_multiaddr.s_addr = ipv4(group);
    join.imr_interface.s_addr = ipv4("127.0.0.1");
    if (bind(socket_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        setsockopt(socket_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
        close(socket_);
        socket_ = -1;
        return;
    }
    for (const std::string& from : replyFrom) {
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local = socketAddress(from.c_str(), 0);
        if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) std::abort();
        senders_.push_back(s);
    }
    thread_ = std::thread([this] { serve(); });
}

ProbeResponder::~ProbeResponder() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int s : senders_) close(s);
    if (socket_ >= 0) close(socket_);
}

std::vector<ProbeResponder::Probe> ProbeResponder::probes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return probes_;
}

void ProbeResponder::serve() {
    while (!stop_) {
        if (!readable(socket_, 20)) continue;
        uint8_t datagram[256];
        sockaddr_in from = {};
        socklen_t fromLength = sizeof from;
        ssize_t n =
            recvfrom(socket_, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n < 0) continue;
        {
            std::lock_guard<std::mutex> guard(lock_);
            probes_.push_back({std::vector<uint8_t>(datagram, datagram + n), from.sin_addr.s_addr});
        }
        for (int i = 0; i < repeat_ && !stop_; ++i) {
            if (i > 0 && gapMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs_));
            for (int s : senders_)
                sendto(s, reply_.data(), reply_.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
    }
}

SilentNetwork::SilentNetwork() : ready_(false) {
    // Only ever inside a namespace made for the test.
    if (!test_support::inPrivateNetworkNamespace()) return;
    // A veth pair: frames for the peer's made-up hardware address reach the
    // other end, which drops them.
    ready_ = std::system(
                 "ip link add uc_silent type veth peer name uc_silent_end && "
                 "ip link set uc_silent up && ip link set uc_silent_end up && "
                 "ip addr add 10.213.0.1/24 dev uc_silent && "
                 "ip neigh add 10.213.0.2 lladdr 02:00:00:00:00:02 dev uc_silent nud permanent") == 0;
}

SilentNetwork::~SilentNetwork() {
    if (std::system("ip link del uc_silent 2>/dev/null") != 0 && ready_) std::abort();
}

ExtraAddress::ExtraAddress(const char* address) : address_(address), added_(false) {
    // Only ever touch the loopback of a namespace made for the test.
    if (!test_support::inPrivateNetworkNamespace()) return;
    std::string command = "ip addr add " + address_ + "/8 dev lo";
    added_ = std::system(command.c_str()) == 0;
}

ExtraAddress::~ExtraAddress() {
    if (!added_) return;
    std::string command = "ip addr del " + address_ + "/8 dev lo";
    if (std::system(command.c_str()) != 0) std::abort();
}

}  // namespace peers
