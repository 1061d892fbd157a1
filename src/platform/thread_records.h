// Private records behind IThread, IMutex and IWaitCondition, holding the
// operating-system objects. Each record is reference counted so that
// copies share it and the last holder releases it exactly once.
#ifndef PLATFORM_THREAD_RECORDS_H
#define PLATFORM_THREAD_RECORDS_H

#include <atomic>

#if defined(_WIN32)
#include "platform/windows/thread_records.h"
#else
#include "platform/linux/thread_records.h"
#endif

template <typename Record>
Record* recordShare(Record* record) {
    if (record) record->refs.fetch_add(1, std::memory_order_relaxed);
    return record;
}

template <typename Record>
void recordRelease(Record* record) {
    if (record && record->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete record;
}

#endif
