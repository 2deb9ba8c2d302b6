#pragma once
// Writing an image as a configuration file of the current layout.

#include <filesystem>
#include <string>

#include "store/config_image.h"

namespace kbcfg::cli {

// Scrambles a copy of the image and replaces path with it atomically: on failure path is left
// as it was (or not created). A file that an editing session holds is not replaced. The image
// must carry its checksum already. `why`, when given, receives the reason of a failure.
bool writeScrambledImage(const std::filesystem::path& path, const store::ConfigImage& image,
                         std::string* why = nullptr);

}  // namespace kbcfg::cli
