#include "store/trusted_path.h"

#include <optional>
#include <system_error>
#include <vector>

#include "platform/access.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "store/printable.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

std::string failed(const fs::path& path, const std::error_code& error) {
    return platform::utf8(path) + ": " + error.message();
}

// Why others could change what lies at `path`, with the path in front; empty when nobody could.
std::string othersCouldWrite(const fs::path& path, bool stickyAllowed) {
    using Kind = platform::Strangers::Kind;
    const platform::Strangers strangers = platform::othersCouldWrite(path, stickyAllowed);
    const std::string shown = platform::utf8(path);
    switch (strangers.kind) {
        case Kind::Nobody:
            return {};
        case Kind::Owner:
            return shown + " is owned by user " +
                   printableUserName(platform::userName(strangers.owner));
        case Kind::Group:
            return shown + " can be written by its group";
        case Kind::Others:
            return shown + " can be written by others";
        case Kind::Unknown:
            return shown + " cannot be examined: " + strangers.error.message();
    }
    return {};
}

// `folder` (absolute, links resolved) and every folder above it up to /. The sticky bit is
// accepted for `folder` itself only when `ownSticky`.
std::string foldersAbove(fs::path folder, bool ownSticky) {
    bool stickyAllowed = ownSticky;
    for (;;) {
        std::error_code ec;
        if (!platform::fileInfo(folder, platform::Links::Follow, ec)) return failed(folder, ec);
        if (std::string why = othersCouldWrite(folder, stickyAllowed); !why.empty()) return why;
        if (folder == folder.parent_path()) return {};
        folder = folder.parent_path();
        stickyAllowed = true;
    }
}

// Makes `folder` (0700, with any missing folders above it) when it is missing, but only below a
// folder nobody else controls: never inside another user's home, which sudo may leave in HOME.
std::string makeFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder, ec))) return {};
    fs::path existing = folder.parent_path();
    while (!fs::exists(existing, ec) && existing != existing.parent_path())
        existing = existing.parent_path();
    const fs::path real = fs::canonical(existing, ec);
    if (ec) return platform::utf8(existing) + ": " + ec.message();
    if (std::string why = foldersAbove(real, true); !why.empty()) return why;
    fs::create_directories(folder.parent_path(), ec);
    if (!platform::makeFolder(folder, platform::FolderAccess::Private, ec) &&
        ec != std::errc::file_exists)
        return failed(folder, ec);
    return {};
}

}  // namespace

std::string strangerWritable(const fs::path& file) {
    std::error_code ec;
    const fs::path real = fs::canonical(file, ec);
    if (ec) return platform::utf8(file) + ": " + ec.message();
    const auto info = platform::fileInfo(real, platform::Links::Follow, ec);
    if (!info) return failed(real, ec);
    if (info->kind != platform::FileKind::Regular)
        return platform::utf8(real) + " is not a regular file";
    if (std::string why = othersCouldWrite(real, false); !why.empty()) return why;
    // The file's own folder must not be writable by others even with the sticky bit: once the
    // file is replaced or removed (an update, a clean), its name is theirs to take.
    return foldersAbove(real.parent_path(), false);
}

std::string notPrivate(const fs::path& folder) {
    std::error_code ec;
    const auto info = platform::fileInfo(folder, platform::Links::NoFollow, ec);
    if (!info) return failed(folder, ec);
    if (info->kind == platform::FileKind::Link)
        return platform::utf8(folder) + " is a symbolic link";
    if (info->kind != platform::FileKind::Folder)
        return platform::utf8(folder) + " is not a folder";
    if (info->owner != platform::currentUser())
        return platform::utf8(folder) + " is owned by user " + info->owner.id;
    if (std::string why = othersCouldWrite(folder, false); !why.empty()) return why;
    const fs::path real = fs::canonical(folder, ec);
    if (ec) return platform::utf8(folder) + ": " + ec.message();
    return foldersAbove(real.parent_path(), true);
}

fs::path privateRuntimeFolder(
    const std::function<void(const fs::path&, const std::string&)>& refused) {
    std::vector<platform::UserFolder> candidates = platform::userRuntimeFolders("kbcfg");
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec || temp.empty()) temp = "/tmp";
    candidates.push_back({temp / platform::fromUtf8("kbcfg-" + platform::currentUser().id), true});

    for (const auto& candidate : candidates) {
        std::string why = candidate.makeWhenMissing ? makeFolder(candidate.path) : std::string();
        if (why.empty()) why = notPrivate(candidate.path);
        if (why.empty()) return candidate.path;
        if (refused) refused(candidate.path, why);
    }
    return {};
}

}  // namespace kbcfg::store
