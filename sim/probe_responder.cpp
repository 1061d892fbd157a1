#include "probe_responder.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

#include "sim_controller.h"
#include "socket_util.h"

namespace sim {

namespace {
constexpr size_t kDatagramLimit = 2048;  // longer datagrams are cut
const uint8_t kAddpProbe[] = {0x44, 0x49, 0x47, 0x49, 0x00, 0x01, 0x00,
                              0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const char kVelorixProbe[] = "Velorix discovery";  // sent with its zero byte
const char kVelorixReply[] = "Velorix controller";
}  // namespace

ProbeResponder::ProbeResponder(Config config, std::function<void(const std::string&)> log)
    : config_(config),
      log_(std::move(log)), groups_{{"239.255.170.171", 7071, false, -1}, {"224.0.5.128", 2362, true, -1}} {}

ProbeResponder::~ProbeResponder() { close(); }

Bytes ProbeResponder::addpProbe() { return Bytes(kAddpProbe, kAddpProbe + sizeof kAddpProbe); }

Bytes ProbeResponder::velorixProbe() { return Bytes(kVelorixProbe, kVelorixProbe + sizeof kVelorixProbe); }

bool ProbeResponder::isAddpProbe(const Bytes& d) {
    // "DIGI", configuration request (type 1); any MAC selector.
    return d.size() >= sizeof kAddpProbe && std::memcmp(d.data(), kAddpProbe, 6) == 0;
}

bool ProbeResponder::isVelorixProbe(const Bytes& d) { return d == velorixProbe(); }

Bytes ProbeResponder::addpReply(in_addr controller) {
    // ADDP configuration reply (type 2) with a MAC field (type 0x01) made
    // from the address and an IP field (type 0x02).
    const uint8_t* ip = reinterpret_cast<const uint8_t*>(&controller.s_addr);
    Bytes r = {0x44, 0x49, 0x47,  0x49,  0x00,  0x02, 0x00, 14,    0x01,  6,     0x00,
               0x40, 0x9D, ip[1], ip[2], ip[3], 0x02, 4,    ip[0], ip[1], ip[2], ip[3]};
    return r;
}

Bytes ProbeResponder::velorixReply() { return Bytes(kVelorixReply, kVelorixReply + sizeof kVelorixReply); }

int ProbeResponder::openGroup(const Group& g) const {
    in_addr group{};
    parseIpv4(g.group, &group);
    int fd = boundUdpSocket(group, g.port, true);
    if (fd < 0) return -1;
    ip_mreq membership{};
    membership.imr_multiaddr = group;
    membership.imr_interface = config_.multicastInterface;
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) closeFd(fd);
    return fd;
}

bool ProbeResponder::open() {
    for (Group& g : groups_) {
        g.fd = openGroup(g);
        if (g.fd < 0) {
            if (log_) log_(std::string("cannot open the probe socket of ") + g.group);
            close();
            return false;
        }
    }
    replyFd_ = boundUdpSocket(config_.controller, 0, false);
    if (replyFd_ < 0) {
        if (log_) log_("cannot bind the probe reply socket");
        close();
        return false;
    }
    return true;
}

void ProbeResponder::close() {
    for (Group& g : groups_) closeFd(g.fd);
    closeFd(replyFd_);
}

std::vector<int> ProbeResponder::fds() const {
    std::vector<int> out;
    for (const Group& g : groups_)
        if (g.fd >= 0) out.push_back(g.fd);
    return out;
}

void ProbeResponder::handle(int fd) {
    for (const Group& g : groups_) {
        if (g.fd != fd) continue;
        uint8_t buffer[kDatagramLimit];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                               &fromLength);
        if (n < 0) return;
        Bytes datagram(buffer, buffer + n);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::deque<Bytes>& kept = received_[g.addp ? 1 : 0];
            if (kept.size() >= kMaxProbesKept) kept.pop_front();
            kept.push_back(datagram);
        }
        bool probe = g.addp ? isAddpProbe(datagram) : isVelorixProbe(datagram);
        bool answer = g.addp ? config_.answerAddp : config_.answerVelorix;
        if (log_)
            log_(std::string(g.addp ? "ADDP" : "Velorix") + (probe ? " probe" : " datagram") + " from " +
                 describe(from) + (probe && answer ? ", answered" : ", not answered"));
        if (!probe || !answer) return;
        Bytes reply = g.addp ? addpReply(config_.controller) : velorixReply();
        ::sendto(replyFd_, reply.data(), reply.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                 sizeof from);
        return;
    }
}

std::vector<Bytes> ProbeResponder::received(bool addp) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::deque<Bytes>& kept = received_[addp ? 1 : 0];
    return std::vector<Bytes>(kept.begin(), kept.end());
}

}  // namespace sim
