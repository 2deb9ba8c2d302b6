#pragma once
// The main window ("Menu"): five pages over one frame, switched by a row of tab buttons, the
// logged-in user, and the operator restriction (operators reach neither the device page nor the
// keyboard maintenance page).

#include <functional>
#include <string>

#include "store/host.h"
#include "store/session.h"

namespace kbcfg::shell {

class MainMenu {
  public:
    enum class Page { Devices, Users, Channels, Keyboard, Other };
    enum class Button { Devices, Users, Channels, Keyboard, Other, Return };
    static constexpr int kPageCount = 5;

    MainMenu(store::Host& host, store::SessionState& session);

    static std::string title();      // "Menu"
    static std::string userLabel();  // "Cur-user:"

    // Operators (any record but 0) have the devices and keyboard buttons greyed and disabled.
    bool enabled(Button button) const;
    bool administrator() const { return administrator_; }

    // A tab button: shows its page (the device and user pages rebuild their lists each time),
    // or, for return, asks the window to close. A disabled button does nothing.
    void press(Button button);

    // The window is gone: the editing session ends (the file is free for other writers), and
    // without an open login window the mode dialog comes back to the front.
    void closed();

    // What the window shows.
    std::string userName;  // the name typed at the login
    Page shown = Page::Channels;
    Button focus = Button::Channels;
    bool closeRequested = false;

    // Set by the pages that keep a list to rebuild when their button is pressed.
    std::function<void()> refreshDeviceList;
    std::function<void()> refreshUserList;

  private:
    store::Host& host_;
    store::SessionState& session_;
    bool administrator_;
};

}  // namespace kbcfg::shell
