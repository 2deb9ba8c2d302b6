#include "store/checksum.h"

#include <bit>
#include <cstring>

namespace kbcfg::store {

std::uint32_t checksumBytes(std::span<const std::uint8_t> range) {
    const std::uint8_t* p = range.data();
    const std::size_t n = range.size();
    // Two independent sums let the compiler vectorise the loop; the total is the same modulo 2^32.
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < n; i += 2) sum += static_cast<std::uint32_t>(p[i] | (p[i + 1] << 8));
    if (i < n) sum += p[i];
    return sum;
}

std::uint32_t imageChecksum(std::span<const std::uint8_t> file, std::uint32_t length) {
    constexpr std::size_t kStart = 12;
    if (file.size() <= kStart) return 0;
    const std::size_t available = file.size() - kStart;
    const std::size_t n = length < available ? length : available;
    return checksumBytes(file.subspan(kStart, n));
}

void scrambleBytes(std::span<std::uint8_t> bytes) {
    std::uint8_t* p = bytes.data();
    const std::size_t words = bytes.size() / 4;
    for (std::size_t w = 0; w < words; ++w) {
        std::uint32_t v;
        std::memcpy(&v, p + 4 * w, 4);
        // The key applies to the little-endian word; on a big-endian host swap it.
        if constexpr (std::endian::native == std::endian::little) {
            v ^= kScrambleKey;
        } else {
            v ^= __builtin_bswap32(kScrambleKey);
        }
        std::memcpy(p + 4 * w, &v, 4);
    }
}

}  // namespace kbcfg::store
