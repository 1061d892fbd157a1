// Exit statuses of the positioner program (listed in its help text).
#ifndef TOOLS_POSITIONER_EXIT_CODES_H
#define TOOLS_POSITIONER_EXIT_CODES_H

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;         // the controller refused or did not answer; a move did not end
constexpr int kExitUsage = 2;          // wrong command line
constexpr int kExitNoController = 3;   // no controller, several to choose from, or it cannot be opened
constexpr int kExitFile = 4;           // a file cannot be read or written
constexpr int kExitSkipped = 5;        // load --strict: lines of the file were not sent
constexpr int kExitInterrupted = 130;  // Ctrl-C or SIGTERM (the command's axes are halted)

#endif
