// The commands of the positioner program. Each returns the exit status.
#ifndef TOOLS_POSITIONER_COMMANDS_H
#define TOOLS_POSITIONER_COMMANDS_H

#include <string>
#include <vector>

#include "session.h"

using Args = std::vector<std::string>;

int commandList(const Settings& settings, const Args& args);
int commandShow(const Settings& settings, const Args& args);
int commandAmplitude(const Settings& settings, const Args& args);
int commandFrequency(const Settings& settings, const Args& args);
int commandLoad(const Settings& settings, const Args& args);
int commandMoveAbsolute(const Settings& settings, const Args& args);
int commandMoveRelative(const Settings& settings, const Args& args);
int commandMoveContinuous(const Settings& settings, const Args& args);
int commandStep(const Settings& settings, const Args& args);

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Parses a decimal int32 argument; prints a message and returns false
// when it is not one.
bool parseInt(const std::string& text, const char* what, int32_t* value);

#endif
