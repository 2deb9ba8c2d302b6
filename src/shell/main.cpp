#include "shell/main.h"

#include "store/files.h"

#include "store/messages.h"

namespace kbcfg::shell {

MainMenu::MainMenu(store::Host& host, store::SessionState& session)
    : userName(session.currentUserName),
      host_(host),
      session_(session),
      administrator_(session.loggedInUser == 0) {}

std::string MainMenu::title() {
    return store::getMessage(store::Msg::TitleMenu);
}

std::string MainMenu::userLabel() {
    return store::getMessage(store::Msg::CurrentUserLabel);
}

bool MainMenu::enabled(Button button) const {
    if (button == Button::Devices || button == Button::Keyboard) return administrator_;
    return true;
}

void MainMenu::press(Button button) {
    if (!enabled(button)) return;
    switch (button) {
        case Button::Devices:
            shown = Page::Devices;
            if (refreshDeviceList) refreshDeviceList();
            break;
        case Button::Users:
            shown = Page::Users;
            if (refreshUserList) refreshUserList();
            break;
        case Button::Channels:
            shown = Page::Channels;
            break;
        case Button::Keyboard:
            shown = Page::Keyboard;
            break;
        case Button::Other:
            shown = Page::Other;
            break;
        case Button::Return:
            closeRequested = true;
            break;
    }
}

void MainMenu::closed() {
    store::endEditSession(session_);
    if (!host_.windowExists(store::getMessage(store::Msg::TitleLogin)))
        host_.raiseWindow(store::getMessage(store::Msg::TitleModes));
}

}  // namespace kbcfg::shell
