// The trace records, their set-up and the include/exclude list files.
#include <atomic>
#include <iterator>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "trace_internal.h"
#include "threads/mutex_guard.h"

namespace {

// This library's own default record and the pointer to the record in use.
TraceParams defaultRecord{nullptr, {0}, 0, 0, IMutex(), true, TraceAddressSet()};
std::atomic<TraceParams*> currentRecord{nullptr};

constexpr const char* kIncludeListFile = "tracewhitelist.txt";
constexpr const char* kExcludeListFile = "traceblacklist.txt";
constexpr size_t kPrefixChars = 30;

void closeUnlessStandardError(FILE* file) {
    if (file && file != stderr) std::fclose(file);
}

void readPairs(FILE* file) {
    int first, last;
    while (trace_detail::readListInteger(file, &first) && trace_detail::readListInteger(file, &last)) {
        traceAddTraceList(first, last);
    }
}

}  // namespace

namespace trace_detail {

TraceParams* current() { return currentRecord.load(std::memory_order_acquire); }

bool readListInteger(FILE* file, int* value) {
    int c;
    do c = std::fgetc(file);
    while (c != EOF && std::isspace(c));
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = (c == '-');
        c = std::fgetc(file);
    }
    if (c == EOF || !std::isdigit(c)) return false;
    int base = 10;
    long long magnitude = 0;
    if (c == '0') {
        c = std::fgetc(file);
        if (c == 'x' || c == 'X') {
            int next = std::fgetc(file);
            if (next == EOF || !std::isxdigit(next)) return false;
            base = 16;
            c = next;
        } else {
            base = 8;
        }
    }
    // Accumulate with saturation so that an over-long number stays bounded.
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; c != EOF; c = std::fgetc(file)) {
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            break;
        if (digit >= base) break;
        magnitude = magnitude * base + digit;
        if (magnitude > limit) magnitude = limit;
    }
    if (c != EOF) std::ungetc(c, file);
    long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT_MAX) signedValue = INT_MAX;
    *value = static_cast<int>(signedValue);
    return true;
}

}  // namespace trace_detail

// ---- TraceAddressSet ------------------------------------------------------

void TraceAddressSet::clear() { ranges_.clear(); }

void TraceAddressSet::add(int first, int last) {
    if (first > last) return;
    long long lo = first, hi = last;
    // Merge with every range that overlaps or touches [lo, hi].
    auto it = ranges_.upper_bound(first);
    if (it != ranges_.begin()) {
        auto before = std::prev(it);
        if (static_cast<long long>(before->second) + 1 >= lo) it = before;
    }
    while (it != ranges_.end() && static_cast<long long>(it->first) <= hi + 1) {
        if (it->first < lo) lo = it->first;
        if (it->second > hi) hi = it->second;
        it = ranges_.erase(it);
    }
    ranges_.emplace(static_cast<int>(lo), static_cast<int>(hi));
}

bool TraceAddressSet::contains(int address) const {
    auto it = ranges_.upper_bound(address);
    if (it == ranges_.begin()) return false;
    --it;
    return address <= it->second;
}

// ---- set-up functions ---------------------------------------------------

void traceInit(TraceParams* params) { currentRecord.store(params, std::memory_order_release); }

void traceInit(const char* logFile, const char* prefix, int flags) {
    TraceParams& r = defaultRecord;
    // Held across the reset so that threads writing lines meanwhile see
    // either the old or the new set-up, never a half-written one.
    MutexGuard guard(r.mutex);
    closeUnlessStandardError(r.file);  // an earlier log file is not leaked
    r.file = stderr;
    r.prefix[0] = '\0';
    trace_detail::storeFlags(&r, 0);
    r.counter = 0;
    r.listExcludes = true;
    currentRecord.store(&r, std::memory_order_release);
    trace_detail::setRecordPrefix(&r, prefix);
    trace_detail::repeatReportsOnStdout(true);
    traceSetFile(logFile);
    traceSetFlags(flags);
    traceInitLists();
}

TraceParams* traceGetParamset() { return &defaultRecord; }

void traceSetFile(const char* logFile) {
    if (TraceParams* p = trace_detail::current()) trace_detail::setRecordFile(p, logFile);
}

bool trace_detail::setRecordFile(TraceParams* p, const char* logFile) {
    FILE* opened = stderr;
    if (logFile && logFile[0]) {
        opened = std::fopen(logFile, "w");
        if (!opened) {
            traceError(false, "Failed to open Logfile %s", logFile);
            return false;
        }
    }
    MutexGuard guard(p->mutex);
    closeUnlessStandardError(p->file);
    p->file = opened;
    return true;
}

void trace_detail::setRecordPrefix(TraceParams* p, const char* prefix) {
    MutexGuard guard(p->mutex);
    p->prefix[0] = '\0';
    if (prefix && prefix[0]) {
        size_t n = std::strlen(prefix);
        if (n > kPrefixChars) n = kPrefixChars;
        std::memcpy(p->prefix, prefix, n);
        p->prefix[n] = ' ';
        p->prefix[n + 1] = '\0';
    }
}

void traceSetFlags(int flags) {
    TraceParams* p = trace_detail::current();
    if (!p) return;
    MutexGuard guard(p->mutex);
    trace_detail::storeFlags(p, flags);
}

void traceInitTraceList(bool include) {
    TraceParams* p = trace_detail::current();
    if (!p) return;
    MutexGuard guard(p->mutex);
    p->addressList.clear();
    p->listExcludes = !include;
}

void traceAddTraceList(int first, int last) {
    TraceParams* p = trace_detail::current();
    if (!p) return;
    MutexGuard guard(p->mutex);
    p->addressList.add(first, last);
}

void traceInitLists() {
    if (!trace_detail::current()) return;
    if (FILE* include = std::fopen(kIncludeListFile, "r")) {
        traceInitTraceList(true);
        readPairs(include);
        std::fclose(include);
    } else if (FILE* exclude = std::fopen(kExcludeListFile, "r")) {
        traceInitTraceList(false);
        readPairs(exclude);
        std::fclose(exclude);
    } else {
        traceInitTraceList(false);
    }
}

void traceSetupShared(TraceParams* params) {
    if (params)
        traceInit(params);
    else
        traceInit(nullptr, "", TraceCategoryMask);
}
