/* Finds the controllers, opens the first one that is available, sets the
 * amplitude of axis 0, reads it back, makes one step forward and prints
 * the position once the controller has reported a new one.
 *
 *   dravex-example            uses the first available controller */
#define _POSIX_C_SOURCE 199309L
#include <stdio.h>
#include <time.h>

#include <dravex/positioner.h>

/* The position is a cached value that the controller reports by itself:
 * poll it for up to a second until it differs from the old one. */
static int32_t awaitNewPosition(int32_t handle, int32_t axis, int32_t old, int32_t* position) {
    const struct timespec pause = {0, 10 * 1000 * 1000};
    int32_t rc = RC_OK;
    for (int i = 0; i < 100; ++i) {
        rc = PositionerGetPosition(handle, axis, position);
        if (rc != RC_OK || *position != old) break;
        nanosleep(&pause, NULL);
    }
    return rc;
}

static int report(const char* what, int32_t rc) {
    if (rc != RC_OK) fprintf(stderr, "%s failed with result %d\n", what, (int)rc);
    return rc != RC_OK;
}

int main(void) {
    DetectedDevice* devices = NULL;
    int32_t count = PositionerCheck(&devices); /* the array belongs to the library */
    int32_t device = -1;
    for (int32_t i = 0; i < count && device < 0; ++i)
        if (!devices[i].unavailable) device = i;
    printf("controllers found: %d\n", (int)count);
    if (device < 0) {
        fprintf(stderr, "no available controller\n");
        return 1;
    }
    printf("using device %d, hardware id %d\n", (int)device, (int)devices[device].hardwareId);

    int32_t handle = -1;
    if (report("PositionerConnect", PositionerConnect(device, &handle))) return 1;

    const int32_t axis = 0;
    int32_t amplitude = 0, before = 0, position = 0;
    int failed = report("PositionerAmplitude", PositionerAmplitude(handle, axis, 35000)) ||
                 report("PositionerGetAmplitude", PositionerGetAmplitude(handle, axis, &amplitude)) ||
                 report("PositionerGetPosition", PositionerGetPosition(handle, axis, &before)) ||
                 report("PositionerMoveSingleStep", PositionerMoveSingleStep(handle, axis, 1)) ||
                 report("PositionerGetPosition", awaitNewPosition(handle, axis, before, &position));
    if (!failed) printf("axis %d: amplitude %d, position %d\n", (int)axis, (int)amplitude, (int)position);

    /* Close also after a failure: it stops the handle's receive thread. */
    failed |= report("PositionerClose", PositionerClose(handle));
    return failed;
}
