// Records of the threading classes on Windows: an unnamed mutex, an
// auto-reset event, and a thread handle with its id.
#ifndef PLATFORM_WINDOWS_THREAD_RECORDS_H
#define PLATFORM_WINDOWS_THREAD_RECORDS_H

#include <windows.h>

#include <atomic>

struct MutexRecord {
    MutexRecord();
    ~MutexRecord();
    std::atomic<int> refs{1};
    HANDLE mutex;  // recursive by nature; null when it could not be made
};

struct EventRecord {
    EventRecord();
    ~EventRecord();
    std::atomic<int> refs{1};
    HANDLE event;  // auto-reset; null when it could not be made
};

struct ThreadRecord {
    ThreadRecord();
    ~ThreadRecord();
    std::atomic<int> refs{1};
    CRITICAL_SECTION lock;    // guards handle and id
    HANDLE handle = nullptr;  // null until a start succeeded
    DWORD id = 0;
};

#endif
