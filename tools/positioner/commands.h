// The functions that run the commands; each returns the exit status.
#ifndef TOOLS_POSITIONER_COMMANDS_H
#define TOOLS_POSITIONER_COMMANDS_H

#include "command_table.h"

int commandList(Invocation& call);
int commandStatus(Invocation& call);
int commandShow(Invocation& call);
int commandAmplitude(Invocation& call);
int commandFrequency(Invocation& call);
int commandOutput(Invocation& call);
int commandLoad(Invocation& call);
int commandMoveAbsolute(Invocation& call);
int commandMoveRelative(Invocation& call);
int commandMoveContinuous(Invocation& call);
int commandStep(Invocation& call);
int commandStop(Invocation& call);
int commandReference(Invocation& call);
int commandGet(Invocation& call);
int commandSet(Invocation& call);

#endif
