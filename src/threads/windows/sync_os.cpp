// IMutex and IWaitCondition on Windows: an unnamed mutex (recursive for
// its owning thread) and an unnamed auto-reset event.
#include "ithreads.h"
#include "platform/thread_records.h"

MutexRecord::MutexRecord() : mutex(CreateMutexA(nullptr, FALSE, nullptr)) {}
MutexRecord::~MutexRecord() {
    if (mutex) CloseHandle(mutex);
}

// An abandoned mutex (its owner ended) is owned by the caller as well.
void IMutex::lock() { WaitForSingleObject(record_->mutex, INFINITE); }
void IMutex::unlock() { ReleaseMutex(record_->mutex); }

EventRecord::EventRecord() : event(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
EventRecord::~EventRecord() {
    if (event) CloseHandle(event);
}

bool IWaitCondition::wait(int ms) {
    const DWORD limit = ms < 0 ? INFINITE : static_cast<DWORD>(ms);
    return WaitForSingleObject(record_->event, limit) == WAIT_OBJECT_0;
}

bool IWaitCondition::wakeOne() {
    SetEvent(record_->event);
    return true;
}
