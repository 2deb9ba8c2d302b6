#include "remote/modconfig.h"

#include <optional>
#include <system_error>

#include "platform/paths.h"
#include "store/ansi.h"
#include "store/config_lock.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/messages.h"

namespace kbcfg::remote {

using store::Outcome;

namespace {
// The library writes the fetched file itself, by name: it writes the atomic writer's temporary
// file, which then replaces the chosen one. An interrupted export never leaves half a file, and a
// link at the chosen path is replaced, never written through. Like every writer of a
// configuration file, it waits for no editor: a file being edited is not replaced. A new file is
// its owner's alone.
// nullopt when the file was fetched; else why not (empty when the keyboard's message says it all).
std::optional<std::string> fetchConfigFile(NetSdk& sdk, int loginId,
                                           const std::filesystem::path& target) {
    std::string why;
    const std::unique_ptr<store::ConfigLock> lock = store::ConfigLock::acquire(target, why);
    if (!lock) return why;
    store::AtomicFile out(target, store::LinkPolicy::Replace, store::kPrivateFile);
    if (out.ok() && sdk.getConfigFile(loginId, out.tempPath()) && out.commit()) return std::nullopt;
    return std::string();
}
}  // namespace

modconfig::modconfig(store::Host& host, store::SessionState& session, NetSdk& sdk)
    : host_(host), session_(session), sdk_(sdk) {}

std::string modconfig::title() {
    return store::getMessage(store::Msg::TitleRemoteConfig);
}

bool modconfig::choosePath() {
    store::FileChoiceRequest request{"All File (*)", "kbCfg.bin", "*.*"};
    request.forSaving = true;
    const auto chosen = host_.chooseOpenFile(request);
    if (!chosen) return false;
    return usePath(*chosen);
}

bool modconfig::usePath(const std::filesystem::path& given) {
    const std::filesystem::path path = store::fullPath(given);
    chosenPath = path;
    if (!checkPathLimits(host_, path)) {
        // The box keeps what it showed; only a too-long file name also forgets the session's.
        if (store::codePointCount(platform::utf8(path)) <= store::kMaxPathChars)
            session_.configPath.clear();
        chosenPath.clear();
        return false;
    }
    pathField = platform::utf8(path);
    store::setConfigPaths(session_, path);
    return true;
}

bool modconfig::checkPath(store::Msg message) {
    if (!chosenPath.empty()) return true;
    store::showMessage(host_, message);
    return false;
}

int modconfig::prepareExport() {
    if (!checkPath(store::Msg::ChooseSavePath) || !keyboard.check(host_)) return -2;
    store::WaitCursor wait(host_);
    const int id = keyboard.login(sdk_);
    if (id < 0) showLoginFailed(host_, sdk_);
    return id;
}

Outcome modconfig::exportFile() {
    const int id = prepareExport();
    if (id < 0) return Outcome::Refused;
    store::WaitCursor wait(host_);
    const std::optional<std::string> problem = fetchConfigFile(sdk_, id, chosenPath);
    sdk_.logoutEx(id);
    if (problem) {
        store::showMessage(host_, store::Msg::ExportFailed, *problem);
        return Outcome::Refused;
    }
    store::showMessage(host_, store::Msg::ExportSucceeded);
    return Outcome::Done;
}

Outcome modconfig::exportAndLogin() {
    const int id = prepareExport();
    if (id < 0) return Outcome::Refused;
    // The backup folder is made ready for the login's backups; nothing is copied into it. Only
    // that one folder is made: a chosen folder that does not exist fails as the plain export
    // would, with nothing created.
    std::error_code ec;
    if (!std::filesystem::is_directory(session_.configFolder, ec)) {
        sdk_.logoutEx(id);
        store::showMessage(host_, store::Msg::ExportFailed);
        return Outcome::Refused;
    }
    store::ensureBackupFolder(store::backupFolder(session_), chosenPath);
    store::WaitCursor wait(host_);
    const std::optional<std::string> problem = fetchConfigFile(sdk_, id, chosenPath);
    sdk_.logoutEx(id);
    if (problem) {
        store::showMessage(host_, store::Msg::ExportFailed, *problem);
        return Outcome::Refused;
    }
    closeRequested = true;
    openLogin = true;
    return Outcome::Done;
}

Outcome modconfig::importFile() {
    if (!checkPath(store::Msg::ChooseConfigFileFirst)) return Outcome::Refused;
    return importConfigFile(host_, sdk_, keyboard, chosenPath, true);
}

Outcome importConfigFile(store::Host& host, NetSdk& sdk, KeyboardFields& keyboard,
                         const std::filesystem::path& file, bool stopOnLoginFailure) {
    if (file.empty()) {
        store::showMessage(host, store::Msg::ChooseConfigFileFirst);
        return Outcome::Refused;
    }
    if (!keyboard.check(host)) return Outcome::Refused;
    store::WaitCursor wait(host);
    const int id = keyboard.login(sdk);
    if (id < 0 && stopOnLoginFailure) {
        showLoginFailed(host, sdk);
        return Outcome::Refused;
    }
    const int sent = sdk.setConfigFile(id, file);
    sdk.logoutEx(id);
    store::showMessage(host, sent ? store::Msg::ImportSucceeded : store::Msg::ImportFailed);
    return sent ? Outcome::Done : Outcome::Refused;
}

}  // namespace kbcfg::remote
