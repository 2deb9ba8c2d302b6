#pragma once
// Conversion of the six older layouts. Every older file is first rebuilt as a file of layout
// 0x130826 (the intermediate), which is then converted into the current layout.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "store/config_image.h"

namespace kbcfg::store::legacy {

inline constexpr std::uint32_t kV130826 = 0x130826;
inline constexpr std::uint32_t kV120716 = 0x120716;
inline constexpr std::uint32_t kV120208 = 0x120208;
inline constexpr std::uint32_t kV110607 = 0x110607;
inline constexpr std::uint32_t kV110310 = 0x110310;
inline constexpr std::uint32_t kV100901 = 0x100901;

inline constexpr std::size_t kIntermediateSize = 1'463'784;

// The file size of a known older layout (0x130826 included), 0 for any other version.
std::size_t layoutFileSize(std::uint32_t version);
// True for the five layouts that go through stage 1.
bool needsStageOne(std::uint32_t version);

// Stage 1: from an older file's plain bytes (a shorter file reads as zero-padded) to the
// intermediate. False when magic or checksum do not hold or the length field is larger than the
// layout holds.
bool convertToIntermediate(std::uint32_t version, std::span<const std::uint8_t> oldFile,
                           std::vector<std::uint8_t>& intermediate);

// Stage 2: from a valid intermediate to the current image (zeroed first). Index bases are
// allocated from 1000 on for each call.
bool convertIntermediate(std::span<const std::uint8_t> intermediate, ConfigImage& image);

// Hands out channel index bases for devices of the typed kinds, in thousands not used by the
// output channels of in-use devices.
class IndexBaseAllocator {
public:
    explicit IndexBaseAllocator(std::span<const std::uint8_t> intermediate);
    // The next base, or 0 once the bases are used up.
    std::uint32_t allocateIndexBase();

private:
    std::uint32_t counter_ = 1000;
};

}  // namespace kbcfg::store::legacy
