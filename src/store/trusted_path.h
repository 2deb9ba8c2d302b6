#pragma once
// Whether another local user could change a path: for code this tool loads (the device
// libraries) and for the folder of its run-time files (the desktop tool's instance lock). The
// rules follow ssh's strict modes: every part must belong to root or to the user running the
// tool, and none may be writable by its group or by others.

#include <filesystem>
#include <functional>
#include <string>

namespace kbcfg::store {

// Why a user other than this one (or root) could change the file, empty when none could. Links
// are resolved first; then the file and every folder from its own up to / must be owned by root
// or this user and not be writable by group or others. A folder above the file's own may be
// writable by all when it has the sticky bit (/tmp): nobody else can replace what lies in it.
// The reason names the part, e.g. "/x is owned by user 65534", "/x can be written by its group".
std::string strangerWritable(const std::filesystem::path& file);

// Why the folder is no private folder of this user, empty when it is: a folder (not a link)
// owned by this user, not writable by group or others, below folders nobody else can replace.
std::string notPrivate(const std::filesystem::path& folder);

// A private folder of this user for small run-time files such as locks and sockets:
// XDG_RUNTIME_DIR when set, else $XDG_CACHE_HOME/kbcfg (~/.cache/kbcfg), else kbcfg-<uid> in the
// temporary folder (on Windows: %LOCALAPPDATA%\kbcfg, else the temporary folder's kbcfg-<user>);
// all but XDG_RUNTIME_DIR are made (0700) when missing. A candidate that fails notPrivate
// is passed over and `refused` told why. Empty when none is usable.
std::filesystem::path privateRuntimeFolder(
    const std::function<void(const std::filesystem::path&, const std::string&)>& refused);

}  // namespace kbcfg::store
