#include "store/printable.h"

#include <cstdint>
#include <filesystem>

namespace kbcfg::store {

namespace {

void appendHex(std::string& out, unsigned char byte) {
    constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
}

// The length of the well-formed UTF-8 sequence at text[i] (2 to 4 bytes), 0 when there is none.
std::size_t sequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    const bool c1 = code >= 0x80 && code <= 0x9F;  // controls as well, in their UTF-8 form
    if (overlong || surrogate || c1 || code > 0x10FFFF) return 0;
    return length;
}

std::string escaped(std::string_view text, bool keepBackslash) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\' && !keepBackslash) out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c == '\n') {
            out += "\\n", ++i;
        } else if (c == '\t') {
            out += "\\t", ++i;
        } else if (c == '\r') {
            out += "\\r", ++i;
        } else if (const std::size_t length = c >= 0x80 ? sequenceAt(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            appendHex(out, c);
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string printable(std::string_view text) {
    return escaped(text, false);
}

std::string printablePath(std::string_view text) {
    return escaped(text, std::filesystem::path::preferred_separator == '\\');
}

std::string printableUserName(std::string_view name) {
    return printablePath(name);
}

}  // namespace kbcfg::store
