// The simulated controllers that the benchmarks share: one opened through
// the Positioner API, and one of the same kind that the reference figures
// reach over plain sockets. Both are made on first use and live until
// releaseSharedControllers() (or the end of the program).
#ifndef BENCH_SESSIONS_H
#define BENCH_SESSIONS_H

#include <cstdint>
#include <string>

#include <memory>

#include "positioner_test_util.h"
#include "raw_socket.h"
#include "sim_controller.h"

namespace bench {

constexpr int kControllerPort = 2101;
constexpr int32_t kApiHardwareId = 1000;
constexpr int32_t kRawHardwareId = 2000;

// Axes are kept apart so that one benchmark's replies never wake another
// benchmark's getter.
constexpr int32_t kRoundTripAxis = 0;
constexpr int32_t kSetterAxis = 1;
constexpr int32_t kFloodAxis = 2;
constexpr int32_t kCachedAxis = 3;

// The controller opened with PositionerCheck and PositionerConnect; ok()
// is false when it could not be opened.
postest::SimSession& apiSession();
// The controller for the plain-socket figures (its address: rawPeerAddress()).
sim::Controller& rawPeer();
std::string rawPeerAddress();
// A plain connection to rawPeer(), returned once the controller has taken
// it in (so that what it sends to its hosts reaches it); null on failure.
std::unique_ptr<RawConnection> connectToRawPeer();
// Closes the handle and stops both, so that a device count sees only the
// controllers a benchmark starts itself.
void releaseSharedControllers();

// Options of a simulated controller at 127.0.0.<host> that answers the
// ADDP probe only, so that a count lists it once.
sim::Options controllerAt(int host, int32_t hardwareId);

}  // namespace bench

#endif
