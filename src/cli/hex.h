#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kbcfg::cli {

// "0x" and `digits` lower-case hex digits, the way versions and checksums are printed.
inline std::string hex(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", digits, static_cast<unsigned>(value));
    return buf;
}

}  // namespace kbcfg::cli
