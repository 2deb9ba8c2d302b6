// The road of a typical change, end to end on the offscreen platform, against the simulator's
// demo installation loaded from the executables' folder: export from the keyboard and log in,
// add devices and an operator, assign devices, edit channel indexes, write the report, import
// the file into the keyboard, and fetch it back to see that the keyboard holds the changes.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "gui/config_view.h"
#include "gui/devadd_view.h"
#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/main_view.h"
#include "gui/mandev_view.h"
#include "gui/mankb_view.h"
#include "gui/manuser_view.h"
#include "gui/modconfig_view.h"
#include "gui/udinfo_view.h"
#include "gui/userchan_view.h"
#include "gui/userdev_view.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
#include "gui/widgets/ipv4_edit.h"
#include "remote/library.h"

using namespace kbcfg;
using namespace kbcfg::testing;
using store::Ipv4Fields;
using store::packIp;
namespace fs = std::filesystem;

class TestRoad : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    static int rowOf(QTableView* list, int column, const QString& text) {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->index(r, column).data().toString() == text) return r;
        return -1;
    }

  private slots:
    void initTestCase() {
        // The demo installation, from the simulator built beside this program.
        qunsetenv("VYXSIM_INSTALLATION");
        // Without it the first call would stop at a message box about the missing library.
        QVERIFY(fs::exists(remote::libraryFolder() / "libVyxNetSDK.so"));
        makeFixture();
        makeContext();
    }

    void cleanupTestCase() { tearDown(); }

    void aTypicalChange() {
        QElapsedTimer clock;
        clock.start();
        gui::VarnelDlgView modes(*context);
        modes.show();
        QVERIFY(QTest::qWaitForWindowExposed(&modes));

        // Remote Config File: fetch the keyboard's file and go on to the login on it.
        click(&modes, "remoteButton");
        auto* exportDialog = window<gui::ModconfigView>("Remote Config File");
        QVERIFY(exportDialog);
        const fs::path file = dir->path() / "site" / "kbCfg.bin";
        fs::create_directories(file.parent_path());
        host->script.files.push_back(file);
        click(exportDialog, "browseButton");
        fillKeyboard(exportDialog);
        click(exportDialog, "exportLoginButton");
        QCOMPARE(takeShown(), Msgs{});
        QVERIFY(fs::exists(file));

        auto* login = window<gui::UserloginView>("Login");
        QVERIFY(login);
        QCOMPARE(child<QLineEdit>(login, "pathEdit")->text(), QString::fromStdString(file));
        child<QLineEdit>(login, "userNameEdit")->setText(QStringLiteral("admin"));
        child<QLineEdit>(login, "passwordEdit")->setText(QString());
        click(login, "loginButton");
        gui::MainView* main = nullptr;
        QTRY_VERIFY((main = window<gui::MainView>("Menu")));
        QTRY_VERIFY(!window("Remote Config File"));
        QCOMPARE(takeShown(), Msgs{});
        QCOMPARE(session->loggedInUser, 0);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));

        // Devices: one by its address, then a range of two.
        click(main, "devicesButton");
        auto* devicePage = child<gui::MandevView>(main, "mandevPage");
        auto* devices = child<QTableView>(devicePage, "deviceList");
        const int before = devices->model()->rowCount();
        QVERIFY(before >= 10);  // the demo keyboard's file lists its devices
        QVERIFY(rowOf(devices, 2, "198.51.100.50") >= 0);
        click(devicePage, "normalAddButton");
        gui::DevaddView* add = nullptr;
        QTRY_VERIFY((add = devicePage->findChild<gui::DevaddView*>()));
        QTRY_VERIFY(add->isVisible());
        child<gui::Ipv4Edit>(add, "startIpEdit")->setFields(Ipv4Fields::of(203, 0, 113, 10));
        child<QLineEdit>(add, "userNameEdit")->setText(QStringLiteral("admin"));
        child<QLineEdit>(add, "passwordEdit")->setText(QStringLiteral("12345"));
        click(add, "addButton");
        QCOMPARE(takeShown(), Msgs{store::Msg::DeviceAdded});
        child<QComboBox>(add, "typeCombo")->setCurrentIndex(1);
        child<gui::Ipv4Edit>(add, "startIpEdit")->setFields(Ipv4Fields::of(198, 51, 100, 60));
        child<gui::Ipv4Edit>(add, "endIpEdit")->setFields(Ipv4Fields::of(198, 51, 100, 61));
        child<QLineEdit>(add, "userNameEdit")->setText(QStringLiteral("admin"));
        child<QLineEdit>(add, "passwordEdit")->setText(QStringLiteral("12345"));
        click(add, "addButton");
        QCOMPARE(takeShown(), Msgs{store::Msg::DevicesAdded});
        click(add, "cancelButton");
        QTRY_COMPARE(devices->model()->rowCount(), before + 3);
        for (const char* ip : {"203.0.113.10", "198.51.100.60", "198.51.100.61"})
            QVERIFY2(rowOf(devices, 2, QString::fromLatin1(ip)) >= 0, ip);

        // An operator.
        click(main, "usersButton");
        auto* userPage = child<gui::ManuserView>(main, "manuserPage");
        auto added = whenModal([&](QWidget* modal) {
            child<QLineEdit>(modal, "nameEdit")->setText(QStringLiteral("op1"));
            child<QLineEdit>(modal, "passwordEdit")->setText(QStringLiteral("pw1"));
            child<QLineEdit>(modal, "confirmEdit")->setText(QStringLiteral("pw1"));
            click(modal, "addButton");
        });
        click(userPage, "addUserButton");
        QVERIFY(*added);
        QCOMPARE(takeShown(), Msgs{store::Msg::UserAdded});
        QTableView* users = userPage->list();
        const int opRow = rowOf(users, 2, "op1");
        QVERIFY(opRow >= 0);

        // Its devices: two that answer, one with a changed password, one switched off.
        QStringList counts;
        QStringList assigned;
        auto managed = whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<gui::UserdevView*>(modal);
            QVERIFY(dialog);
            QTableView* left = dialog->list(false);
            for (const char* ip :
                 {"198.51.100.20", "198.51.100.50", "198.51.100.51", "198.51.100.60"})
                tick(left, rowOf(left, 2, QString::fromLatin1(ip)));
            auto result = whenModal([&](QWidget* box) {
                auto* info = qobject_cast<gui::UdinfoView*>(box);
                QVERIFY(info);
                for (int i = 0; i < 3; ++i) counts << info->count(i)->text();
                click(info, "okButton");
            });
            click(dialog, "addButton");
            QVERIFY(*result);
            QTableView* right = dialog->list(true);
            for (int r = 0; r < right->model()->rowCount(); ++r)
                assigned << right->model()->index(r, 2).data().toString();
            dialog->accept();
        });
        const QPoint at = users->visualRect(users->model()->index(opRow, 2)).center();
        QTest::mouseClick(users->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(users->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(*managed);
        QCOMPARE(counts, QStringList({"2", "1", "1"}));  // success, connection, password
        QCOMPARE(assigned, QStringList({"198.51.100.20", "198.51.100.60"}));
        QCOMPARE(takeShown(), Msgs{});

        // Channel indexes: one singly, a run in a batch; then the report.
        click(main, "channelsButton");
        auto* channelPage = child<gui::UserchanView>(main, "userchanPage");
        child<QLineEdit>(channelPage, "userNameEdit")->setText(QStringLiteral("op1"));
        click(channelPage, "inputButton");
        QTableView* channels = channelPage->list();
        QCOMPARE(channels->model()->rowCount(), 16 + 8);
        auto& rows = channelPage->presenter().rows;
        tick(channels, 0);
        child<QLineEdit>(channelPage, "newIndexEdit")->setText(QStringLiteral("501"));
        click(channelPage, "singleButton");
        QCOMPARE(takeShown(), Msgs{});
        QCOMPARE(rows[0].indexText, std::string("501"));
        tick(channels, 2);
        tick(channels, 5);
        child<QLineEdit>(channelPage, "newIndexEdit")->setText(QStringLiteral("9000"));
        click(channelPage, "batchButton");
        QCOMPARE(takeShown(), Msgs{});
        std::map<int, std::uint32_t> edited{{rows[0].position, 501}};
        for (int r = 2; r <= 5; ++r) {
            QCOMPARE(rows[static_cast<std::size_t>(r)].indexText, std::to_string(9000 + r - 2));
            edited[rows[static_cast<std::size_t>(r)].position] =
                static_cast<std::uint32_t>(9000 + r - 2);
        }
        click(channelPage, "reportButton");
        const fs::path report = channelPage->presenter().reportPath;
        QCOMPARE(report, file.parent_path() / "op1.txt");
        std::ifstream in(report);
        std::stringstream text;
        text << in.rdbuf();
        QVERIFY2(text.str().find("501") != std::string::npos, text.str().c_str());
        QVERIFY2(text.str().find("Lobby entrance") != std::string::npos, text.str().c_str());
        host->script.shown.clear();  // the report's own message

        // Import the edited file into the keyboard from the keyboard page.
        click(main, "keyboardButton");
        auto* keyboardPage = child<gui::MankbView>(main, "mankbPage");
        gui::ConfigView* importPage = keyboardPage->importPage();
        QCOMPARE(child<QLineEdit>(importPage, "pathEdit")->text(), QString::fromStdString(file));
        fillKeyboard(importPage);
        click(importPage, "importButton");
        QCOMPARE(takeShown(), Msgs{store::Msg::ImportSucceeded});

        // The keyboard hands out what it was sent: fetch it into another file and load that.
        store::SessionState later;
        auto fetchedImage = std::make_unique<store::ConfigImage>();
        gui::GuiContext laterContext{*host, later, *fetchedImage};
        const fs::path again = dir->path() / "again" / "kbCfg.bin";
        fs::create_directories(again.parent_path());
        {
            gui::ModconfigView fetch(laterContext);
            host->script.files.push_back(again);
            click(&fetch, "browseButton");
            fillKeyboard(&fetch);
            click(&fetch, "exportButton");
            QCOMPARE(takeShown(), Msgs{store::Msg::ExportSucceeded});
        }
        QCOMPARE(kbcfg::testing::readAll(again), kbcfg::testing::readAll(file));
        QCOMPARE(store::loadImage(*host, later, *fetchedImage), 0);
        const store::ConfigImage& kept = *fetchedImage;
        auto slotOf = [&](std::uint32_t ip) {
            for (int s = 0; s < 3840; ++s)
                if (kept.device(s).inUse() && kept.device(s).ip() == ip) return s;
            return -1;
        };
        for (std::uint32_t ip :
             {packIp(203, 0, 113, 10), packIp(198, 51, 100, 60), packIp(198, 51, 100, 61)})
            QVERIFY(slotOf(ip) >= 0);
        QCOMPARE(kept.device(slotOf(packIp(198, 51, 100, 60))).password(), std::string("12345"));
        QCOMPARE(kept.operatorRecord(1).inUse(), std::uint8_t{1});
        QCOMPARE(kept.operatorRecord(1).name(), std::string("op1"));
        QCOMPARE(kept.operatorRecord(1).password(), std::string("pw1"));
        QCOMPARE(kept.userDevice(1, 0), std::int16_t(slotOf(packIp(198, 51, 100, 20))));
        QCOMPARE(kept.userDevice(1, 1), std::int16_t(slotOf(packIp(198, 51, 100, 60))));
        QCOMPARE(kept.userDevice(1, 2), std::int16_t{-1});
        for (const auto& [position, index] : edited) {
            QCOMPARE(kept.channel(1, position).index(), index);
            QCOMPARE(kept.channel(1, position).kind(), std::uint8_t{0});
        }

        main->close();
        QTRY_VERIFY(!window("Menu"));
        qInfo("the road took %lld ms", static_cast<long long>(clock.elapsed()));
        QVERIFY(clock.elapsed() < 20'000);
    }
};

KBCFG_GUI_TEST(TestRoad)
#include "road_test.moc"
