#include "codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace vyxsim {

namespace {

std::string codePageName() {
    const char* env = std::getenv("KBCFG_CODEPAGE");
    return env && *env ? env : "CP1252";
}

// The length of the UTF-8 sequence that starts with b (1 for a stray byte).
std::size_t sequenceLength(unsigned char b) {
    if (b >= 0xF0 && b < 0xF8) return 4;
    if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string toCodePage(const std::string& utf8) {
    bool ascii = true;
    for (unsigned char c : utf8) ascii = ascii && c < 0x80;
    if (ascii) return utf8;

    iconv_t cd = iconv_open(codePageName().c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("CP1252", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // One character at a time, so a character that does not convert costs only itself.
        std::size_t len =
            std::min(sequenceLength(static_cast<unsigned char>(utf8[pos])), utf8.size() - pos);
        char in[4];
        char buf[16];
        utf8.copy(in, len, pos);
        char* inp = in;
        char* outp = buf;
        std::size_t inLeft = len, outLeft = sizeof buf;
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            out += '?';
        } else {
            out.append(buf, static_cast<std::size_t>(outp - buf));
        }
        pos += len;
    }
    iconv_close(cd);
    return out;
}

}  // namespace vyxsim
