#include "store/validators.h"

#include <limits>

#include "store/ansi.h"

namespace kbcfg::store {

namespace {
constexpr std::size_t kMaxChars = 16;

bool isNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
}  // namespace

Check checkUserName(std::string_view text) {
    if (codePointCount(text) > kMaxChars) return Check::TooLong;
    if (text.empty()) return Check::Empty;
    for (unsigned char c : text)
        if (!isNameChar(c)) return Check::BadCharacter;
    return Check::Ok;
}

Check checkPassword(std::string_view text) {
    if (codePointCount(text) > kMaxChars) return Check::TooLong;
    if (text.empty()) return Check::Empty;
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return Check::BadCharacter;
    return Check::Ok;
}

Check checkPort(std::string_view text, PortKind kind) {
    if (text.empty()) return Check::OutOfRange;
    const std::int32_t value = readNumber(text);
    const std::int32_t low = kind == PortKind::Device ? 2000 : 1;
    return value < low || value > 65535 ? Check::OutOfRange : Check::Ok;
}

Check checkDigits(std::string_view text) {
    if (text.empty()) return Check::Empty;
    for (unsigned char c : text)
        if (c < '0' || c > '9') return Check::BadCharacter;
    return Check::Ok;
}

std::optional<Msg> userNameMessage(Check check) {
    switch (check) {
        case Check::TooLong:
            return Msg::UserNameTooLong;
        case Check::BadCharacter:
            return Msg::UserNameChars;
        case Check::Empty:
            return Msg::UserNameBlank;
        default:
            return std::nullopt;
    }
}

std::optional<Msg> passwordMessage(Check check) {
    switch (check) {
        case Check::TooLong:
            return Msg::PasswordTooLong;
        case Check::BadCharacter:
            return Msg::PasswordChars;
        default:
            return std::nullopt;
    }
}

std::int32_t readNumber(std::string_view text) {
    std::size_t i = 0;
    auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMinMagnitude = kMax + 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMinMagnitude) value = kMinMagnitude;  // saturate; more digits change nothing
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

}  // namespace kbcfg::store
