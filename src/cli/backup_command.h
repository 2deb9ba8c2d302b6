#pragma once
// The command line's rotating backups of a configuration file: before a command first changes a
// file, the file as it was is copied into the Backup folder beside it as
// NAME.YYYYMMDD-HHMMSS.bak (NAME.YYYYMMDD-HHMMSS-2.bak and so on within one second), and only the
// newest few are kept. `kbcfg backups FILE` lists them, `kbcfg restore FILE BACKUP` puts one back.
// The desktop tool's own copies in that folder (named like the file itself) are never touched.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command.h"

namespace kbcfg::cli {

inline constexpr std::size_t kBackupsKept = 20;

// The backups of configPath, newest first.
std::vector<std::filesystem::path> listBackups(const std::filesystem::path& configPath);

// Copies configPath as it is now into its backup folder under a new name and removes all but the
// newest kBackupsKept. False, with `why`, when no copy could be made.
bool backUpConfigFile(const std::filesystem::path& configPath, std::string& why);

class BackupsCommand : public Command {
  public:
    BackupsCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    std::string file_;
};

// An editing operation: it takes the file's lock, so it cannot race an editor of the file.
class RestoreCommand : public Command {
  public:
    RestoreCommand();
    void setup(CLI::App& app) override;
    int run(Context& ctx) override;

  private:
    int restoreLocked(Context& ctx, const std::filesystem::path& backup);

    std::string file_;
    std::string backup_;
    bool noBackup_ = false;
};

}  // namespace kbcfg::cli
