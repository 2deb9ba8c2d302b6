// Placeholder; the converters are being written.
#include "store/legacy.h"
namespace kbcfg::store::legacy {
std::size_t layoutFileSize(std::uint32_t) { return 0; }
bool needsStageOne(std::uint32_t) { return false; }
bool convertToIntermediate(std::uint32_t, std::span<const std::uint8_t>, std::vector<std::uint8_t>&) { return false; }
bool convertIntermediate(std::span<const std::uint8_t>, ConfigImage&) { return false; }
}  // namespace kbcfg::store::legacy
