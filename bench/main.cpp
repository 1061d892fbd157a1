// Runs the benchmarks, only inside a private network namespace: they open
// sockets and send discovery probes.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "sessions.h"
#include "test_support.h"

int main(int argc, char** argv) {
    if (!test_support::inPrivateNetworkNamespace()) {
        std::fprintf(stderr,
                     "positioner_bench: not in a private network namespace; run it through "
                     "scripts/bench or tests/support/netns-run.sh\n");
        return 77;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    bench::releaseSharedControllers();
    benchmark::Shutdown();
    return 0;
}
