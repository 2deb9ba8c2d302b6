#include "store/messages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::store {
namespace {

using store::Msg;

using testing::ScriptedHost;
using testing::TempDir;

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minimum[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

TEST(MessageCatalogue, EnglishTextsAreExact) {
    const auto& en = MessageCatalogue::english();
    EXPECT_EQ(en.language(), Language::English);
    EXPECT_EQ(en.text(Msg::ConfirmConfigPath), "Please confirm the path of config file!");
    EXPECT_EQ(en.text(Msg::PortRange), "Legal port ranges from 2000 to 65535!");
    EXPECT_EQ(en.text(Msg::UpdateStatusLost),
              "Recive data from Keyboard failed,the tool can not get updating status!");
    EXPECT_EQ(en.text(Msg::ExportAndLoginButton), "Export && login");
    EXPECT_EQ(en.text(Msg::ProductHeading), "Orvanta");
    EXPECT_EQ(en.text(Msg::BackupAsKbCfgBk),
              "Config file backuped as kbCfg.bk,the length of file path is overflowed!");
    EXPECT_EQ(en.text(Msg::PanelErasingMore), "Start erase bootloader......");
    EXPECT_EQ(en.text(Msg::PathTooLong),
              "Filepath'length should be less than 128 and filename'length less than 32!");
    EXPECT_EQ(en.text(Msg::ColumnWallScene), "Wall/Scene");
}

TEST(MessageCatalogue, BothTablesAreCompleteAndWellFormed) {
    const auto& en = MessageCatalogue::english();
    const auto& zh = MessageCatalogue::chinese();
    EXPECT_EQ(zh.language(), Language::Chinese);
    for (int n = 0; n < kMessageCount; ++n) {
        SCOPED_TRACE(n);
        const std::string& e = en.text(static_cast<Msg>(n));
        EXPECT_FALSE(e.empty());
        for (char c : e) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
        EXPECT_FALSE(zh.text(static_cast<Msg>(n)).empty());
        EXPECT_TRUE(isValidUtf8(zh.text(static_cast<Msg>(n))));
    }
    // The last entry exists and nothing lies beyond it.
    EXPECT_EQ(kMessageCount, 213);
    EXPECT_FALSE(zh.text(Msg::ColumnWallScene).empty());
    EXPECT_TRUE(en.text(static_cast<Msg>(kMessageCount)).empty());
    EXPECT_TRUE(en.text(static_cast<Msg>(-1)).empty());
    EXPECT_TRUE(getMessage(static_cast<Msg>(1000)).empty());
}

TEST(MessageCatalogue, SharedEnglishTextsKeepTheirOwnEntries) {
    const auto& en = MessageCatalogue::english();
    const auto& zh = MessageCatalogue::chinese();
    const Msg pairs[][2] = {{Msg::ConfirmDeleteDevices, Msg::ConfirmDeleteUsers},
                            {Msg::StreamBound, Msg::StreamBoundBatch},
                            {Msg::StreamRemoved, Msg::StreamRemovedBatch},
                            {Msg::ColumnUserName, Msg::ColumnOperatorName},
                            {Msg::TitleRemoteConfig, Msg::RemoteConfigButton},
                            {Msg::TitleTips, Msg::TitleTip}};
    for (const auto& p : pairs) EXPECT_EQ(en.text(p[0]), en.text(p[1])) << messageNumber(p[0]);
    EXPECT_NE(zh.text(Msg::ConfirmDeleteDevices), zh.text(Msg::ConfirmDeleteUsers));
    EXPECT_NE(zh.text(Msg::StreamBound), zh.text(Msg::StreamBoundBatch));
    EXPECT_NE(zh.text(Msg::StreamRemoved), zh.text(Msg::StreamRemovedBatch));
}

TEST(MessageCatalogue, ChineseTextsThatAreFixed) {
    const auto& zh = MessageCatalogue::chinese();
    EXPECT_EQ(zh.text(Msg::ConfirmDeleteUsers), "确定删除所选用户？");
    EXPECT_EQ(zh.text(Msg::UpdateSendFailed), "升级文件发送失败，请检查网络！");
    EXPECT_EQ(zh.text(Msg::StreamBoundBatch), "流媒体批量绑定成功!");
    EXPECT_EQ(zh.text(Msg::StreamRemovedBatch), "流媒体批量解除绑定成功!");
    EXPECT_EQ(zh.text(Msg::DeviceNetworkFailed), "由于网络原因或设备忙或端口错误, 注册失败!");
    EXPECT_EQ(zh.text(Msg::ProductHeading), "Orvanta");
    EXPECT_EQ(zh.text(Msg::ProductBuild), "Orvanta,build20130426");
    EXPECT_NE(zh.text(Msg::ExportAndLoginButton).find("&&"), std::string::npos);
}

TEST(MessageCatalogue, SwitchingKeepsEarlierTextsValid) {
    EXPECT_EQ(&MessageCatalogue::current(), &MessageCatalogue::english());
    const std::string& before = getMessage(Msg::TitleModes);
    MessageCatalogue::setCurrent(Language::Chinese);
    EXPECT_EQ(&getMessage(Msg::TitleModes), &MessageCatalogue::chinese().text(Msg::TitleModes));
    EXPECT_EQ(before, "Modes");  // a reference fetched before the switch still reads
    MessageCatalogue::setCurrent(Language::English);
    EXPECT_EQ(&getMessage(Msg::TitleModes), &before);
}

TEST(MessageCatalogue, LanguageOfLocaleAndEnvironment) {
    using L = Language;
    for (const char* locale : {"zh_CN.UTF-8", "zh_TW", "zh", "zh_CN.GB18030@x", "ZH-cn"})
        EXPECT_EQ(languageForLocale(locale), L::Chinese) << locale;
    for (const char* locale : {"en_US.UTF-8", "C", "POSIX", "", "zhx_CN", "z", "de_DE.UTF-8"})
        EXPECT_EQ(languageForLocale(locale), L::English) << locale;

    // Variables set (an empty string is set but empty); the rest unset.
    struct Case {
        std::map<std::string, std::string> vars;
        L locale, commandLine;
    };
    const Case cases[] = {
        {{}, L::English, L::English},
        {{{"LANG", "zh_CN.UTF-8"}}, L::Chinese, L::Chinese},
        {{{"LANG", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_GB"}}, L::English, L::English},
        {{{"LANG", "en_GB"}, {"LC_MESSAGES", "zh_CN"}}, L::Chinese, L::Chinese},
        {{{"LC_ALL", "zh_TW"}, {"LC_MESSAGES", "en_GB"}}, L::Chinese, L::Chinese},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "zh_CN"}}, L::Chinese, L::Chinese},
        {{{"LANG", "zh_CN"}, {"KBCFG_LANG", "en"}}, L::Chinese, L::English},
        {{{"LANG", "en_US"}, {"KBCFG_LANG", "zh"}}, L::English, L::Chinese},
        {{{"LANG", "zh_CN"}, {"KBCFG_LANG", "fr"}}, L::Chinese, L::Chinese},
        {{{"LANG", "zh_CN"}, {"KBCFG_LANG", "EN"}}, L::Chinese, L::Chinese},
        {{{"LANG", "en_US"}, {"KBCFG_LANG", ""}}, L::English, L::English},
    };
    for (const Case& c : cases) {
        const Environment env = [&c](const char* name) -> const char* {
            const auto it = c.vars.find(name);
            return it == c.vars.end() ? nullptr : it->second.c_str();
        };
        const std::string shown = ::testing::PrintToString(c.vars);
        EXPECT_EQ(localeLanguage(env), c.locale) << shown;
        EXPECT_EQ(commandLineLanguage(env), c.commandLine) << shown;
    }
    for (const L language : {L::English, L::Chinese})
        EXPECT_EQ(languageNamed(languageCode(language)), language);
}

TEST(ShowMessage, PassesNumberAndEnglishText) {
    ScriptedHost host;
    showMessage(host, Msg::DeviceAdded);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].number, 23);
    EXPECT_EQ(host.shown[0].text, "Add device successfully!");
    EXPECT_FALSE(host.shown[0].question);
}

class AskMessage : public ::testing::Test {
  protected:
    void SetUp() override {
        setConfigPaths(session, dir / "kbCfg.bin");
        testing::writeAll(dir / "kbCfg.bin", content);
    }
    std::filesystem::path backupCopy() const { return backupFolder(session) / "kbCfg.bin"; }

    TempDir dir;
    SessionState session;
    ScriptedHost host;
    const std::vector<std::uint8_t> content{1, 2, 3, 0, 255, 7};
};

// Each mode and answer: what is shown, whether the file is copied into the backup folder (made
// when missing, an older copy replaced), and the answer a confirmation records.
TEST_F(AskMessage, EachModeAndAnswer) {
    using V = std::vector<Msg>;
    const Msg cover = Msg::AskCoverBackup, del = Msg::ConfirmDeleteDevices,
              users = Msg::ConfirmDeleteUsers, notBacked = Msg::NotBackedUp;
    const int login = kTipBackupAtLogin, exportMode = kTipBackupAtExport;
    struct Case {
        int mode;
        Msg msg;
        Answer answer;
        V shown;
        bool backedUp;
        int confirm;  // 7: left as it was
        std::string lastText = "";
        bool olderCopy = false;
    };
    const Case cases[] = {
        {login, cover, Answer::Ok, V{cover}, true, 7, "", true},
        {exportMode, cover, Answer::Ok, V{cover}, true, 7},
        {login, cover, Answer::Cancel, V{cover, notBacked}, false, 7,
         "The config file is not backed up!"},
        {exportMode, cover, Answer::Cancel, V{cover, notBacked}, false, 7},
        // Closing the box does nothing.
        {login, cover, Answer::Closed, V{cover}, false, 7},
        {exportMode, cover, Answer::Closed, V{cover}, false, 7},
        {kTipConfirm, del, Answer::Closed, V{del}, false, 7},
        {kTipConfirm, del, Answer::Ok, V{del}, false, 1, "Confirm to delete?"},
        {kTipConfirm, users, Answer::Cancel, V{users}, false, 0},
        // A single OK box.
        {kTipPlain, notBacked, Answer::Cancel, V{notBacked}, false, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        std::filesystem::remove_all(backupFolder(session));
        if (c.olderCopy) {
            std::filesystem::create_directories(backupFolder(session));
            testing::writeAll(backupCopy(), {9, 9});
        }
        host.clear();
        host.answers = {c.answer};
        session.confirmAnswer = 7;
        askMessage(host, session, c.msg, "kbCfg.bin", c.mode);
        ASSERT_EQ(host.numbers(), c.shown);
        EXPECT_EQ(host.shown[0].question, c.mode != kTipPlain);
        EXPECT_FALSE(c.shown.size() > 1 && host.shown[1].question);
        if (!c.lastText.empty()) {
            EXPECT_EQ(host.shown.back().text, c.lastText);
        }
        EXPECT_EQ(session.confirmAnswer, c.confirm);
        if (c.backedUp)
            EXPECT_EQ(testing::readAll(backupCopy()), content);
        else
            EXPECT_FALSE(std::filesystem::exists(backupFolder(session)));
    }
}

TEST_F(AskMessage, ADecoratorHandsTheWholeQuestionOn) {
    // The inner host shows the follow-up over its own question; a decorator must not take the
    // question apart into a plain ask and a message of its own.
    struct Inner : ScriptedHost {
        Answer askOkCancelThen(int n, const std::string& text,
                               const std::function<void(Answer)>& answered) override {
            ++whole;
            return ScriptedHost::askOkCancelThen(n, text, answered);
        }
        int whole = 0;
    } inner;
    ForwardingHost decorator(inner);
    inner.answers = {Answer::Cancel};
    askMessage(decorator, session, Msg::AskCoverBackup, "kbCfg.bin", kTipBackupAtLogin);
    EXPECT_EQ(inner.whole, 1);
    EXPECT_EQ(inner.numbers(), (std::vector<Msg>{Msg::AskCoverBackup, Msg::NotBackedUp}));
}

}  // namespace
}  // namespace kbcfg::store
