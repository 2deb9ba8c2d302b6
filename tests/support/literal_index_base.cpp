#include "support/literal_index_base.h"

#include <stdexcept>

#include "store/bytes.h"

namespace kbcfg::testing {

LiteralIndexBaseAllocator::LiteralIndexBaseAllocator(std::span<const std::uint8_t> intermediate)
    : intermediate_(intermediate) {
    if (intermediate.size() < 1'463'784) throw std::invalid_argument("short intermediate");
}

std::uint32_t LiteralIndexBaseAllocator::allocateIndexBase() {
    const std::uint8_t* p = intermediate_.data();
    for (int op = 0; op < 3; ++op) {
        for (int position = 0; position < 20'480; ++position) {
            const std::uint8_t* entry = p + 499'804 + 12 * (20'480 * op + position);
            const std::int16_t slot = store::getI16(entry + 4);
            if (slot == -1) continue;
            // A slot outside the device table has no record that could be in use.
            if (slot < 0 || slot >= 3840) continue;
            if (store::getU32(p + 592 + 128 * slot) == 0) continue;
            if (entry[7] != 1) continue;
            if (store::getU32(entry) / 1000 * 1000 == counter_) counter_ += 1000;
        }
    }
    if (counter_ > 999'000) return 0;
    const std::uint32_t base = counter_;
    counter_ += 1000;
    return base;
}

}  // namespace kbcfg::testing
