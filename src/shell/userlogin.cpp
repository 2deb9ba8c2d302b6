#include "shell/userlogin.h"

#include <string_view>

#include "platform/paths.h"
#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::shell {

using store::Outcome;

bool passwordMatches(const store::OperatorRecord& record, const std::string& ansiPassword) {
    std::string_view typed = ansiPassword;
    typed = typed.substr(0, typed.find('\0'));
    typed = typed.substr(0, store::OperatorRecord::kPasswordWidth);
    // The stored text is already cut at its first NUL and at the field width.
    return record.password() == typed;
}

userlogin::userlogin(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {}

std::string userlogin::title() {
    return store::getMessage(store::Msg::TitleLogin);
}
std::string userlogin::pathLabel() {
    return store::getMessage(store::Msg::ConfigFileLabel);
}
std::string userlogin::userNameLabel() {
    return store::getMessage(store::Msg::UserNameLabel);
}
std::string userlogin::passwordLabel() {
    return store::getMessage(store::Msg::PasswordLabel);
}
std::string userlogin::loginCaption() {
    return store::getMessage(store::Msg::TitleLogin);
}
std::string userlogin::cancelCaption() {
    return store::getMessage(store::Msg::CancelButton);
}

void userlogin::open() {
    if (session_.mode == 2) {
        path = platform::utf8(session_.configPath);
        browseEnabled = false;
        focus = Focus::UserName;
        session_.mode = 1;
    }
}

bool userlogin::browse() {
    if (!store::chooseConfigFile(host_, session_)) return false;
    path = platform::utf8(session_.configPath);
    return true;
}

bool userlogin::useConfigFile(const std::filesystem::path& file) {
    if (store::codePointCount(platform::utf8(file)) > store::kMaxPathChars) {
        store::showMessage(host_, store::Msg::PathTooLong);
        session_.configPath.clear();
        return false;
    }
    if (store::codePointCount(platform::utf8(file.filename())) > store::kMaxFileNameChars) {
        store::showMessage(host_, store::Msg::FileNameTooLong);
        session_.configPath.clear();
        return false;
    }
    store::setConfigPaths(session_, file);
    path = platform::utf8(session_.configPath);
    return true;
}

bool userlogin::openWithFile(const std::filesystem::path& file) {
    // Coming from "Export && login" the exported file stays.
    if (!browseEnabled || !useConfigFile(file)) return false;
    std::error_code ec;
    std::filesystem::current_path(session_.configFolder, ec);
    store::backupConfigFile(host_, session_, platform::utf8(file.filename()),
                            store::kBackupLimitAtLogin);
    focus = Focus::UserName;
    return true;
}

Outcome userlogin::refuse(store::Msg message, Focus focusTo) {
    store::showMessage(host_, message);
    focus = focusTo;
    return Outcome::Refused;
}

Outcome userlogin::login() {
    session_.loggedInUser = -1;
    openMainWindow = false;
    focus = Focus::Unchanged;

    if (path.empty()) return refuse(store::Msg::ChooseConfigFileFirst, Focus::Unchanged);

    switch (store::checkUserName(userName)) {
        case store::Check::Empty:
            return refuse(store::Msg::UserNameBlank, Focus::UserName);
        case store::Check::TooLong:
            userName.clear();
            password.clear();
            return refuse(store::Msg::UserNameTooLong, Focus::UserName);
        default:
            // Other characters go on: the look-up below decides.
            break;
    }
    if (store::checkPassword(password) == store::Check::TooLong) {
        password.clear();
        return refuse(store::Msg::PasswordTooLong, Focus::Password);
    }

    const std::string ansiName = store::toAnsi(userName);
    const std::string ansiPassword = store::toAnsi(password);

    // One writer at a time: the lock is taken before the file is read, so that what is loaded
    // is what this session will save over.
    if (store::beginEditSession(host_, session_) != 0) return Outcome::Refused;
    if (store::loadImage(host_, session_, image_) != 0) {
        // loadImage has shown why.
        store::endEditSession(session_);
        path.clear();
        userName.clear();
        password.clear();
        return Outcome::Refused;
    }

    session_.loggedInUser = image_.findOperatorByName(ansiName);
    if (session_.loggedInUser < 0) {
        store::endEditSession(session_);
        userName.clear();
        password.clear();
        return refuse(store::Msg::ErrorUser, Focus::UserName);
    }
    if (!passwordMatches(image_.operatorRecord(session_.loggedInUser), ansiPassword)) {
        store::endEditSession(session_);
        password.clear();
        return refuse(store::Msg::ErrorPassword, Focus::Password);
    }

    session_.currentUserName = userName;
    openMainWindow = true;
    return Outcome::Done;
}

void userlogin::passwordFocusLeft(bool toLoginButton, bool byPointer) {
    if (toLoginButton && !byPointer) login();
}

void userlogin::closed() {
    // After a successful login the main window takes over the front.
    if (openMainWindow) return;
    if (!host_.windowExists(store::getMessage(store::Msg::TitleMenu)))
        host_.raiseWindow(store::getMessage(store::Msg::TitleModes));
}

}  // namespace kbcfg::shell
