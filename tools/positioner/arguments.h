// Checks the arguments of a command line against the command's table
// entry, before anything is scanned or sent.
#ifndef TOOLS_POSITIONER_ARGUMENTS_H
#define TOOLS_POSITIONER_ARGUMENTS_H

#include <string>
#include <vector>

#include "command_table.h"

// Fills values and returns kExitOk; else, after one message naming the
// argument, what it must be and the command's help, kExitUsage (kExitFile
// for a file that cannot be read).
int checkArguments(const CommandSpec& command, const std::vector<std::string>& given, ArgValues& values);

// A whole number, decimal or 0x-hexadecimal, within min..max.
bool parseNumber(const std::string& text, int64_t min, int64_t max, int64_t* value);

#endif
