#include "platform/codepage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

namespace kbcfg::platform {

namespace {

// Upper case, without '-', '_' and spaces: "windows-1252" and "WINDOWS1252" are one name.
std::string folded(std::string_view name) {
    std::string out;
    for (unsigned char c : name)
        if (c != '-' && c != '_' && c != ' ') out.push_back(static_cast<char>(std::toupper(c)));
    return out;
}

std::optional<unsigned> number(std::string_view digits) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return std::nullopt;
    return value;
}

// iconv's names of the code pages that have a name besides their number.
constexpr std::array<std::pair<std::string_view, unsigned>, 23> kNamed{{
    {"ASCII", 20127},   {"USASCII", 20127},   {"LATIN1", 28591},  {"GBK", 936},
    {"GB2312", 936},    {"EUCCN", 936},       {"GB18030", 54936}, {"BIG5", 950},
    {"BIG5HKSCS", 950}, {"SHIFTJIS", 932},    {"SJIS", 932},      {"MSKANJI", 932},
    {"EUCJP", 20932},   {"EUCKR", 949},       {"UHC", 949},       {"JOHAB", 1361},
    {"KOI8R", 20866},   {"KOI8U", 21866},     {"TIS620", 874},    {"UTF8", 65001},
    {"UTF7", 65000},    {"MACINTOSH", 10000}, {"MAC", 10000},
}};

}  // namespace

std::optional<unsigned> codePageNumber(std::string_view name) {
    const std::string key = folded(name);
    if (const auto n = number(key)) return n;
    for (std::string_view prefix : {"CP", "WINDOWS", "IBM", "MS"})
        if (key.starts_with(prefix))
            if (const auto n = number(std::string_view(key).substr(prefix.size()))) return n;
    // ISO-8859-1 is 28591, up to ISO-8859-15 at 28605.
    if (key.starts_with("ISO8859"))
        if (const auto n = number(std::string_view(key).substr(7)); n && *n >= 1 && *n <= 15)
            return 28590 + *n;
    const auto it = std::find_if(kNamed.begin(), kNamed.end(),
                                 [&](const auto& named) { return named.first == key; });
    if (it != kNamed.end()) return it->second;
    return std::nullopt;
}

}  // namespace kbcfg::platform
