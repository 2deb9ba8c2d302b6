#include "store/ansi.h"

#include <utility>

#include "platform/codepage.h"
#include "platform/environment.h"

namespace kbcfg::store {

namespace {

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

}  // namespace

std::string codePage() {
    auto cp = platform::environment("KBCFG_CODEPAGE");
    return cp && !cp->empty() ? std::move(*cp) : std::string("CP1252");
}

std::size_t codePointCount(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = platform::utf8SequenceLength(static_cast<unsigned char>(utf8[i]));
        if (n == 0 || i + n > utf8.size()) n = 1;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) n = 1;
        i += n;
        ++count;
    }
    return count;
}

std::string toAnsi(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string out;
    // A code page the system does not know falls back to the default one.
    if (platform::toCodePage(utf8, codePage(), out) || platform::toCodePage(utf8, "CP1252", out))
        return out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c & 0xC0) != 0x80) {
            out.push_back('?');
        }
    }
    return out;
}

std::string fromAnsi(std::string_view ansi) {
    if (isAscii(ansi)) return std::string(ansi);
    std::string out;
    if (platform::fromCodePage(ansi, codePage(), out) ||
        platform::fromCodePage(ansi, "CP1252", out))
        return out;
    for (unsigned char c : ansi) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace kbcfg::store
