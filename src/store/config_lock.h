#pragma once
// One writer at a time: an editing session holds an exclusive lock on a small lock file beside
// the configuration file (an open file description lock, so it is tied to this open file and
// works wherever the file system supports such locks). The lock file names its holder, goes
// when the session ends, and a lock left by a killed process is released by the kernel, so it
// never blocks the next session.
//
// Only those who may write the configuration file may hold or block its lock: the lock file is
// opened by its writers alone (0600, or 0660 for a file its group may write), and a lock file of
// a user who may not write the configuration file is never opened or believed; it is removed
// where this user may remove it, and named with its owner where not.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"
#include "store/safe_file.h"

namespace kbcfg::store {

class ConfigLock {
  public:
    // Takes the lock for the configuration file at configPath (links followed, so every path to
    // one file shares one lock). nullptr when it cannot be had; `why` then says so in a line for
    // the user (who holds it, or what failed).
    static std::unique_ptr<ConfigLock> acquire(const std::filesystem::path& configPath,
                                               std::string& why);
    ~ConfigLock();  // removes the lock file and releases the lock
    ConfigLock(const ConfigLock&) = delete;
    ConfigLock& operator=(const ConfigLock&) = delete;

    const std::filesystem::path& lockPath() const { return lockPath_; }

    // The configuration file as this session last loaded or saved it: a save is refused when
    // the file on disk is no longer that one.
    std::optional<FileIdentity> loaded;

  private:
    ConfigLock(std::filesystem::path lockPath, platform::File file);
    std::filesystem::path lockPath_;
    platform::File file_;
    int removal_;  // the lock file goes with the process when a signal ends it
};

// The lock file that belongs to a configuration file: ".NAME.kbcfg-lock" beside it (for a name
// too long for that, a shortened one with a hash of the name).
std::filesystem::path lockPathFor(const std::filesystem::path& configPath);

}  // namespace kbcfg::store
