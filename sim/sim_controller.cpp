// The simulated controller: the model behind a mutex, a ticker thread for
// motion, periodic reports and timed sends, and the two host sides (the
// network server and the USB byte interface).
#include "sim_controller.h"

#include <time.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "controller_model.h"
#include "faults.h"
#include "wire/telegram.h"
#include "network_server.h"
#include "registers.h"
#include "sinks.h"
#include "socket_util.h"
#include "wire.h"

namespace sim {

namespace {
constexpr int kTickMs = 5;
constexpr int64_t kMaxFloodBurst = 2000;  // flood TELLs sent in one tick at most
// Pieces of split telegrams that one tick's flood may add: each piece is
// followed by a pause, and the ticker must stay free for the reports and
// for the faults being switched off.
constexpr int64_t kMaxSplitFloodPieces = 24;
constexpr int64_t kTellBytes = UC_HEADER_SIZE + 4;
constexpr uint8_t kJunkByte = 0xA5;

using Targets = std::vector<std::shared_ptr<Sink>>;

// How the telegrams of one delivery are shaped by the active faults.
struct Shaping {
    int splitBytes = 0;  // 0: whole telegrams
    int garbage = 0;     // junk bytes before the first telegram
};

std::vector<Bytes> shape(const std::vector<Bytes>& telegrams, const Shaping& s) {
    std::vector<Bytes> chunks;
    if (s.garbage > 0) chunks.emplace_back(static_cast<size_t>(s.garbage), kJunkByte);
    for (const Bytes& t : telegrams) {
        if (s.splitBytes <= 0) {
            chunks.push_back(t);
            continue;
        }
        for (size_t at = 0; at < t.size(); at += static_cast<size_t>(s.splitBytes)) {
            size_t end = std::min(t.size(), at + static_cast<size_t>(s.splitBytes));
            chunks.emplace_back(t.begin() + static_cast<std::ptrdiff_t>(at),
                                t.begin() + static_cast<std::ptrdiff_t>(end));
        }
    }
    return chunks;
}

void deliver(const Targets& targets, const std::vector<Bytes>& telegrams, const Shaping& s) {
    if (targets.empty() || (telegrams.empty() && s.garbage == 0)) return;
    std::vector<Bytes> chunks = shape(telegrams, s);
    int pause = s.splitBytes > 0 ? kSplitPauseMs : 0;
    for (const auto& t : targets) t->send(chunks, pause);
}

// "request SET 1107[0] := 1 at 1234.567890": what, opcode, register,
// index, data words, and the CLOCK_MONOTONIC time in seconds (the clock of
// Python's time.monotonic() and of std::chrono::steady_clock on Linux).
std::string telegramLine(const char* what, const Bytes& t) {
    static const char* const kOpcodes[] = {"SET", "GET", "STAT", "ACK", "TELL"};
    const int32_t opcode = uc::get32(t.data(), uc::kOpcodeOffset);
    std::string line = std::string(what) + " ";
    line += opcode >= 0 && opcode < 5 ? kOpcodes[opcode] : "opcode " + std::to_string(opcode);
    line += " " + std::to_string(uc::get32(t.data(), uc::kAddressOffset)) + "[" +
            std::to_string(uc::get32(t.data(), uc::kIndexOffset)) + "]";
    const size_t words = (t.size() - UC_HEADER_SIZE) / 4;
    for (size_t i = 0; i < words; ++i)
        line +=
            (i == 0 ? " := " : " ") + std::to_string(uc::get32(t.data(), uc::kDataOffset + uc::kWordSize * i));
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    char at[48];
    std::snprintf(at, sizeof at, " at %lld.%06ld", static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
    return line + at;
}

Controller::Received toReceived(const Bytes& t) {
    Controller::Received r{uc::get32(t.data(), uc::kOpcodeOffset),
                           uc::get32(t.data(), uc::kAddressOffset),
                           uc::get32(t.data(), uc::kIndexOffset),
                           uc::get32(t.data(), uc::kCorrelationOffset),
                           {},
                           {}};
    size_t words = (t.size() - UC_HEADER_SIZE) / 4;
    for (size_t i = 0; i < words; ++i)
        r.data.push_back(uc::get32(t.data(), uc::kDataOffset + uc::kWordSize * i));
    r.at = std::chrono::steady_clock::now();
    return r;
}
}  // namespace

struct Controller::Impl : RequestHandler {
    explicit Impl(Options o) : options(std::move(o)), model(options) {}

    // A send that waits for its time: a late ACK to one host, or a
    // capacity result to every host.
    struct Scheduled {
        std::shared_ptr<Sink> target;  // null: every host
        int capacityAxis = -1;         // >= 0: TELL 1385 of that axis, made when sent
        Bytes telegram;
    };

    struct FaultState {
        bool silent = false;
        int lateMs = 0;
        int splitBytes = 0;
        int pendingGarbage = 0;
        int floodRate = 0;
        bool closeOnNextRequest = false;
        Clock::time_point floodStart;
        int64_t floodSent = 0;
    };

    // RequestHandler
    Disposition onTelegram(const std::shared_ptr<Sink>& from, const Bytes& telegram) override;
    void onInputDropped(int drops, size_t bytes) override;
    void log(const std::string& line) override;

    void runTicker();
    Targets everyHost() const;
    Shaping takeShaping();  // caller holds mutex
    void record(const Bytes& telegram);
    void fireOneShot(const FaultInfo& info, int parameter);

    Options options;
    mutable std::mutex mutex;  // everything below except the sides' own state
    ControllerModel model;
    std::deque<Received> receivedLog;
    std::condition_variable receivedChanged;
    int malformed = 0;
    FaultState faults;
    std::multimap<Clock::time_point, Scheduled> scheduled;
    bool started = false;
    bool stopping = false;
    std::condition_variable tickerWake;
    std::thread ticker;
    // Held by the ticker from building its TELLs until they are sent, and by
    // sendTell/sendRaw: a report made from older register values never
    // follows a TELL sent after a setRegister(). Taken before mutex.
    std::mutex broadcastOrder;

    std::mutex logMutex;

    std::unique_ptr<NetworkServer> network;  // set before the threads start
    const std::shared_ptr<UsbSink> usb = std::make_shared<UsbSink>();
    std::mutex usbInputMutex;
    TelegramFramer usbFramer;
};

void Controller::Impl::log(const std::string& line) {
    if (!options.log) return;
    std::lock_guard<std::mutex> lock(logMutex);
    options.log(options.address + ": " + line);
}

Targets Controller::Impl::everyHost() const {
    Targets out;
    if (network) {
        for (auto& c : network->connections())
            if (c->alive()) out.push_back(c);
    }
    out.push_back(usb);
    return out;
}

Shaping Controller::Impl::takeShaping() {
    Shaping s{faults.splitBytes, faults.pendingGarbage};
    faults.pendingGarbage = 0;
    return s;
}

void Controller::Impl::record(const Bytes& telegram) {
    if (receivedLog.size() >= kMaxReceived) receivedLog.pop_front();
    receivedLog.push_back(toReceived(telegram));
    receivedChanged.notify_all();
}

void Controller::Impl::onInputDropped(int drops, size_t bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        malformed += drops;
    }
    log("dropped " + std::to_string(bytes) + " input bytes that do not frame a telegram");
}

RequestHandler::Disposition Controller::Impl::onTelegram(const std::shared_ptr<Sink>& from,
                                                         const Bytes& telegram) {
    if (options.logRequests) log(telegramLine("request", telegram));
    std::unique_lock<std::mutex> lock(mutex);
    record(telegram);
    if (faults.closeOnNextRequest && from != usb) {
        faults.closeOnNextRequest = false;
        lock.unlock();
        log("closing the connection on this request (fault close-connection)");
        return Disposition::Close;
    }
    RequestOutcome out = model.handle(telegram);
    if (out.capacityAxis >= 0) {
        scheduled.emplace(Clock::now() + std::chrono::milliseconds(kCapacityDelayMs),
                          Scheduled{nullptr, out.capacityAxis, {}});
    }
    if (!out.answered || faults.silent) {
        lock.unlock();
        if (out.syncRequested) from->quietFor(kSyncQuietMs);
        return Disposition::Keep;
    }
    if (faults.lateMs > 0) {
        scheduled.emplace(Clock::now() + std::chrono::milliseconds(faults.lateMs),
                          Scheduled{from, -1, std::move(out.reply)});
        lock.unlock();
        if (out.syncRequested) from->quietFor(kSyncQuietMs);
        return Disposition::Keep;
    }
    Shaping s = takeShaping();
    lock.unlock();
    deliver({from}, {out.reply}, s);
    if (out.syncRequested) from->quietFor(kSyncQuietMs);
    return Disposition::Keep;
}

void Controller::Impl::runTicker() {
    const auto interval = std::chrono::milliseconds(options.tellIntervalMs);
    std::unique_lock<std::mutex> order(broadcastOrder);
    std::unique_lock<std::mutex> lock(mutex);
    auto nextReport = Clock::now() + interval;
    while (!stopping) {
        const auto now = Clock::now();
        model.advance(now);
        std::vector<Bytes> broadcast;
        std::vector<std::pair<std::shared_ptr<Sink>, Bytes>> replies;
        if (options.tellIntervalMs > 0 && now >= nextReport) {
            if (!faults.silent) model.appendStatusTells(broadcast);
            nextReport += interval;
            if (nextReport <= now) nextReport = now + interval;
        }
        if (faults.floodRate > 0) {
            auto elapsedMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(now - faults.floodStart).count();
            int64_t due = elapsedMs * faults.floodRate / 1000 - faults.floodSent;
            // What a slow tick could not send is skipped, not caught up on
            // later in ever larger bursts.
            faults.floodSent += due;
            int64_t burst = kMaxFloodBurst;
            if (faults.splitBytes > 0) {
                const int64_t piecesPerTell = (kTellBytes + faults.splitBytes - 1) / faults.splitBytes;
                burst = std::max<int64_t>(1, kMaxSplitFloodPieces / piecesPerTell);
            }
            due = std::min(due, burst);
            int32_t position = model.registers().valueOr(reg::kPosition, 0, 0);
            for (int64_t i = 0; i < due && !faults.silent; ++i)
                broadcast.push_back(makeTell(reg::kPosition, 0, position));
        }
        while (!scheduled.empty() && scheduled.begin()->first <= now) {
            Scheduled item = std::move(scheduled.begin()->second);
            scheduled.erase(scheduled.begin());
            if (faults.silent) continue;
            if (item.capacityAxis >= 0)
                broadcast.push_back(model.capacityTell(item.capacityAxis));
            else
                replies.emplace_back(std::move(item.target), std::move(item.telegram));
        }
        if (!broadcast.empty() || !replies.empty()) {
            Shaping s = takeShaping();
            lock.unlock();
            for (auto& r : replies) {
                deliver({r.first}, {r.second}, s);
                s.garbage = 0;
            }
            if (options.logReports)
                for (const Bytes& t : broadcast) log(telegramLine("report", t));
            deliver(everyHost(), broadcast, s);
            lock.lock();
        }
        auto wake = Clock::now() + std::chrono::milliseconds(kTickMs);
        if (options.tellIntervalMs > 0) wake = std::min(wake, nextReport);
        if (!scheduled.empty()) wake = std::min(wake, scheduled.begin()->first);
        order.unlock();
        tickerWake.wait_until(lock, wake, [this] { return stopping; });
        lock.unlock();
        order.lock();
        lock.lock();
    }
}

void Controller::Impl::fireOneShot(const FaultInfo& info, int parameter) {
    Bytes telegram;
    switch (info.fault) {
        case Fault::OutOfStepTell: telegram = makeTell(reg::kSync, 0, 0); break;
        case Fault::LengthTooLarge:
            telegram = makeTell(reg::kPosition, 0, 0);
            uc::put32(telegram.data(), uc::kLengthOffset, parameter);
            break;
        case Fault::BadOpcode: telegram = makeHeader(parameter, reg::kPosition, 0, 0); break;
        default: return;
    }
    Shaping s;
    {
        std::lock_guard<std::mutex> lock(mutex);
        s = takeShaping();
    }
    deliver(everyHost(), {telegram}, s);
}

Controller::Controller(Options options) : impl_(new Impl(std::move(options))) {}

Controller::~Controller() { stop(); }

bool Controller::start() {
    Impl& m = *impl_;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        if (m.started) return false;
        m.started = true;
    }
    if (m.options.network) {
        in_addr address{}, interface {};
        if (!parseIpv4(m.options.address, &address) || !parseIpv4(m.options.multicastInterface, &interface)) {
            m.log("not an IPv4 address");
            return false;
        }
        ProbeResponder::Config probes{address, interface, m.options.answerAddp, m.options.answerVelorix};
        auto network = std::make_unique<NetworkServer>(address, probes, m);
        if (!network->start()) return false;
        m.network = std::move(network);
    }
    m.ticker = std::thread(&Impl::runTicker, &m);
    return true;
}

void Controller::stop() {
    Impl& m = *impl_;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        m.stopping = true;
    }
    m.tickerWake.notify_all();
    if (m.ticker.joinable()) m.ticker.join();
    if (m.network) m.network->stop();
    m.usb->close();
}

const std::string& Controller::address() const { return impl_->options.address; }

void Controller::setRegister(int32_t address, int32_t index, int32_t value) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->model.registers().set(address, index, value);
}

bool Controller::registerValue(int32_t address, int32_t index, int32_t* value) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->model.registers().get(address, index, value);
}

std::vector<Controller::Received> Controller::received() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return std::vector<Received>(impl_->receivedLog.begin(), impl_->receivedLog.end());
}

void Controller::clearReceived() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->receivedLog.clear();
}

bool Controller::waitForReceived(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->receivedChanged.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                           [&] { return impl_->receivedLog.size() >= count; });
}

int Controller::malformedInputs() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->malformed;
}

void Controller::sendTell(int32_t address, int32_t index, int32_t value) {
    std::lock_guard<std::mutex> order(impl_->broadcastOrder);
    deliver(impl_->everyHost(), {makeTell(address, index, value)}, Shaping{});
}

void Controller::sendRaw(const void* bytes, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    std::lock_guard<std::mutex> order(impl_->broadcastOrder);
    deliver(impl_->everyHost(), {Bytes(p, p + n)}, Shaping{});
}

void Controller::setFault(Fault fault, bool on, int parameter) {
    Impl& m = *impl_;
    const FaultInfo& info = faultInfo(fault);
    const int p = effectiveParameter(info, parameter);
    m.log(std::string("fault ") + info.name + (on ? " on, parameter " + std::to_string(p) : " off"));
    bool hangUpNow = false;
    {
        std::lock_guard<std::mutex> lock(m.mutex);
        Impl::FaultState& f = m.faults;
        switch (fault) {
            case Fault::Silent: f.silent = on; break;
            case Fault::Late: f.lateMs = on ? p : 0; break;
            case Fault::SplitSegments: f.splitBytes = on ? p : 0; break;
            case Fault::Garbage: f.pendingGarbage = on ? p : 0; break;
            case Fault::TellFlood:
                f.floodRate = on ? p : 0;
                f.floodStart = Clock::now();
                f.floodSent = 0;
                break;
            case Fault::CloseConnection:
                f.closeOnNextRequest = on && p == 1;
                hangUpNow = on && p == 0;
                break;
            case Fault::OutOfStepTell:
            case Fault::LengthTooLarge:
            case Fault::BadOpcode: break;
        }
    }
    if (hangUpNow && m.network) m.network->hangUpAll();
    if (on) m.fireOneShot(info, p);
}

std::vector<std::vector<uint8_t>> Controller::probesReceived(bool addp) const {
    if (!impl_->network) return {};
    return impl_->network->probes(addp);
}

int Controller::connectionsAccepted() const { return impl_->network ? impl_->network->accepted() : 0; }

int Controller::connectionsOpen() const {
    if (!impl_->network) return 0;
    int open = 0;
    for (auto& c : impl_->network->connections()) open += c->alive() ? 1 : 0;
    return open;
}

void Controller::usbWrite(const void* bytes, size_t n) {
    Impl& m = *impl_;
    std::lock_guard<std::mutex> lock(m.usbInputMutex);
    std::vector<Bytes> telegrams;
    const int drops = m.usbFramer.drops();
    const size_t dropped = m.usbFramer.droppedBytes();
    m.usbFramer.feed(static_cast<const uint8_t*>(bytes), n, Clock::now(), telegrams);
    if (m.usbFramer.drops() != drops)
        m.onInputDropped(m.usbFramer.drops() - drops, m.usbFramer.droppedBytes() - dropped);
    for (const Bytes& t : telegrams) m.onTelegram(m.usb, t);
}

bool Controller::usbRead(std::vector<uint8_t>& transfer, int timeoutMs, size_t maxBytes) {
    return impl_->usb->read(transfer, timeoutMs, maxBytes);
}

void Controller::usbFlush() { impl_->usb->flush(); }

}  // namespace sim
