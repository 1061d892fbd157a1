// Calls that never leave the process: a cached getter, and the telegram
// trace call of the receive loop while the flags switch telegram lines off
// (the set-up that PositionerCheck leaves: trace lines only, flags 4).
#include "bench_support.h"
#include "wire/telegram.h"
#include "reference_calls.h"
#include "sessions.h"
#include "trace.h"

namespace bench {
namespace {

constexpr int kReceiveCategory = 0x20;

void BM_GetPosition_Cached(benchmark::State& state) {
    postest::SimSession& s = apiSession();
    if (!s.ok()) return state.SkipWithError("the simulated controller could not be opened");
    int32_t position = -1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PositionerGetPosition(s.handle(), kCachedAxis, &position));
        benchmark::ClobberMemory();
    }
    if (position != 0) state.SkipWithError("the cached position is not the 0 set at connect");
}

void BM_CachedGetter_Reference(benchmark::State& state) {
    int32_t value = -1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(referenceCachedGetter(1, kCachedAxis, &value));
        benchmark::ClobberMemory();
    }
}

UcTelegram receivedTell() {
    UcTelegram t{};
    uc::buildTell(t, 1045, 0, 0, 1234);
    return t;
}

void BM_TraceTelegram_Off(benchmark::State& state) {
    traceInit(nullptr, "Positioner", TraceMessages);
    const UcTelegram tel = receivedTell();
    for (auto _ : state) {
        traceTelegram("UC recv", &tel, kReceiveCategory);
        benchmark::ClobberMemory();
    }
}

void BM_TraceCall_Reference(benchmark::State& state) {
    const UcTelegram tel = receivedTell();
    for (auto _ : state) {
        referenceTraceCall("UC recv", &tel, kReceiveCategory);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_GetPosition_Cached);
BENCHMARK(BM_CachedGetter_Reference);
BENCHMARK(BM_TraceTelegram_Off);
BENCHMARK(BM_TraceCall_Reference);

}  // namespace bench
