#pragma once
// Files as the platform layer makes them, for tests that run on every system. Symbolic links, made
// as each system makes them. Windows makes one only with a privilege or in developer mode, and Wine
// not at all (its CreateSymbolicLinkW succeeds and makes nothing): a test that needs a link skips
// where none can be made (KBCFG_LINK_OR_SKIP).

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace kbcfg::testing {

// Whether the final name of `path` is a link (on Windows: any reparse point).
inline bool isLink(const std::filesystem::path& path) {
#ifdef _WIN32
    std::error_code ec;
    const auto info = platform::fileInfo(path, platform::Links::NoFollow, ec);
    return info && info->kind == platform::FileKind::Link;
#else
    return std::filesystem::is_symlink(path);
#endif
}

// Makes `link` a symbolic link to `target` (a folder's when `folder`); false when this system
// cannot.
inline bool makeLink(const std::filesystem::path& target, const std::filesystem::path& link,
                     bool folder = false) {
#ifdef _WIN32
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (folder) flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) && isLink(link);
#else
    std::error_code ec;
    if (folder)
        std::filesystem::create_directory_symlink(target, link, ec);
    else
        std::filesystem::create_symlink(target, link, ec);
    return !ec;
#endif
}

// Makes a FIFO; false where the system has none (Windows).
inline bool makeFifo(const std::filesystem::path& path) {
#ifdef _WIN32
    (void)path;
    return false;
#else
    return ::mkfifo(path.c_str(), 0600) == 0;
#endif
}

// Writes a new file that only its owner may open (0600, an owner-only ACL), as a file of secrets
// must be.
inline bool writePrivate(const std::filesystem::path& path, const std::string& text) {
    std::error_code ec;
    platform::File file = platform::openForWriting(path, platform::Create::New, ec);
    return file.valid() &&
           platform::write(file, text.data(), text.size(), ec) == static_cast<long>(text.size()) &&
           file.close();
}

}  // namespace kbcfg::testing

#define KBCFG_FIFO_OR_SKIP(path)                                               \
    do {                                                                       \
        if (!::kbcfg::testing::makeFifo(path)) GTEST_SKIP() << "no FIFO here"; \
    } while (0)

#define KBCFG_LINK_OR_SKIP(...)                                                    \
    do {                                                                           \
        if (!::kbcfg::testing::makeLink(__VA_ARGS__))                              \
            GTEST_SKIP() << "no symbolic link can be made here (Wine makes none)"; \
    } while (0)
