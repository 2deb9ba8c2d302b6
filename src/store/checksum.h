#pragma once
// The image checksum and the file scrambling that every stored configuration file carries.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kbcfg::store {

// Sum of the 16-bit little-endian words of the range (an odd last byte added on its own),
// modulo 2^32.
std::uint32_t checksumBytes(std::span<const std::uint8_t> range);

// The checksum of an image or older-layout file: `length` bytes from offset 12. A length that
// reaches past the buffer is cut at its end; callers that must refuse such a file check first.
std::uint32_t imageChecksum(std::span<const std::uint8_t> file, std::uint32_t length);

inline constexpr std::uint32_t kScrambleKey = 0x5A3C9E17;
// The most bytes a scramble handles; a longer file is processed only up to this length.
inline constexpr std::size_t kScrambleLimit = 5'769'568;

// XORs every complete 32-bit little-endian word with the key; 1 to 3 trailing bytes stay as they
// are. Its own inverse.
void scrambleBytes(std::span<std::uint8_t> bytes);

}  // namespace kbcfg::store
