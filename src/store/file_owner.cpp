#include "store/file_owner.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace kbcfg::store {

namespace {

constexpr std::size_t kNameMax = 255;  // bytes in one name on the file systems in use

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

}  // namespace

bool userMayWrite(uid_t uid, const struct stat& st) {
    if (uid == 0) return true;
    if (st.st_uid == uid) return (st.st_mode & S_IWUSR) != 0;
    if (inGroup(uid, st.st_gid)) return (st.st_mode & S_IWGRP) != 0;
    return (st.st_mode & S_IWOTH) != 0;
}

std::string userName(uid_t uid) {
    const UserRecord user = lookUp(uid);
    return user.found ? user.name : "#" + std::to_string(uid);
}

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
