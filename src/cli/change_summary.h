#pragma once
// What an editing command changed, for its summary line: the file's records counted after the
// login and again as saved on disk, so a save that failed never shows as a change.

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "store/config_image.h"
#include "store/own_texts.h"

namespace kbcfg::cli {

struct ImageCounts {
    int devices = 0;  // device slots in use
    int users = 0;    // operator records 1..3 in use
    // Per operator record (index 0 unused): assigned devices, channels, enabled stream bindings.
    std::array<int, 4> userDevices{}, channels{}, streams{};

    int allChannels() const { return channels[1] + channels[2] + channels[3]; }
    int allUserDevices() const { return userDevices[1] + userDevices[2] + userDevices[3]; }
};

ImageCounts countImage(const store::ConfigImage& image);
// The counts of the file as it is now, or nullopt when it cannot be loaded.
std::optional<ImageCounts> countFile(const std::filesystem::path& file);

// Counts taken once the file is loaded; after() reads the file as it is now.
class ChangeCounter {
  public:
    ChangeCounter(const store::ConfigImage& image, std::filesystem::path file)
        : before(countImage(image)), file_(std::move(file)) {}
    // The counts of the file as saved (as before when it cannot be read back).
    ImageCounts after() const { return countFile(file_).value_or(before); }

    const ImageCounts before;

  private:
    std::filesystem::path file_;
};

// "20,352"; "3 devices" or "3 台设备" as the language asks.
using store::counted;
using store::grouped;
using store::Noun;
using store::say;

}  // namespace kbcfg::cli
