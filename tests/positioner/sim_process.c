#define _POSIX_C_SOURCE 200809L
#include "sim_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

enum { kMaxArguments = 16, kStartTries = 100, kStartPollMs = 50 };

int inPrivateNetwork(void) {
    const char* marker = getenv("UC_IN_PRIVATE_NETNS");
    return marker && strcmp(marker, "1") == 0;
}

void sleepMs(long ms) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static int accepting(void) {
    struct sockaddr_in peer;
    memset(&peer, 0, sizeof peer);
    peer.sin_family = AF_INET;
    peer.sin_port = htons(2101);
    inet_pton(AF_INET, "127.0.0.2", &peer.sin_addr);
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return 0;
    int ok = connect(s, (struct sockaddr*)&peer, sizeof peer) == 0;
    close(s);
    return ok;
}

pid_t startSim(const char* program, char* const arguments[]) {
    char* argv[kMaxArguments + 2];
    int n = 0;
    argv[n++] = (char*)program;
    while (arguments[n - 1] && n <= kMaxArguments) {
        argv[n] = arguments[n - 1];
        ++n;
    }
    argv[n] = NULL;
    pid_t sim = -1;
    if (posix_spawn(&sim, program, NULL, NULL, argv, environ) != 0) return -1;
    for (int i = 0; i < kStartTries; ++i) {
        if (accepting()) return sim;
        sleepMs(kStartPollMs);
    }
    stopSim(sim);
    return -1;
}

void stopSim(pid_t sim) {
    if (sim <= 0) return;
    kill(sim, SIGTERM);
    waitpid(sim, NULL, 0);
}
