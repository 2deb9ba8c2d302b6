#pragma once
// Recognising and checking a configuration file's plain bytes, converting older layouts.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "store/config_image.h"
#include "store/message_id.h"

namespace kbcfg::store {

struct DecodeResult {
    // Empty on success, else why it failed: ConfigFileError or ConvertFailed.
    std::optional<Msg> message;
    std::uint32_t version = 0;  // the file's own version field (0 for a file under 16 bytes)
    // On failure, why, for the line after the message: "1,000,000 bytes instead of 1,724,904
    // (layout 0x150420)", "unknown layout 0x990101 (...)", "checksum does not match ...".
    std::string reason;
    bool ok() const { return !message; }
};

// Fills `image` from the plain (unscrambled) bytes of a configuration file of any known layout.
// On failure `image` is left as it was.
DecodeResult decodeImage(std::span<const std::uint8_t> plain, ConfigImage& image);

}  // namespace kbcfg::store
