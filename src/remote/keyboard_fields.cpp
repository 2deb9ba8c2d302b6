#include "remote/keyboard_fields.h"

#include "platform/paths.h"
#include "store/ansi.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::remote {

bool KeyboardFields::check(store::Host& host, bool zeroIsBlank) {
    if (address.blank() || (zeroIsBlank && address.complete() && address.packed() == 0)) {
        store::showMessage(host, store::Msg::IpBlank);
        focus = Focus::Address;
        return false;
    }
    if (!address.complete()) {
        store::showMessage(host, store::Msg::IpFieldBlank);
        address.clear();
        focus = Focus::Address;
        return false;
    }
    if (store::checkPort(port, store::PortKind::Device) != store::Check::Ok) {
        store::showMessage(host, store::Msg::PortRange);
        port.clear();
        focus = Focus::Port;
        return false;
    }
    if (const auto message = store::passwordMessage(store::checkPassword(password))) {
        store::showMessage(host, *message);
        password.clear();
        return false;
    }
    return true;
}

int KeyboardFields::login(NetSdk& sdk) const {
    sdk.init();
    LoginInfo info;
    return sdk.login(store::toAnsi(store::formatIp(address.packed())), store::readNumber(port),
                     kKeyboardUser, store::toAnsi(password), info);
}

std::string loginProblem(NetSdk& sdk) {
    const int error = sdk.lastError();
    if (error == VYX_ERR_PASSWORD) return "wrong password";
    if (error == kLibraryMissing) return "device library missing";
    return "no connection";
}

void showLoginFailed(store::Host& host, NetSdk& sdk) {
    store::showMessage(host, store::Msg::KeyboardLoginFailed, loginProblem(sdk));
}

bool checkPathLimits(store::Host& host, const std::filesystem::path& path) {
    if (store::codePointCount(platform::utf8(path)) > store::kMaxPathChars) {
        store::showMessage(host, store::Msg::PathTooLong);
        return false;
    }
    if (store::codePointCount(platform::utf8(path.filename())) > store::kMaxFileNameChars) {
        store::showMessage(host, store::Msg::FileNameTooLong);
        return false;
    }
    return true;
}

}  // namespace kbcfg::remote
