// The receive loop under a flood of TELLs: a batch of position reports
// with rising values written to the stream at once, timed until the last
// value is in the axis cache (PositionerGetPosition). Beside it the same
// batch read by a plain reader that only frames the telegrams. A last
// value that never arrives fails the run.
#include <thread>

#include "bench_support.h"
#include "wire/telegram.h"
#include "raw_socket.h"
#include "sessions.h"

namespace bench {
namespace {

constexpr int32_t kRegPosition = 1045;
constexpr int kBatch = 20000;
constexpr int kLastValueWaitMs = 10000;
constexpr std::chrono::microseconds kPollPause(50);

// kBatch TELLs of the flood axis carrying first, first + 1, ...
std::vector<unsigned char> tellBatch(int32_t first) {
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(kBatch) * 24);
    for (int i = 0; i < kBatch; ++i) {
        UcTelegram t{};
        const int n = uc::buildTell(t, kRegPosition, kFloodAxis, 0, first + i);
        const auto* p = reinterpret_cast<const unsigned char*>(&t);
        bytes.insert(bytes.end(), p, p + n);
    }
    return bytes;
}

// Sends batches to the controller's hosts and times each until lastSeen()
// reports its last value.
template <typename LastSeen>
void floodRuns(benchmark::State& state, sim::Controller& controller, LastSeen lastSeen) {
    int32_t first = 1;
    for (auto _ : state) {
        const std::vector<unsigned char> batch = tellBatch(first);
        const int32_t last = first + kBatch - 1;
        const Clock::time_point start = Clock::now();
        controller.sendRaw(batch.data(), batch.size());
        int32_t seen = 0;
        while ((seen = lastSeen()) != last) {
            if (secondsSince(start) * 1000 > kLastValueWaitMs)
                return state.SkipWithError("the last value of the flood was lost");
            std::this_thread::sleep_for(kPollPause);
        }
        state.SetIterationTime(secondsSince(start));
        first = last + 1;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBatch);
}

void BM_TellFlood_Applied(benchmark::State& state) {
    postest::SimSession& s = apiSession();
    if (!s.ok()) return state.SkipWithError("the simulated controller could not be opened");
    const int handle = s.handle();
    floodRuns(state, s.sim(), [handle] {
        int32_t position = 0;
        PositionerGetPosition(handle, kFloodAxis, &position);
        return position;
    });
}

void BM_TellFlood_RawReader(benchmark::State& state) {
    std::unique_ptr<RawConnection> connection = connectToRawPeer();
    if (!connection) return state.SkipWithError("no connection to the simulated controller");
    RawConnection& c = *connection;
    StreamReader reader(c, kRegPosition, kFloodAxis);
    floodRuns(state, rawPeer(), [&reader] { return reader.lastTellValue(); });
}

}  // namespace

BENCHMARK(BM_TellFlood_Applied)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TellFlood_RawReader)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace bench
