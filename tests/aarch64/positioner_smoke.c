/* The Positioner API on another machine (run under qemu-user against a
 * simulated controller): finds the controllers, connects to the one at
 * argv[1] by address, sets and reads back an amplitude, moves axis 0 to an
 * absolute position, waits until it is reported there, and closes.
 *
 *   positioner-smoke ADDRESS */
#define _POSIX_C_SOURCE 199309L
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "positioner.h"

static int check(const char* what, int32_t rc) {
    if (rc != RC_OK) fprintf(stderr, "FAIL: %s: result %d\n", what, (int)rc);
    return rc != RC_OK;
}

/* Polls the reported position for up to five seconds. */
static int awaitPosition(int32_t handle, int32_t axis, int32_t target, int32_t* position) {
    const struct timespec pause = {0, 20 * 1000 * 1000};
    for (int i = 0; i < 250; ++i) {
        if (check("PositionerGetPosition", PositionerGetPosition(handle, axis, position))) return 1;
        if (*position == target) return 0;
        nanosleep(&pause, NULL);
    }
    fprintf(stderr, "FAIL: axis %d at %d, not at %d after 5 s\n", (int)axis, (int)*position, (int)target);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: positioner-smoke ADDRESS\n");
        return 2;
    }
    DetectedDevice* devices = NULL;
    const int32_t count = PositionerCheck(&devices);
    int listed = 0;
    for (int32_t i = 0; i < count; ++i) {
        PositionerDeviceDescription info;
        listed |= PositionerDeviceInfo(i, &info) == RC_OK && strcmp(info.address, argv[1]) == 0;
    }
    printf("controllers found: %d\n", (int)count);
    if (!listed) {
        fprintf(stderr, "FAIL: no controller at %s found\n", argv[1]);
        return 1;
    }
    int32_t handle = -1;
    if (check("PositionerConnectAddress", PositionerConnectAddress(argv[1], &handle))) return 1;
    const int32_t axis = 0, amplitude = 33000, target = 1200;
    int32_t readBack = 0, position = 0;
    int failed = check("PositionerAmplitude", PositionerAmplitude(handle, axis, amplitude)) ||
                 check("PositionerGetAmplitude", PositionerGetAmplitude(handle, axis, &readBack));
    if (!failed && readBack != amplitude) {
        fprintf(stderr, "FAIL: amplitude %d read back as %d\n", (int)amplitude, (int)readBack);
        failed = 1;
    }
    failed = failed || check("PositionerMoveAbsolute", PositionerMoveAbsolute(handle, axis, target, 0)) ||
             awaitPosition(handle, axis, target, &position);
    failed |= check("PositionerClose", PositionerClose(handle));
    if (!failed)
        printf("controller %s: amplitude %d, axis %d at %d, closed\n", argv[1], (int)readBack, (int)axis,
               (int)position);
    return failed;
}
