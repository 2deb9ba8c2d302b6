#pragma once
// Where a fleet's configurations are kept as reviewed text: one folder per keyboard holding its
// text form without passwords (NAME/config.json), with a history of commits. The fleet's backup
// reads and commits through this port; src/history implements it on a git repository.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kbcfg::remote {

class ConfigRepository {
  public:
    virtual ~ConfigRepository() = default;

    // The text of a file (a path relative to the repository's folder, '/'-separated) as the last
    // commit holds it; nullopt when that commit has no such file, or there is no commit yet.
    virtual std::optional<std::string> committed(const std::string& path) = 0;

    // Those of `paths` whose file in the folder, or whose entry staged for the next commit,
    // differs from the last commit (changed, added or deleted): someone's work in progress,
    // which a backup must not overwrite.
    virtual std::vector<std::string> uncommitted(const std::vector<std::string>& paths) = 0;

    // Writes each file (relative path -> whole text) into the folder, making its folders, and
    // records exactly these files in one commit on top of the last one, with `message`. Nothing
    // else the folder or the staging area holds goes into the commit or is changed. When every
    // file already equals the last commit's, nothing is committed and the result is "". Returns
    // the new commit's id (hex), or nullopt with `error` set.
    virtual std::optional<std::string> commit(const std::map<std::string, std::string>& files,
                                              const std::string& message, std::string& error) = 0;
};

}  // namespace kbcfg::remote
