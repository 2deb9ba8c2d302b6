#pragma once
// The decoded content of an image for reading, as `kbcfg dump` prints it: the header and the
// records in use, walked from the text form's tables, with what a reader wants beside the
// stored values (a channel's name, the matrix record a channel links to).

#include <cstdint>

#include "store/config_image.h"
#include "store/text_form.h"

namespace kbcfg::store {

// `fileVersion` is the layout the file was read in; the image itself holds the current layout.
// Passwords are left out unless asked for.
textform::Json dumpImage(const ConfigImage& image, std::uint32_t fileVersion, bool withPasswords);

}  // namespace kbcfg::store
