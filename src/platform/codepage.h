#pragma once
// 8-bit text of a code page (what configuration files hold and the device libraries take) to
// and from UTF-8. A code page is named as iconv names it ("CP1252", "GBK", "ISO-8859-1"); its
// number alone ("1252") works too.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kbcfg::platform {

// UTF-8 to the code page. A character the code page lacks, or a byte that starts no valid UTF-8
// sequence, becomes '?'. False when the system knows no such code page.
bool toCodePage(std::string_view utf8, const std::string& codePage, std::string& out);
// The code page's bytes to UTF-8. A byte (or a pair in a double-byte code page) that stands for
// no character becomes '?'. False when the system knows no such code page.
bool fromCodePage(std::string_view bytes, const std::string& codePage, std::string& out);

// The length of the UTF-8 sequence that starts with byte c, 0 when c cannot start one.
inline std::size_t utf8SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// The Windows number of a code page name ("CP1252", "windows-1252", "1252" -> 1252, "GBK" ->
// 936, "ISO-8859-2" -> 28592, "UTF-8" -> 65001), nullopt when the name is none known.
std::optional<unsigned> codePageNumber(std::string_view name);

}  // namespace kbcfg::platform
