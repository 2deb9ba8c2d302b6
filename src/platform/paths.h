#pragma once
// Paths as text. A path is UTF-16 on Windows and bytes on POSIX systems; the core keeps them as
// std::filesystem::path and turns them into text only here: UTF-8 for messages, JSON and limits.

#include <filesystem>
#include <string>
#include <string_view>

namespace kbcfg::platform {

// The path as UTF-8 text.
inline std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// The path that UTF-8 text names.
inline std::filesystem::path fromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace kbcfg::platform
