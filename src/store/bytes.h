#pragma once
// Little-endian field access over raw image bytes. Every record of the image is read and written
// through these, so no structure is ever cast over the buffer.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kbcfg::store {

inline std::uint8_t getU8(const std::uint8_t* p) {
    return p[0];
}
inline void putU8(std::uint8_t* p, std::uint8_t v) {
    p[0] = v;
}

inline std::uint16_t getU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void putU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline std::int16_t getI16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(getU16(p));
}
inline void putI16(std::uint8_t* p, std::int16_t v) {
    putU16(p, static_cast<std::uint16_t>(v));
}

inline std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::int32_t getI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(getU32(p));
}
inline void putI32(std::uint8_t* p, std::int32_t v) {
    putU32(p, static_cast<std::uint32_t>(v));
}

// A fixed-width text field: the bytes up to the first NUL, never more than the width.
inline std::string getText(const std::uint8_t* p, std::size_t width) {
    const void* nul = std::memchr(p, 0, width);
    const std::size_t n =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p) : width;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Writes text zero-padded over the whole width; text longer than the field is cut at the width.
inline void putText(std::uint8_t* p, std::size_t width, std::string_view text) {
    const std::size_t n = text.size() < width ? text.size() : width;
    std::memset(p, 0, width);
    std::memcpy(p, text.data(), n);
}

}  // namespace kbcfg::store
