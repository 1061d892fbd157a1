/* A process that ends with handles open: one from a scan, one by address,
 * both receiving reports. The child must exit with status 0, at once, and
 * write nothing (no trace line, no sanitizer report).
 * usage: test_exit_open_handles POSITIONER_SIM (inside a private network
 * namespace; exits 77 elsewhere). */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "positioner.h"
#include "sim_process.h"

extern char** environ;

enum { kExitLimitMs = 4000 };

static int openHandlesAndReturn(void) {
    DetectedDevice* devices = NULL;
    int32_t scanned = -1, named = -1, amplitude = 0;
    if (PositionerCheck(&devices) < 1 || PositionerConnect(0, &scanned) != RC_OK ||
        PositionerConnectAddress("127.0.0.3", &named) != RC_OK ||
        PositionerGetAmplitude(named, 0, &amplitude) != RC_OK) {
        printf("could not open both controllers\n");
        return 1;
    }
    sleepMs(100); /* reports arrive on both receive threads */
    return 0;     /* no PositionerClose */
}

static long msSince(const struct timespec* start) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start->tv_sec) * 1000 + (now.tv_nsec - start->tv_nsec) / 1000000;
}

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "child") == 0) return openHandlesAndReturn();
    if (argc < 2 || !inPrivateNetwork()) {
        fprintf(stderr, "SKIPPED: needs a private network namespace and the simulator's path\n");
        return 77;
    }
    char* simArgs[] = {"--count", "2", "--tell-interval", "10", "--quiet", NULL};
    const pid_t sim = startSim(argv[1], simArgs);
    if (sim < 0) {
        fprintf(stderr, "the simulator did not start\n");
        return 1;
    }

    char output[] = "/tmp/uc_exit_open_XXXXXX";
    const int fd = mkstemp(output);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_adddup2(&actions, fd, 2);
    char* childArgs[] = {argv[0], "child", NULL};
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t child = -1;
    int status = -1;
    if (posix_spawn(&child, "/proc/self/exe", &actions, NULL, childArgs, environ) == 0)
        waitpid(child, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    stopSim(sim);

    struct stat written;
    fstat(fd, &written);
    int failed = 0;
    if (written.st_size != 0) {
        char text[4096];
        const ssize_t n = pread(fd, text, sizeof text - 1, 0);
        text[n > 0 ? n : 0] = '\0';
        fprintf(stderr, "the child wrote:\n%s\n", text);
        failed = 1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "the child ended with status %d\n", status);
        failed = 1;
    }
    if (msSince(&start) > kExitLimitMs) { /* includes the scan */
        fprintf(stderr, "the child took %ld ms\n", msSince(&start));
        failed = 1;
    }
    close(fd);
    unlink(output);
    return failed;
}
