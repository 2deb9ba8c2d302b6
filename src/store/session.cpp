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

bool mayWorkOnRecord(const SessionState& session, int record) {
    if (record < 1 || record > 3) return false;
    return session.loggedInUser == 0 || session.loggedInUser == record;
}

bool mayWorkOnOperatorNamed(const SessionState& session, const std::string& name) {
    return session.loggedInUser == 0 || name == session.currentUserName;
}

}  // namespace kbcfg::store
