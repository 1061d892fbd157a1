// The least a call of each kind can cost: the same signature, not inlined,
// doing only the unavoidable work (a range test and one word loaded; one
// record pointer loaded and one flag test). Defined in their own file so
// that the compiler cannot see through them at the call site.
#ifndef BENCH_REFERENCE_CALLS_H
#define BENCH_REFERENCE_CALLS_H

#include <cstdint>

#include "uc_telegram.h"

namespace bench {

int32_t referenceCachedGetter(int32_t handle, int32_t axis, int32_t* out);
void referenceTraceCall(const char* label, const UcTelegram* tel, int categories);

}  // namespace bench

#endif
