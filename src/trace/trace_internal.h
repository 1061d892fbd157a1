// Pieces of the trace facility shared between its source files and the
// libraries that carry it.
#ifndef TRACE_INTERNAL_H
#define TRACE_INTERNAL_H

#include <cstdarg>

#include "trace.h"

namespace trace_detail {

// The record that lines go to now, or nullptr.
TraceParams* current();

// The flags word of a record. Stored atomically (under the record's
// mutex) so that a telegram line switched off by the flags can be dropped
// without taking the mutex.
inline int loadFlags(const TraceParams* p) { return __atomic_load_n(&p->flags, __ATOMIC_RELAXED); }
inline void storeFlags(TraceParams* p, int flags) { __atomic_store_n(&p->flags, flags, __ATOMIC_RELAXED); }

// Writes "<prefix><kind>: <text>.\n" (error or fatal line), repeated on
// standard output when a log file is in use (unless switched off below).
// Returns false when no record is current.
bool writeReport(const char* kind, const char* format, va_list args);
// Whether error and fatal lines that go to a log file are repeated on
// standard output (initially, and after every traceInit with a log file
// name, they are).
void repeatReportsOnStdout(bool repeat);

// Sends the record's lines to the log file (truncated), or to standard
// error for a null or empty name. False, with an error line and the
// record unchanged, when the file cannot be opened.
bool setRecordFile(TraceParams* p, const char* logFile);
// The record's prefix: the text (at most 30 characters) and a blank, or
// nothing for a null or empty text.
void setRecordPrefix(TraceParams* p, const char* prefix);

// Composes "label: NAME Len=.. Addr=.. Ind=.. CNo=..-.." into out.
// Returns the number of characters written (bounded by size - 1).
int formatTelegramHeader(char* out, size_t size, const char* label, const UcTelegram& tel);

// Parses the next integer in scanf's "%i" notation from file; returns false
// at end of file or when the next text is not an integer.
bool readListInteger(FILE* file, int* value);

}  // namespace trace_detail

// Set-up from a record or from the defaults (no log file, no prefix,
// flags 0x1FC), as both libraries' trace initialisers perform it.
void traceSetupShared(TraceParams* params);

#endif
