// A lock with one condition that any number of threads wait on, woken all
// at once: the building block of waits that several threads share (the
// report wait of a positioner handle). Internal to the libraries, not
// exported. Timed waits run on a monotonic clock, so a change of the
// system time neither ends nor stretches them.
#ifndef THREADS_CONDITION_H
#define THREADS_CONDITION_H

struct ConditionRecord;

class Condition {
public:
    Condition();
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    void lock();
    void unlock();
    // Called with the lock held: releases it, sleeps until wakeAll() or for
    // at most ms milliseconds (ms >= 0), and takes the lock again. False
    // when the time ran out. It may also return early without a wake, so
    // callers test what they wait for again.
    bool wait(int ms);
    // Wakes every thread that waits now.
    void wakeAll();

private:
    ConditionRecord* record_;
};

// Holds the lock of a Condition for the lifetime of the guard.
class ConditionGuard {
public:
    explicit ConditionGuard(Condition& condition) : condition_(condition) { condition_.lock(); }
    ~ConditionGuard() { condition_.unlock(); }
    ConditionGuard(const ConditionGuard&) = delete;
    ConditionGuard& operator=(const ConditionGuard&) = delete;

private:
    Condition& condition_;
};

#endif
