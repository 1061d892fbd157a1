// Records of the threading classes on POSIX: a recursive pthread mutex, a
// latched flag with a condition variable for the auto-reset event, and a
// detached pthread whose end is published in the record.
#ifndef PLATFORM_LINUX_THREAD_RECORDS_H
#define PLATFORM_LINUX_THREAD_RECORDS_H

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "monotonic_condition.h"

struct MutexRecord {
    MutexRecord();
    ~MutexRecord();
    std::atomic<int> refs{1};
    pthread_mutex_t mutex;
};

struct EventRecord {
    std::atomic<int> refs{1};
    std::mutex lock;
    MonotonicCondition changed;
    bool signalled = false;
};

struct ThreadRecord {
    std::atomic<int> refs{1};
    std::mutex lock;
    std::condition_variable ended;
    bool started = false;
    bool done = false;
    pthread_t id{};
};

#endif
