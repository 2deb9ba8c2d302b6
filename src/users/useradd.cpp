#include "users/useradd.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::users {

using store::Outcome;

namespace msg {
constexpr int kNameBlank = 11, kNameTooLong = 12, kNameChars = 13, kPasswordChars = 16,
              kPasswordTooLong = 17, kPasswordsDiffer = 18, kUserExists = 37, kUsersFull = 38,
              kUserAdded = 39, kTitle = 156;
}

useradd::useradd(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {}

std::string useradd::title() {
    return store::getMessage(msg::kTitle);
}

Outcome useradd::addUser() {
    switch (store::checkUserName(name)) {
        case 1:
            store::showMessage(host_, msg::kNameTooLong);
            name.clear();
            return Outcome::Refused;
        case 3:
            store::showMessage(host_, msg::kNameBlank);
            return Outcome::Refused;
        case 2:
            store::showMessage(host_, msg::kNameChars);
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
        store::showMessage(host_, msg::kPasswordsDiffer);
        return Outcome::Refused;
    }
    if (const int r = store::checkPassword(password); r == 1 || r == 2) {
        store::showMessage(host_, r == 1 ? msg::kPasswordTooLong : msg::kPasswordChars);
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
        store::showMessage(host_, msg::kUserExists);
        return Outcome::Refused;
    }
    const std::string ansiPassword = store::toAnsi(password);
    const int position = image_.findFreeOperatorRecord();
    if (position == 0) {
        store::showMessage(host_, msg::kUsersFull);
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
    store::showMessage(host_, msg::kUserAdded);
    name.clear();
    password.clear();
    confirm.clear();
    return Outcome::Done;
}

}  // namespace kbcfg::users
