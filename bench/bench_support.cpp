#include "bench_support.h"

#include <algorithm>

namespace bench {

double maxOf(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

}  // namespace bench
