#include "store/loader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "store/checksum.h"
#include "store/legacy.h"

namespace kbcfg::store {

namespace {

constexpr int kMessageError = 3;    // "The config file is error!"
constexpr int kMessageConvert = 4;  // "Convert config file from low version failed!"
constexpr std::size_t kHeaderSize = 16;

// Magic, a length that fits the layout's buffer, and the checksum over that length.
bool headerValid(std::span<const std::uint8_t> buffer) {
    if (getU32(buffer.data() + layout::kMagicOffset) != layout::kMagic) return false;
    const std::uint32_t length = getU32(buffer.data() + layout::kLengthOffset);
    if (length > buffer.size() - layout::kChecksumStart) return false;
    return getU32(buffer.data() + layout::kChecksumOffset) == ImageChecksum(buffer, length);
}

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> plain, ConfigImage& image) {
    DecodeResult result;
    if (plain.size() < kHeaderSize) {
        result.message = kMessageError;
        return result;
    }
    result.version = getU32(plain.data() + layout::kVersionOffset);

    if (result.version == layout::kVersion) {
        // A shorter file reads into a zeroed image; anything beyond the layout is ignored.
        ConfigImage scratch;
        const std::size_t n = std::min(plain.size(), layout::kImageSize);
        std::memcpy(scratch.bytes().data(), plain.data(), n);
        if (!headerValid(scratch.bytes())) {
            result.message = kMessageError;
            return result;
        }
        image.swap(scratch);
        return result;
    }

    if (result.version == legacy::kV130826) {
        std::vector<std::uint8_t> intermediate(legacy::kIntermediateSize, 0);
        const std::size_t n = std::min(plain.size(), intermediate.size());
        std::memcpy(intermediate.data(), plain.data(), n);
        if (!headerValid(intermediate)) {
            result.message = kMessageError;
            return result;
        }
        ConfigImage scratch;
        if (!legacy::convertIntermediate(intermediate, scratch)) {
            result.message = kMessageConvert;
            return result;
        }
        image.swap(scratch);
        return result;
    }

    if (legacy::needsStageOne(result.version)) {
        std::vector<std::uint8_t> intermediate;
        ConfigImage scratch;
        if (!legacy::convertToIntermediate(result.version, plain, intermediate) ||
            !legacy::convertIntermediate(intermediate, scratch)) {
            result.message = kMessageConvert;
            return result;
        }
        image.swap(scratch);
        return result;
    }

    result.message = kMessageError;
    return result;
}

}  // namespace kbcfg::store
