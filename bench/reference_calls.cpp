#include "reference_calls.h"

#include <atomic>

namespace bench {

namespace {
std::atomic<int32_t> words[100][7];
struct Record {
    int flags;
};
Record record{0x004};
std::atomic<Record*> current{&record};
}  // namespace

__attribute__((noinline)) int32_t referenceCachedGetter(int32_t handle, int32_t axis, int32_t* out) {
    if (handle < 0 || handle >= 100) return 2;
    if (axis < 0 || axis > 5 || !out) return 6;
    *out = words[handle][axis].load(std::memory_order_relaxed);
    return 0;
}

__attribute__((noinline)) void referenceTraceCall(const char* label, const UcTelegram* tel, int categories) {
    const Record* r = current.load(std::memory_order_acquire);
    if (!r || !tel || !label || !(r->flags & 0x1FC & categories)) return;
    current.store(nullptr);  // never reached in the benchmark
}

}  // namespace bench
