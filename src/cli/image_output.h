#pragma once
// Writing an image as a configuration file of the current layout.

#include <filesystem>

#include "store/config_image.h"

namespace kbcfg::cli {

// Scrambles a copy of the image and replaces path with it atomically: on failure path is left
// as it was (or not created). The image must carry its checksum already.
bool writeScrambledImage(const std::filesystem::path& path, const store::ConfigImage& image);

}  // namespace kbcfg::cli
