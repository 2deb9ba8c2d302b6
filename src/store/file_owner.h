#pragma once
// Who owns a file and who may change it: for trusting what other users leave beside a
// configuration file (lock files, backups) only as far as they could have changed the file itself.

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

namespace kbcfg::store {

// Whether user `uid` may write the file or folder described by `st`, by its mode bits (root may
// write anything; the user's groups come from the user database).
bool userMayWrite(uid_t uid, const struct stat& st);

// The user's login name, or the number when the user database has none.
std::string userName(uid_t uid);

// A file name within the file system's limit: `prefix + name + suffix` when that fits, else a cut
// of the name with a short hash of the whole, so that one name always maps to the same result and
// different names (almost surely) to different ones.
std::string nameWithin(std::string_view prefix, std::string_view name, std::string_view suffix);

}  // namespace kbcfg::store
