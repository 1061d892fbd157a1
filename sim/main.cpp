// positioner-sim: simulated positioner controllers on the local network,
// for trying the host libraries by hand. See --help.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>

#include "sim_cli.h"

namespace {

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "positioner-sim: %s\n", message.c_str());
    return code;
}

void printLine(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace

int main(int argc, char** argv) {
    sim::CliConfig config;
    std::string error;
    if (!sim::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), config, error))
        return fail(error + " (see --help)", 2);
    if (config.help) {
        std::fputs(sim::usageText().c_str(), stdout);
        return 0;
    }
    std::string problem = sim::localityProblem(config, sim::interfacesAllLoopback());
    if (!problem.empty()) return fail("refusing to start: " + problem, 2);

    // The controllers' threads inherit the blocked signals; this thread
    // takes them with sigwait. SIGUSR1 makes every controller close its
    // open connections (the close-connection fault), for tests of hosts
    // that must notice a lost controller and reconnect; SIGUSR2 switches
    // the silent fault on and off (a controller that stops answering while
    // connected, replies already due included).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::vector<std::unique_ptr<sim::Controller>> controllers;
    for (sim::Options o : config.controllers) {
        if (!config.quiet) o.log = printLine;
        auto c = std::make_unique<sim::Controller>(o);
        if (!c->start())
            return fail("cannot start the controller on " + o.address + " (address in use or not local)", 1);
        for (const auto& f : config.faults) c->setFault(f.first, true, f.second);
        std::printf("controller %s: id %d, type 0x%X, TCP %s:2101, TELL interval %d ms\n", o.address.c_str(),
                    o.hardwareId, static_cast<unsigned>(o.controllerType), o.address.c_str(), o.tellIntervalMs);
        std::fflush(stdout);
        controllers.push_back(std::move(c));
    }
    int signal = 0;
    bool silent = false;
    while (sigwait(&signals, &signal) == 0 && (signal == SIGUSR1 || signal == SIGUSR2)) {
        if (signal == SIGUSR2) silent = !silent;
        for (auto& c : controllers) {
            if (signal == SIGUSR1)
                c->setFault(sim::Controller::Fault::CloseConnection, true, 0);
            else
                c->setFault(sim::Controller::Fault::Silent, silent);
        }
    }
    if (!config.quiet) printLine("positioner-sim: stopping");
    controllers.clear();
    return 0;
}
