#pragma once
// A keyboard's stored configuration file, made from the installation: a current-layout image
// with the administrator "admin" (empty password), three free operators and the devices marked
// for the file, checksummed and scrambled as a keyboard keeps it.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "installation.h"

namespace vyxsim {

// The largest configuration file of any layout (0x120208): a keyboard holds nothing larger.
inline constexpr std::size_t kMaxKeyboardFileBytes = 1'778'176;

std::vector<std::uint8_t> generateKeyboardFile(const std::vector<Device>& devices);

}  // namespace vyxsim
