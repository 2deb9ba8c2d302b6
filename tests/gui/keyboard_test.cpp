// The keyboard's remote operations on the offscreen platform: the export dialog (and its way to
// the login), the keyboard maintenance page and the upgrade dialog, over a faked device library
// with the message boxes and file dialogs scripted.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>

#include "gui/config_view.h"
#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/main_view.h"
#include "gui/mankb_view.h"
#include "gui/modconfig_view.h"
#include "gui/modupdata_view.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
#include "gui/widgets/ipv4_edit.h"
#include "support/fake_netsdk.h"

using namespace kbcfg;
using namespace kbcfg::testing;
using store::Ipv4Fields;
namespace fs = std::filesystem;

namespace {
const char* const kKeyboard = "198.51.100.2";
}

class TestKeyboard : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    std::unique_ptr<kbcfg::testing::FakeNetSdk> sdk;
    std::vector<std::uint8_t> keyboardFile;  // a stored file: administrator "admin" / "pw"

    static QColor background(QWidget* w) { return w->grab().toImage().pixelColor(3, 3); }

  private slots:
    void init() {
        makeFixture();
        sdk = std::make_unique<kbcfg::testing::FakeNetSdk>();
        sdk->node(kKeyboard).password = "12345";
        sdk->node("198.51.100.9").reachable = false;

        store::SessionState writer;
        store::setConfigPaths(writer, dir->path() / "source" / "kbCfg.bin");
        fs::create_directories(writer.configFolder);
        auto file = std::make_unique<store::ConfigImage>();
        startFile(*file, {{"admin", "pw"}});
        QCOMPARE(store::saveChange(*host, writer, *file), 0);
        keyboardFile = kbcfg::testing::readAll(writer.configPath);
        sdk->node(kKeyboard).storedFile = keyboardFile;

        makeContext(sdk.get());
    }

    void cleanup() { tearDown(); }

    void exportDialogChecksItsBoxesInOrder() {
        gui::ModconfigView dialog(*context);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Remote Config File"));
        QCOMPARE(background(&dialog), QColor(211, 236, 245));
        QCOMPARE(child<QLineEdit>(&dialog, "portEdit")->text(), QStringLiteral("8000"));
        QCOMPARE(child<QLineEdit>(&dialog, "userNameEdit")->text(), QStringLiteral("admin"));
        QVERIFY(child<QLineEdit>(&dialog, "userNameEdit")->isReadOnly());
        QCOMPARE(child<QPushButton>(&dialog, "exportLoginButton")->text(),
                 QStringLiteral("Export && login"));

        // No path yet: asked for before anything else, by both exports.
        click(&dialog, "exportButton");
        click(&dialog, "exportLoginButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ChooseSavePath, store::Msg::ChooseSavePath}));

        // A file name of 33 characters is refused; the box keeps what it showed.
        const fs::path good = dir->path() / "kbCfg.bin";
        host->script.files.push_back(good);
        click(&dialog, "browseButton");
        host->script.files.push_back(dir->path() / (std::string(29, 'n') + ".bin"));
        click(&dialog, "browseButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::FileNameTooLong}));
        QCOMPARE(child<QLineEdit>(&dialog, "pathEdit")->text(), QString::fromStdString(good));
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ChooseSavePath}));
        host->script.files.push_back(good);
        click(&dialog, "browseButton");
        QCOMPARE(session->configPath, good);

        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* ip = child<gui::Ipv4Edit>(&dialog, "keyboardIpEdit");
        auto* port = child<QLineEdit>(&dialog, "portEdit");
        auto* password = child<QLineEdit>(&dialog, "passwordEdit");
        port->setFocus();
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::IpBlank}));
        QVERIFY(ip->octetEdit(0)->hasFocus());

        ip->setFields({{198, 51, std::nullopt, 2}});
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::IpFieldBlank}));
        QCOMPARE(ip->fields(), Ipv4Fields{});

        fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 2), "1999", "");
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::PortRange}));
        QCOMPARE(port->text(), QString());  // emptied, not reset to 8000
        QVERIFY(port->hasFocus());

        fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345678901234567");
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::PasswordTooLong}));
        QCOMPARE(password->text(), QString());
        QVERIFY(sdk->calls.empty());

        // A refused login: message 208 and no file.
        password->setText(QStringLiteral("wrong"));
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::KeyboardLoginFailed}));
        QVERIFY(!fs::exists(good));

        password->setText(QStringLiteral("12345"));
        click(&dialog, "exportButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ExportSucceeded}));
        QCOMPARE(kbcfg::testing::readAll(good), keyboardFile);
        QCOMPARE(sdk->callsStartingWith("Login").back(),
                 std::string("Login 198.51.100.2:8000 admin 12345"));
        QCOMPARE(sdk->callsStartingWith("LogoutEx").size(), std::size_t{1});
        QVERIFY(dialog.isVisible());
        QVERIFY(!window("Login"));
    }

    void exportDialogKeys() {
        gui::ModconfigView dialog(*context);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        host->script.files.push_back(dir->path() / "kbCfg.bin");
        click(&dialog, "browseButton");
        fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");

        // Enter moves on like Tab and exports nothing, not even from the password box.
        auto* port = child<QLineEdit>(&dialog, "portEdit");
        port->setFocus();
        // The fixed user name between them is passed by.
        QTest::keyClick(port, Qt::Key_Return);
        auto* password = child<QLineEdit>(&dialog, "passwordEdit");
        QTRY_VERIFY(password->hasFocus());
        QTest::keyClick(password, Qt::Key_Enter);
        QTRY_VERIFY(child<QPushButton>(&dialog, "exportLoginButton")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(child<QPushButton>(&dialog, "exportButton")->hasFocus());
        QVERIFY(sdk->calls.empty());
        QVERIFY(dialog.isVisible());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        QVERIFY(takeShown().empty());
    }

    void exportAndLoginClosesBehindTheLogin() {
        gui::VarnelDlgView modes(*context);
        modes.show();
        QVERIFY(QTest::qWaitForWindowExposed(&modes));
        click(&modes, "remoteButton");
        QCOMPARE(session->mode, 2);
        auto* dialog = window<gui::ModconfigView>("Remote Config File");
        QVERIFY(dialog);
        // Pressed again, the button only brings the open dialog to the front.
        click(&modes, "remoteButton");
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            open += w->isVisible() && qobject_cast<gui::ModconfigView*>(w);
        QCOMPARE(open, 1);

        const fs::path fetched = dir->path() / "fetched" / "kbCfg.bin";
        fs::create_directories(fetched.parent_path());
        host->script.files.push_back(fetched);
        click(dialog, "browseButton");
        fillKeyboard(dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
        click(dialog, "exportLoginButton");
        QVERIFY(takeShown().empty());  // no success message on this way
        QVERIFY(fs::is_directory(fetched.parent_path() / "Backup"));
        QCOMPARE(kbcfg::testing::readAll(fetched), keyboardFile);

        // The login offers the fetched file and no choice of its own; the dialog waits behind it.
        auto* login = window<gui::UserloginView>("Login");
        QVERIFY(login);
        QCOMPARE(child<QLineEdit>(login, "pathEdit")->text(), QString::fromStdString(fetched));
        QVERIFY(!child<QPushButton>(login, "browseButton")->isEnabled());
        QVERIFY(dialog->isVisible());
        click(dialog, "exportButton");  // while the login is open, it does nothing
        QVERIFY(takeShown().empty());

        child<QLineEdit>(login, "userNameEdit")->setText(QStringLiteral("admin"));
        child<QLineEdit>(login, "passwordEdit")->setText(QStringLiteral("pw"));
        click(login, "loginButton");
        QTRY_VERIFY(window("Menu"));
        QTRY_VERIFY(!window("Remote Config File"));
        QTRY_VERIFY(!window("Login"));
        QVERIFY(takeShown().empty());

        // With the main window open, neither remote button opens anything.
        click(&modes, "remoteButton");
        click(&modes, "upgradeButton");
        QVERIFY(!window("Remote Config File"));
        QVERIFY(!window("Update Keyboard"));
        window("Menu")->close();
        QTRY_VERIFY(!window("Menu"));
    }

    void cancelledLoginStillClosesTheDialog() {
        gui::ModconfigView* dialog = gui::openExportDialog(*context, nullptr);
        host->script.files.push_back(dir->path() / "kbCfg.bin");
        click(dialog, "browseButton");
        fillKeyboard(dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
        click(dialog, "exportLoginButton");
        auto* login = window<gui::UserloginView>("Login");
        QVERIFY(login);
        click(login, "cancelButton");
        QTRY_VERIFY(!window("Remote Config File"));
        QVERIFY(!window("Menu"));
    }

    void importFromTheDialogAndThePage() {
        const fs::path file = dir->path() / "source" / "kbCfg.bin";
        {
            gui::ModconfigView dialog(*context);
            dialog.show();
            click(&dialog, "importButton");
            QCOMPARE(takeShown(), (Msgs{store::Msg::ChooseConfigFileFirst}));
            host->script.files.push_back(file);
            click(&dialog, "browseButton");
            // The dialog stops at a refused login.
            fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 9), "8000", "12345");
            click(&dialog, "importButton");
            QCOMPARE(takeShown(), (Msgs{store::Msg::KeyboardLoginFailed}));
            QVERIFY(sdk->callsStartingWith("SetConfigFile").empty());
            fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
            click(&dialog, "importButton");
            QCOMPARE(takeShown(), (Msgs{store::Msg::ImportSucceeded}));
            QCOMPARE(sdk->node(kKeyboard).received, keyboardFile);
        }

        // The page offers the file being edited.
        sdk->node(kKeyboard).received.clear();
        store::setConfigPaths(*session, file);
        gui::MankbView page(*context);
        page.resize(900, 560);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.objectName(), QStringLiteral("mankbPage"));
        QCOMPARE(background(&page), QColor(117, 185, 230));
        gui::ConfigView* importPage = page.importPage();
        QCOMPARE(background(importPage), QColor(211, 236, 245));
        QCOMPARE(child<QLineEdit>(importPage, "pathEdit")->text(), QString::fromStdString(file));

        // The page sends regardless of the login and reports the failed send.
        fillKeyboard(importPage, Ipv4Fields::of(198, 51, 100, 9), "8000", "12345");
        click(importPage, "importButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ImportFailed}));
        fillKeyboard(importPage, Ipv4Fields::of(198, 51, 100, 2), "8000x", "12345");
        click(importPage, "importButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ImportSucceeded}));
        QCOMPARE(sdk->node(kKeyboard).received, keyboardFile);
        QCOMPARE(session->configPath, file);

        // A refused choice keeps the box's text but forgets the file.
        host->script.files.push_back(dir->path() / (std::string(29, 'n') + ".bin"));
        click(importPage, "browseButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::FileNameTooLong}));
        QCOMPARE(child<QLineEdit>(importPage, "pathEdit")->text(), QString::fromStdString(file));
        click(importPage, "importButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ChooseConfigFileFirst}));
        QCOMPARE(session->configPath, file);
    }

    void pageKeysMoveOnAndNeverImport() {
        store::setConfigPaths(*session, dir->path() / "source" / "kbCfg.bin");
        gui::MankbView page(*context);
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        gui::ConfigView* importPage = page.importPage();
        fillKeyboard(importPage, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
        auto* password = child<QLineEdit>(importPage, "passwordEdit");
        auto* button = child<QPushButton>(importPage, "importButton");
        password->setFocus();
        QTest::keyClick(password, Qt::Key_Return);
        QTRY_VERIFY(button->hasFocus());
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QVERIFY(!button->hasFocus());
        QVERIFY(page.isVisible());
        QVERIFY(sdk->calls.empty());
        QVERIFY(takeShown().empty());
    }

    void firmwareUpgradeFollowsThePolls() {
        const fs::path package = dir->path() / "morvial.dav";
        kbcfg::testing::writeAll(package, std::vector<std::uint8_t>(4000, 0x5A));
        sdk->node(kKeyboard).upgradeScript = {{2, 0}, {2, 35}, {2, 70}, {1, 100}};

        gui::VarnelDlgView modes(*context);
        click(&modes, "upgradeButton");
        auto* dialog = window<gui::ModupdataView>("Update Keyboard");
        QVERIFY(dialog);
        QCOMPARE(background(dialog), QColor(211, 236, 245));
        auto* bar = child<QProgressBar>(dialog, "progressBar");
        auto* percent = child<QLabel>(dialog, "percentLabel");
        auto* update = child<QPushButton>(dialog, "updateButton");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(percent->text(), QStringLiteral("0"));
        QCOMPARE(child<QLabel>(dialog, "percentSign")->text(), QStringLiteral("%"));
        QVERIFY(bar->isVisible());
        QVERIFY(!child<QLabel>(dialog, "panelStatusLabel")->isVisible());
        QVERIFY(child<QLabel>(dialog, "notice")->isVisible());

        click(dialog, "updateButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::ChooseUpdateFileFirst}));
        host->script.files.push_back(package);
        click(dialog, "browseButton");
        QCOMPARE(child<QLineEdit>(dialog, "pathEdit")->text(), QString::fromStdString(package));
        fillKeyboard(dialog, {{198, 51, 100, std::nullopt}}, "8000", "");
        click(dialog, "updateButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::IpFieldBlank}));
        QCOMPARE(child<gui::Ipv4Edit>(dialog, "keyboardIpEdit")->fields(), Ipv4Fields{});
        fillKeyboard(dialog, Ipv4Fields::of(198, 51, 100, 2), "65536", "12345");
        click(dialog, "updateButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::PortRange}));
        QVERIFY(sdk->calls.empty());

        fillKeyboard(dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
        click(dialog, "updateButton");
        QVERIFY(takeShown().empty());
        QVERIFY(dialog->presenter().running());
        QVERIFY(!update->isEnabled());
        click(dialog, "updateButton");  // disabled: no second start
        QCOMPARE(sdk->callsStartingWith("Upgrade").size(), std::size_t{1});

        // The bar and the percent text follow the polls, the button comes back at the end.
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 35, 3000);
        QCOMPARE(percent->text(), QStringLiteral("35"));
        QVERIFY(!update->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 70, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(update->isEnabled(), 3000);
        QCOMPARE(bar->value(), 100);
        QCOMPARE(percent->text(), QStringLiteral("100"));
        QCOMPARE(takeShown(), (Msgs{store::Msg::UpdateSucceeded}));
        QCOMPARE(sdk->callsStartingWith("CloseUpgradeHandle").size(), std::size_t{1});
        QCOMPARE(sdk->callsStartingWith("LogoutEx").size(), std::size_t{1});
        const std::size_t polls = sdk->callsStartingWith("GetUpgradeState").size();
        QCOMPARE(polls, std::size_t{4});
        QTest::qWait(700);
        QCOMPARE(sdk->callsStartingWith("GetUpgradeState").size(), polls);

        // The same package can go again; Cancel during it stops the polling at once.
        sdk->node(kKeyboard).upgradeScript = {{2, 10}};
        click(dialog, "updateButton");
        QVERIFY(!update->isEnabled());
        QCOMPARE(bar->value(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 10, 3000);
        click(dialog, "cancelButton");
        QTRY_VERIFY(!window("Update Keyboard"));
        const std::size_t atCancel = sdk->callsStartingWith("GetUpgradeState").size();
        QTest::qWait(700);
        QCOMPARE(sdk->callsStartingWith("GetUpgradeState").size(), atCancel);
        QVERIFY(takeShown().empty());
    }

    void panelUpgradeShowsTheSteps() {
        const fs::path program = dir->path() / "panel.hex";
        kbcfg::testing::writeAll(program, std::vector<std::uint8_t>(2048, ':'));
        const fs::path tooSmall = dir->path() / "small.hex";
        kbcfg::testing::writeAll(tooSmall, std::vector<std::uint8_t>(1023, ':'));
        sdk->node(kKeyboard).upgradeScript = {{2, 10}, {2, 10}, {2, 20}, {-1, 0}};

        gui::ModupdataView dialog(*context);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        host->script.files.push_back(dir->path() / "morvial.dav");
        click(&dialog, "browseButton");
        child<QProgressBar>(&dialog, "progressBar")->setValue(40);

        // Changing the mode swaps the rows and forgets the package.
        child<QComboBox>(&dialog, "modeCombo")->setCurrentIndex(1);
        QCOMPARE(dialog.presenter().mode, int{remote::modupdata::kPanel});
        QVERIFY(!child<QProgressBar>(&dialog, "progressBar")->isVisible());
        QVERIFY(!child<QLabel>(&dialog, "percentLabel")->isVisible());
        QVERIFY(child<QLabel>(&dialog, "panelStatusLabel")->isVisible());
        QVERIFY(child<QLabel>(&dialog, "statusText")->isVisible());
        QCOMPARE(child<QLineEdit>(&dialog, "pathEdit")->text(), QString());
        QCOMPARE(child<QProgressBar>(&dialog, "progressBar")->value(), 0);

        fillKeyboard(&dialog, Ipv4Fields::of(198, 51, 100, 2), "8000", "12345");
        host->script.files.push_back(tooSmall);
        click(&dialog, "browseButton");
        click(&dialog, "updateButton");
        QCOMPARE(takeShown(), (Msgs{store::Msg::PanelFileIllegal}));
        QCOMPARE(sdk->callsStartingWith("LogoutEx").size(), std::size_t{1});

        host->script.files.push_back(program);
        click(&dialog, "browseButton");
        click(&dialog, "updateButton");
        auto* status = child<QLabel>(&dialog, "statusText");
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Start erase bootloader..."),
                                  3000);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Start erase bootloader......"),
                                  3000);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(),
                                  QStringLiteral("Panel prepare to recive update data..."), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("panel has updated failed!"),
                                  3000);
        QTRY_VERIFY(child<QPushButton>(&dialog, "updateButton")->isEnabled());
        QVERIFY(takeShown().empty());  // the panel's end is told in the status line
        QCOMPARE(sdk->callsStartingWith("GetEncryptState").size(), std::size_t{1});

        // Back to firmware: the status text goes, the bar comes back.
        child<QComboBox>(&dialog, "modeCombo")->setCurrentIndex(0);
        QCOMPARE(status->text(), QString());
        QVERIFY(child<QProgressBar>(&dialog, "progressBar")->isVisible());
        QVERIFY(!status->isVisible());
    }
};

KBCFG_GUI_TEST(TestKeyboard)
#include "keyboard_test.moc"
