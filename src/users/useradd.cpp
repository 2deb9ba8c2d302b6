#include "users/useradd.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::users {

using store::Outcome;

useradd::useradd(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {}

std::string useradd::title() {
    return store::getMessage(store::Msg::TitleAddUser);
}

Outcome useradd::addUser() {
    switch (store::checkUserName(name)) {
        case store::Check::TooLong:
            store::showMessage(host_, store::Msg::UserNameTooLong);
            name.clear();
            return Outcome::Refused;
        case store::Check::Empty:
            store::showMessage(host_, store::Msg::UserNameBlank);
            return Outcome::Refused;
        case store::Check::BadCharacter:
            store::showMessage(host_, store::Msg::UserNameChars);
            name.clear();
            password.clear();
            confirm.clear();
            return Outcome::Refused;
        default:
            break;
    }
    if (password != confirm) {
        password.clear();
        confirm.clear();
        store::showMessage(host_, store::Msg::PasswordsDiffer);
        return Outcome::Refused;
    }
    if (const auto message = store::passwordMessage(store::checkPassword(password))) {
        store::showMessage(host_, *message);
        password.clear();
        confirm.clear();
        return Outcome::Refused;
    }
    const std::string ansiName = store::toAnsi(name);
    if (image_.operatorNameExists(ansiName.substr(0, store::OperatorRecord::kNameWidth))) {
        name.clear();
        password.clear();
        confirm.clear();
        focus = Focus::Name;
        store::showMessage(host_, store::Msg::UserExists);
        return Outcome::Refused;
    }
    const std::string ansiPassword = store::toAnsi(password);
    const int position = image_.findFreeOperatorRecord();
    if (position == 0) {
        store::showMessage(host_, store::Msg::UserListFull);
        closeRequested = true;
        return Outcome::Refused;
    }
    store::OperatorRecord op = image_.operatorRecord(position);
    op.setInUse(1);
    op.setName(ansiName);
    op.setPassword(ansiPassword);
    image_.resetOperatorDevices(position);
    // A failed save has said so; the user stays in memory but is not reported as added.
    const bool saved = store::saveChange(host_, session_, image_) == 0;
    closeRequested = true;
    if (!saved) return Outcome::Refused;
    addedPosition = position;
    store::showMessage(host_, store::Msg::UserAdded);
    name.clear();
    password.clear();
    confirm.clear();
    return Outcome::Done;
}

}  // namespace kbcfg::users
