#include "devices/modifydev.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::devices {

using store::Outcome;

namespace msg {
constexpr int kUserNameBlank = 11, kUserNameTooLong = 12, kUserNameChars = 13, kPasswordChars = 16,
              kPasswordTooLong = 17, kModified = 25, kPortRange = 31, kTitle = 131;
}

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
    return store::getMessage(msg::kTitle);
}

Outcome modifydev::modify() {
    if (store::checkPort(port, store::kDevicePort) != 0) {
        store::showMessage(host_, msg::kPortRange);
        port = "8000";
        focus = Focus::Unchanged;
        return Outcome::Refused;
    }
    switch (store::checkUserName(userName)) {
        case 1:
            store::showMessage(host_, msg::kUserNameTooLong);
            userName.clear();
            focus = Focus::Unchanged;
            return Outcome::Refused;
        case 3:
            store::showMessage(host_, msg::kUserNameBlank);
            focus = Focus::UserName;
            return Outcome::Refused;
        case 2:
            store::showMessage(host_, msg::kUserNameChars);
            userName.clear();
            password.clear();
            focus = Focus::UserName;
            return Outcome::Refused;
        default:
            break;
    }
    switch (store::checkPassword(password)) {
        case 1:
            store::showMessage(host_, msg::kPasswordTooLong);
            password.clear();
            focus = Focus::Password;
            return Outcome::Refused;
        case 2:
            store::showMessage(host_, msg::kPasswordChars);
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
    store::showMessage(host_, msg::kModified);
    closeRequested = true;
    return Outcome::Done;
}

}  // namespace kbcfg::devices
