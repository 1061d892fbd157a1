// A querying getter's round trip (GET out, ACK back, handed to the caller
// by the receive thread) beside the same 20 and 28 bytes exchanged with
// the same kind of simulated controller over a plain blocking socket, and
// beside that plain exchange with the reply handed over by a reader thread
// through a wait condition, as the library's design requires.
#include <thread>

#include "ithreads.h"
#include "bench_support.h"
#include "wire/telegram.h"
#include "raw_socket.h"
#include "sessions.h"

namespace bench {
namespace {

constexpr int32_t kRegAmplitude = 1024;

void BM_GetAmplitude_RoundTrip(benchmark::State& state) {
    postest::SimSession& s = apiSession();
    if (!s.ok()) return state.SkipWithError("the simulated controller could not be opened");
    int32_t value = -1;
    for (auto _ : state) {
        if (PositionerGetAmplitude(s.handle(), kRoundTripAxis, &value) != RC_OK)
            return state.SkipWithError("PositionerGetAmplitude failed");
    }
    int32_t stored = 0;
    if (!s.sim().registerValue(kRegAmplitude, kRoundTripAxis, &stored) || value != stored)
        state.SkipWithError("PositionerGetAmplitude returned another value than the controller holds");
}

void BM_RawExchange_20_28(benchmark::State& state) {
    std::unique_ptr<RawConnection> connection = connectToRawPeer();
    if (!connection) return state.SkipWithError("no connection to the simulated controller");
    RawConnection& c = *connection;
    UcTelegram get{};
    const int getBytes = uc::buildGet(get, kRegAmplitude, kRoundTripAxis, 1);
    UcTelegram ack{};
    for (auto _ : state) {
        if (!c.sendAll(&get, static_cast<size_t>(getBytes)) || !c.receiveExactly(&ack, 28))
            return state.SkipWithError("plain exchange failed");
    }
    if (uc::opcode(ack) != UC_OP_ACK || uc::address(ack) != kRegAmplitude)
        state.SkipWithError("the reply was not the ACK of the GET");
}

void BM_RawExchangeHandoff_20_28(benchmark::State& state) {
    std::unique_ptr<RawConnection> connection = connectToRawPeer();
    if (!connection) return state.SkipWithError("no connection to the simulated controller");
    RawConnection& c = *connection;
    UcTelegram get{};
    const int getBytes = uc::buildGet(get, kRegAmplitude, kRoundTripAxis, 1);
    UcTelegram ack{};
    IWaitCondition replied;
    std::thread reader([&] {
        while (c.receiveExactly(&ack, 28)) replied.wakeOne();
    });
    for (auto _ : state) {
        if (!c.sendAll(&get, static_cast<size_t>(getBytes)) || !replied.wait(10000)) {
            state.SkipWithError("plain exchange failed");
            break;
        }
    }
    c.shutdown();
    reader.join();
    if (uc::opcode(ack) != UC_OP_ACK || uc::address(ack) != kRegAmplitude)
        state.SkipWithError("the reply was not the ACK of the GET");
}

}  // namespace

BENCHMARK(BM_GetAmplitude_RoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawExchange_20_28)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawExchangeHandoff_20_28)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace bench
