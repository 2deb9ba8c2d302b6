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

int checkUserName(std::string_view text) {
    if (codePointCount(text) > kMaxChars) return 1;
    if (text.empty()) return 3;
    for (unsigned char c : text)
        if (!isNameChar(c)) return 2;
    return 0;
}

int checkPassword(std::string_view text) {
    if (codePointCount(text) > kMaxChars) return 1;
    if (text.empty()) return 3;
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E) return 2;
    return 0;
}

int checkPort(std::string_view text, int mode) {
    if (text.empty()) return 1;
    const std::int32_t value = readNumber(text);
    const std::int32_t low = mode == kDevicePort ? 2000 : 1;
    return value < low || value > 65535 ? 1 : 0;
}

int checkDigits(std::string_view text) {
    if (text.empty()) return 2;
    for (unsigned char c : text)
        if (c < '0' || c > '9') return 1;
    return 0;
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
