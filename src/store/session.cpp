#include "store/session.h"

namespace kbcfg::store {

SessionState& SessionState::instance() {
    static SessionState session;
    return session;
}

void setConfigPaths(SessionState& session, const std::filesystem::path& configPath) {
    session.configPath = configPath;
    std::filesystem::path folder = configPath.parent_path();
    if (folder.empty()) folder = ".";
    session.configFolder = folder / "";
}

std::filesystem::path backupFolder(const SessionState& session) {
    return session.configFolder / kBackupFolderName / "";
}

}  // namespace kbcfg::store
