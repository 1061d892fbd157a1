#include "fault_injector.h"

#include <chrono>

#include "faults.h"

namespace soak {
namespace {

using Fault = sim::Controller::Fault;

// What is injected and how: the parameter and, for switches, how long the
// fault stays on. Weights make the costly faults (disconnects, silences)
// rarer than the cheap ones.
struct FaultPlan {
    Fault fault;
    int weight;
    int minParameter, maxParameter;
    int minOnMs, maxOnMs;  // switches only
};
constexpr FaultPlan kPlans[] = {
    {Fault::Garbage, 6, 1, 40, 0, 0},
    {Fault::OutOfStepTell, 2, 0, 0, 0, 0},
    {Fault::LengthTooLarge, 3, 509, 70000, 0, 0},
    {Fault::BadOpcode, 3, 0, 6, 0, 0},
    {Fault::CloseConnection, 2, 0, 1, 0, 0},
    {Fault::Silent, 2, 0, 0, 200, 3000},
    {Fault::Late, 3, 50, 1500, 500, 3000},
    {Fault::SplitSegments, 3, 1, 12, 200, 2000},
    {Fault::TellFlood, 3, 1000, 20000, 200, 1500},
};
constexpr int kMinGapMs = 5, kMaxGapMs = 60;  // between two injections

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// xorshift32: a reproducible sequence from the run's seed.
uint32_t next(uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}
int between(uint32_t& s, int low, int high) {
    return low + static_cast<int>(next(s) % static_cast<uint32_t>(high - low + 1));
}

const FaultPlan& pick(uint32_t& s) {
    int total = 0;
    for (const FaultPlan& p : kPlans) total += p.weight;
    int r = between(s, 0, total - 1);
    for (const FaultPlan& p : kPlans) {
        if (r < p.weight) return p;
        r -= p.weight;
    }
    return kPlans[0];
}

}  // namespace

FaultInjector::FaultInjector(std::vector<FaultTarget> targets, uint32_t seed)
    : targets_(std::move(targets)), seed_(seed ? seed : 1) {}

FaultInjector::~FaultInjector() { stop(); }

void FaultInjector::start() {
    if (thread_.joinable() || targets_.empty()) return;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
}

void FaultInjector::stop() {
    stop_ = true;
    if (!thread_.joinable()) return;
    thread_.join();
    pending_.clear();
    for (const FaultTarget& t : targets_)
        for (const FaultPlan& p : kPlans) t.controller->setFault(p.fault, false);
}

std::map<std::string, int> FaultInjector::counts() const {
    std::lock_guard<std::mutex> lock(countsLock_);
    return counts_;
}

void FaultInjector::run() {
    uint32_t rng = seed_;
    while (!stop_) {
        const long long now = nowMs();
        turnOffExpired(now);
        injectOne(rng, now);
        std::this_thread::sleep_for(std::chrono::milliseconds(between(rng, kMinGapMs, kMaxGapMs)));
    }
}

void FaultInjector::injectOne(uint32_t& rng, long long now) {
    const size_t target = static_cast<size_t>(between(rng, 0, static_cast<int>(targets_.size()) - 1));
    const FaultPlan& plan = pick(rng);
    const FaultTarget& t = targets_[target];
    if (t.usb && (plan.fault == Fault::CloseConnection || plan.fault == Fault::SplitSegments)) return;
    const int parameter = between(rng, plan.minParameter, plan.maxParameter);
    const sim::FaultInfo& info = sim::faultInfo(plan.fault);
    for (const PendingOff& p : pending_) {
        if (p.controller != target) continue;
        if (p.fault == plan.fault || t.usb) return;  // already on; USB takes one fault at a time
    }
    if (info.isSwitch) {
        pending_.push_back({target, plan.fault, now + between(rng, plan.minOnMs, plan.maxOnMs)});
    }
    t.controller->setFault(plan.fault, true, parameter);
    std::lock_guard<std::mutex> lock(countsLock_);
    ++counts_[info.name];
}

void FaultInjector::turnOffExpired(long long now) {
    for (size_t i = 0; i < pending_.size();) {
        if (pending_[i].offAtMs <= now) {
            targets_[pending_[i].controller].controller->setFault(pending_[i].fault, false);
            pending_[i] = pending_.back();
            pending_.pop_back();
        } else {
            ++i;
        }
    }
}

}  // namespace soak
