/* The trace functions and the addressing functions called from C, against
 * a positioner-sim child process: where lines go, that the prefix and the
 * flags apply, and that PositionerCheck keeps what the caller set.
 * usage: test_trace_from_c POSITIONER_SIM (inside a private network
 * namespace; exits 77 elsewhere). */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "positioner.h"
#include "sim_process.h"

static int failures = 0;
static int realStderr = -1;
static char directory[] = "/tmp/uc_trace_c_XXXXXX";

#define CHECK(condition)                                                                \
    do {                                                                                \
        if (!(condition)) {                                                             \
            dprintf(realStderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                 \
        }                                                                               \
    } while (0)

static void pathOf(char* out, size_t size, const char* name) { snprintf(out, size, "%s/%s", directory, name); }

/* The whole content of a file (empty when missing); static buffer. */
static const char* contentOf(const char* name) {
    static char text[65536];
    char path[256];
    pathOf(path, sizeof path, name);
    text[0] = '\0';
    FILE* f = fopen(path, "r");
    if (!f) return text;
    size_t n = fread(text, 1, sizeof text - 1, f);
    text[n] = '\0';
    fclose(f);
    return text;
}

/* Points the process's stream at a file of the directory (truncated). */
static void redirect(FILE* stream, int fd, const char* name) {
    char path[256];
    pathOf(path, sizeof path, name);
    fflush(stream);
    int file = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, fd);
    close(file);
}

/* Opens the simulated controller by address, waits for a few received
 * telegrams and closes it again. */
static void openAndClose(void) {
    int32_t handle = -1;
    CHECK(PositionerConnectAddress("127.0.0.2", &handle) == RC_OK);
    int32_t amplitude = 0;
    CHECK(PositionerGetAmplitude(handle, 0, &amplitude) == RC_OK && amplitude == 30000);
    sleepMs(100);
    CHECK(PositionerClose(handle) == RC_OK);
}

int main(int argc, char** argv) {
    if (argc < 2 || !inPrivateNetwork()) {
        fprintf(stderr, "SKIPPED: needs a private network namespace and the simulator's path\n");
        return 77;
    }
    realStderr = dup(2);
    if (!mkdtemp(directory)) return 1;

    char* simArgs[] = {"--count", "1", "--tell-interval", "20", "--quiet", NULL};
    const pid_t sim = startSim(argv[1], simArgs);
    if (sim < 0) {
        dprintf(realStderr, "the simulator did not start\n");
        return 1;
    }
    redirect(stdout, 1, "out");

    /* A log file of its own; lines with the prefix, received telegrams too,
     * each line flushed (0x2) so that the file can be read meanwhile. */
    char logPath[256];
    pathOf(logPath, sizeof logPath, "trace.log");
    CHECK(PositionerTraceToFile(NULL) == RC_INVALID_PARAM);
    CHECK(PositionerTraceToFile("/nonexistent-directory/trace.log") == RC_INVALID_PARAM);
    CHECK(PositionerTracePrefix("ctrace") == RC_OK);
    CHECK(PositionerTraceFlags(0x20 | 0x4 | 0x2) == RC_OK);
    CHECK(PositionerTraceToFile(logPath) == RC_OK);
    DetectedDevice* devices = NULL;
    CHECK(PositionerCheck(&devices) == 2); /* kept across the scan: */
    PositionerDeviceDescription info;
    CHECK(PositionerDeviceInfo(0, &info) == RC_OK);
    CHECK(info.carrier == POSITIONER_CARRIER_TCP && info.discovery == POSITIONER_FOUND_ADDP &&
          info.hardwareId == 1000 && strcmp(info.address, "127.0.0.2") == 0);
    openAndClose();
    int32_t handle = 0;
    CHECK(PositionerConnectAddress("127.0.0.9", &handle) == RC_NOT_CONNECTED && handle == -1);
    const char* log = contentOf("trace.log");
    CHECK(strstr(log, "ctrace TRACE    0: UC recv: ACK") != NULL);
    CHECK(strstr(log, "ctrace ERROR: Cannot connect to the controller at 127.0.0.9") != NULL);
    CHECK(strstr(contentOf("out"), "ERROR") == NULL); /* not repeated on standard output */

    /* Off: nothing anywhere, error lines included, also across a scan. */
    redirect(stderr, 2, "err-off");
    const size_t logged = strlen(contentOf("trace.log"));
    CHECK(PositionerTraceOff() == RC_OK);
    CHECK(PositionerCheck(&devices) == 2);
    openAndClose();
    CHECK(PositionerConnectAddress("127.0.0.9", &handle) == RC_NOT_CONNECTED);
    CHECK(strlen(contentOf("trace.log")) == logged);
    CHECK(contentOf("err-off")[0] == '\0');
    CHECK(contentOf("out")[0] == '\0');

    /* Standard error, trace lines only, no prefix: set while off. */
    redirect(stderr, 2, "err");
    CHECK(PositionerTraceFlags(0x4) == RC_OK);
    CHECK(PositionerTracePrefix(NULL) == RC_OK);
    CHECK(PositionerTraceToStderr() == RC_OK);
    CHECK(PositionerCheck(&devices) == 2);
    openAndClose();
    CHECK(PositionerConnectAddress("127.0.0.9", &handle) == RC_NOT_CONNECTED);
    fflush(stderr);
    const char* err = contentOf("err");
    CHECK(strncmp(err, "ERROR: Connect to controller", 28) == 0 ||
          strstr(err, "\nERROR: Cannot connect") != NULL);
    CHECK(strstr(err, "UC recv") == NULL);
    CHECK(strstr(err, "ctrace") == NULL);
    CHECK(strlen(contentOf("trace.log")) == logged);

    dup2(realStderr, 2);
    stopSim(sim);
    const char* names[] = {"out", "err", "err-off", "trace.log"};
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        char path[256];
        pathOf(path, sizeof path, names[i]);
        unlink(path);
    }
    rmdir(directory);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
