// IThread on Windows: CreateThread with the default stack size. The thread
// is created suspended so that its handle and id are in the record before
// it runs (isCurrentThread inside run() depends on the id).
#include <cstdio>
#include <cstring>

#include "ithreads.h"
#include "platform/thread_records.h"

// GCC exports the virtual table and the type information of IThread with
// the class, but not the type information's name; it is exported here (by
// the linker directive that dllexport itself produces), so that dravex
// exports the same names on both systems.
__asm__(".section .drectve\n\t.ascii \" -export:\\\"_ZTS7IThread\\\",data\"\n\t.text");

namespace {

struct StartPacket {
    IThread* thread;
    ThreadRecord* record;  // one reference held by the running thread
};

DWORD WINAPI threadEntry(LPVOID argument) {
    StartPacket packet = *static_cast<StartPacket*>(argument);
    delete static_cast<StartPacket*>(argument);
    // The object may delete itself inside run(); only the record is
    // touched afterwards.
    packet.thread->run();
    recordRelease(packet.record);
    return 0;
}

// The system's text for an error number, without its line end.
void errorText(DWORD error, char* text, DWORD size) {
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                             text, size, nullptr);
    if (n == 0) std::snprintf(text, size, "error %lu", static_cast<unsigned long>(error));
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ')) text[--n] = '\0';
}

// The thread handle of the record (null if never started).
HANDLE handleOf(ThreadRecord* record, DWORD* id = nullptr) {
    EnterCriticalSection(&record->lock);
    HANDLE h = record->handle;
    if (id) *id = record->id;
    LeaveCriticalSection(&record->lock);
    return h;
}

bool stillActive(HANDLE h) {
    DWORD code = 0;
    return h && GetExitCodeThread(h, &code) && code == STILL_ACTIVE;
}

}  // namespace

ThreadRecord::ThreadRecord() { InitializeCriticalSection(&lock); }

ThreadRecord::~ThreadRecord() {
    if (handle) CloseHandle(handle);  // does not stop the thread
    DeleteCriticalSection(&lock);
}

void IThread::start() {
    auto* packet = new StartPacket{this, recordShare(record_)};
    ThreadRecord* record = record_;
    EnterCriticalSection(&record->lock);
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, 0, threadEntry, packet, CREATE_SUSPENDED, &id);
    if (!h) {
        const DWORD error = GetLastError();
        LeaveCriticalSection(&record->lock);
        recordRelease(packet->record);
        delete packet;
        char text[256];
        errorText(error, text, sizeof text);
        std::fprintf(stderr, "CreateThread: %s\n", text);
        return;
    }
    if (record->handle) CloseHandle(record->handle);  // an earlier, ended start
    record->handle = h;
    record->id = id;
    LeaveCriticalSection(&record->lock);
    // Nothing of this object is touched once the thread runs: run() may
    // delete it. The record outlives the thread's own use of it.
    ResumeThread(h);
}

void IThread::wait() {
    HANDLE h = handleOf(record_);
    if (h) WaitForSingleObject(h, INFINITE);  // never started: nothing to wait for
}

bool IThread::finished() const { return !stillActive(handleOf(record_)); }

bool IThread::isCurrentThread() const {
    DWORD id = 0;
    HANDLE h = handleOf(record_, &id);
    return id == GetCurrentThreadId() && stillActive(h);
}

void IThread::sleep(unsigned long ms) { Sleep(ms); }
