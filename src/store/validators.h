#pragma once
// The checks every dialog applies to typed user names, passwords, ports and digit strings, and
// the reading of a typed number. Texts are UTF-8; lengths are counted in characters.

#include <cstdint>
#include <string_view>

namespace kbcfg::store {

// 1 longer than 16 characters (tested first), 3 empty, 2 a character other than an ASCII letter,
// digit or underscore, else 0.
int checkUserName(std::string_view text);
// 1 longer than 16 characters, 3 empty, 2 a character outside space..tilde, else 0.
int checkPassword(std::string_view text);
// Port modes: device and keyboard ports (2000..65535), or stream-media ports (1..65535).
inline constexpr int kDevicePort = 1;
inline constexpr int kStreamPort = 2;
// 1 when empty or its value lies outside the range of the mode, else 0.
int checkPort(std::string_view text, int mode);
// 2 empty, 1 a character that is not a decimal digit, else 0.
int checkDigits(std::string_view text);

// A number typed into a field: leading blanks and one sign, digits up to the first non-digit,
// 0 when there are none, clamped to the signed 32-bit range.
std::int32_t readNumber(std::string_view text);

}  // namespace kbcfg::store
