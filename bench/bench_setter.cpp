// Setter throughput: PositionerAmplitude in a loop beside a loop of plain
// 24-byte sends of the same SET telegram to the same kind of simulated
// controller. In both the controller acknowledges every SET; the library
// applies the ACKs on its receive thread, the plain loop has a reader that
// only counts them. After each run the replies are awaited, so that no
// backlog spills into the next benchmark.
#include "bench_support.h"
#include "positioner/ranges.h"
#include "wire/telegram.h"
#include "raw_socket.h"
#include "sessions.h"

namespace bench {
namespace {

constexpr int32_t kRegAmplitude = 1024;
constexpr int32_t kAmplitudeLimit = pos::ranges::PositionerAmplitude.value().hi;
constexpr int kDrainMs = 20000;

void BM_Amplitude_SetterLoop(benchmark::State& state) {
    postest::SimSession& s = apiSession();
    if (!s.ok()) return state.SkipWithError("the simulated controller could not be opened");
    int32_t amplitude = 0;
    for (auto _ : state) {
        if (PositionerAmplitude(s.handle(), kSetterAxis, amplitude) != RC_OK)
            return state.SkipWithError("PositionerAmplitude failed");
        amplitude = amplitude == kAmplitudeLimit ? 0 : amplitude + 1;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    // The ACK of this GET comes after those of every SET above.
    int32_t frequency = 0;
    if (PositionerGetFrequency(s.handle(), kSetterAxis, &frequency) != RC_OK)
        state.SkipWithError("the controller did not answer after the SETs");
}

void BM_RawSend24_Loop(benchmark::State& state) {
    std::unique_ptr<RawConnection> connection = connectToRawPeer();
    if (!connection) return state.SkipWithError("no connection to the simulated controller");
    RawConnection& c = *connection;
    StreamReader replies(c, 0, 0);
    UcTelegram set{};
    int32_t amplitude = 0;
    for (auto _ : state) {
        const int n = uc::buildSet(set, kRegAmplitude, kSetterAxis, 0, amplitude);
        if (!c.sendAll(&set, static_cast<size_t>(n))) return state.SkipWithError("plain send failed");
        amplitude = amplitude == kAmplitudeLimit ? 0 : amplitude + 1;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    if (!replies.waitForTelegrams(state.iterations(), kDrainMs))
        state.SkipWithError("the controller did not acknowledge every SET");
}

}  // namespace

BENCHMARK(BM_Amplitude_SetterLoop)->UseRealTime()->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RawSend24_Loop)->UseRealTime()->Unit(benchmark::kNanosecond);

}  // namespace bench
