#pragma once
// The channel batch renumbering exactly as the procedure reads, scan restarts and all: the
// reference the fast version is compared with in tests and benchmarks.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kbcfg::testing {

std::vector<std::int32_t> literalBatch(const std::vector<std::int32_t>& old, std::size_t start,
                                       std::size_t end, std::int32_t v, bool& nearTop);

}  // namespace kbcfg::testing
