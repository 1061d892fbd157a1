// Private records behind IThread, IMutex and IWaitCondition. Each record
// is reference counted so that copies share it and the last holder
// releases it exactly once.
#ifndef THREADS_RECORDS_H
#define THREADS_RECORDS_H

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

template <typename Record>
Record* recordShare(Record* record) {
    if (record) record->refs.fetch_add(1, std::memory_order_relaxed);
    return record;
}

template <typename Record>
void recordRelease(Record* record) {
    if (record && record->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete record;
}

struct MutexRecord {
    MutexRecord();
    ~MutexRecord();
    std::atomic<int> refs{1};
    pthread_mutex_t mutex;
};

struct EventRecord {
    std::atomic<int> refs{1};
    std::mutex lock;
    std::condition_variable changed;
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
