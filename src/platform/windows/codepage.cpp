#include "platform/codepage.h"

#include <windows.h>

#include "platform/windows/win32.h"

namespace kbcfg::platform {

namespace {

// The ANSI code pages of Windows, whose bytes without a character Windows maps to the C1
// control of the same value; iconv (and so the Linux build) knows them as no character. Both
// directions treat them as lost, so a file reads the same on both systems.
bool c1IsUnmapped(unsigned cp) {
    return cp == 874 || (cp >= 1250 && cp <= 1258);
}

bool isC1(wchar_t c) {
    return c >= 0x80 && c <= 0x9F;
}

std::optional<unsigned> usable(const std::string& name) {
    const auto cp = codePageNumber(name);
    CPINFO info{};
    if (!cp || (*cp != CP_UTF8 && !::GetCPInfo(*cp, &info))) return std::nullopt;
    return cp;
}

// One UTF-8 sequence at `in` as UTF-16 and its length in bytes; an empty result when it is not
// valid UTF-8 (the length is then how far to skip, as the Linux build does).
std::size_t decodeUtf8(std::string_view in, std::wstring& out) {
    out.clear();
    const std::size_t n = utf8SequenceLength(static_cast<unsigned char>(in[0]));
    if (n == 0 || n > in.size()) return 1;
    const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(),
                                            static_cast<int>(n), nullptr, 0);
    if (units <= 0) return n;
    out.resize(static_cast<std::size_t>(units));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(n), out.data(),
                          units);
    return n;
}

// UTF-16 in the code page; false when a character has no exact match there.
bool encode(unsigned cp, std::wstring_view text, std::string& out) {
    if (c1IsUnmapped(cp))
        for (wchar_t c : text)
            if (isC1(c)) return false;
    const int size = static_cast<int>(text.size());
    BOOL lost = FALSE;
    BOOL* lostFlag = cp == CP_UTF8 ? nullptr : &lost;
    const DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    const int n =
        ::WideCharToMultiByte(cp, flags, text.data(), size, nullptr, 0, nullptr, lostFlag);
    if (n <= 0 || lost) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    ::WideCharToMultiByte(cp, flags, text.data(), size, out.data() + at, n, nullptr, lostFlag);
    return !lost;
}

// Bytes of the code page as UTF-16; false when they stand for no character.
bool decode(unsigned cp, std::string_view bytes, std::wstring& out) {
    out.clear();
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, out.data(), n);
    if (c1IsUnmapped(cp))
        for (wchar_t c : out)
            if (isC1(c)) return false;
    return true;
}

}  // namespace

bool toCodePage(std::string_view utf8, const std::string& codePage, std::string& out) {
    const auto cp = usable(codePage);
    if (!cp) return false;
    out.clear();
    // A character at a time, so that one without a match costs only itself.
    std::wstring one;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = decodeUtf8(utf8.substr(i), one);
        if (one.empty() || !encode(*cp, one, out)) out.push_back('?');
        i += n;
    }
    return true;
}

bool fromCodePage(std::string_view bytes, const std::string& codePage, std::string& out) {
    const auto cp = usable(codePage);
    if (!cp) return false;
    out.clear();
    std::wstring wide;
    if (decode(*cp, bytes, wide)) {
        out = win::toUtf8(wide);
        return true;
    }
    // Something stands for no character: a character at a time, and a byte that starts none is
    // replaced on its own (a lone lead byte too, as on Linux).
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t n = 1;
        if (*cp == CP_UTF8) {
            n = utf8SequenceLength(c);
            n = n == 0 || n > bytes.size() - i ? 1 : n;
        } else if (::IsDBCSLeadByteEx(*cp, c) && i + 1 < bytes.size()) {
            n = 2;
        }
        if (decode(*cp, bytes.substr(i, n), wide)) {
            out += win::toUtf8(wide);
            i += n;
        } else {
            out.push_back('?');
            i += 1;
        }
    }
    return true;
}

}  // namespace kbcfg::platform
