#include "shell/varnel_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "shell/varnel_dlg.h"
#include "support/fresh_config.h"

namespace kbcfg::shell {
namespace {

using store::Msg;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct FakePlatform : StartupPlatform {
    bool initSocketLayer() override {
        calls.push_back("socket");
        return socketOk;
    }
    bool acquireInstance() override {
        calls.push_back("guard");
        return first;
    }
    bool raiseRunningCopy() override {
        calls.push_back("raise");
        return raised;
    }
    bool socketOk = true, first = true, raised = false;
    std::vector<std::string> calls;
};

TEST(Startup, FirstCopyShowsTheModeDialog) {
    kbcfg::testing::ScriptedHost host;
    FakePlatform platform;
    EXPECT_EQ(CvarnelApp::start(host, platform), CvarnelApp::Start::ShowModes);
    EXPECT_THAT(platform.calls, ElementsAre("socket", "guard"));
    EXPECT_THAT(host.numbers(), IsEmpty());
}

TEST(Startup, SocketLayerFailureEndsBeforeTheGuard) {
    kbcfg::testing::ScriptedHost host;
    FakePlatform platform;
    platform.socketOk = false;
    EXPECT_EQ(CvarnelApp::start(host, platform), CvarnelApp::Start::End);
    EXPECT_THAT(platform.calls, ElementsAre("socket"));
    ASSERT_EQ(host.shown.size(), 1u);
    // The same words on every platform, in both languages, naming no other system's layer.
    EXPECT_EQ(host.shown[0].text, "网络初始化失败。\nNetwork initialisation failed.");
}

TEST(Startup, SecondCopyEndsSilentlyWhenTheFirstRaisedAWindow) {
    kbcfg::testing::ScriptedHost host;
    FakePlatform platform;
    platform.first = false;
    platform.raised = true;
    EXPECT_EQ(CvarnelApp::start(host, platform), CvarnelApp::Start::EndSilently);
    EXPECT_THAT(platform.calls, ElementsAre("socket", "guard", "raise"));
    EXPECT_THAT(host.numbers(), IsEmpty());

    platform.raised = false;
    EXPECT_EQ(CvarnelApp::start(host, platform), CvarnelApp::Start::End);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::AlreadyRunning));
}

TEST(Startup, RunningCopyPrefersTheMainWindow) {
    kbcfg::testing::ScriptedHost host;
    EXPECT_FALSE(CvarnelApp::raiseRequested(host));  // only the mode dialog: not raised

    host.windows = {"Modes", "Login"};
    EXPECT_TRUE(CvarnelApp::raiseRequested(host));
    host.windows = {"Modes", "Login", "Menu"};
    EXPECT_TRUE(CvarnelApp::raiseRequested(host));
    EXPECT_THAT(host.raised, ElementsAre("Login", "Menu"));
}

TEST(Startup, FileForTheRunningCopyOpensTheLoginUnlessAMainWindowIsOpen) {
    kbcfg::testing::ScriptedHost host;
    host.windows = {"Modes"};
    EXPECT_TRUE(CvarnelApp::fileRequested(host));
    host.windows = {"Modes", "Login"};
    EXPECT_TRUE(CvarnelApp::fileRequested(host));
    host.windows = {"Modes", "Login", "Menu"};
    EXPECT_FALSE(CvarnelApp::fileRequested(host));
    EXPECT_THAT(host.raised, ElementsAre("Menu"));
}

using ModesTest = testing::FreshConfig;

TEST_F(ModesTest, EachButtonOpensItsWorkArea) {
    CvarnelDlg modes(host, session);
    EXPECT_EQ(modes.localConfig(), CvarnelDlg::Open::Login);
    EXPECT_EQ(session.mode, 1);
    EXPECT_EQ(modes.remoteConfig(), CvarnelDlg::Open::Export);
    EXPECT_EQ(session.mode, 2);
    session.mode = 1;
    EXPECT_EQ(modes.updateKeyboard(), CvarnelDlg::Open::Upgrade);
    EXPECT_EQ(session.mode, 1);  // the upgrade leaves the mode alone
    EXPECT_THAT(host.raised, IsEmpty());
}

TEST_F(ModesTest, OpenMainWindowTakesTheFrontForEveryButton) {
    host.windows = {"Modes", "Menu"};
    CvarnelDlg modes(host, session);
    EXPECT_EQ(modes.localConfig(), CvarnelDlg::Open::Nothing);
    EXPECT_EQ(modes.remoteConfig(), CvarnelDlg::Open::Nothing);
    EXPECT_EQ(modes.updateKeyboard(), CvarnelDlg::Open::Nothing);
    EXPECT_THAT(host.raised, ElementsAre("Menu", "Menu", "Menu"));
}

TEST_F(ModesTest, ClosesOnlyWithNoWorkWindowOpen) {
    CvarnelDlg modes(host, session);
    host.windows = {"Modes"};
    EXPECT_TRUE(modes.mayClose());
    for (const char* open : {"Menu", "Login", "Remote Config File", "Update Keyboard"}) {
        host.windows = {"Modes", open};
        EXPECT_FALSE(modes.mayClose()) << open;
    }
    // The window in the way comes to the front instead.
    EXPECT_THAT(host.raised, ElementsAre("Menu", "Login", "Remote Config File", "Update Keyboard"));
}

TEST_F(ModesTest, AnyOpenWorkWindowComesBackBeforeASecondOpens) {
    CvarnelDlg modes(host, session);
    // Its own window when open, else whichever work window is open, else its own opens.
    host.windows = {"Modes", "Login"};
    EXPECT_EQ(modes.localConfig(), CvarnelDlg::Open::Nothing);
    EXPECT_EQ(modes.remoteConfig(), CvarnelDlg::Open::Nothing);
    host.windows = {"Modes", "Remote Config File", "Update Keyboard"};
    EXPECT_EQ(modes.updateKeyboard(), CvarnelDlg::Open::Nothing);
    EXPECT_EQ(modes.localConfig(), CvarnelDlg::Open::Nothing);
    EXPECT_THAT(host.raised,
                ElementsAre("Login", "Login", "Update Keyboard", "Remote Config File"));
    host.windows = {"Modes"};
    EXPECT_EQ(modes.localConfig(), CvarnelDlg::Open::Login);
    EXPECT_EQ(modes.remoteConfig(), CvarnelDlg::Open::Export);
    EXPECT_EQ(modes.updateKeyboard(), CvarnelDlg::Open::Upgrade);
}

TEST_F(ModesTest, EndOfRunEndsTheEditingSessionAndSavesNothing) {
    const std::filesystem::path planted = session.configFolder / "tem.bin";
    kbcfg::testing::writeAll(planted, {1, 2, 3});
    ASSERT_EQ(store::beginEditSession(host, session), 0);
    const std::filesystem::path lock = session.editLock->lockPath();
    const auto before = kbcfg::testing::readAll(session.configPath);
    CvarnelDlg(host, session).destroyed();
    EXPECT_FALSE(session.editLock);
    EXPECT_FALSE(std::filesystem::exists(lock));
    EXPECT_EQ(kbcfg::testing::readAll(session.configPath), before);
    // A file of the old working copy's name is somebody else's: left alone.
    EXPECT_EQ(kbcfg::testing::readAll(planted), (std::vector<std::uint8_t>{1, 2, 3}));
    // Nothing chosen yet: nothing to end, and no harm done.
    store::SessionState fresh;
    CvarnelDlg(host, fresh).destroyed();
}

}  // namespace
}  // namespace kbcfg::shell
