#include "users/modifyuser.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::users {

using store::Outcome;

namespace msg {
constexpr int kPasswordChars = 16, kPasswordTooLong = 17, kPasswordsDiffer = 18,
              kPasswordChanged = 19, kTitle = 133;
}

modifyuser::modifyuser(store::Host& host, store::SessionState& session, store::ConfigImage& image,
                       int position, std::string name)
    : shownName(std::move(name)),
      host_(host),
      session_(session),
      image_(image),
      position_(position) {}

std::string modifyuser::title() {
    return store::getMessage(msg::kTitle);
}

Outcome modifyuser::modifyPassword() {
    if (newPassword != confirm) {
        store::showMessage(host_, msg::kPasswordsDiffer);
        newPassword.clear();
        confirm.clear();
        return Outcome::Refused;
    }
    if (const int r = store::checkPassword(newPassword); r == 1 || r == 2) {
        store::showMessage(host_, r == 1 ? msg::kPasswordTooLong : msg::kPasswordChars);
        newPassword.clear();
        confirm.clear();
        return Outcome::Refused;
    }
    if (position_ < 0 || position_ >= store::layout::kOperatorCount) return Outcome::Refused;
    image_.operatorRecord(position_).setPassword(store::toAnsi(newPassword));
    const bool saved = store::saveChange(host_, session_, image_) == 0;
    newPassword.clear();
    confirm.clear();
    if (!saved) return Outcome::Refused;
    store::showMessage(host_, msg::kPasswordChanged);
    closeRequested = true;
    return Outcome::Done;
}

}  // namespace kbcfg::users
