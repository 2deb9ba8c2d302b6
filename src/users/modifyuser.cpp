#include "users/modifyuser.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::users {

using store::Outcome;

modifyuser::modifyuser(store::Host& host, store::SessionState& session, store::ConfigImage& image,
                       int position, std::string name)
    : shownName(std::move(name)),
      host_(host),
      session_(session),
      image_(image),
      position_(position) {}

std::string modifyuser::title() {
    return store::getMessage(store::Msg::TitleModifyPassword);
}

Outcome modifyuser::modifyPassword() {
    if (newPassword != confirm) {
        store::showMessage(host_, store::Msg::PasswordsDiffer);
        newPassword.clear();
        confirm.clear();
        return Outcome::Refused;
    }
    if (const auto message = store::passwordMessage(store::checkPassword(newPassword))) {
        store::showMessage(host_, *message);
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
    store::showMessage(host_, store::Msg::PasswordModified);
    closeRequested = true;
    return Outcome::Done;
}

}  // namespace kbcfg::users
