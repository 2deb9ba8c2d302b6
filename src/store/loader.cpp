#include "store/loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "store/checksum.h"
#include "store/legacy.h"

namespace kbcfg::store {

namespace {

constexpr std::size_t kHeaderSize = 16;

// Magic, a length that fits the layout's buffer, and the checksum over that length.
bool headerValid(std::span<const std::uint8_t> buffer) {
    if (getU32(buffer.data() + layout::kMagicOffset) != layout::kMagic) return false;
    const std::uint32_t length = getU32(buffer.data() + layout::kLengthOffset);
    if (length > buffer.size() - layout::kChecksumStart) return false;
    return getU32(buffer.data() + layout::kChecksumOffset) == imageChecksum(buffer, length);
}

// "1,724,904": sizes as people read them.
std::string grouped(std::size_t n) {
    std::string digits = std::to_string(n);
    for (std::size_t i = digits.size(); i > 3; i -= 3) digits.insert(i - 3, ",");
    return digits;
}

std::string layoutName(std::uint32_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06x", static_cast<unsigned>(version));
    return text;
}

// Why plain bytes whose decode failed are no configuration file, in the order a reader would
// check: the size, the header, the layout, the length field, then the checksum.
std::string problemOf(std::span<const std::uint8_t> plain, std::uint32_t version) {
    const std::string current = layoutName(layout::kVersion);
    if (plain.size() < kHeaderSize)
        return grouped(plain.size()) + " bytes, too short for a configuration file (" +
               grouped(layout::kImageSize) + " in layout " + current + ")";
    const std::uint32_t magic = getU32(plain.data() + layout::kMagicOffset);
    if ((magic ^ kScrambleKey) == layout::kMagic)
        return "not scrambled (a plain image, as decode writes it)";
    if (magic != layout::kMagic)
        return "no configuration header (not a configuration file, or not scrambled)";
    const std::size_t size =
        version == layout::kVersion ? layout::kImageSize : legacy::layoutFileSize(version);
    if (size == 0)
        return "unknown layout " + layoutName(version) + " (this tool reads " + current +
               ", 0x130826, 0x120716, 0x120208, 0x110607, 0x110310 and 0x100901)";
    const std::uint32_t length = getU32(plain.data() + layout::kLengthOffset);
    if (length > size - layout::kChecksumStart)
        return "length field " + grouped(length) + " is more than layout " + layoutName(version) +
               " holds (" + grouped(size - layout::kChecksumStart) + ")";
    if (plain.size() < layout::kChecksumStart + length)
        return grouped(plain.size()) + " bytes instead of " + grouped(size) + " (layout " +
               layoutName(version) + ")";
    return "checksum does not match the content (the file is damaged)";
}

}  // namespace

DecodeResult decodeImage(std::span<const std::uint8_t> plain, ConfigImage& image) {
    DecodeResult result;
    const auto fail = [&](Msg message) {
        result.message = message;
        result.reason = problemOf(plain, result.version);
        return result;
    };
    if (plain.size() < kHeaderSize) return fail(Msg::ConfigFileError);
    result.version = getU32(plain.data() + layout::kVersionOffset);

    if (result.version == layout::kVersion) {
        // A shorter file reads into a zeroed image; anything beyond the layout is ignored.
        ConfigImage scratch;
        const std::size_t n = std::min(plain.size(), layout::kImageSize);
        std::memcpy(scratch.bytes().data(), plain.data(), n);
        if (!headerValid(scratch.bytes())) return fail(Msg::ConfigFileError);
        image.swap(scratch);
        return result;
    }

    if (result.version == legacy::kV130826) {
        std::vector<std::uint8_t> intermediate(legacy::kIntermediateSize, 0);
        const std::size_t n = std::min(plain.size(), intermediate.size());
        std::memcpy(intermediate.data(), plain.data(), n);
        if (!headerValid(intermediate)) return fail(Msg::ConfigFileError);
        ConfigImage scratch;
        if (!legacy::convertIntermediate(intermediate, scratch)) return fail(Msg::ConvertFailed);
        image.swap(scratch);
        return result;
    }

    if (legacy::needsStageOne(result.version)) {
        std::vector<std::uint8_t> intermediate;
        ConfigImage scratch;
        if (!legacy::convertToIntermediate(result.version, plain, intermediate) ||
            !legacy::convertIntermediate(intermediate, scratch))
            return fail(Msg::ConvertFailed);
        image.swap(scratch);
        return result;
    }

    return fail(Msg::ConfigFileError);
}

}  // namespace kbcfg::store
