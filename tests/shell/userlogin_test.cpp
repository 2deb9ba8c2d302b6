#include "shell/userlogin.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "store/checksum.h"
#include "store/config_lock.h"
#include "support/fresh_config.h"

namespace kbcfg::shell {
namespace {

using store::Msg;

namespace fs = std::filesystem;
using store::Outcome;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LoginTest : public testing::FreshConfig {
  protected:
    void seed() override {
        addOperator(0, "admin", "secret");
        addOperator(1, "op_1");
        // Sixteen bytes exactly: the field holds no terminating NUL.
        addOperator(2, "op2", "0123456789abcdef");
        // Record 3 is free: all zero.
    }
    // A dialog with the file already chosen.
    userlogin dialog(const std::string& name, const std::string& password) {
        userlogin login(host, session, *loaded);
        login.open();
        login.path = session.configPath.string();
        login.userName = name;
        login.password = password;
        return login;
    }

    // The image a login loads the file into.
    std::unique_ptr<store::ConfigImage> loaded = std::make_unique<store::ConfigImage>();
};

TEST_F(LoginTest, AdministratorLogsIn) {
    userlogin login = dialog("admin", "secret");
    EXPECT_EQ(login.login(), Outcome::Done);
    EXPECT_THAT(host.numbers(), IsEmpty());
    EXPECT_EQ(session.loggedInUser, 0);
    EXPECT_EQ(session.currentUserName, "admin");
    EXPECT_TRUE(login.openMainWindow);
    EXPECT_EQ(loaded->operatorRecord(2).name(), "op2");
    // No plain copy on disk; the file stays locked for the session.
    EXPECT_FALSE(fs::exists(dir / "tem.bin"));
    ASSERT_TRUE(session.editLock);
    EXPECT_TRUE(fs::exists(session.editLock->lockPath()));
}

TEST_F(LoginTest, OperatorsLogInWithTheirRecordNumber) {
    userlogin op1 = dialog("op_1", "");
    EXPECT_EQ(op1.login(), Outcome::Done);
    EXPECT_EQ(session.loggedInUser, 1);

    // All sixteen bytes of the stored password take part, though the field has no NUL.
    userlogin op2 = dialog("op2", "0123456789abcdef");
    EXPECT_EQ(op2.login(), Outcome::Done);
    EXPECT_EQ(session.loggedInUser, 2);
    EXPECT_EQ(session.currentUserName, "op2");
}

TEST_F(LoginTest, EmptyPathIsCheckedFirst) {
    userlogin login = dialog("", std::string(20, 'x'));
    login.path.clear();
    EXPECT_EQ(login.login(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseConfigFileFirst));
    EXPECT_EQ(session.loggedInUser, -1);
    EXPECT_EQ(login.password, std::string(20, 'x'));
}

// Each refusal: its message, what the fields keep, where the focus goes and which record the
// session is left on.
TEST_F(LoginTest, RefusalsEmptyFieldsAndMoveTheFocus) {
    using F = userlogin::Focus;
    const std::string p17(17, 'p');
    struct Case {
        std::string name, password;
        Msg message;
        std::string nameAfter, passwordAfter;
        F focus;
        int loggedIn;
    };
    const Case cases[] = {
        {"", "secret", Msg::UserNameBlank, "", "secret", F::UserName, -1},
        // The zeroed record 3 has an empty name, and an empty name is refused before the look-up.
        {"", "", Msg::UserNameBlank, "", "", F::UserName, -1},
        // Seventeen characters: both fields are emptied, before the password is looked at.
        {std::string(17, 'a'), p17, Msg::UserNameTooLong, "", "", F::UserName, -1},
        // Sixteen pass the check; characters are counted, not bytes (15 characters, 30 bytes).
        {std::string(16, 'a'), "x", Msg::ErrorUser, "", "", F::UserName, -1},
        {"ééééééééééééééé", "x", Msg::ErrorUser, "", "", F::UserName, -1},
        {"ad-min", "secret", Msg::ErrorUser, "", "", F::UserName, -1},
        {"nobody", "secret", Msg::ErrorUser, "", "", F::UserName, -1},
        {"admin", p17, Msg::PasswordTooLong, "admin", "", F::Password, -1},
        // A wrong password keeps the found record; an empty one goes on and fails too.
        {"admin", "", Msg::ErrorPassword, "admin", "", F::Password, 0},
        {"op2", "0123456789abcde", Msg::ErrorPassword, "op2", "", F::Password, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + " / " + c.password);
        session = {};
        store::setConfigPaths(session, dir / "kbCfg.bin");
        host.clear();
        userlogin login = dialog(c.name, c.password);
        EXPECT_EQ(login.login(), Outcome::Refused);
        EXPECT_THAT(host.numbers(), ElementsAre(c.message));
        EXPECT_EQ(login.userName, c.nameAfter);
        EXPECT_EQ(login.password, c.passwordAfter);
        EXPECT_EQ(login.focus, c.focus);
        EXPECT_EQ(session.loggedInUser, c.loggedIn);
        EXPECT_EQ(login.path, session.configPath.string());
        EXPECT_FALSE(login.openMainWindow);
        EXPECT_TRUE(session.currentUserName.empty());
    }
}

TEST_F(LoginTest, UserNameWithOtherCharactersIsLookedUp) {
    // Such a name logs in when the file holds it; it is compared in the file's code page.
    addOperator(3, "Zoë-2", "pw");
    save();
    userlogin zoe = dialog("Zoë-2", "pw");
    EXPECT_EQ(zoe.login(), Outcome::Done);
    EXPECT_EQ(session.loggedInUser, 3);
    EXPECT_EQ(session.currentUserName, "Zoë-2");
}

TEST_F(LoginTest, FailedLoadEmptiesAllFieldsAndKeepsTheWorkingCopy) {
    // Flip one byte after the checksum's start: the file is refused as a whole.
    std::vector<std::uint8_t> bytes = kbcfg::testing::readAll(session.configPath);
    bytes[1000] ^= 0x01;
    kbcfg::testing::writeAll(session.configPath, bytes);

    userlogin login = dialog("admin", "secret");
    EXPECT_EQ(login.login(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ConfigFileError));
    EXPECT_EQ(login.path, "");
    EXPECT_EQ(login.userName, "");
    EXPECT_EQ(login.password, "");
    EXPECT_EQ(session.loggedInUser, -1);
    EXPECT_FALSE(fs::exists(dir / "tem.bin"));
    EXPECT_FALSE(session.editLock);

    host.clear();
    // The next attempt stops at the empty path.
    login.userName = "admin";
    EXPECT_EQ(login.login(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ChooseConfigFileFirst));
}

TEST_F(LoginTest, MissingFileGivesTheOpenMessage) {
    fs::remove(session.configPath);
    userlogin login = dialog("admin", "secret");
    EXPECT_EQ(login.login(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
}

TEST_F(LoginTest, EveryAttemptReloadsTheFile) {
    userlogin login = dialog("admin", "changed");
    EXPECT_EQ(login.login(), Outcome::Refused);
    addOperator(0, "admin", "changed");
    save();
    login.password = "changed";
    EXPECT_EQ(login.login(), Outcome::Done);
    EXPECT_EQ(loaded->operatorRecord(0).password(), "changed");
}

TEST(PasswordMatches, IsBoundedBySixteenBytesAndTheFirstNul) {
    auto image = std::make_unique<store::ConfigImage>();
    store::OperatorRecord rec = image->operatorRecord(1);
    rec.setPassword("0123456789abcdef");
    EXPECT_TRUE(passwordMatches(rec, "0123456789abcdef"));
    // Bytes past the sixteenth do not take part (a converted text can grow).
    EXPECT_TRUE(passwordMatches(rec, "0123456789abcdefXYZ"));
    EXPECT_FALSE(passwordMatches(rec, "0123456789abcdeX"));
    rec.setPassword("abc");
    EXPECT_TRUE(passwordMatches(rec, std::string("abc\0zz", 6)));
    EXPECT_FALSE(passwordMatches(rec, "abcd"));
    EXPECT_FALSE(passwordMatches(rec, "ab"));
}

TEST_F(LoginTest, ModeTwoPrefillsThePathAndLocksBrowsing) {
    session.mode = 2;
    userlogin fromExport(host, session, *loaded);
    fromExport.open();
    EXPECT_EQ(fromExport.path, session.configPath.string());
    EXPECT_FALSE(fromExport.browseEnabled);
    EXPECT_EQ(fromExport.focus, userlogin::Focus::UserName);
    EXPECT_EQ(session.mode, 1);

    userlogin again(host, session, *loaded);
    again.open();
    EXPECT_TRUE(again.browseEnabled);
    EXPECT_EQ(again.path, "");
}

TEST_F(LoginTest, LeavingThePasswordForTheLoginButtonLogsInOnce) {
    userlogin login = dialog("admin", "secret");
    // A pointer press on the button: its click will log in.
    login.passwordFocusLeft(true, true);
    EXPECT_EQ(session.loggedInUser, 0);  // untouched: no attempt ran
    EXPECT_FALSE(login.openMainWindow);
    // Elsewhere: nothing.
    login.passwordFocusLeft(false, false);
    EXPECT_FALSE(login.openMainWindow);
    // Tab onto the button.
    login.passwordFocusLeft(true, false);
    EXPECT_TRUE(login.openMainWindow);
    EXPECT_THAT(host.numbers(), IsEmpty());
}

TEST_F(LoginTest, BrowseChoosesBacksUpAndShowsThePath) {
    userlogin login(host, session, *loaded);
    login.open();
    host.files.push_back(session.configPath);
    EXPECT_TRUE(login.browse());
    EXPECT_EQ(login.path, session.configPath.string());
    EXPECT_EQ(host.lastFileRequest->filter, "All File (*)");
    EXPECT_EQ(host.lastFileRequest->proposedName, "kbCfg.bin");
    EXPECT_TRUE(fs::exists(dir / "Backup" / "kbCfg.bin"));

    // Cancelled: nothing changes.
    EXPECT_FALSE(login.browse());
    EXPECT_EQ(login.path, session.configPath.string());

    // A path over the limit: message 210, the field keeps what it showed.
    host.files.push_back(fs::path("/") / std::string(130, 'd') / "kbCfg.bin");
    EXPECT_FALSE(login.browse());
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PathTooLong));
    EXPECT_EQ(login.path, (dir / "kbCfg.bin").string());
}

TEST_F(LoginTest, NamedFileKeepsThePathLimits) {
    userlogin login(host, session, *loaded);
    const std::string name32(32, 'n');
    std::string folder = "/" + std::string(128 - 2 - name32.size(), 'f');
    EXPECT_TRUE(login.useConfigFile(fs::path(folder) / name32));
    EXPECT_EQ(login.path.size(), 128u);

    EXPECT_FALSE(login.useConfigFile(fs::path(folder + "f") / name32));
    EXPECT_FALSE(login.useConfigFile(dir / std::string(33, 'n')));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PathTooLong, Msg::FileNameTooLong));
    EXPECT_TRUE(session.configPath.empty());

    host.clear();
    // The command-line way: name the file, then log in; no backup is made.
    ASSERT_TRUE(login.useConfigFile(dir / "kbCfg.bin"));
    login.userName = "op2";
    login.password = "0123456789abcdef";
    EXPECT_EQ(login.login(), Outcome::Done);
    EXPECT_FALSE(fs::exists(dir / "Backup"));
}

TEST_F(LoginTest, FileGivenAtStartIsCheckedAndBackedUpLikeABrowsedOne) {
    userlogin login(host, session, *loaded);
    login.open();
    EXPECT_FALSE(login.openWithFile(dir / std::string(33, 'n')));
    EXPECT_FALSE(login.openWithFile(fs::path("/") / std::string(130, 'd') / "kbCfg.bin"));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::FileNameTooLong, Msg::PathTooLong));
    EXPECT_TRUE(login.path.empty());

    ASSERT_TRUE(login.openWithFile(dir / "kbCfg.bin"));
    EXPECT_EQ(login.path, (dir / "kbCfg.bin").string());
    EXPECT_EQ(login.focus, userlogin::Focus::UserName);
    EXPECT_TRUE(fs::exists(dir / "Backup" / "kbCfg.bin"));
    login.userName = "op2";
    login.password = "0123456789abcdef";
    EXPECT_EQ(login.login(), Outcome::Done);

    // From "Export && login" the exported file is kept.
    session.mode = 2;
    userlogin fromExport(host, session, *loaded);
    fromExport.open();
    EXPECT_FALSE(fromExport.openWithFile(dir / "other.bin"));
    EXPECT_EQ(fromExport.path, (dir / "kbCfg.bin").string());
}

TEST_F(LoginTest, ClosingBringsTheModeDialogBackUnlessTheMainWindowIsOpen) {
    host.windows = {"Modes", "Menu"};
    userlogin login(host, session, *loaded);
    login.closed();
    EXPECT_THAT(host.raised, IsEmpty());

    host.windows = {"Modes"};
    login.closed();
    EXPECT_THAT(host.raised, ElementsAre("Modes"));

    host.raised.clear();
    userlogin ok = dialog("admin", "secret");
    ASSERT_EQ(ok.login(), Outcome::Done);
    ok.closed();
    EXPECT_THAT(host.raised, IsEmpty());
}

}  // namespace
}  // namespace kbcfg::shell
