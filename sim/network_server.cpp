#include "network_server.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "sim_controller.h"
#include "socket_util.h"

namespace sim {

namespace {
constexpr uint16_t kControllerPort = 2101;
constexpr int kPollMs = 100;  // also the granularity of stalled-input drops
constexpr size_t kReadSlice = 4096;
}  // namespace

NetworkServer::NetworkServer(in_addr address, ProbeResponder::Config probes, RequestHandler& handler)
    : address_(address), handler_(handler),
      probes_(probes, [&handler](const std::string& line) { handler.log(line); }) {}

NetworkServer::~NetworkServer() { stop(); }

bool NetworkServer::openListener() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0) return false;
    int on = 1;
    sockaddr_in sa = socketAddress(address_, kControllerPort);
    if (setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(listenFd_, 16) != 0) {
        handler_.log("cannot listen on " + describe(sa));
        closeFd(listenFd_);
        return false;
    }
    return true;
}

bool NetworkServer::start() {
    if (thread_.joinable()) return false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0 || !openListener() || !probes_.open()) {
        closeFd(listenFd_);
        closeFd(wakeFd_);
        probes_.close();
        return false;
    }
    thread_ = std::thread(&NetworkServer::run, this);
    return true;
}

void NetworkServer::stop() {
    if (thread_.joinable()) {
        uint64_t one = 1;
        ssize_t ignored = ::write(wakeFd_, &one, sizeof one);
        (void)ignored;
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& c : connections_) c->sink->hangUp();
        connections_.clear();
    }
    closeFd(listenFd_);
    closeFd(wakeFd_);
    probes_.close();
}

std::vector<std::shared_ptr<TcpSink>> NetworkServer::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<TcpSink>> out;
    for (const auto& c : connections_) out.push_back(c->sink);
    return out;
}

void NetworkServer::hangUpAll() {
    // Connections still waiting in the listen queue are open for their
    // host too: take and close them as well. Accepting happens under the
    // same lock, so no connection slips past.
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& c : connections_) c->sink->hangUp();
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) break;
        ++accepted_;
        ::close(fd);
    }
}

void NetworkServer::run() {
    const std::vector<int> probeFds = probes_.fds();
    std::vector<pollfd> fds;
    std::vector<Connection*> served;
    for (;;) {
        fds.clear();
        served.clear();
        fds.push_back({wakeFd_, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        for (int fd : probeFds) fds.push_back({fd, POLLIN, 0});
        {
            // Only this thread adds or removes connections, so the pointers
            // stay valid until it changes the list itself.
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& c : connections_) {
                served.push_back(c.get());
                fds.push_back({c->sink->fd(), POLLIN, 0});
            }
        }
        int ready = ::poll(fds.data(), fds.size(), kPollMs);
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        if (fds[1].revents & POLLIN) acceptOne();
        for (size_t i = 0; i < probeFds.size(); ++i)
            if (fds[2 + i].revents & POLLIN) probes_.handle(probeFds[i]);
        const size_t first = 2 + probeFds.size();
        auto now = Clock::now();
        for (size_t i = 0; i < served.size(); ++i) {
            Connection& c = *served[i];
            bool keep = c.sink->alive();
            if (keep && fds[first + i].revents) keep = serve(c);
            if (!keep) {
                remove(c.sink, "closed");
                continue;
            }
            int drops = c.framer.drops();
            size_t bytes = c.framer.droppedBytes();
            c.framer.expire(now);
            reportDrops(c, drops, bytes);
        }
    }
}

void NetworkServer::acceptOne() {
    sockaddr_in peer{};
    std::shared_ptr<TcpSink> oldest;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        socklen_t length = sizeof peer;
        int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0) return;
        int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        timeval limit{kSendTimeoutMs / 1000, (kSendTimeoutMs % 1000) * 1000};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        auto c = std::make_unique<Connection>();
        c->sink = std::make_shared<TcpSink>(fd, describe(peer));
        ++accepted_;
        size_t open = 0;
        for (const auto& other : connections_) {
            if (!other->sink->alive()) continue;
            if (!oldest) oldest = other->sink;
            ++open;
        }
        if (open < static_cast<size_t>(kMaxConnections)) oldest.reset();
        connections_.push_back(std::move(c));
    }
    // The I/O loop removes it; it may still be in the loop's snapshot.
    if (oldest) {
        oldest->hangUp();
        handler_.log("connection " + oldest->peer() + " replaced by a newer one");
    }
    handler_.log("connection from " + describe(peer));
}

bool NetworkServer::serve(Connection& c) {
    uint8_t buffer[kReadSlice];
    ssize_t n = ::recv(c.sink->fd(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    if (n == 0) return false;
    int drops = c.framer.drops();
    size_t bytes = c.framer.droppedBytes();
    std::vector<Bytes> telegrams;
    c.framer.feed(buffer, static_cast<size_t>(n), Clock::now(), telegrams);
    reportDrops(c, drops, bytes);
    std::shared_ptr<Sink> from = c.sink;
    for (const Bytes& t : telegrams) {
        if (handler_.onTelegram(from, t) == RequestHandler::Disposition::Close) return false;
    }
    return true;
}

void NetworkServer::reportDrops(Connection& c, int dropsBefore, size_t bytesBefore) {
    if (c.framer.drops() == dropsBefore) return;
    handler_.onInputDropped(c.framer.drops() - dropsBefore, c.framer.droppedBytes() - bytesBefore);
}

void NetworkServer::remove(const std::shared_ptr<TcpSink>& sink, const char* why) {
    sink->hangUp();
    std::unique_ptr<Connection> removed;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find_if(connections_.begin(), connections_.end(),
                               [&](const std::unique_ptr<Connection>& c) { return c->sink == sink; });
        if (it == connections_.end()) return;
        removed = std::move(*it);
        connections_.erase(it);
    }
    handler_.log("connection " + sink->peer() + " " + why);
}

}  // namespace sim
