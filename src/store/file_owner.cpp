#include "store/file_owner.h"

#include <cstdint>

namespace kbcfg::store {

namespace {

constexpr std::size_t kNameMax = 255;  // bytes in one name on the file systems in use

}  // namespace

std::string nameWithin(std::string_view prefix, std::string_view name, std::string_view suffix) {
    if (prefix.size() + name.size() + suffix.size() <= kNameMax)
        return std::string(prefix) + std::string(name) + std::string(suffix);
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char tag[18];
    constexpr char kDigits[] = "0123456789abcdef";
    tag[0] = '~';
    for (int i = 0; i < 16; ++i) tag[1 + i] = kDigits[(hash >> (60 - 4 * i)) & 0xF];
    tag[17] = '\0';
    std::size_t keep = kNameMax - prefix.size() - suffix.size() - 17;
    // Never cut a character of a multibyte name in half.
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
    return std::string(prefix) + std::string(name.substr(0, keep)) + tag + std::string(suffix);
}

}  // namespace kbcfg::store
