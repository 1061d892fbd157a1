// Pieces of the trace facility shared between its own source files.
#ifndef TRACE_INTERNAL_H
#define TRACE_INTERNAL_H

#include <cstdarg>
#include <cstdio>

#include "trace.h"
#include "trace_setup.h"

namespace trace_detail {

// Writes "<prefix><kind>: <text>.\n" (error or fatal line), repeated on
// standard output when a log file is in use (unless switched off).
// Returns false when no record is current.
bool writeReport(const char* kind, const char* format, va_list args);

// Composes "label: NAME Len=.. Addr=.. Ind=.. CNo=..-.." into out.
// Returns the number of characters written (bounded by size - 1).
int formatTelegramHeader(char* out, size_t size, const char* label, const UcTelegram& tel);

// Parses the next integer in scanf's "%i" notation from file; returns false
// at end of file or when the next text is not an integer.
bool readListInteger(FILE* file, int* value);

}  // namespace trace_detail

#endif
