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
    EXPECT_EQ(en.text(0), "Please confirm the path of config file!");
    EXPECT_EQ(en.text(31), "Legal port ranges from 2000 to 65535!");
    EXPECT_EQ(en.text(53),
              "Recive data from Keyboard failed,the tool can not get updating status!");
    EXPECT_EQ(en.text(116), "Export && login");
    EXPECT_EQ(en.text(127), "Orvanta");
    EXPECT_EQ(en.text(186),
              "Config file backuped as kbCfg.bk,the length of file path is overflowed!");
    EXPECT_EQ(en.text(199), "Start erase bootloader......");
    EXPECT_EQ(en.text(210),
              "Filepath'length should be less than 128 and filename'length less than 32!");
    EXPECT_EQ(en.text(212), "Wall/Scene");
}

TEST(MessageCatalogue, BothTablesAreCompleteAndWellFormed) {
    const auto& en = MessageCatalogue::english();
    const auto& zh = MessageCatalogue::chinese();
    EXPECT_EQ(zh.language(), Language::Chinese);
    for (int n = 0; n < kMessageCount; ++n) {
        SCOPED_TRACE(n);
        const std::string& e = en.text(n);
        EXPECT_FALSE(e.empty());
        for (char c : e) EXPECT_LT(static_cast<unsigned char>(c), 0x80);
        EXPECT_FALSE(zh.text(n).empty());
        EXPECT_TRUE(isValidUtf8(zh.text(n)));
    }
    // The last entry exists and nothing lies beyond it.
    EXPECT_EQ(kMessageCount, 213);
    EXPECT_FALSE(zh.text(212).empty());
    EXPECT_TRUE(en.text(213).empty());
    EXPECT_TRUE(en.text(-1).empty());
    EXPECT_TRUE(zh.text(kMessageCount).empty());
    EXPECT_TRUE(getMessage(1000).empty());
}

TEST(MessageCatalogue, SharedEnglishTextsKeepTheirOwnEntries) {
    const auto& en = MessageCatalogue::english();
    const auto& zh = MessageCatalogue::chinese();
    const int pairs[][2] = {{27, 40}, {56, 57}, {58, 59}, {78, 83}, {115, 129}, {146, 147}};
    for (const auto& p : pairs) EXPECT_EQ(en.text(p[0]), en.text(p[1])) << p[0] << "/" << p[1];
    EXPECT_NE(zh.text(27), zh.text(40));
    EXPECT_NE(zh.text(56), zh.text(57));
    EXPECT_NE(zh.text(58), zh.text(59));
}

TEST(MessageCatalogue, ChineseTextsThatAreFixed) {
    const auto& zh = MessageCatalogue::chinese();
    EXPECT_EQ(zh.text(40), "确定删除所选用户？");
    EXPECT_EQ(zh.text(45), "升级文件发送失败，请检查网络！");
    EXPECT_EQ(zh.text(57), "流媒体批量绑定成功!");
    EXPECT_EQ(zh.text(59), "流媒体批量解除绑定成功!");
    EXPECT_EQ(zh.text(70), "由于网络原因或设备忙或端口错误, 注册失败!");
    EXPECT_EQ(zh.text(127), "Orvanta");
    EXPECT_EQ(zh.text(194), "Orvanta,build20130426");
    EXPECT_NE(zh.text(116).find("&&"), std::string::npos);
}

TEST(MessageCatalogue, SwitchingKeepsEarlierTextsValid) {
    EXPECT_EQ(&MessageCatalogue::current(), &MessageCatalogue::english());
    const std::string& before = getMessage(74);
    MessageCatalogue::setCurrent(Language::Chinese);
    EXPECT_EQ(&getMessage(74), &MessageCatalogue::chinese().text(74));
    EXPECT_EQ(before, "Modes");  // a reference fetched before the switch still reads
    MessageCatalogue::setCurrent(Language::English);
    EXPECT_EQ(&getMessage(74), &before);
}

TEST(MessageCatalogue, LanguageOfLocaleAndEnvironment) {
    using L = Language;
    const std::pair<const char*, L> locales[] = {
        {"zh_CN.UTF-8", L::Chinese},
        {"zh_TW", L::Chinese},
        {"zh", L::Chinese},
        {"zh_CN.GB18030@x", L::Chinese},
        {"ZH-cn", L::Chinese},
        {"en_US.UTF-8", L::English},
        {"C", L::English},
        {"POSIX", L::English},
        {"", L::English},
        {"zhx_CN", L::English},
        {"z", L::English},
        {"de_DE.UTF-8", L::English},
    };
    for (const auto& [locale, want] : locales) EXPECT_EQ(languageForLocale(locale), want) << locale;

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
    showMessage(host, 23);
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

TEST_F(AskMessage, OkInBackupModeCopiesIntoBackupFolder) {
    // An older backup of the same name is replaced.
    std::filesystem::create_directories(backupFolder(session));
    testing::writeAll(backupCopy(), {9, 9});
    host.answers = {Answer::Ok};
    askMessage(host, session, 42, "kbCfg.bin", kTipBackupAtLogin);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].number, 42);
    EXPECT_TRUE(host.shown[0].question);
    EXPECT_EQ(testing::readAll(backupCopy()), content);
}

TEST_F(AskMessage, OkCreatesMissingBackupFolder) {
    host.answers = {Answer::Ok};
    askMessage(host, session, 42, "kbCfg.bin", kTipBackupAtExport);
    EXPECT_EQ(testing::readAll(backupCopy()), content);
}

TEST_F(AskMessage, CancelInBackupModeSaysNotBackedUp) {
    for (int mode : {kTipBackupAtLogin, kTipBackupAtExport}) {
        SCOPED_TRACE(mode);
        host.clear();
        host.answers = {Answer::Cancel};
        askMessage(host, session, 42, "kbCfg.bin", mode);
        EXPECT_EQ(host.numbers(), (std::vector<int>{42, 43}));
        EXPECT_FALSE(host.shown[1].question);
        EXPECT_EQ(host.shown[1].text, "The config file is not backed up!");
        EXPECT_FALSE(std::filesystem::exists(backupCopy()));
    }
}

TEST_F(AskMessage, ClosingTheBoxDoesNothing) {
    for (int mode : {kTipBackupAtLogin, kTipBackupAtExport, kTipConfirm}) {
        SCOPED_TRACE(mode);
        host.clear();
        session.confirmAnswer = 7;
        host.answers = {Answer::Closed};
        askMessage(host, session, mode == kTipConfirm ? 27 : 42, "kbCfg.bin", mode);
        EXPECT_EQ(host.shown.size(), 1u);
        EXPECT_EQ(session.confirmAnswer, 7);
        EXPECT_FALSE(std::filesystem::exists(backupFolder(session)));
    }
}

TEST_F(AskMessage, ConfirmModeRecordsTheAnswer) {
    host.answers = {Answer::Ok};
    askMessage(host, session, 27, "", kTipConfirm);
    EXPECT_EQ(session.confirmAnswer, 1);
    EXPECT_EQ(host.shown.at(0).text, "Confirm to delete?");

    host.answers = {Answer::Cancel};
    askMessage(host, session, 40, "", kTipConfirm);
    EXPECT_EQ(session.confirmAnswer, 0);
    EXPECT_EQ(host.numbers(), (std::vector<int>{27, 40}));
    EXPECT_FALSE(std::filesystem::exists(backupFolder(session)));
}

TEST_F(AskMessage, PlainModeIsASingleOkBox) {
    askMessage(host, session, 43, "kbCfg.bin", kTipPlain);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_FALSE(host.shown[0].question);
    EXPECT_EQ(session.confirmAnswer, 0);
}

}  // namespace
}  // namespace kbcfg::store
