#pragma once
// The login dialog: choose a configuration file, load it and log in as one of the four operator
// users stored in it. On success the main window opens; the presenter only says so
// (openMainWindow), so the command line can run the same login without any window.

#include <filesystem>
#include <string>

#include "store/config_image.h"
#include "store/host.h"
#include "store/message_id.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::shell {

class userlogin {
  public:
    enum class Focus { Unchanged, UserName, Password, LoginButton };

    userlogin(store::Host& host, store::SessionState& session, store::ConfigImage& image);

    // Captions from the catalogue.
    static std::string title();          // "Login"
    static std::string pathLabel();      // "Config file:"
    static std::string userNameLabel();  // "Username:"
    static std::string passwordLabel();  // "Password:"
    static std::string loginCaption();   // "Login"
    static std::string cancelCaption();  // "Cancel"

    // Opening: coming from "Export && login" (mode 2) the exported file is prefilled and the
    // browse button disabled; the mode goes back to 1.
    void open();

    // The browse button: the file-open dialog, path limits and backup. True when a file was
    // accepted; the path field then shows it.
    bool browse();

    // For callers that name the file themselves (the command line): the path limits of the file
    // choice (messages 210, 211), no dialog and no backup. True when the file was accepted.
    bool useConfigFile(const std::filesystem::path& file);

    // A file handed to the desktop tool at start (a double-clicked file): the same limits and
    // backup as a file picked with the browse button, then the user name is next.
    bool openWithFile(const std::filesystem::path& file);

    // The Login button: every check in its order, the load and the operator look-up. Done when
    // the user is logged in (session.loggedInUser, currentUserName set, openMainWindow true).
    store::Outcome login();

    // The focus left the password box. Landing on the Login button from the keyboard logs in;
    // a pointer press on the button does not, since its click logs in (once per click).
    void passwordFocusLeft(bool toLoginButton, bool byPointer);

    // The dialog is gone. Without an open main window the mode dialog comes back to the front.
    void closed();

    // The fields as the user sees them (UTF-8).
    std::string path;
    std::string userName;
    std::string password;
    bool browseEnabled = true;
    Focus focus = Focus::Unchanged;
    // Set by a successful login: the view closes the dialog and opens the main window.
    bool openMainWindow = false;

  private:
    store::Outcome refuse(store::Msg message, Focus focusTo);

    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
};

// The stored password matches the typed one: a bounded comparison over at most 16 bytes that
// stops at the first NUL of either side.
bool passwordMatches(const store::OperatorRecord& record, const std::string& ansiPassword);

}  // namespace kbcfg::shell
