/* Two threads on one handle: one reads the amplitude of axis 1 over and
 * over (each read waits for a reply that comes late, or never), the other
 * halts axis 0 for each line "halt" on standard input and prints the
 * CLOCK_MONOTONIC time of the call ("called 1234.567890"), to be matched
 * with the simulator's log of the SET arriving. Ends at the end of input.
 *   stop_latency_client ADDRESS */
#include <pthread.h>
#include <stdio.h>
#include <time.h>

#include "positioner.h"

static volatile int reading = 1;

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void* readAmplitude(void* handle) {
    int32_t amplitude = 0;
    while (reading && PositionerGetAmplitude(*(int32_t*)handle, 1, &amplitude) != RC_NOT_CONNECTED) {
    }
    return NULL;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: stop_latency_client ADDRESS\n");
        return 2;
    }
    int32_t handle = -1;
    PositionerTraceOff();
    if (PositionerConnectAddress(argv[1], &handle) != RC_OK) {
        fprintf(stderr, "stop_latency_client: cannot open %s\n", argv[1]);
        return 1;
    }
    pthread_t reader;
    pthread_create(&reader, NULL, readAmplitude, &handle);
    printf("open\n");
    fflush(stdout);
    char line[16];
    while (fgets(line, sizeof line, stdin)) {
        const double called = now();
        const int32_t rc = PositionerHalt(handle, 0);
        printf("called %.6f result %d\n", called, rc);
        fflush(stdout);
    }
    reading = 0;
    PositionerClose(handle); /* ends the read in progress */
    pthread_join(reader, NULL);
    return 0;
}
