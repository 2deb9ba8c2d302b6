#include "store/ansi.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>

namespace kbcfg::store {

namespace {

// Length of the UTF-8 sequence that starts with byte c, or 0 when c cannot start one.
std::size_t utf8SequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// One iconv descriptor per direction and thread, reopened when the code page changes.
class Converter {
  public:
    Converter(bool toAnsi) : toAnsi_(toAnsi) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    iconv_t get() {
        const std::string cp = codePage();
        if (cp != openFor_) {
            if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
            cd_ = toAnsi_ ? iconv_open(cp.c_str(), "UTF-8") : iconv_open("UTF-8", cp.c_str());
            if (cd_ == reinterpret_cast<iconv_t>(-1))
                cd_ = toAnsi_ ? iconv_open("CP1252", "UTF-8") : iconv_open("UTF-8", "CP1252");
            openFor_ = cp;
        }
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

  private:
    bool toAnsi_;
    std::string openFor_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Converts `in` with cd; a sequence that does not convert becomes '?' and the input moves on by
// the length the step function gives for that position.
template <class Step>
std::string convert(iconv_t cd, std::string_view in, Step step) {
    std::string out;
    out.reserve(in.size() * 2 + 4);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[256];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace one character and go on.
        out.push_back('?');
        const std::size_t skip = step(static_cast<unsigned char>(*src), srcLeft);
        src += skip;
        srcLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace

std::string codePage() {
    const char* cp = std::getenv("KBCFG_CODEPAGE");
    return cp && *cp ? std::string(cp) : std::string("CP1252");
}

std::size_t codePointCount(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t n = utf8SequenceLength(static_cast<unsigned char>(utf8[i]));
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
    thread_local Converter converter(true);
    iconv_t cd = converter.get();
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::string out;
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
    return convert(cd, utf8, [](unsigned char c, std::size_t left) {
        std::size_t n = utf8SequenceLength(c);
        return n == 0 || n > left ? std::size_t{1} : n;
    });
}

std::string fromAnsi(std::string_view ansi) {
    if (isAscii(ansi)) return std::string(ansi);
    thread_local Converter converter(false);
    iconv_t cd = converter.get();
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::string out;
        for (unsigned char c : ansi) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    // Double-byte code pages may need two bytes for one character; a lone lead byte is replaced.
    return convert(cd, ansi, [](unsigned char, std::size_t) { return std::size_t{1}; });
}

}  // namespace kbcfg::store
