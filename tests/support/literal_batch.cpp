#include "support/literal_batch.h"

namespace kbcfg::testing {

std::vector<std::int32_t> literalBatch(const std::vector<std::int32_t>& old, std::size_t start,
                                       std::size_t end, std::int32_t v, bool& nearTop) {
    const std::size_t count = old.size();
    nearTop = static_cast<std::int64_t>(count - start) >= 99'999'999LL - v;
    std::vector<std::int32_t> neu = old;
    for (std::size_t r = start; r <= end; ++r) {
        for (std::size_t k = 0; k < start;) {
            if (v == old[k]) {
                ++v;
                k = 0;
            } else {
                ++k;
            }
        }
        if (v >= 100'000'000) break;
        neu[r] = v++;
    }
    if (nearTop)
        for (std::size_t r = 0; r < count; ++r)
            for (std::size_t m = r + 1; m < count; ++m)
                if (old[m] == neu[r]) {
                    neu[r] = old[r];
                    break;
                }
    return neu;
}

}  // namespace kbcfg::testing
