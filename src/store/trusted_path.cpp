#include "store/trusted_path.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "store/file_owner.h"
#include "store/printable.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

std::string failed(const fs::path& path, int error) {
    return path.string() + ": " + std::strerror(error);
}

// Whether the group is the owner's private group (its primary group, with no other member), as
// with a umask of 002 under user private groups: its write bit lets nobody else in.
bool privateGroup(uid_t owner, gid_t group) {
    std::vector<char> buffer(16384);
    struct passwd user {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(owner, &user, buffer.data(), buffer.size(), &found) != 0 || !found ||
        user.pw_gid != group)
        return false;
    const std::string name = user.pw_name;
    std::vector<char> groupBuffer(65536);
    struct group entry {};
    struct group* known = nullptr;
    if (::getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &known) != 0 || !known)
        return false;
    for (char** member = known->gr_mem; *member; ++member)
        if (name != *member) return false;
    return true;
}

// Why others could change what lies at `path`: its owner, else its write bits. A sticky folder
// (`stickyAllowed`) may be writable by all, as nobody else can rename or remove its entries.
std::string othersCouldWrite(const fs::path& path, const struct stat& st, bool stickyAllowed) {
    if (st.st_uid != 0 && st.st_uid != ::geteuid())
        return path.string() + " is owned by user " + printable(userName(st.st_uid));
    if (stickyAllowed && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) return {};
    if ((st.st_mode & S_IWGRP) && !privateGroup(st.st_uid, st.st_gid))
        return path.string() + " can be written by its group";
    if (st.st_mode & S_IWOTH) return path.string() + " can be written by others";
    return {};
}

// `folder` (absolute, links resolved) and every folder above it up to /. The sticky bit is
// accepted for `folder` itself only when `ownSticky`.
std::string foldersAbove(fs::path folder, bool ownSticky) {
    bool stickyAllowed = ownSticky;
    for (;;) {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0) return failed(folder, errno);
        if (std::string why = othersCouldWrite(folder, st, stickyAllowed); !why.empty()) return why;
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
    if (ec) return existing.string() + ": " + ec.message();
    if (std::string why = foldersAbove(real, true); !why.empty()) return why;
    fs::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return failed(folder, errno);
    return {};
}

}  // namespace

std::string strangerWritable(const fs::path& file) {
    std::error_code ec;
    const fs::path real = fs::canonical(file, ec);
    if (ec) return file.string() + ": " + ec.message();
    struct stat st {};
    if (::stat(real.c_str(), &st) != 0) return failed(real, errno);
    if (!S_ISREG(st.st_mode)) return real.string() + " is not a regular file";
    if (std::string why = othersCouldWrite(real, st, false); !why.empty()) return why;
    // The file's own folder must not be writable by others even with the sticky bit: once the
    // file is replaced or removed (an update, a clean), its name is theirs to take.
    return foldersAbove(real.parent_path(), false);
}

std::string notPrivate(const fs::path& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return failed(folder, errno);
    if (S_ISLNK(st.st_mode)) return folder.string() + " is a symbolic link";
    if (!S_ISDIR(st.st_mode)) return folder.string() + " is not a folder";
    if (st.st_uid != ::geteuid())
        return folder.string() + " is owned by user " + std::to_string(st.st_uid);
    if (std::string why = othersCouldWrite(folder, st, false); !why.empty()) return why;
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec) return folder.string() + ": " + ec.message();
    return foldersAbove(real.parent_path(), true);
}

fs::path privateRuntimeFolder(
    const std::function<void(const fs::path&, const std::string&)>& refused) {
    std::vector<fs::path> candidates;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
        candidates.emplace_back(runtime);
    const std::size_t made = candidates.size();
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        candidates.push_back(fs::path(cache) / "kbcfg");
    else if (const char* home = std::getenv("HOME"); home && *home == '/')
        candidates.push_back(fs::path(home) / ".cache" / "kbcfg");
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec || temp.empty()) temp = "/tmp";
    candidates.push_back(temp / ("kbcfg-" + std::to_string(::geteuid())));

    for (std::size_t i = 0; i < candidates.size(); ++i) {
        std::string why = i < made ? std::string() : makeFolder(candidates[i]);
        if (why.empty()) why = notPrivate(candidates[i]);
        if (why.empty()) return candidates[i];
        if (refused) refused(candidates[i], why);
    }
    return {};
}

}  // namespace kbcfg::store
