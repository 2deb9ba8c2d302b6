#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <map>

namespace kbcfg::platform {

namespace {

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// The descriptors of one direction, one per code page asked for, opened once per thread (a
// descriptor keeps state, so threads cannot share one).
class Converters {
  public:
    explicit Converters(bool toCodePage) : toCodePage_(toCodePage) {}
    ~Converters() {
        for (auto& [name, cd] : open_)
            if (cd != kNone) iconv_close(cd);
    }
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;

    iconv_t get(const std::string& codePage) {
        auto it = open_.find(codePage);
        if (it == open_.end()) {
            const iconv_t cd = toCodePage_ ? iconv_open(codePage.c_str(), "UTF-8")
                                           : iconv_open("UTF-8", codePage.c_str());
            it = open_.emplace(codePage, cd).first;
        }
        if (it->second != kNone) iconv(it->second, nullptr, nullptr, nullptr, nullptr);
        return it->second;
    }

  private:
    bool toCodePage_;
    std::map<std::string, iconv_t> open_;
};

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

bool toCodePage(std::string_view utf8, const std::string& codePage, std::string& out) {
    thread_local Converters converters(true);
    const iconv_t cd = converters.get(codePage);
    if (cd == kNone) return false;
    out = convert(cd, utf8, [](unsigned char c, std::size_t left) {
        const std::size_t n = utf8SequenceLength(c);
        return n == 0 || n > left ? std::size_t{1} : n;
    });
    return true;
}

bool fromCodePage(std::string_view bytes, const std::string& codePage, std::string& out) {
    thread_local Converters converters(false);
    const iconv_t cd = converters.get(codePage);
    if (cd == kNone) return false;
    // Double-byte code pages may need two bytes for one character; a lone lead byte is replaced.
    out = convert(cd, bytes, [](unsigned char, std::size_t) { return std::size_t{1}; });
    return true;
}

}  // namespace kbcfg::platform
