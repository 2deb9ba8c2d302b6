#include "devices/modifydev.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::devices {

using store::Outcome;

modifydev::modifydev(store::Host& host, store::SessionState& session, store::ConfigImage& image,
                     std::vector<std::uint8_t> flags, int* refreshFlag)
    : host_(host),
      session_(session),
      image_(image),
      flags_(std::move(flags)),
      refreshFlag_(refreshFlag) {
    flags_.resize(store::layout::kDeviceCount, 0);
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot) {
        if (!flags_[static_cast<std::size_t>(slot)]) continue;
        const store::DeviceRecord dev = image_.device(slot);
        ip = store::Ipv4Fields::fromPacked(dev.ip());
        port = std::to_string(dev.port());
        userName = store::fromAnsi(dev.userName());
        break;
    }
}

std::string modifydev::title() {
    return store::getMessage(store::Msg::TitleModifyDevice);
}

Outcome modifydev::modify() {
    if (store::checkPort(port, store::PortKind::Device) != store::Check::Ok) {
        store::showMessage(host_, store::Msg::PortRange);
        port = "8000";
        focus = Focus::Unchanged;
        return Outcome::Refused;
    }
    switch (store::checkUserName(userName)) {
        case store::Check::TooLong:
            store::showMessage(host_, store::Msg::UserNameTooLong);
            userName.clear();
            focus = Focus::Unchanged;
            return Outcome::Refused;
        case store::Check::Empty:
            store::showMessage(host_, store::Msg::UserNameBlank);
            focus = Focus::UserName;
            return Outcome::Refused;
        case store::Check::BadCharacter:
            store::showMessage(host_, store::Msg::UserNameChars);
            userName.clear();
            password.clear();
            focus = Focus::UserName;
            return Outcome::Refused;
        default:
            break;
    }
    switch (store::checkPassword(password)) {
        case store::Check::TooLong:
            store::showMessage(host_, store::Msg::PasswordTooLong);
            password.clear();
            focus = Focus::Password;
            return Outcome::Refused;
        case store::Check::BadCharacter:
            store::showMessage(host_, store::Msg::PasswordChars);
            userName.clear();
            password.clear();
            focus = Focus::UserName;
            return Outcome::Refused;
        default:
            break;  // an empty password is allowed
    }
    const std::string ansiName = store::toAnsi(userName);
    const std::string ansiPassword = store::toAnsi(password);
    const auto newPort = static_cast<std::uint16_t>(store::readNumber(port));
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot) {
        if (!flags_[static_cast<std::size_t>(slot)]) continue;
        store::DeviceRecord dev = image_.device(slot);
        dev.setUserName(ansiName);
        dev.setPassword(ansiPassword);
        dev.setPort(newPort);
    }
    const bool saved = store::saveChange(host_, session_, image_) == 0;
    password.clear();
    if (refreshFlag_) *refreshFlag_ = 1;
    // A failed save has said so; the dialog stays open and the change is not reported as made.
    if (!saved) return Outcome::Refused;
    store::showMessage(host_, store::Msg::DeviceModified);
    closeRequested = true;
    return Outcome::Done;
}

}  // namespace kbcfg::devices
