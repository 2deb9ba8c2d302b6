// The desktop tool walked through on the offscreen platform: mode dialog, login, main window
// and back, with the message boxes and the file dialog scripted.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <memory>

#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/main_view.h"
#include "gui/tip_view.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
#include "gui/widgets/image_button.h"
#include "store/config_lock.h"
#include "store/messages.h"

using namespace kbcfg;
using namespace kbcfg::testing;
namespace fs = std::filesystem;

class TestWalk : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    QTemporaryDir settings;
    std::unique_ptr<gui::VarnelDlgView> modes;
    fs::path configFile;

    // The login dialog, opened from the mode dialog.
    gui::UserloginView* openLogin() {
        child<QAbstractButton>(modes.get(), "localButton")->click();
        gui::UserloginView* login = nullptr;
        [&] { QTRY_VERIFY((login = window<gui::UserloginView>("Login"))); }();
        return login;
    }
    void fillIn(gui::UserloginView* login, const char* user, const char* password) {
        host->script.files.push_back(configFile);
        child<QPushButton>(login, "browseButton")->click();
        child<QLineEdit>(login, "userNameEdit")->setText(QString::fromLatin1(user));
        child<QLineEdit>(login, "passwordEdit")->setText(QString::fromLatin1(password));
    }
    gui::MainView* logIn(const char* user, const char* password) {
        gui::UserloginView* login = openLogin();
        if (!login) return nullptr;
        fillIn(login, user, password);
        child<QPushButton>(login, "loginButton")->click();
        gui::MainView* main = nullptr;
        [&] { QTRY_VERIFY((main = window<gui::MainView>("Menu"))); }();
        return main;
    }

  private slots:
    void initTestCase() {
        // A language choice is kept in a settings file of the test's own.
        for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, settings.path());
    }

    void init() {
        makeFixture();
        configFile = dir->path() / "kbCfg.bin";

        // The file: administrator "admin"/"pw", operator "op"/"".
        store::SessionState writer;
        store::setConfigPaths(writer, configFile);
        auto file = std::make_unique<store::ConfigImage>();
        startFile(*file, {{"admin", "pw"}, {"op", ""}});
        QCOMPARE(store::saveChange(*host, writer, *file), 0);

        makeContext();
        modes = std::make_unique<gui::VarnelDlgView>(*context);
        modes->show();
        QVERIFY(QTest::qWaitForWindowExposed(modes.get()));
    }

    void cleanup() {
        tearDown(modes.get());
        modes.reset();
    }

    void modeDialogShowsItsCaptions() {
        QCOMPARE(modes->windowTitle(), QStringLiteral("Modes"));
        QCOMPARE(child<QLabel>(modes.get(), "heading")->text(), QStringLiteral("Orvanta"));
        for (const char* label : {"Local Config File", "Remote Config File", "Update Keyboard"}) {
            bool found = false;
            for (QLabel* l : modes->findChildren<QLabel*>())
                found |= l->text() == QString::fromLatin1(label);
            QVERIFY2(found, label);
        }
    }

    void enterMovesTheFocusLikeTab() {
        modes->activateWindow();
        auto* local = child<QAbstractButton>(modes.get(), "localButton");
        QVERIFY(focus(local));
        QTest::keyClick(modes.get(), Qt::Key_Return);
        QTRY_VERIFY(child<QAbstractButton>(modes.get(), "remoteButton")->hasFocus());
        QVERIFY(modes->isVisible());
        QVERIFY(!window("Login"));
    }

    void aboutComesFromTheWindowMenu() {
        QAction* about = modes->findChild<QAction*>(QStringLiteral("aboutAction"));
        QVERIFY(about);
        QVERIFY(about->text().startsWith(QStringLiteral("关于 varnel")));
        QString title, text;
        QTimer::singleShot(0, this, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            title = box->windowTitle();
            text = box->findChild<QLabel*>(QStringLiteral("aboutText"))->text();
            box->close();
        });
        about->trigger();
        QCOMPARE(title, QStringLiteral("About varnel"));
        QCOMPARE(text, QStringLiteral("Orvanta,build20130426"));
    }

    void walkToTheMainWindowAndBack() {
        gui::MainView* main = logIn("admin", "pw");
        QVERIFY(main);
        QVERIFY(shown().empty());
        QTRY_VERIFY(!window("Login"));
        QCOMPARE(session->loggedInUser, 0);
        QCOMPARE(child<QLineEdit>(main, "userField")->text(), QStringLiteral("admin"));
        // The five pages exist once; the channel page is the one shown.
        for (const char* page :
             {"mandevPage", "manuserPage", "userchanPage", "mankbPage", "otherPage"})
            QVERIFY2(main->findChild<QWidget*>(QString::fromLatin1(page)), page);
        QVERIFY(child<QWidget>(main, "userchanPage")->isVisible());
        QVERIFY(!child<QWidget>(main, "mandevPage")->isVisible());
        QCOMPARE(main->focusWidget(), child<QWidget>(main, "channelsButton"));
        for (const char* b : {"devicesButton", "usersButton", "keyboardButton", "otherButton"})
            QVERIFY2(child<QWidget>(main, b)->isEnabled(), b);

        child<QAbstractButton>(main, "devicesButton")->click();
        QVERIFY(child<QWidget>(main, "mandevPage")->isVisible());
        QVERIFY(!child<QWidget>(main, "userchanPage")->isVisible());
        QVERIFY(child<QAbstractButton>(main, "devicesButton")->isChecked());

        // The language page switches the open windows, and back.
        child<QAbstractButton>(main, "otherButton")->click();
        QVERIFY(child<QWidget>(main, "otherPage")->isVisible());
        child<QRadioButton>(main, "chineseRadio")->click();
        QCOMPARE(
            main->windowTitle(),
            QString::fromStdString(store::MessageCatalogue::chinese().text(store::Msg::TitleMenu)));
        QCOMPARE(modes->windowTitle(),
                 QString::fromStdString(
                     store::MessageCatalogue::chinese().text(store::Msg::TitleModes)));
        child<QRadioButton>(main, "englishRadio")->click();
        QCOMPARE(store::getMessage(store::Msg::TitleLogin), std::string("Login"));
        QCOMPARE(main->windowTitle(), QStringLiteral("Menu"));

        // While the main window is open, a mode button only brings it to the front.
        child<QAbstractButton>(modes.get(), "localButton")->click();
        QTest::qWait(20);
        QVERIFY(!window("Login"));
        QCOMPARE(window<gui::MainView>("Menu"), main);

        child<QAbstractButton>(main, "returnButton")->click();
        QTRY_VERIFY(!window("Menu"));
        QVERIFY(modes->isVisible());
    }

    void modeDialogOutlastsEveryWorkWindow() {
        // Escape and the close box, while each work window is open: the run must not end.
        const auto tryToEnd = [this] {
            QTest::keyClick(modes.get(), Qt::Key_Escape);
            modes->close();
            QTest::qWait(10);
        };
        const std::pair<const char*, const char*> areas[] = {{"localButton", "Login"},
                                                             {"remoteButton", "Remote Config File"},
                                                             {"upgradeButton", "Update Keyboard"}};
        for (const auto& [button, title] : areas) {
            child<QAbstractButton>(modes.get(), button)->click();
            QTRY_VERIFY2(window(title), title);
            tryToEnd();
            QVERIFY2(modes->isVisible(), title);
            QVERIFY2(window(title), title);
            window(title)->close();
            QTRY_VERIFY2(!window(title), title);
        }
        gui::MainView* main = logIn("admin", "pw");
        QVERIFY(main);
        QTRY_VERIFY(!window("Login"));
        tryToEnd();
        QVERIFY(modes->isVisible());
        QCOMPARE(window<gui::MainView>("Menu"), main);
        main->close();
        QTRY_VERIFY(!window("Menu"));

        // With no work window left, Escape ends it as before.
        QTest::keyClick(modes.get(), Qt::Key_Escape);
        QVERIFY(!modes->isVisible());
    }

    void loginAndMainWindowAreQuick() {
        gui::UserloginView* login = openLogin();
        QVERIFY(login);
        fillIn(login, "admin", "pw");
        QElapsedTimer clock;
        clock.start();
        child<QPushButton>(login, "loginButton")->click();
        gui::MainView* main = window<gui::MainView>("Menu");
        QVERIFY(main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        const qint64 ms = clock.elapsed();
        qInfo("login of a current-layout file and main window shown: %lld ms", ms);
        // Generous here: the machine may be busy with other tests.
        QVERIFY(ms < 1000);
        main->close();
    }

    void operatorsSeeTwoButtonsGreyed() {
        gui::MainView* main = logIn("op", "");
        QVERIFY(main);
        QCOMPARE(session->loggedInUser, 1);
        QVERIFY(!child<QWidget>(main, "devicesButton")->isEnabled());
        QVERIFY(!child<QWidget>(main, "keyboardButton")->isEnabled());
        QVERIFY(child<QWidget>(main, "usersButton")->isEnabled());
        QVERIFY(child<QWidget>(main, "returnButton")->isEnabled());
        main->close();
        QTRY_VERIFY(!window("Menu"));
    }

    void failedLoginKeepsTheDialogOpen() {
        gui::UserloginView* login = openLogin();
        QVERIFY(login);
        // Nothing chosen yet.
        child<QLineEdit>(login, "userNameEdit")->setText(QStringLiteral("admin"));
        child<QPushButton>(login, "loginButton")->click();
        fillIn(login, "admin", "wrong");
        QCOMPARE(child<QLineEdit>(login, "pathEdit")->text(),
                 QString::fromStdString(configFile.string()));
        child<QPushButton>(login, "loginButton")->click();
        QCOMPARE(shown(), (Msgs{store::Msg::ChooseConfigFileFirst, store::Msg::ErrorPassword}));
        QCOMPARE(child<QLineEdit>(login, "passwordEdit")->text(), QString());
        QCOMPARE(child<QLineEdit>(login, "userNameEdit")->text(), QStringLiteral("admin"));
        QVERIFY(login->isVisible());
        QVERIFY(!window("Menu"));

        // Cancel closes it; the mode dialog is all that is left.
        child<QPushButton>(login, "cancelButton")->click();
        QTRY_VERIFY(!window("Login"));
        QVERIFY(!window("Menu"));
    }

    void leavingThePasswordForTheButtonLogsInOncePerClick() {
        gui::UserloginView* login = openLogin();
        QVERIFY(login);
        fillIn(login, "admin", "wrong");
        auto* password = child<QLineEdit>(login, "passwordEdit");
        auto* button = child<QPushButton>(login, "loginButton");
        login->activateWindow();
        QVERIFY(focus(password));

        // A click on the button takes the focus with the pointer: one attempt, from the click.
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE(shown(), (Msgs{store::Msg::ErrorPassword}));
        QTest::qWait(20);
        QCOMPARE(shown(), (Msgs{store::Msg::ErrorPassword}));

        // Tab from the password box onto the button logs in by itself.
        QVERIFY(focus(password));
        password->setText(QStringLiteral("pw"));
        QTest::keyClick(password, Qt::Key_Tab);
        QTRY_VERIFY(window("Menu"));
        QCOMPARE(shown(), (Msgs{store::Msg::ErrorPassword}));
        QTRY_VERIFY(!window("Login"));
    }

    void comingFromAnExportLocksTheFile() {
        store::setConfigPaths(*session, configFile);
        session->mode = 2;
        gui::openLogin(*context, modes.get());
        gui::UserloginView* login = nullptr;
        QTRY_VERIFY((login = window<gui::UserloginView>("Login")));
        QCOMPARE(child<QLineEdit>(login, "pathEdit")->text(),
                 QString::fromStdString(configFile.string()));
        QVERIFY(!child<QPushButton>(login, "browseButton")->isEnabled());
        QCOMPARE(session->mode, 1);
        login->reject();
        QTRY_VERIFY(!window("Login"));
        login = openLogin();
        QVERIFY(child<QPushButton>(login, "browseButton")->isEnabled());
        login->reject();
    }

    void aFailedLoadLeavesNothingBehind() {
        std::vector<std::uint8_t> bytes = kbcfg::testing::readAll(configFile);
        bytes[5000] ^= 0xFF;
        kbcfg::testing::writeAll(configFile, bytes);
        gui::UserloginView* login = openLogin();
        fillIn(login, "admin", "pw");
        child<QPushButton>(login, "loginButton")->click();
        QCOMPARE(shown(), (Msgs{store::Msg::ConfigFileError}));
        // No plain copy, and the lock of the attempt is gone again.
        QVERIFY(!fs::exists(dir->path() / "tem.bin"));
        QVERIFY(!fs::exists(store::lockPathFor(configFile)));
        QVERIFY(!session->editLock);
        login->reject();
        modes.reset();
        QCOMPARE(kbcfg::testing::readAll(configFile), bytes);
        QVERIFY(fs::exists(dir->path() / "Backup" / "kbCfg.bin"));
    }

    void tipBoxButtonsAndAnswers() {
        gui::TipView plain(store::getMessage(store::Msg::ExportAndLoginButton), false);
        QCOMPARE(plain.windowTitle(), QStringLiteral("Tips"));
        QCOMPARE(plain.textLabel()->text(), QStringLiteral("Export & login"));
        QVERIFY(!plain.cancelButton());
        // On a button the catalogue's doubled ampersand is one literal '&', not a mnemonic.
        QPushButton exportButton(
            QString::fromStdString(store::getMessage(store::Msg::ExportAndLoginButton)));
        QVERIFY(exportButton.shortcut().isEmpty());
        plain.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain));
        // One OK, centred.
        const int okCentre = plain.okButton()->geometry().center().x();
        QVERIFY(qAbs(okCentre - plain.width() / 2) <= 2);
        QCOMPARE(plain.grab().toImage().pixelColor(2, 2), QColor(156, 196, 241));
        plain.hide();

        auto answer = [](void (*act)(gui::TipView&)) {
            gui::TipView box(store::getMessage(store::Msg::ConfirmDeleteDevices), true);
            QTimer::singleShot(0, &box, [&box, act] { act(box); });
            return box.run();
        };
        QCOMPARE(answer([](gui::TipView& b) { b.okButton()->click(); }), store::Answer::Ok);
        QCOMPARE(answer([](gui::TipView& b) { b.cancelButton()->click(); }), store::Answer::Cancel);
        QCOMPARE(answer([](gui::TipView& b) { QTest::keyClick(&b, Qt::Key_Escape); }),
                 store::Answer::Closed);
        QCOMPARE(answer([](gui::TipView& b) { b.close(); }), store::Answer::Closed);
    }

    void cancelOfABackupQuestionShowsItsNoticeOverIt() {
        host->script.active = false;
        store::setConfigPaths(*session, configFile);
        QStringList expected{QString::fromStdString(store::getMessage(store::Msg::AskCoverBackup)),
                             QString::fromStdString(store::getMessage(store::Msg::NotBackedUp))};
        expected.sort();
        for (int mode : {store::kTipBackupAtLogin, store::kTipBackupAtExport}) {
            QStringList seen;  // the boxes on screen while the notice is up
            QPointer<QWidget> answered;
            QTimer user;
            user.setInterval(5);
            // Clicks are posted: a timer does not fire again inside its own handler.
            connect(&user, &QTimer::timeout, this, [&] {
                auto* box = qobject_cast<gui::TipView*>(QApplication::activeModalWidget());
                if (!box || box == answered) return;
                answered = box;
                if (!box->cancelButton()) {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (auto* tip = qobject_cast<gui::TipView*>(w); tip && tip->isVisible())
                            seen << tip->textLabel()->text();
                }
                QPushButton* button = box->cancelButton() ? box->cancelButton() : box->okButton();
                QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
            });
            user.start();
            store::askMessage(*host, *session, store::Msg::AskCoverBackup, "kbCfg.bin", mode);
            user.stop();
            seen.sort();
            QCOMPARE(seen, expected);
            QVERIFY(!QApplication::activeModalWidget());
        }
        QVERIFY(!fs::exists(dir->path() / "Backup" / "kbCfg.bin"));
    }

    void closedBoxChangesNothing() {
        // Escape on a mode-3 question leaves the answer as it was.
        host->script.answers.push_back(store::Answer::Closed);
        session->confirmAnswer = 0;
        store::askMessage(*host, *session, store::Msg::ConfirmDeleteDevices, "",
                          store::kTipConfirm);
        QCOMPARE(session->confirmAnswer, 0);
        host->script.answers.push_back(store::Answer::Ok);
        store::askMessage(*host, *session, store::Msg::ConfirmDeleteDevices, "",
                          store::kTipConfirm);
        QCOMPARE(session->confirmAnswer, 1);
    }
};

KBCFG_GUI_TEST(TestWalk)
#include "walk_test.moc"
