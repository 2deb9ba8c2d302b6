#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "platform/paths.h"
#include "remote/config.h"
#include "remote/mankb.h"
#include "remote/modconfig.h"
#include "remote/modupdata.h"
#include "support/fake_netsdk.h"
#include "support/platform_files.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::remote {
namespace {

using store::Msg;

using store::Outcome;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kKeyboard = "203.0.113.5";

class KeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& kb = sdk.node(kKeyboard);
        kb.password = "kbpw";
        kb.storedFile = {1, 2, 3, 4, 5};
    }
    void fillKeyboard(KeyboardFields& k) {
        k.address = store::Ipv4Fields::of(203, 0, 113, 5);
        k.password = "kbpw";
    }
    std::filesystem::path file(const std::string& name, std::size_t size) {
        const auto p = dir / name;
        std::ofstream(p, std::ios::binary) << std::string(size, 'x');
        return p;
    }

    kbcfg::testing::TempDir dir;
    kbcfg::testing::ScriptedHost host;
    kbcfg::testing::FakeNetSdk sdk;
    store::SessionState session;
};

TEST_F(KeyboardTest, ExportChecksInOrder) {
    modconfig dialog(host, session, sdk);
    EXPECT_EQ(dialog.exportFile(), Outcome::Refused);  // no path: before any address check
    EXPECT_EQ(dialog.exportAndLogin(), Outcome::Refused);
    ASSERT_TRUE(dialog.usePath(dir / "kbCfg.bin"));
    EXPECT_EQ(session.configPath, dir / "kbCfg.bin");
    dialog.exportFile();
    dialog.keyboard.address.octets = {203, 0, std::nullopt, 5};
    dialog.exportFile();
    EXPECT_TRUE(dialog.keyboard.address.blank());
    dialog.keyboard.address = store::Ipv4Fields::of(203, 0, 113, 5);
    dialog.keyboard.port = "1999";
    dialog.exportFile();
    EXPECT_EQ(dialog.keyboard.port, "");  // emptied, not reset
    dialog.keyboard.port = "8000";
    dialog.keyboard.password = std::string(17, 'p');
    dialog.exportFile();
    dialog.keyboard.password = "\x7F";
    dialog.exportFile();
    EXPECT_EQ(dialog.keyboard.password, "");
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseSavePath, Msg::ChooseSavePath, Msg::IpBlank,
                                            Msg::IpFieldBlank, Msg::PortRange, Msg::PasswordTooLong,
                                            Msg::PasswordChars));
    EXPECT_TRUE(sdk.calls.empty());

    host.clear();
    dialog.keyboard.password = "wrong";
    EXPECT_EQ(dialog.exportFile(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::KeyboardLoginFailed));
    EXPECT_FALSE(std::filesystem::exists(dir / "kbCfg.bin"));
    EXPECT_THAT(sdk.callsStartingWith("Logout"), IsEmpty());
}

TEST_F(KeyboardTest, ExportFetchesAsAdmin) {
    modconfig dialog(host, session, sdk);
    ASSERT_TRUE(dialog.usePath(dir / "kbCfg.bin"));
    fillKeyboard(dialog.keyboard);
    ASSERT_EQ(dialog.exportFile(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ExportSucceeded));
    EXPECT_EQ(kbcfg::testing::readAll(dir / "kbCfg.bin"),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    // Fetched into a private temporary file beside it, which then takes the file's place.
    EXPECT_THAT(sdk.calls, ElementsAre("Init", "Login 203.0.113.5:8000 admin kbpw",
                                       ::testing::StartsWith("GetConfigFile " +
                                                             (dir / ".kbCfg.bin.kbcfg-").string()),
                                       "LogoutEx 0"));
    // A link planted at the chosen path is replaced, not written through.
    kbcfg::testing::writeAll(dir / "victim", {9});
    KBCFG_LINK_OR_SKIP("victim", dir / "link.bin");
    ASSERT_TRUE(dialog.usePath(dir / "link.bin"));
    ASSERT_EQ(dialog.exportFile(), Outcome::Done);
    EXPECT_EQ(kbcfg::testing::readAll(dir / "victim"), std::vector<std::uint8_t>{9});
    EXPECT_FALSE(kbcfg::testing::isLink(dir / "link.bin"));
    sdk.node(kKeyboard).refuseGetConfig = true;
    host.clear();
    EXPECT_EQ(dialog.exportFile(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ExportFailed));
}

TEST_F(KeyboardTest, ExportAndLoginOpensTheLogin) {
    modconfig dialog(host, session, sdk);
    ASSERT_TRUE(dialog.usePath(dir / "site.bin"));
    fillKeyboard(dialog.keyboard);
    ASSERT_EQ(dialog.exportAndLogin(), Outcome::Done);
    EXPECT_TRUE(dialog.openLogin);
    EXPECT_TRUE(dialog.closeRequested);
    EXPECT_THAT(host.numbers(), IsEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Backup"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "Backup"));

    // Only the backup folder is made, and only inside a folder that exists: a missing folder
    // fails as the plain export does, with nothing created.
    for (const bool withLogin : {true, false}) {
        host.clear();
        sdk.calls.clear();
        modconfig missing(host, session, sdk);
        ASSERT_TRUE(missing.usePath(dir / "gone" / "site.bin"));
        fillKeyboard(missing.keyboard);
        EXPECT_EQ(withLogin ? missing.exportAndLogin() : missing.exportFile(), Outcome::Refused);
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::ExportFailed));
        EXPECT_FALSE(missing.openLogin);
        EXPECT_THAT(sdk.calls.back(), ::testing::StartsWith("LogoutEx"));
        EXPECT_FALSE(std::filesystem::exists(dir / "gone"));
    }
}

TEST_F(KeyboardTest, PathLimits) {
    modconfig dialog(host, session, sdk);
    // Made with the system's own separator, which the box shows.
    const std::size_t base = platform::utf8(dir.path()).size() + 1;
    const std::filesystem::path exact =
        dir / std::string(128 - base - 33, 'd') / std::string(32, 'f');
    EXPECT_TRUE(dialog.usePath(exact));
    session.configPath = "kept";
    EXPECT_FALSE(dialog.usePath(exact.string() + "x"));  // 129 characters
    EXPECT_EQ(session.configPath, "kept");
    EXPECT_FALSE(dialog.usePath(dir / std::string(33, 'n')));
    EXPECT_TRUE(session.configPath.empty());
    EXPECT_EQ(dialog.pathField, exact.string());  // the box keeps what it showed
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PathTooLong, Msg::FileNameTooLong));
    host.clear();
    dialog.exportFile();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseSavePath));
}

// Runs a block in another current folder.
class InFolder {
  public:
    explicit InFolder(const std::filesystem::path& folder)
        : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(before_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    std::filesystem::path before_;
};

TEST_F(KeyboardTest, PathLimitsApplyToTheFullPath) {
    // Each chooser of a file, given a path as typed; the path it keeps, empty when refused.
    modconfig exportDialog(host, session, sdk);
    config importPage(host, session, sdk);
    modupdata upgradeDialog(host, sdk);
    const std::function<std::filesystem::path(const std::filesystem::path&)> choosers[] = {
        [&](const auto& p) { return exportDialog.usePath(p) ? exportDialog.chosenPath : ""; },
        [&](const auto& p) { return importPage.usePath(p) ? importPage.chosenPath : ""; },
        [&](const auto& p) { return upgradeDialog.usePackage(p) ? upgradeDialog.packagePath : ""; },
    };
    const auto deep = dir / std::string(128 - dir.path().string().size(), 'd');
    std::filesystem::create_directory(deep);
    std::string dots;
    for (int i = 0; i < 70; ++i) dots += "./";
    for (const auto& choose : choosers) {
        host.clear();
        {
            // Short as typed, 129 characters and more in full.
            InFolder in(deep);
            EXPECT_EQ(choose("kb.bin"), "");
        }
        InFolder in(dir.path());
        const auto here = std::filesystem::current_path();
        // Long as typed, short in full; ".." is taken lexically.
        EXPECT_EQ(choose(dots + "kb.bin"), here / "kb.bin");
        EXPECT_EQ(choose("sub/../kb.bin"), here / "kb.bin");
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::PathTooLong));
    }
}

TEST_F(KeyboardTest, ImportFromPageAndDialog) {
    const auto edited = file("kbCfg.bin", 10);
    store::setConfigPaths(session, edited);
    mankb page(host, session, sdk);
    EXPECT_EQ(page.importPage.chosenPath, edited);
    fillKeyboard(page.importPage.keyboard);
    ASSERT_EQ(page.importPage.importFile(), Outcome::Done);
    EXPECT_EQ(sdk.node(kKeyboard).received.size(), 10u);

    // An unreachable keyboard: the page sends anyway and reports the failed send; the dialog
    // stops at the login.
    sdk.node(kKeyboard).reachable = false;
    page.importPage.importFile();
    modconfig dialog(host, session, sdk);
    dialog.usePath(edited);
    fillKeyboard(dialog.keyboard);
    dialog.importFile();
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::ImportSucceeded, Msg::ImportFailed, Msg::KeyboardLoginFailed));

    host.clear();
    EXPECT_FALSE(page.importPage.usePath(dir / std::string(33, 'n')));
    page.importPage.importFile();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::FileNameTooLong, Msg::ChooseConfigFileFirst));
    EXPECT_EQ(session.configPath, edited);
}

class UpgradeTest : public KeyboardTest {
  protected:
    modupdata dialog{host, sdk};
    void ready(int mode, std::size_t size) {
        dialog.onModeChanged(mode);
        ASSERT_TRUE(dialog.usePackage(file("pkg.bin", size)));
        fillKeyboard(dialog.keyboard);
    }
    void tick() {
        ASSERT_EQ(host.timers.size(), 1u);
        host.timers.begin()->second.second();
    }
};

TEST_F(UpgradeTest, ChecksBeforeTheLogin) {
    dialog.startUpgrade();
    dialog.usePackage(file("pkg.bin", 10));
    dialog.keyboard.address = store::Ipv4Fields::of(0, 0, 0, 0);
    dialog.startUpgrade();
    dialog.keyboard.address = store::Ipv4Fields::of(203, 0, 113, 5);
    for (const char* port : {"1999", "65536"}) {
        dialog.keyboard.port = port;
        dialog.startUpgrade();
    }
    dialog.keyboard.port = "65535";
    dialog.keyboard.password = std::string(17, 'p');
    dialog.startUpgrade();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseUpdateFileFirst, Msg::IpBlank,
                                            Msg::PortRange, Msg::PortRange, Msg::PasswordTooLong));
    EXPECT_TRUE(sdk.calls.empty());
}

TEST_F(UpgradeTest, PackageFilesAreCheckedAfterTheLogin) {
    struct Case {
        int mode;
        std::size_t size;
        std::optional<Msg> message;  // none: accepted
    };
    for (const Case c : {Case{modupdata::kFirmware, 0, Msg::UpdateFileError},
                         Case{modupdata::kPanel, 1023, Msg::PanelFileIllegal},
                         Case{modupdata::kPanel, 102'401, Msg::PanelFileIllegal},
                         Case{modupdata::kPanel, 1024, {}}, Case{modupdata::kPanel, 102'400, {}}}) {
        SCOPED_TRACE(c.size);
        host.clear();
        sdk.calls.clear();
        ready(c.mode, c.size);
        const Outcome o = dialog.startUpgrade();
        if (c.message) {
            EXPECT_EQ(o, Outcome::Refused);
            EXPECT_THAT(host.numbers(), ElementsAre(*c.message));
            EXPECT_EQ(sdk.callsStartingWith("LogoutEx").size(), 1u);
        } else {
            EXPECT_EQ(o, Outcome::Done);
            EXPECT_THAT(sdk.callsStartingWith("SetConfigFile").size(), 1u);
            dialog.cancelUpgradeDialog();
        }
    }
    host.clear();
    dialog.onModeChanged(modupdata::kFirmware);
    dialog.usePackage(dir / "missing.dav");
    fillKeyboard(dialog.keyboard);
    dialog.startUpgrade();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenUpdateFileFailed));
}

TEST_F(UpgradeTest, FirmwarePollingToSuccess) {
    sdk.node(kKeyboard).upgradeScript = {{2, 0}, {0, 30}, {6, 60}, {2, 90}, {1, 100}};
    ready(modupdata::kFirmware, 4096);
    ASSERT_EQ(dialog.startUpgrade(), Outcome::Done);
    EXPECT_EQ(host.timers.begin()->second.first, 500);
    EXPECT_FALSE(dialog.updateEnabled());
    EXPECT_EQ(dialog.startUpgrade(), Outcome::Refused);  // no second start while it runs
    std::vector<int> bars;
    for (int i = 0; i < 4; ++i) {
        tick();
        bars.push_back(dialog.progress);
    }
    EXPECT_THAT(bars, ElementsAre(0, 30, 60, 90));  // states 0 and 6 keep the timer going
    tick();
    EXPECT_EQ(dialog.percentText, "100");
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(dialog.finished, true);
    EXPECT_TRUE(dialog.updateEnabled());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::UpdateSucceeded));
    EXPECT_THAT(sdk.callsStartingWith("CloseUpgradeHandle").size(), 1u);
    EXPECT_THAT(sdk.callsStartingWith("LogoutEx").size(), 1u);
}

TEST_F(UpgradeTest, EndStatesAndTheirMessages) {
    for (const auto& [state, message] : {std::pair{3, Msg::UpdateFailed},
                                         {4, Msg::UpdateStatusLost},
                                         {5, Msg::UpdateLanguageMismatch},
                                         {-1, Msg::UpdateFailed}}) {
        host.clear();
        sdk.node(kKeyboard).upgradeScript = {{state, 0}};
        ready(modupdata::kFirmware, 100);
        ASSERT_EQ(dialog.startUpgrade(), Outcome::Done);
        tick();
        EXPECT_THAT(host.numbers(), ElementsAre(message)) << state;
        EXPECT_EQ(dialog.finished, false);
        EXPECT_TRUE(host.timers.empty());
    }
}

TEST_F(UpgradeTest, PanelStepTextsAlternateAcrossSteps) {
    sdk.node(kKeyboard).upgradeScript = {{2, 10}, {2, 10}, {2, 10}, {2, 10},
                                         {2, 20}, {2, 99}, {2, 30}, {-1, 0}};
    ready(modupdata::kPanel, 2048);
    EXPECT_TRUE(dialog.panelRowVisible);
    ASSERT_EQ(dialog.startUpgrade(), Outcome::Done);
    std::vector<std::string> texts;
    for (int i = 0; i < 7; ++i) {
        tick();
        texts.push_back(dialog.statusText);
    }
    EXPECT_THAT(texts, ElementsAre("Start erase bootloader...", "Start erase bootloader......",
                                   "Start erase bootloader...", "Start erase bootloader......",
                                   "Panel prepare to recive update data...",
                                   "Panel prepare to recive update data...",  // 99 changes nothing
                                   "Panel is reciving update data......"));
    tick();
    EXPECT_EQ(dialog.statusText, "panel has updated failed!");
    EXPECT_THAT(host.numbers(), IsEmpty());

    dialog.onModeChanged(modupdata::kFirmware);
    EXPECT_TRUE(dialog.packagePath.empty());
    EXPECT_EQ(dialog.statusText, "");
    EXPECT_EQ(dialog.progress, 0);
}

TEST_F(UpgradeTest, PanelRefusals) {
    sdk.node(kKeyboard).refuseEncrypt = true;
    ready(modupdata::kPanel, 2048);
    dialog.startUpgrade();
    sdk.node(kKeyboard).refuseEncrypt = false;
    sdk.node(kKeyboard).refuseUpgrade = true;
    dialog.startUpgrade();
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PanelUpdateFailed, Msg::PanelUpdateFailed));
    EXPECT_TRUE(host.timers.empty());
}

}  // namespace
}  // namespace kbcfg::remote
