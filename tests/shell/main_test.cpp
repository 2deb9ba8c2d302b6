#include "shell/main.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell/other.h"
#include "shell/tip.h"
#include "store/messages.h"
#include "support/scripted_host.h"

namespace kbcfg::shell {
namespace {

using store::Msg;

using Button = MainMenu::Button;
using Page = MainMenu::Page;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct MainTest : ::testing::Test {
    MainMenu window(int user) {
        session.loggedInUser = user;
        session.currentUserName = user == 0 ? "admin" : "op";
        return MainMenu(host, session);
    }
    kbcfg::testing::ScriptedHost host;
    store::SessionState session;
};

TEST_F(MainTest, OpensOnTheChannelPage) {
    MainMenu w = window(0);
    EXPECT_EQ(w.shown, Page::Channels);
    EXPECT_EQ(w.focus, Button::Channels);
    EXPECT_EQ(w.userName, "admin");
    EXPECT_EQ(MainMenu::title(), "Menu");
    EXPECT_EQ(MainMenu::userLabel(), "Cur-user:");
}

TEST_F(MainTest, OperatorsReachOnlyUsersChannelsAndLanguage) {
    MainMenu admin = window(0);
    for (Button b : {Button::Devices, Button::Users, Button::Channels, Button::Keyboard,
                     Button::Other, Button::Return})
        EXPECT_TRUE(admin.enabled(b));

    for (int op = 1; op <= 3; ++op) {
        MainMenu w = window(op);
        EXPECT_FALSE(w.enabled(Button::Devices));
        EXPECT_FALSE(w.enabled(Button::Keyboard));
        EXPECT_TRUE(w.enabled(Button::Users));
        EXPECT_TRUE(w.enabled(Button::Other));
        int rebuilt = 0;
        w.refreshDeviceList = [&] { ++rebuilt; };
        w.press(Button::Devices);
        w.press(Button::Keyboard);
        EXPECT_EQ(w.shown, Page::Channels);
        EXPECT_EQ(rebuilt, 0);
    }
}

TEST_F(MainTest, DeviceAndUserButtonsRebuildTheirListEachTime) {
    MainMenu w = window(0);
    int devices = 0, users = 0;
    w.refreshDeviceList = [&] { ++devices; };
    w.refreshUserList = [&] { ++users; };
    w.press(Button::Devices);
    w.press(Button::Devices);
    EXPECT_EQ(w.shown, Page::Devices);
    w.press(Button::Users);
    EXPECT_EQ(w.shown, Page::Users);
    w.press(Button::Keyboard);
    EXPECT_EQ(w.shown, Page::Keyboard);
    w.press(Button::Other);
    w.press(Button::Channels);
    EXPECT_EQ(w.shown, Page::Channels);
    EXPECT_EQ(devices, 2);
    EXPECT_EQ(users, 1);
    EXPECT_FALSE(w.closeRequested);
    w.press(Button::Return);
    EXPECT_TRUE(w.closeRequested);
    EXPECT_EQ(w.shown, Page::Channels);
}

TEST_F(MainTest, ClosingBringsTheModeDialogBack) {
    MainMenu w = window(0);
    host.windows = {"Modes"};
    w.closed();
    EXPECT_THAT(host.raised, ElementsAre("Modes"));
    host.raised.clear();
    host.windows = {"Modes", "Login"};
    w.closed();
    EXPECT_THAT(host.raised, IsEmpty());
}

TEST(LanguagePage, ShowsTheTableInUse) {
    EXPECT_EQ(other::choice(), store::Language::English);
    EXPECT_EQ(other::chineseCaption(), "Chinese");
    store::MessageCatalogue::setCurrent(store::Language::Chinese);
    EXPECT_EQ(other::choice(), store::Language::Chinese);
    EXPECT_EQ(other::chineseCaption(),
              store::MessageCatalogue::chinese().text(store::Msg::ChineseChoice));
    EXPECT_EQ(other::englishCaption(), "ENGLISH");  // the name of the other choice stays
    store::MessageCatalogue::setCurrent(store::Language::English);
    EXPECT_EQ(other::choice(), store::Language::English);
}

TEST(Tip, DoubledAmpersandShowsOnce) {
    EXPECT_EQ(displayCaption(store::getMessage(Msg::ExportAndLoginButton)), "Export & login");
    EXPECT_EQ(displayCaption("关于 varnel(&A)..."), "关于 varnel(A)...");
    EXPECT_EQ(displayCaption("a&&&&b&"), "a&&b");
    tip box(store::getMessage(Msg::AskCoverBackup), true);
    EXPECT_EQ(box.text, "A config file is already exist in backup folder,cover?");
    EXPECT_TRUE(box.withCancel);
    EXPECT_EQ(tip::title(), "Tips");
}

}  // namespace
}  // namespace kbcfg::shell
