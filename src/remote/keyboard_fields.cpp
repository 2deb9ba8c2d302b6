#include "remote/keyboard_fields.h"

#include "store/ansi.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::remote {

namespace msg {
constexpr int kIpBlank = 5, kIpBlankField = 6, kPasswordChars = 16, kPasswordTooLong = 17,
              kPortRange = 31, kKeyboardLoginFailed = 208, kPathTooLong = 210, kNameTooLong = 211;
}

bool KeyboardFields::check(store::Host& host, bool zeroIsBlank) {
    if (address.blank() || (zeroIsBlank && address.complete() && address.packed() == 0)) {
        store::showMessage(host, msg::kIpBlank);
        focus = Focus::Address;
        return false;
    }
    if (!address.complete()) {
        store::showMessage(host, msg::kIpBlankField);
        address.clear();
        focus = Focus::Address;
        return false;
    }
    if (store::checkPort(port, store::kDevicePort) != 0) {
        store::showMessage(host, msg::kPortRange);
        port.clear();
        focus = Focus::Port;
        return false;
    }
    if (const int r = store::checkPassword(password); r == 1 || r == 2) {
        store::showMessage(host, r == 1 ? msg::kPasswordTooLong : msg::kPasswordChars);
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
    store::showMessage(host, msg::kKeyboardLoginFailed, loginProblem(sdk));
}

bool checkPathLimits(store::Host& host, const std::filesystem::path& path) {
    if (store::codePointCount(path.native()) > store::kMaxPathChars) {
        store::showMessage(host, msg::kPathTooLong);
        return false;
    }
    if (store::codePointCount(path.filename().native()) > store::kMaxFileNameChars) {
        store::showMessage(host, msg::kNameTooLong);
        return false;
    }
    return true;
}

}  // namespace kbcfg::remote
