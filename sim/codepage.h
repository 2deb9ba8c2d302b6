#pragma once
// The tool hands the libraries 8-bit text in its code page (KBCFG_CODEPAGE, CP1252 by default);
// the simulator answers in the same one, so names written in the description as UTF-8 arrive as
// the tool expects them.

#include <string>

namespace vyxsim {

// Characters the code page lacks become '?'.
std::string toCodePage(const std::string& utf8);

}  // namespace vyxsim
