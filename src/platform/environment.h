#pragma once
// The process environment as UTF-8 text. Windows keeps it in UTF-16 and its narrow view is in
// the ANSI code page, so nothing outside the platform layer reads a variable any other way.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kbcfg::platform {

// The variable's value as UTF-8; nothing when it is not set (an empty value is returned as
// such: callers decide whether empty counts).
std::optional<std::string> environment(const char* name);

// A folder of this user for an application's small run-time files (locks, sockets).
struct UserFolder {
    std::filesystem::path path;
    bool makeWhenMissing = false;  // false: the system makes it; when missing it is not used
};

// Where this system keeps such folders, best first, only absolute paths: XDG_RUNTIME_DIR, then
// $XDG_CACHE_HOME/<app> or ~/.cache/<app> on POSIX systems; %LOCALAPPDATA%\<app> on Windows.
// The temporary folder, the last resort everywhere, is left to the caller.
std::vector<UserFolder> userRuntimeFolders(std::string_view app);

}  // namespace kbcfg::platform
