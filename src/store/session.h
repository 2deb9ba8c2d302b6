#pragma once
// The state the pages of one run share: who is logged in, where the configuration file and its
// folder are, and the editing session's lock on that file.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace kbcfg::store {

class ConfigLock;

struct SessionState {
    // 1: came through the local-configuration button; 2: through "Export && login", the path
    // being set already.
    int mode = 0;
    // 0 administrator, 1..3 operators; -1 during a login attempt or after it failed to find the
    // user.
    int loggedInUser = 0;
    std::string currentUserName;  // as typed at the successful login (UTF-8)
    std::filesystem::path configPath;
    std::filesystem::path configFolder;  // configPath without its file name, trailing separator
    int confirmAnswer = 0;               // 1 only between an OK in a mode-3 box and its reader
    // Held from the login until the editing session ends (the main window closes, the command
    // ends): no other writer can open the file meanwhile. Empty for readers.
    std::shared_ptr<ConfigLock> editLock;
    // Called by each save before the file is replaced; false stops the save (the hook has said
    // why). The command line keeps a copy of the file as it was before its first change this
    // way. The desktop tool sets none.
    std::function<bool()> beforeSave;

    static SessionState& instance();
};

inline constexpr const char* kBackupFolderName = "Backup";

// Sets configPath and configFolder for a chosen or exported file.
void setConfigPaths(SessionState& session, const std::filesystem::path& configPath);
// configFolder + "Backup" + separator.
std::filesystem::path backupFolder(const SessionState& session);

// An operator works on his own record only, the administrator on every operator's (1..3).
bool mayWorkOnRecord(const SessionState& session, int record);
// The same for an operator named as at the login.
bool mayWorkOnOperatorNamed(const SessionState& session, const std::string& name);

}  // namespace kbcfg::store
