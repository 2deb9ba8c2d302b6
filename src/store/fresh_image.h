#pragma once
// A configuration that holds nothing but its administrator.

#include <string>

#include "store/config_image.h"

namespace kbcfg::store {

// Header, administrator record 0, operators 1..3 free with their tables cleared, every other byte
// zero, checksum computed. Name and password are UTF-8 (stored in the code page) and checked by
// the caller.
void makeFreshImage(ConfigImage& image, const std::string& admin, const std::string& password);

}  // namespace kbcfg::store
