#pragma once
// Conversion of the six older layouts. Every older file is first rebuilt as a file of layout
// 0x130826 (the intermediate), which is then converted into the current layout.

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Stage 1: from an older file's plain bytes (a shorter file reads as zero-padded, bytes beyond
// the layout's size are ignored) to the intermediate. False, with `intermediate` untouched, when
// the version has no stage 1, the magic or checksum do not hold, or the length field is larger
// than the layout holds. The intermediate's storage is reused (oldFile must not lie in it).
bool convertToIntermediate(std::uint32_t version, std::span<const std::uint8_t> oldFile,
                           std::vector<std::uint8_t>& intermediate);

// Where stage 2 takes the index base of each typed device from.
using IndexBaseSource = std::function<std::uint32_t()>;

// Stage 2: from an intermediate to the current image (zeroed first). Index bases are allocated
// from 1000 on for each call, so converting the same file twice gives the same image. Any bytes
// are safe: a shorter intermediate reads as zero-padded. Returns true.
bool convertIntermediate(std::span<const std::uint8_t> intermediate, ConfigImage& image);
// The same with the index bases taken from `nextBase`, called once per typed device in slot
// order (lets a reference allocator be compared with the real one).
bool convertIntermediate(std::span<const std::uint8_t> intermediate, ConfigImage& image,
                         const IndexBaseSource& nextBase);

// True for the device types that get a channel index base on conversion.
bool takesIndexBase(std::uint16_t deviceType);

// Hands out channel index bases for devices of the typed kinds, in thousands not used by the
// output channels of in-use devices. A channel whose device slot lies outside the device table
// (other than -1) counts as belonging to a device that is not in use.
//
// Each call behaves as a full scan of the intermediate's channel entries in order, the candidate
// moving up a thousand whenever an output's index falls in it. The scan is answered from a
// table, built on the first call by one pass over the entries, of where a scan starting at each
// thousand ends.
class IndexBaseAllocator {
  public:
    // The intermediate must outlive the allocator; a shorter one reads as zero-padded.
    explicit IndexBaseAllocator(std::span<const std::uint8_t> intermediate);
    // The next base, or 0 once the bases are used up.
    std::uint32_t allocateIndexBase();

    static constexpr std::uint32_t kFirstBase = 1000;
    static constexpr std::uint32_t kLastBase = 999'000;

  private:
    void buildTable();

    std::span<const std::uint8_t> intermediate_;
    std::uint32_t counter_ = kFirstBase;
    bool built_ = false;
    // The thousand a whole scan that starts at thousand t (1..999) ends at; 1000 and over give
    // no base.
    std::vector<std::uint16_t> endOf_;
};

}  // namespace kbcfg::store::legacy
