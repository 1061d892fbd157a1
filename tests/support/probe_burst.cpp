#include "probe_burst.h"

#include <arpa/inet.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "probe_responder.h"
#include "socket_util.h"

namespace test_support {
namespace {

constexpr const char* kAddpGroup = "224.0.5.128";
constexpr uint16_t kAddpPort = 2362;
constexpr const char* kMulticastInterface = "127.0.0.1";
constexpr size_t kDatagramLimit = 2048;

int firstAllowedCpu() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return 0;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &allowed)) return cpu;
    return 0;
}

int joinedGroupSocket() {
    in_addr group{}, interface{};
    sim::parseIpv4(kAddpGroup, &group);
    sim::parseIpv4(kMulticastInterface, &interface);
    int fd = sim::boundUdpSocket(group, kAddpPort, true);
    if (fd < 0) return -1;
    ip_mreq membership{};
    membership.imr_multiaddr = group;
    membership.imr_interface = interface;
    if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) != 0) sim::closeFd(fd);
    return fd;
}

}  // namespace

ProbeBurst::ProbeBurst(std::vector<in_addr> controllers) : controllers_(std::move(controllers)) {}

ProbeBurst::~ProbeBurst() { stop(); }

bool ProbeBurst::start() {
    if (thread_.joinable()) return false;
    groupFd_ = joinedGroupSocket();
    bool open = groupFd_ >= 0 && pipe(wakeFds_) == 0;
    for (const in_addr& address : controllers_) {
        if (!open) break;
        replyFds_.push_back(sim::boundUdpSocket(address, 0, false));
        open = replyFds_.back() >= 0;
    }
    if (!open) {
        closeAll();
        return false;
    }
    cpu_ = firstAllowedCpu();
    thread_ = std::thread([this] { run(); });
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu_, &one);
    pthread_setaffinity_np(thread_.native_handle(), sizeof one, &one);
    // The lowest real-time priority is enough: it runs before any ordinary
    // thread on its CPU, the scanning one included.
    sched_param lowestRealTime{};
    lowestRealTime.sched_priority = sched_get_priority_min(SCHED_FIFO);
    realTime_ = pthread_setschedparam(thread_.native_handle(), SCHED_FIFO, &lowestRealTime) == 0;
    return true;
}

void ProbeBurst::stop() {
    if (thread_.joinable()) {
        const char stopByte = 0;
        const ssize_t written = write(wakeFds_[1], &stopByte, 1);  // an empty open pipe takes it
        (void)written;
        thread_.join();
    }
    closeAll();
}

void ProbeBurst::run() {
    for (;;) {
        pollfd fds[2] = {{wakeFds_[0], POLLIN, 0}, {groupFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[0].revents) return;
        if (!(fds[1].revents & POLLIN)) continue;
        uint8_t buffer[kDatagramLimit];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t n = recvfrom(groupFd_, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from),
                             &fromLength);
        if (n > 0 && sim::ProbeResponder::isAddpProbe(sim::Bytes(buffer, buffer + n))) answer(from);
    }
}

void ProbeBurst::answer(const sockaddr_in& prober) {
    for (size_t i = 0; i < replyFds_.size(); ++i) {
        const sim::Bytes reply = sim::ProbeResponder::addpReply(controllers_[i]);
        sendto(replyFds_[i], reply.data(), reply.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&prober),
               sizeof prober);
    }
    ++bursts_;
}

void ProbeBurst::closeAll() {
    for (int& fd : replyFds_) sim::closeFd(fd);
    replyFds_.clear();
    sim::closeFd(groupFd_);
    sim::closeFd(wakeFds_[0]);
    sim::closeFd(wakeFds_[1]);
}

PinnedToCpu::PinnedToCpu(int cpu) {
    CPU_ZERO(&previous_);
    if (sched_getaffinity(0, sizeof previous_, &previous_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pinned_ = sched_setaffinity(0, sizeof one, &one) == 0;
}

PinnedToCpu::~PinnedToCpu() {
    if (pinned_) sched_setaffinity(0, sizeof previous_, &previous_);
}

}  // namespace test_support
