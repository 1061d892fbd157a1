// Condition on POSIX: a mutex and a condition variable whose timed waits
// run on CLOCK_MONOTONIC (platform/linux/monotonic_condition.h).
#include <mutex>

#include "platform/linux/monotonic_condition.h"
#include "threads/condition.h"

struct ConditionRecord {
    std::mutex mutex;
    MonotonicCondition changed;
};

Condition::Condition() : record_(new ConditionRecord) {}
Condition::~Condition() { delete record_; }

void Condition::lock() { record_->mutex.lock(); }
void Condition::unlock() { record_->mutex.unlock(); }

bool Condition::wait(int ms) {
    // The caller holds the lock before and after: adopt it for the wait only.
    std::unique_lock<std::mutex> guard(record_->mutex, std::adopt_lock);
    const bool woken = record_->changed.waitOnceFor(guard, ms < 0 ? 0 : ms);
    guard.release();
    return woken;
}

void Condition::wakeAll() { record_->changed.notifyAll(); }
