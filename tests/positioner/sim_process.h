/* A positioner-sim process for the C test programs, started and stopped
 * by them inside their private network namespace. */
#ifndef TESTS_POSITIONER_SIM_PROCESS_H
#define TESTS_POSITIONER_SIM_PROCESS_H

#include <sys/types.h>

/* True inside the private network namespace of netns-run.sh. */
int inPrivateNetwork(void);
/* Starts `program` with the arguments (NULL-terminated, without the
 * program) and waits until a controller accepts on 127.0.0.2:2101. The
 * process id, or -1 (nothing left running) when it did not come up. */
pid_t startSim(const char* program, char* const arguments[]);
void stopSim(pid_t sim);
void sleepMs(long ms);

#endif
