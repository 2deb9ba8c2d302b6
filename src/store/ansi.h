#pragma once
// Text conversion between the UI (UTF-8) and the 8-bit text stored in the image or passed to the
// device libraries. The code page is named by KBCFG_CODEPAGE (an iconv name), CP1252 by default;
// characters that do not convert become '?'.

#include <cstddef>
#include <string>
#include <string_view>

namespace kbcfg::store {

std::string toAnsi(std::string_view utf8);
std::string fromAnsi(std::string_view ansi);

// The code page in use (KBCFG_CODEPAGE or "CP1252").
std::string codePage();

// Number of Unicode code points; length limits are counted in characters, not bytes. Bytes that
// are not valid UTF-8 count one each.
std::size_t codePointCount(std::string_view utf8);

}  // namespace kbcfg::store
