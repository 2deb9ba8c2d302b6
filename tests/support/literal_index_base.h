#pragma once
// The index-base allocation transcribed step by step: every call scans all 61,440 channel
// entries of the intermediate. The reference for the real allocator in tests and benchmarks.

#include <cstdint>
#include <span>

namespace kbcfg::testing {

class LiteralIndexBaseAllocator {
  public:
    // `intermediate` holds a whole 0x130826 file and outlives the allocator.
    explicit LiteralIndexBaseAllocator(std::span<const std::uint8_t> intermediate);
    std::uint32_t allocateIndexBase();

  private:
    std::span<const std::uint8_t> intermediate_;
    std::uint32_t counter_ = 1000;
};

}  // namespace kbcfg::testing
