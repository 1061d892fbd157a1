#include "wire/tick.h"

#include <chrono>

namespace uc {

int64_t tickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace uc
