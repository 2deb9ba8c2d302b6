#pragma once
// What an editing command changed, for its summary line: the file's records counted after the
// login and again as saved on disk, so a save that failed never shows as a change.

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "store/config_image.h"
#include "store/image_counts.h"
#include "store/own_texts.h"

namespace kbcfg::cli {

using store::ImageCounts;

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
