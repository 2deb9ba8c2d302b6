#pragma once
// The boxes every keyboard dialog shares (address, port, the fixed user name, password), their
// checks in the order the dialogs run them, and the keyboard login.

#include <string>

#include "remote/netsdk.h"
#include "store/host.h"
#include "store/ipv4_fields.h"

namespace kbcfg::remote {

// A keyboard is always logged in to as this user; the user name box only shows it.
inline constexpr const char* kKeyboardUser = "admin";

struct KeyboardFields {
    enum class Focus { Unchanged, Address, Port, Password };

    store::Ipv4Fields address;
    std::string port = "8000";
    std::string password;
    Focus focus = Focus::Unchanged;

    static std::string userName() { return kKeyboardUser; }

    // Address (5 all blank, 6 some blank), port (31, box emptied), password (17, 16, box
    // emptied). zeroIsBlank: an address of all zeros counts as blank too.
    bool check(store::Host& host, bool zeroIsBlank = false);

    // VYX_Init, then the login as "admin" with the typed password; the login id or negative.
    int login(NetSdk& sdk) const;
};

// Why the login just refused failed, as the library still tells it right after: "wrong
// password", "device library missing" or "no connection".
std::string loginProblem(NetSdk& sdk);
// "Login keyboard failed!" (208) with that reason as its second line.
void showLoginFailed(store::Host& host, NetSdk& sdk);

// The path limits of a chosen file: messages 210 and 211. True when the path is acceptable.
bool checkPathLimits(store::Host& host, const std::filesystem::path& path);

}  // namespace kbcfg::remote
