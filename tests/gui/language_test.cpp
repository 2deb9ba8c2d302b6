// Both languages in the desktop tool: a choice on the language page reaches every open window and
// dialog at once, and is kept for the next start, whose first run follows the locale.
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

#include "gui/app_fonts.h"
#include "gui/devadd_view.h"
#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/language.h"
#include "gui/main_view.h"
#include "gui/modupdata_view.h"
#include "gui/qt_host.h"
#include "gui/tip_view.h"
#include "gui/useradd_view.h"
#include "gui/userdev_view.h"
#include "gui/varnel_dlg_view.h"
#include "gui/widgets/header_ctrl.h"
#include "support/fake_netsdk.h"

using namespace kbcfg;
using kbcfg::testing::child;
using store::Language;
using store::MessageCatalogue;
using store::Msg;

namespace {

QString text(Language language, store::Msg n) {
    const MessageCatalogue& table =
        language == Language::Chinese ? MessageCatalogue::chinese() : MessageCatalogue::english();
    return QString::fromStdString(table.text(n));
}

QString keptChoice() {
    return QSettings(QString::fromLatin1(gui::kSettingsOrganisation),
                     QString::fromLatin1(gui::kSettingsApplication))
        .value(QStringLiteral("language"))
        .toString();
}

struct LanguageChanges : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::LanguageChange;
        return false;
    }
};

}  // namespace

class TestLanguage : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    QTemporaryDir settings;
    std::unique_ptr<kbcfg::testing::FakeNetSdk> sdk;

  private slots:
    void initTestCase() {
        // The choice goes to a settings file of the test's own, never the user's.
        QVERIFY(settings.isValid());
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settings.path());
    }

    void init() {
        makeFixture();
        sdk = std::make_unique<kbcfg::testing::FakeNetSdk>();
        startFile(*image, {{"admin", ""}});
        saveImage();
        session->loggedInUser = 0;
        session->currentUserName = "admin";
        makeContext(sdk.get());
    }

    void cleanup() {
        MessageCatalogue::setCurrent(Language::English);
        tearDown();
    }

    void everyOpenWindowFollowsAtOnce() {
        gui::VarnelDlgView modes(*context);
        modes.show();
        gui::MainView main(*context);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        int refresh = 0;
        gui::DevaddView devadd(*context, &refresh, &main);
        devadd.show();
        gui::ModupdataView upgrade(*context);
        upgrade.show();
        gui::TipView tip("x", true, &main);
        tip.show();
        auto* devices = child<QTableView>(&main, "deviceList");
        auto* header = static_cast<gui::CHeaderCtrlCl*>(devices->horizontalHeader());

        // Titles, buttons, labels, group boxes, combo-box items and list headers (as drawn).
        const std::pair<std::function<QString()>, Msg> shown[] = {
            {[&] { return main.windowTitle(); }, Msg::TitleMenu},
            {[&] { return modes.windowTitle(); }, Msg::TitleModes},
            {[&] { return child<QLabel>(&main, "userLabel")->text(); }, Msg::CurrentUserLabel},
            {[&] { return child<QLabel>(&main, "languageLabel")->text(); }, Msg::LanguageLabel},
            {[&] { return child<QRadioButton>(&main, "chineseRadio")->text(); },
             Msg::ChineseChoice},
            {[&] { return child<QPushButton>(&main, "normalAddButton")->text(); },
             Msg::NormalAddButton},
            {[&] { return child<QGroupBox>(&main, "typeGroup")->title(); }, Msg::ChannelTypeLabel},
            {[&] { return header->caption(2); }, Msg::Ip},
            {[&] {
                 return child<QTableView>(&main, "userList")
                     ->model()
                     ->headerData(2, Qt::Horizontal)
                     .toString();
             },
             Msg::ColumnOperatorName},
            {[&] { return devadd.windowTitle(); }, Msg::TitleAddDevice},
            {[&] { return child<QPushButton>(&devadd, "addButton")->text(); }, Msg::AddButton},
            {[&] { return child<QComboBox>(&devadd, "typeCombo")->itemText(1); }, Msg::BatchIp},
            {[&] { return child<QLabel>(&devadd, "startIpLabel")->text(); }, Msg::IpLabel},
            {[&] { return child<QComboBox>(&upgrade, "modeCombo")->itemText(0); },
             Msg::FirmwareUpdate},
            {[&] { return child<QLabel>(&upgrade, "notice")->text(); }, Msg::UpdateNotice},
            {[&] { return tip.cancelButton()->text(); }, Msg::CancelButton},
        };
        const bool qtChinese = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                                             QStringLiteral("/qtbase_zh_CN.qm"));
        const auto expectAll = [&](Language language) {
            QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:") == "Look in:",
                     !qtChinese || language == Language::English);
            for (const auto& [get, n] : shown)
                QVERIFY2(get() == text(language, n),
                         qPrintable(QString::number(store::messageNumber(n)) + ": " + get()));
            QCOMPARE(child<QRadioButton>(&main, "chineseRadio")->isChecked(),
                     language == Language::Chinese);
            QCOMPARE(child<QRadioButton>(&main, "englishRadio")->isChecked(),
                     language == Language::English);
            // The tabs' captions are drawn into their pictures.
            QCOMPARE(
                child<QAbstractButton>(&main, "devicesButton")->accessibleName(),
                language == Language::Chinese ? QStringLiteral("设备") : QStringLiteral("Devices"));
        };
        expectAll(Language::English);
        // Each widget hears of a switch once, however deep it lies.
        LanguageChanges deep;
        child<QPushButton>(&main, "inputButton")->installEventFilter(&deep);

        child<QAbstractButton>(&main, "otherButton")->click();
        child<QRadioButton>(&main, "chineseRadio")->click();
        expectAll(Language::Chinese);
        QCOMPARE(deep.count, 1);
        QCOMPARE(keptChoice(), QStringLiteral("zh"));
        // The name of the other choice stays as it is.
        QCOMPARE(child<QRadioButton>(&main, "englishRadio")->text(), QStringLiteral("ENGLISH"));
        // A window opened afterwards starts in the language in use, and the program finds its
        // windows by the new titles.
        gui::UseraddView later(*context, &main);
        QCOMPARE(later.windowTitle(), text(Language::Chinese, Msg::TitleAddUser));
        QCOMPARE(gui::QtHost::findWindow(text(Language::Chinese, Msg::TitleMenu)), &main);

        // Switched from elsewhere, the radio buttons follow too.
        gui::switchLanguage(Language::English);
        expectAll(Language::English);
        QCOMPARE(keptChoice(), QStringLiteral("en"));
    }

    void theProgressTextSaysWhatARunDoes() {
        MessageCatalogue::setCurrent(Language::Chinese);
        QCOMPARE(gui::probeProgressText({1, 8, "198.51.100.100", 4}, false),
                 QString::fromUtf8("正在探测 198.51.100.100 及另外 3 台设备\n已完成 1 / 8 台设备"));
        MessageCatalogue::setCurrent(Language::English);
        QCOMPARE(
            gui::probeProgressText({1, 8, "198.51.100.100", 3}, true),
            QStringLiteral("Stopping: 1 of 8 devices done, kept in the file.\nWaiting for the 3 "
                           "devices being asked to log out; they are not added."));
    }

    void theWindowsFontHasEveryChineseGlyph() {
        // No boxes in place of characters: the dialogs' font has them all (install-deps installs
        // a font for them).
        const QFontMetrics metrics(gui::uiFont(9));
        QString missing;
        for (int n = 0; n < store::kMessageCount; ++n) {
            const QList<uint> chars = text(Language::Chinese, static_cast<Msg>(n)).toUcs4();
            if (std::any_of(chars.begin(), chars.end(),
                            [&](uint c) { return c >= 0x20 && !metrics.inFontUcs4(c); }))
                missing += QString::number(n) + ' ';
        }
        QVERIFY2(missing.isEmpty(),
                 qPrintable("messages " + missing + "of " + QFontInfo(gui::uiFont(9)).family()));
    }

    void aStartTakesTheKeptChoiceElseTheLocale() {
        struct Case {
            const char* kept;  // null: none kept
            const char* lang;
            Language want;
        };
        const Case cases[] = {
            {nullptr, "zh_CN.UTF-8", Language::Chinese},
            {nullptr, "en_US.UTF-8", Language::English},
            {nullptr, "C", Language::English},
            {"en", "zh_CN.UTF-8", Language::English},
            {"zh", "en_US.UTF-8", Language::Chinese},
            {"fr", "zh_TW", Language::Chinese},
        };
        const QByteArray saved = qgetenv("LANG");
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        for (const Case& c : cases) {
            QSettings kept(QString::fromLatin1(gui::kSettingsOrganisation),
                           QString::fromLatin1(gui::kSettingsApplication));
            if (c.kept)
                kept.setValue(QStringLiteral("language"), QString::fromLatin1(c.kept));
            else
                kept.remove(QStringLiteral("language"));
            kept.sync();
            qputenv("LANG", c.lang);
            QCOMPARE(gui::startupLanguage(), c.want);
        }
        qputenv("LANG", saved);
    }

    void aSettingsFileThatIsNoFileIsLeftAlone() {
        // QSettings would wait on a FIFO for a writer for ever (a hang ends in the time-out).
        const QString fifo = settings.path() + QStringLiteral("/kbcfg/kbcfg-gui.conf");
        QFile::remove(fifo);
        QVERIFY(QDir().mkpath(settings.path() + QStringLiteral("/kbcfg")));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(gui::startupLanguage(), store::localeLanguage(store::processEnvironment()));
        gui::switchLanguage(Language::English);
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());  // not replaced
        QFile::remove(fifo);
    }
};

KBCFG_GUI_TEST(TestLanguage)
#include "language_test.moc"
