// Writing trace, error, fatal and telegram lines.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wire/telegram.h"
#include "platform/socket_os.h"
#include "trace_internal.h"
#include "threads/mutex_guard.h"

namespace trace_detail {

namespace {

std::atomic<bool> reportsOnStdout{true};

void flushIfAsked(TraceParams* p) {
    if (p->flags & TraceFlush) std::fflush(p->file);
}

void writeReportTo(FILE* stream, const char* prefix, const char* kind, const char* format, va_list args) {
    std::fprintf(stream, "%s%s: ", prefix, kind);
    std::vfprintf(stream, format, args);
    std::fputs(".\n", stream);
}

}  // namespace

bool writeReport(const char* kind, const char* format, va_list args) {
    TraceParams* p = current();
    if (!p) return false;
    va_list again;
    va_copy(again, args);
    {
        MutexGuard guard(p->mutex);
        writeReportTo(p->file, p->prefix, kind, format, args);
        flushIfAsked(p);
        if (p->file != stderr && reportsOnStdout.load(std::memory_order_relaxed)) {
            writeReportTo(stdout, p->prefix, kind, format, again);
            std::fflush(stdout);
        }
    }
    va_end(again);
    return true;
}

void repeatReportsOnStdout(bool repeat) { reportsOnStdout.store(repeat, std::memory_order_relaxed); }

int formatTelegramHeader(char* out, size_t size, const char* label, const UcTelegram& tel) {
    char unknown[24];
    int32_t op = uc::opcode(tel);
    const char* name = uc::knownOpcodeName(op);
    if (!name) {
        std::snprintf(unknown, sizeof unknown, "!!!%x!!!", static_cast<unsigned>(op));
        name = unknown;
    }
    int32_t corr = uc::correlation(tel);
    int n = std::snprintf(out, size, "%s: %s Len=%d Addr=%02x Ind=%d CNo=%d-%d", label ? label : "", name,
                          uc::length(tel), static_cast<unsigned>(uc::address(tel)), uc::index(tel), corr >> 16,
                          corr & 0xFFFF);
    if (n < 0) return 0;
    return static_cast<size_t>(n) >= size ? static_cast<int>(size - 1) : n;
}

}  // namespace trace_detail

using trace_detail::current;

void traceTrace(const char* format, ...) {
    TraceParams* p = current();
    if (!p || !format) return;
    MutexGuard guard(p->mutex);
    if (!(p->flags & TraceMessages)) return;
    va_list args;
    va_start(args, format);
    int number = p->counter++;
    std::fprintf(p->file, "%sTRACE %4d: ", p->prefix, number);
    std::vfprintf(p->file, format, args);
    std::fputs(".\n", p->file);
    if (p->flags & TraceFlush) std::fflush(p->file);
    va_end(args);
}

bool traceError(bool condition, const char* format, ...) {
    if (condition || !format) return false;
    va_list args;
    va_start(args, format);
    bool written = trace_detail::writeReport("ERROR", format, args);
    va_end(args);
    return written;
}

bool traceFatal(bool condition, const char* format, ...) {
    if (condition || !format) return false;
    va_list args;
    va_start(args, format);
    bool written = trace_detail::writeReport("FATAL", format, args);
    va_end(args);
    return written;
}

bool traceOsError(bool condition, const char* msg, bool socketError) {
    if (condition) return false;
    char text[1024];
    if (socketError) {
        std::snprintf(text, sizeof text, "%s - WSA_Error #%d", msg ? msg : "", plat::lastSocketError());
    } else {
        std::snprintf(text, sizeof text, "%s - %s", msg ? msg : "", std::strerror(errno));
    }
    return traceError(false, "%s", text);
}

bool traceTelError(bool condition, const char* label, const UcTelegram* tel) {
    if (condition || !tel) return false;
    char text[1024];
    trace_detail::formatTelegramHeader(text, sizeof text, label, *tel);
    return traceError(false, "%s", text);
}

void traceTelegram(const char* label, const UcTelegram* tel, int categories) {
    if (!tel) return;
    const int32_t address = uc::address(*tel);
    const bool inRange = address >= 0x0F00 && address <= 0x0F0D;
    const bool isTell = !inRange && uc::opcode(*tel) == UC_OP_TELL;
    TraceParams* p = current();
    if (!p) return;
    auto flagsLetThrough = [&](int flags) {
        return (flags & TraceCategoryMask & categories) != 0 && !(inRange && !(flags & TraceRangeF00)) &&
               !(isTell && !(flags & TraceTell));
    };
    // Lines that the flags switch off (the receive loop's usual case) are
    // dropped without the lock.
    if (!flagsLetThrough(trace_detail::loadFlags(p))) return;
    // The other filters read the record under its lock: a set-up call on
    // another thread (a scan while handles trace) must not change it
    // underneath.
    int flags = 0;
    bool shown = false;
    {
        MutexGuard guard(p->mutex);
        flags = p->flags;
        shown = flagsLetThrough(flags) && p->addressList.contains(address) != p->listExcludes;
    }
    if (!shown) return;

    char text[10000];
    size_t used = static_cast<size_t>(trace_detail::formatTelegramHeader(text, sizeof text, label, *tel));
    int words = uc::dataWordCount(uc::length(*tel));
    if (words > 4 && !(flags & TraceAllData)) words = 4;
    for (int i = 0; i < words; ++i) {
        char scratch[128];
        int n = std::snprintf(scratch, sizeof scratch, " %x", static_cast<unsigned>(uc::dataWord(*tel, i)));
        if (n <= 0 || used + static_cast<size_t>(n) >= sizeof text) break;
        std::memcpy(text + used, scratch, static_cast<size_t>(n) + 1);
        used += static_cast<size_t>(n);
    }

    MutexGuard guard(p->mutex);
    int number = p->counter++;
    std::fprintf(p->file, "%sTRACE %4d: %s.\n", p->prefix, number, text);
    if (p->flags & TraceFlush) std::fflush(p->file);
}

const char* tracePrintReason(int reason) {
    const char* known = uc::knownReasonText(reason);
    if (known) return known;
    // One buffer per thread, so concurrent callers never see each other's text.
    static thread_local char text[16];
    std::snprintf(text, sizeof text, "%d", reason);
    return text;
}

void traceAssert(bool condition, const char* file, int line) {
    if (condition) return;
    char text[256];
    std::snprintf(text, sizeof text, "Assertion failed: %s#%d", file ? file : "", line);
    traceFatal(false, "%s", text);
    std::exit(1);
}
