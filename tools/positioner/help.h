// The help texts: the overview of commands and options, and one command's
// arguments with ranges and an example.
#ifndef TOOLS_POSITIONER_HELP_H
#define TOOLS_POSITIONER_HELP_H

#include <cstdio>

#include "command_table.h"

void printOverview(FILE* out);
void printCommandHelp(const CommandSpec& command, FILE* out);
void printVersion();

#endif
