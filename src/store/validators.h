#pragma once
// The checks every dialog applies to typed user names, passwords, ports and digit strings, and
// the reading of a typed number. Texts are UTF-8; lengths are counted in characters.

#include <cstdint>
#include <optional>
#include <string_view>

#include "store/message_id.h"

namespace kbcfg::store {

// What a check found in a typed text.
enum class Check {
    Ok,
    TooLong,       // more than 16 characters
    BadCharacter,  // a character the field does not take
    Empty,
    OutOfRange,  // a port outside the range of its kind
};

// TooLong (tested first), Empty, BadCharacter for anything but ASCII letters, digits and
// underscore, else Ok.
Check checkUserName(std::string_view text);
// TooLong, Empty, BadCharacter for a character outside space..tilde, else Ok.
Check checkPassword(std::string_view text);

// Device and keyboard ports take 2000..65535, stream-media ports 1..65535.
enum class PortKind { Device, Stream };
// OutOfRange when empty or its value lies outside the range of the kind, else Ok.
Check checkPort(std::string_view text, PortKind kind);
// Empty, BadCharacter for a character that is not a decimal digit, else Ok.
Check checkDigits(std::string_view text);

// The messages the user pages give for a refused user name or password: TooLong, BadCharacter
// and Empty each have their own. Ok has none (nor has an empty password: some pages allow it).
std::optional<Msg> userNameMessage(Check check);
std::optional<Msg> passwordMessage(Check check);

// A number typed into a field: leading blanks and one sign, digits up to the first non-digit,
// 0 when there are none, clamped to the signed 32-bit range.
std::int32_t readNumber(std::string_view text);

}  // namespace kbcfg::store
