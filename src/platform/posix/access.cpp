#include "platform/access.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <mutex>
#include <optional>

#include "platform/files.h"

namespace kbcfg::platform {

namespace fs = std::filesystem;

namespace {

std::optional<uid_t> uidOf(const UserId& user) {
    uid_t uid = 0;
    const char* end = user.id.data() + user.id.size();
    const auto [at, error] = std::from_chars(user.id.data(), end, uid);
    if (user.id.empty() || error != std::errc() || at != end) return std::nullopt;
    return uid;
}

struct UserRecord {
    bool found = false;
    std::string name;
    gid_t group = 0;
};

UserRecord lookUp(uid_t uid) {
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* result = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) != 0 || !result) return {};
    return {true, result->pw_name, result->pw_gid};
}

bool inGroup(uid_t uid, gid_t group) {
    if (uid == ::geteuid()) {
        if (group == ::getegid()) return true;
        const int count = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(static_cast<std::size_t>(count > 0 ? count : 0));
        if (count > 0 && ::getgroups(count, groups.data()) == count)
            for (gid_t g : groups)
                if (g == group) return true;
        return false;
    }
    const UserRecord user = lookUp(uid);
    if (!user.found) return false;
    if (user.group == group) return true;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(user.name.c_str(), user.group, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(user.name.c_str(), user.group, groups.data(), &count) < 0) return false;
    }
    for (int i = 0; i < count; ++i)
        if (groups[static_cast<std::size_t>(i)] == group) return true;
    return false;
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

// The mask is read by setting it: writers on other threads must not catch it at 0.
mode_t currentUmask() {
    static std::mutex umaskLock;
    std::lock_guard guard(umaskLock);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

Protection newProtection(mode_t mode) {
    Protection protection;
    protection.owner = ::geteuid();
    protection.group = ::getegid();
    protection.mode = mode & 0777 & ~currentUmask();
    protection.known = true;
    return protection;
}

}  // namespace

UserId currentUser() {
    return UserId{std::to_string(::geteuid())};
}

bool isSuperuser() {
    return ::geteuid() == 0;
}

bool isSystemUser(const UserId& user) {
    return user.id == "0";
}

std::string userName(const UserId& user) {
    const std::optional<uid_t> uid = uidOf(user);
    const UserRecord record = uid ? lookUp(*uid) : UserRecord{};
    return record.found ? record.name : "#" + user.id;
}

bool userMayWrite(const UserId& user, const fs::path& path) {
    const std::optional<uid_t> uid = uidOf(user);
    if (!uid) return false;
    if (*uid == 0) return true;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (st.st_uid == *uid) return (st.st_mode & S_IWUSR) != 0;
    if (inGroup(*uid, st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

bool mayWriteInPlace(const fs::path& path) {
    if (::geteuid() == 0) {
        // Root may write anything, but a file without any write bit was protected on purpose.
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    }
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool othersMayAccess(const FileInfo& info) {
    return (info.protection.mode & 077) != 0 || info.owner != currentUser();
}

bool othersMayWrite(const FileInfo& info) {
    return (info.protection.mode & (S_IWGRP | S_IWOTH)) != 0;
}

bool othersMayAccess(const fs::path& path) {
    std::error_code ec;
    const std::optional<FileInfo> info = fileInfo(path, Links::Follow, ec);
    return !info || othersMayAccess(*info);
}

Strangers othersCouldWrite(const fs::path& path, bool stickyAllowed) {
    using Kind = Strangers::Kind;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {Kind::Unknown, {}, lastError()};
    if (st.st_uid != 0 && st.st_uid != ::geteuid())
        return {Kind::Owner, UserId{std::to_string(st.st_uid)}, {}};
    if (stickyAllowed && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) return {};
    if ((st.st_mode & S_IWGRP) && !privateGroup(st.st_uid, st.st_gid)) return {Kind::Group, {}, {}};
    if (st.st_mode & S_IWOTH) return {Kind::Others, {}, {}};
    return {};
}

Protection protectionForNew(NewFile kind) {
    return newProtection(kind == NewFile::Private ? 0600 : 0666);
}

Protection protectionLike(const Protection& source) {
    return newProtection(static_cast<mode_t>(source.mode));
}

void shareWithWritersOf(File& file, const Protection& subject) {
    if (!subject.known || !(subject.mode & S_IWGRP)) return;
    const int fd = static_cast<int>(file.native());
    if (::fchown(fd, static_cast<uid_t>(-1), subject.group) == 0) ::fchmod(fd, 0660);
}

bool applyProtection(File& file, const Protection& protection, bool withOwner, std::string& why) {
    const int fd = static_cast<int>(file.native());
    const auto owner = static_cast<uid_t>(protection.owner);
    const auto group = static_cast<gid_t>(protection.group);
    if (withOwner && ::fchown(fd, owner, group) != 0) {
        // Only root may give a file away; another user with write access keeps the group at
        // least (and the file becomes his, as with any editor that saves by renaming).
        if (::fchown(fd, static_cast<uid_t>(-1), group) != 0 && errno != EPERM) {
            why = "chown: " + lastError().message();
            return false;
        }
    }
    if (::fchmod(fd, static_cast<mode_t>(protection.mode & 01777)) != 0) {
        why = "chmod: " + lastError().message();
        return false;
    }
    return true;
}

}  // namespace kbcfg::platform
