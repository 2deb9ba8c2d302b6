#pragma once
// The full form of a path, as a file dialog gives it: the path limits count its characters.

#include <filesystem>
#include <system_error>

namespace kbcfg::store {

// Absolute against the current folder and cleaned of "." and ".." lexically; links are not
// resolved, so the path names what the user named. The path as given when there is no current
// folder to resolve it against.
inline std::filesystem::path fullPath(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal();
}

}  // namespace kbcfg::store
