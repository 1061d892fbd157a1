// Scoped lock of an IMutex: locked for the lifetime of the guard, released
// on every path out of the scope.
#ifndef THREADS_MUTEX_GUARD_H
#define THREADS_MUTEX_GUARD_H

#include "ithreads.h"

class MutexGuard {
public:
    explicit MutexGuard(IMutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexGuard() { mutex_.unlock(); }
    MutexGuard(const MutexGuard&) = delete;
    MutexGuard& operator=(const MutexGuard&) = delete;

private:
    IMutex& mutex_;
};

#endif
