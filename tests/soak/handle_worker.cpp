#include "handle_worker.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "positioner.h"
#include "uc_telegram.h"

namespace soak {
namespace {

constexpr size_t kFindingsKept = 40;
constexpr int32_t kDefaultAmplitude = 30000;  // the simulator's preset
constexpr int kVoluntaryClosePerMille = 5;    // steps that close and reopen
constexpr int kStableMs = 300;                // the last reports, once arrived, stay

// Amplitudes sent to axis a lie in their own band, so a value read back can
// be told apart from another axis's, a reason word or a stray word.
int32_t amplitudeBase(int32_t axis) { return 1000 * (axis + 1); }
bool plausibleAmplitude(int32_t axis, int32_t v) {
    return v == kDefaultAmplitude || (v >= amplitudeBase(axis) && v < amplitudeBase(axis) + 1000);
}

}  // namespace

void Findings::add(const std::string& what) {
    std::lock_guard<std::mutex> lock(lock_);
    ++count_;
    if (kept_.size() < kFindingsKept) kept_.push_back(what);
}

int Findings::count() const {
    std::lock_guard<std::mutex> lock(lock_);
    return count_;
}

std::string Findings::summary() const {
    std::lock_guard<std::mutex> lock(lock_);
    std::ostringstream out;
    out << count_ << " rule breaks";
    for (const std::string& s : kept_) out << "\n  " << s;
    return out.str();
}

HandleWorker::HandleWorker(int32_t device, sim::Controller& controller, uint32_t seed, const CallBounds& bounds,
                           Findings& findings)
    : device_(device), controller_(controller), rng_(seed ? seed : 1), bounds_(bounds), findings_(findings) {}

uint32_t HandleWorker::random() {
    rng_ ^= rng_ << 13;
    rng_ ^= rng_ >> 17;
    rng_ ^= rng_ << 5;
    return rng_;
}

template <class Call>
int32_t HandleWorker::checked(const char* name, int boundMs, std::initializer_list<int32_t> allowed,
                              Call call) {
    const auto begin = std::chrono::steady_clock::now();
    const int32_t result = call();
    const long long tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    ++stats_.calls;
    std::ostringstream where;
    where << "device " << device_ << " handle " << handle_ << ": " << name;
    if (tookMs > boundMs) findings_.add(where.str() + " took " + std::to_string(tookMs) + " ms");
    if (std::find(allowed.begin(), allowed.end(), result) == allowed.end())
        findings_.add(where.str() + " returned " + std::to_string(result));
    return result;
}

bool HandleWorker::open() {
    int32_t h = -1;
    const int32_t rc = checked("PositionerConnect", bounds_.connectMs, {RC_OK, RC_NOT_CONNECTED},
                               [&] { return PositionerConnect(device_, &h); });
    if (rc != RC_OK) {
        if (h != -1) findings_.add("failed PositionerConnect wrote handle " + std::to_string(h));
        return false;
    }
    if (h < 1 || h > 99) findings_.add("PositionerConnect handed out " + std::to_string(h));
    handle_ = h;
    return true;
}

void HandleWorker::close() {
    if (handle_ < 0) return;
    // Whether the number is free afterwards is checked once every worker is
    // done: another worker may be handed it at once.
    checked("PositionerClose", bounds_.closeMs, {RC_OK}, [&] { return PositionerClose(handle_); });
    handle_ = -1;
}

void HandleWorker::handleLost(const char* call) {
    ++stats_.disconnects;
    // A lost handle stays lost: every call but the close gives 2.
    int32_t v = 0;
    checked((std::string("after a lost ") + call + ", PositionerGetStatus").c_str(), bounds_.cachedGetterMs,
            {RC_NOT_CONNECTED}, [&] { return PositionerGetStatus(handle_, 0, &v); });
    close();
}

void HandleWorker::run(const std::atomic<bool>& stop) {
    while (!stop) {
        if (handle_ < 0) {
            if (open())
                ++stats_.reconnects;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        step();
    }
}

void HandleWorker::step() {
    const int32_t axis = randomAxis();
    const uint32_t choice = random() % 1000;
    int32_t rc = RC_OK;
    const char* name = "";
    if (choice < kVoluntaryClosePerMille) {
        close();
        return;
    } else if (choice < 300) {
        name = "PositionerAmplitude";
        const int32_t v = amplitudeBase(axis) + static_cast<int32_t>(random() % 1000);
        rc = checked(name, bounds_.setterMs, {RC_OK, RC_NOT_CONNECTED, RC_ERROR},
                     [&] { return PositionerAmplitude(handle_, axis, v); });
    } else if (choice < 420) {
        name = "PositionerMoveRelative";
        const int32_t distance = static_cast<int32_t>(random() % 20001) - 10000;
        rc = checked(name, bounds_.setterMs, {RC_OK, RC_NOT_CONNECTED, RC_ERROR},
                     [&] { return PositionerMoveRelative(handle_, axis, distance, 0); });
    } else if (choice < 470) {
        name = "PositionerStopMoving";
        rc = checked(name, bounds_.setterMs, {RC_OK, RC_NOT_CONNECTED, RC_ERROR},
                     [&] { return PositionerStopMoving(handle_, axis); });
    } else if (choice < 900) {
        name = "PositionerGetPosition";
        int32_t position = 0;
        rc = checked(name, bounds_.cachedGetterMs, {RC_OK, RC_NOT_CONNECTED},
                     [&] { return PositionerGetPosition(handle_, axis, &position); });
    } else {
        name = "PositionerGetAmplitude";
        int32_t amplitude = -1;
        rc = checked(name, bounds_.queryMs, {RC_OK, RC_TIMEOUT, RC_NOT_CONNECTED, RC_ERROR},
                     [&] { return PositionerGetAmplitude(handle_, axis, &amplitude); });
        if (rc == RC_TIMEOUT) ++stats_.timeouts;
        if (rc == RC_OK && !plausibleAmplitude(axis, amplitude))
            findings_.add("device " + std::to_string(device_) + " axis " + std::to_string(axis) +
                          ": PositionerGetAmplitude gave " + std::to_string(amplitude) + ", never sent");
        if (rc == RC_TIMEOUT && amplitude != -1)
            findings_.add("PositionerGetAmplitude wrote its output on a time-out");
    }
    if (rc == RC_NOT_CONNECTED) handleLost(name);
}

void HandleWorker::checkLastPositions() {
    int32_t status = 0;
    if (handle_ >= 0 && PositionerGetStatus(handle_, 0, &status) == RC_NOT_CONNECTED) handleLost("handle");
    for (int attempt = 0; handle_ < 0 && attempt < 3; ++attempt) {
        if (!open()) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    if (handle_ < 0) {
        findings_.add("device " + std::to_string(device_) + ": no reconnect once the faults were off");
        return;
    }
    for (int32_t axis = 0; axis < 6; ++axis) {
        checked("PositionerStopMoving (settle)", bounds_.setterMs, {RC_OK},
                [&] { return PositionerStopMoving(handle_, axis); });
        checked("PositionerStopApproach (settle)", bounds_.setterMs, {RC_OK},
                [&] { return PositionerStopApproach(handle_, axis); });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int32_t expected[6];
    for (int32_t axis = 0; axis < 6; ++axis) {
        expected[axis] = 7000000 + device_ * 100 + axis;
        // The periodic reports carry the overridden register as well.
        controller_.setRegister(1045, axis, expected[axis]);
        controller_.sendTell(1045, axis, expected[axis]);
    }
    auto positionsAre = [&] {
        for (int32_t axis = 0; axis < 6; ++axis) {
            int32_t p = 0;
            if (PositionerGetPosition(handle_, axis, &p) != RC_OK || p != expected[axis]) return false;
        }
        return true;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bounds_.settleMs);
    bool arrived = false;
    while (!(arrived = positionsAre()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(kStableMs));
    if (!arrived || !positionsAre()) {
        std::ostringstream out;
        out << "device " << device_ << ": last TELLed positions "
            << (arrived ? "returned, then replaced" : "not returned") << " (got";
        for (int32_t axis = 0; axis < 6; ++axis) {
            int32_t p = 0;
            const int32_t rc = PositionerGetPosition(handle_, axis, &p);
            out << ' ' << (rc == RC_OK ? p : -rc);
        }
        // Which side fell silent: the connections the controller holds and
        // the last telegrams it took from the host.
        const std::vector<sim::Controller::Received> received = controller_.received();
        out << "; controller: " << controller_.connectionsOpen() << " connections open, last received";
        for (size_t i = received.size() > 8 ? received.size() - 8 : 0; i < received.size(); ++i)
            out << ' ' << received[i].opcode << ':' << received[i].address << '/' << received[i].index;
        findings_.add(out.str() + ")");
    }
}

}  // namespace soak
