// Condition on Windows: a slim reader/writer lock, taken exclusively, and
// a condition variable.
#include <windows.h>

#include "threads/condition.h"

struct ConditionRecord {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
};

Condition::Condition() : record_(new ConditionRecord) {}
Condition::~Condition() { delete record_; }

void Condition::lock() { AcquireSRWLockExclusive(&record_->lock); }
void Condition::unlock() { ReleaseSRWLockExclusive(&record_->lock); }

bool Condition::wait(int ms) {
    const DWORD limit = ms < 0 ? 0 : static_cast<DWORD>(ms);
    if (SleepConditionVariableSRW(&record_->changed, &record_->lock, limit, 0)) return true;
    return GetLastError() != ERROR_TIMEOUT;
}

void Condition::wakeAll() { WakeAllConditionVariable(&record_->changed); }
