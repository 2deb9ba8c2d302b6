#include "codepage.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "sim_system.h"

namespace vyxsim {

namespace {

std::string codePageName() {
    const std::string env = sys::environment("KBCFG_CODEPAGE");
    return env.empty() ? "CP1252" : env;
}

// The length of the UTF-8 sequence that starts with b (1 for a stray byte).
std::size_t sequenceLength(unsigned char b) {
    if (b >= 0xF0 && b < 0xF8) return 4;
    if (b >= 0xE0) return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0) return 2;
    return 1;
}

#ifdef _WIN32

// The code page's number from its iconv name ("CP1252", "windows-1252", "1252", a few by name);
// 1252 for a name it does not know, as iconv's fallback below does.
UINT codePageNumber(std::string name) {
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    static const std::pair<std::string_view, UINT> named[] = {
        {"GBK", 936},      {"GB2312", 936},       {"CP936", 936},
        {"BIG5", 950},     {"SHIFT_JIS", 932},    {"EUC-KR", 949},
        {"KOI8-R", 20866}, {"ISO-8859-1", 28591}, {"LATIN1", 28591}};
    for (const auto& [n, number] : named)
        if (name == n) return number;
    std::string_view digits = name;
    for (std::string_view prefix : {"CP", "WINDOWS-", "ISO-8859-"})
        if (digits.starts_with(prefix)) {
            const bool iso = prefix == "ISO-8859-";
            digits.remove_prefix(prefix.size());
            const unsigned long n = std::strtoul(std::string(digits).c_str(), nullptr, 10);
            return iso ? static_cast<UINT>(28590 + n) : n ? static_cast<UINT>(n) : 1252;
        }
    const unsigned long n = std::strtoul(name.c_str(), nullptr, 10);
    return n ? static_cast<UINT>(n) : 1252;
}

// One character's UTF-8 bytes in the code page; false when it has no such character.
class Converter {
  public:
    Converter() : codePage_(codePageNumber(codePageName())) {
        CPINFO info;
        if (!GetCPInfo(codePage_, &info)) codePage_ = 1252;
    }
    bool convert(const char* in, std::size_t len, std::string& out) const {
        wchar_t wide[4];
        const int n =
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in, static_cast<int>(len), wide, 4);
        if (n <= 0) return false;
        char buf[16];
        BOOL lost = FALSE;
        // A best-fit look-alike would be a different character: refuse it as iconv does.
        const int m = WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, wide, n, buf, sizeof buf,
                                          nullptr, &lost);
        if (m <= 0 || lost) return false;
        out.append(buf, static_cast<std::size_t>(m));
        return true;
    }

  private:
    UINT codePage_;
};

#else

class Converter {
  public:
    Converter() {
        cd_ = iconv_open(codePageName().c_str(), "UTF-8");
        if (cd_ == reinterpret_cast<iconv_t>(-1)) cd_ = iconv_open("CP1252", "UTF-8");
    }
    ~Converter() {
        if (usable()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    bool convert(const char* from, std::size_t len, std::string& out) const {
        char in[4];
        char buf[16];
        std::copy(from, from + len, in);
        char* inp = in;
        char* outp = buf;
        std::size_t inLeft = len, outLeft = sizeof buf;
        if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1)) {
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            return false;
        }
        out.append(buf, static_cast<std::size_t>(outp - buf));
        return true;
    }

  private:
    iconv_t cd_;
};

#endif

}  // namespace

std::string toCodePage(const std::string& utf8) {
    bool ascii = true;
    for (unsigned char c : utf8) ascii = ascii && c < 0x80;
    if (ascii) return utf8;

    const Converter converter;
#ifndef _WIN32
    if (!converter.usable()) return utf8;
#endif
    std::string out;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // One character at a time, so a character that does not convert costs only itself.
        const std::size_t len =
            std::min(sequenceLength(static_cast<unsigned char>(utf8[pos])), utf8.size() - pos);
        if (!converter.convert(utf8.data() + pos, len, out)) out += '?';
        pos += len;
    }
    return out;
}

}  // namespace vyxsim
