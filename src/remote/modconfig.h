#pragma once
// The remote configuration dialog: fetch the keyboard's configuration file into a chosen file
// (and go on to the login on it), or send the chosen file to the keyboard.

#include <filesystem>
#include <string>

#include "remote/keyboard_fields.h"
#include "remote/netsdk.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::remote {

class modconfig {
  public:
    modconfig(store::Host& host, store::SessionState& session, NetSdk& sdk);

    static std::string title();  // "Remote Config File"

    // The file chooser ("..."): a file to write, which need not exist.
    bool choosePath();
    // The same for a path given directly (the command line): made a full path, as the chooser
    // gives it, then the limits, then the session's paths.
    bool usePath(const std::filesystem::path& path);

    store::Outcome exportFile();
    // Export && login: on success the dialog closes and the login opens on the fetched file.
    store::Outcome exportAndLogin();
    // Import: sends the chosen file to the keyboard.
    store::Outcome importFile();

    std::string pathField;  // what the path box shows
    std::filesystem::path chosenPath;
    KeyboardFields keyboard;
    bool closeRequested = false;
    bool openLogin = false;

  private:
    bool checkPath(store::Msg message);
    // Steps shared by both exports: path, boxes, login. The login id, or negative.
    int prepareExport();

    store::Host& host_;
    store::SessionState& session_;
    NetSdk& sdk_;
};

// The import itself, shared by this dialog and the keyboard maintenance page: the boxes' checks,
// the login, the send. stopOnLoginFailure: message 208 when the keyboard refuses the login (the
// dialog); the page sends regardless and reports the failed send.
store::Outcome importConfigFile(store::Host& host, NetSdk& sdk, KeyboardFields& keyboard,
                                const std::filesystem::path& file, bool stopOnLoginFailure);

}  // namespace kbcfg::remote
