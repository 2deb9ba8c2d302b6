// The users page and the user's device management on the offscreen platform, with the message
// boxes scripted and the device library faked.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/main_view.h"
#include "gui/manuser_view.h"
#include "gui/stream_view.h"
#include "gui/udinfo_view.h"
#include "gui/useradd_view.h"
#include "gui/userdev_view.h"
#include "gui/widgets/header_ctrl.h"
#include "gui/widgets/ipv4_edit.h"
#include "support/fake_netsdk.h"
#include "support/shared_netsdk.h"
#include "users/stream.h"

using namespace kbcfg;
using namespace kbcfg::testing;

namespace {

// Records what the progress window shows each time a device is logged in to.
class WatchedSdk : public kbcfg::testing::FakeNetSdk {
  public:
    int login(const std::string& ip, int port, const std::string& userName,
              const std::string& password, remote::LoginInfo& info) override {
        QString seen = QStringLiteral("none");
        for (QWidget* w : QApplication::allWidgets()) {
            auto* progress = qobject_cast<QProgressDialog*>(w);
            if (progress && progress->isVisible())
                seen = QStringLiteral("%1|%2").arg(progress->labelText()).arg(progress->value());
        }
        progressSeen.push_back(seen);
        return FakeNetSdk::login(ip, port, userName, password, info);
    }
    QStringList progressSeen;
};

}  // namespace

class TestUsers : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    std::unique_ptr<WatchedSdk> sdk;

    // Device `slot` at 198.51.100.<10 + slot>: an encoder with four inputs that takes "pw".
    kbcfg::testing::FakeNetSdk::Node& device(int slot) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, static_cast<std::uint8_t>(10 + slot)));
        dev.setPort(8000);
        dev.setUserName("admin");
        dev.setPassword("pw");
        auto& node = sdk->node("198.51.100." + std::to_string(10 + slot));
        node.password = "pw";
        node.info.bytes[VYX_LOGIN_CHANNEL_COUNT] = 4;
        node.info.bytes[VYX_LOGIN_FIRST_CHANNEL] = 1;
        node.info.bytes[VYX_LOGIN_DEVICE_TYPE] = 1;
        return node;
    }

  private slots:
    void init() {
        makeFixture();
        sdk = std::make_unique<WatchedSdk>();
        startFile(*image, {{"admin", "pw"}, {"alice", "pw"}, {"bob", "pw"}});
        for (int op = 1; op <= 3; ++op) image->resetOperatorDevices(op);
        for (int slot = 0; slot < 3; ++slot) device(slot);
        saveImage();
        makeContext(sdk.get());
    }

    void cleanup() { tearDown(); }

    void administratorAndOperatorSeeTheirRows() {
        {
            gui::ManuserView page(*context);
            QCOMPARE(column(page.list(), 2), QStringList({"alice", "bob"}));
            QCOMPARE(column(page.list(), 0), QStringList({"1", "2"}));
            QVERIFY(page.list()->isColumnHidden(1));
            QCOMPARE(page.list()->model()->headerData(2, Qt::Horizontal).toString(),
                     QStringLiteral("Username"));
            QVERIFY(child<QPushButton>(&page, "addUserButton")->isEnabled());
            QVERIFY(child<QPushButton>(&page, "deleteUserButton")->isEnabled());

            // The header box follows the presenter: ticked all, then unticked all.
            clickHeader(page.list(), 0);
            QCOMPARE(page.header()->checkState(), 1);
            QVERIFY(page.presenter().rows[0].checked && page.presenter().rows[1].checked);
            clickHeader(page.list(), 2);  // other columns do nothing
            QCOMPARE(page.header()->checkState(), 1);
            clickHeader(page.list(), 0);
            QCOMPARE(page.header()->checkState(), 0);
            QVERIFY(!page.presenter().rows[0].checked);
        }
        session->loggedInUser = 2;
        session->currentUserName = "bob";
        gui::ManuserView page(*context);
        QCOMPARE(column(page.list(), 2), QStringList({"bob"}));
        QVERIFY(!child<QPushButton>(&page, "addUserButton")->isEnabled());
        QVERIFY(!child<QPushButton>(&page, "deleteUserButton")->isEnabled());
        QVERIFY(child<QPushButton>(&page, "modifyPasswordButton")->isEnabled());
    }

    void usersTabRebuildsTheList() {
        gui::MainView window(*context);
        auto* page = qobject_cast<gui::ManuserView*>(window.page(shell::MainMenu::Page::Users));
        QVERIFY(page);
        QCOMPARE(page->list()->model()->rowCount(), 2);
        image->operatorRecord(3).setInUse(1);
        image->operatorRecord(3).setName("carol");
        child<QAbstractButton>(&window, "usersButton")->click();
        QCOMPARE(column(page->list(), 2), QStringList({"alice", "bob", "carol"}));
    }

    void addUserByEnterAndByClick() {
        // Enter walks the fields like Tab; leaving the confirmation for Add adds.
        gui::ManuserView page(*context);
        activate(&page);
        bool closed = false;
        auto ran = whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<gui::UseraddView*>(modal);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Add User"));
            auto* name = child<QLineEdit>(dialog, "nameEdit");
            QTRY_VERIFY(name->hasFocus());
            QTest::keyClicks(name, "carol");
            QTest::keyClick(name, Qt::Key_Return);
            auto* password = child<QLineEdit>(dialog, "passwordEdit");
            QVERIFY(password->hasFocus());
            QCOMPARE(password->echoMode(), QLineEdit::Password);
            QTest::keyClicks(password, "s3cret");
            QTest::keyClick(password, Qt::Key_Enter);
            auto* confirm = child<QLineEdit>(dialog, "confirmEdit");
            QVERIFY(confirm->hasFocus());
            QTest::keyClicks(confirm, "s3cret");
            QVERIFY(host->script.shown.empty());
            QTest::keyClick(confirm, Qt::Key_Return);
            QTRY_VERIFY(!dialog->isVisible());
            closed = true;
        });
        child<QPushButton>(&page, "addUserButton")->click();
        QVERIFY(*ran);
        QVERIFY(closed);
        QCOMPARE(shown(), Msgs({store::Msg::UserAdded}));
        QCOMPARE(column(page.list(), 2), QStringList({"alice", "bob", "carol"}));
        auto saved = savedFile();
        QVERIFY(saved);
        QCOMPARE(saved->operatorRecord(3).name(), std::string("carol"));
        QCOMPARE(saved->operatorRecord(3).password(), std::string("s3cret"));
    }

    void clickOnAddAddsOnce() {
        gui::UseraddView dialog(*context);
        activate(&dialog);
        auto* name = child<QLineEdit>(&dialog, "nameEdit");
        auto* confirm = child<QLineEdit>(&dialog, "confirmEdit");
        auto* add = child<QPushButton>(&dialog, "addButton");

        // A refused name from the confirmation field by Tab: one message, the dialog stays.
        name->setText("bad-name");
        QVERIFY(focus(confirm));
        QTest::keyClick(confirm, Qt::Key_Tab);
        QTRY_COMPARE(shown(), Msgs({store::Msg::UserNameChars}));
        QVERIFY(add->hasFocus());
        QVERIFY(dialog.isVisible());
        QVERIFY(name->text().isEmpty());

        // A click from the confirmation field moves the focus and clicks: still one add.
        host->script.shown.clear();
        name->setText("bob");
        QVERIFY(focus(confirm));
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::qWait(50);
        QCOMPARE(shown(), Msgs({store::Msg::UserExists}));
        QVERIFY(dialog.isVisible());

        host->script.shown.clear();
        name->setText("dave");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::qWait(50);
        QCOMPARE(shown(), Msgs({store::Msg::UserAdded}));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(image->operatorRecord(3).name(), std::string("dave"));
    }

    void deleteAsksAndSaves() {
        gui::ManuserView page(*context);
        auto* del = child<QPushButton>(&page, "deleteUserButton");
        tick(page.list(), 0);
        host->script.answers.push_back(store::Answer::Cancel);
        del->click();
        QCOMPARE(shown(), Msgs({store::Msg::ConfirmDeleteUsers}));
        QCOMPARE(page.list()->model()->rowCount(), 2);
        QCOMPARE(page.list()->model()->index(0, 0).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));

        host->script.shown.clear();
        tick(page.list(), 0);
        host->script.answers.push_back(store::Answer::Ok);
        del->click();
        QCOMPARE(shown(), Msgs({store::Msg::ConfirmDeleteUsers}));
        QCOMPARE(column(page.list(), 2), QStringList({"bob"}));
        auto saved = savedFile();
        QVERIFY(saved);
        QCOMPARE(saved->operatorRecord(1).inUse(), std::uint8_t(0));
        QCOMPARE(saved->operatorRecord(2).inUse(), std::uint8_t(1));
    }

    void modifyPasswordNeedsOneRow() {
        gui::ManuserView page(*context);
        auto* modify = child<QPushButton>(&page, "modifyPasswordButton");
        modify->click();
        QCOMPARE(shown(), Msgs({store::Msg::ChooseUserToModify}));
        tick(page.list(), 0);
        tick(page.list(), 1);
        host->script.shown.clear();
        modify->click();
        QCOMPARE(shown(), Msgs({store::Msg::ChooseOneUserToModify}));
        QVERIFY(!page.presenter().rows[0].checked);  // the list was rebuilt

        host->script.shown.clear();
        tick(page.list(), 1);
        QString shownName;
        auto ran = whenModal([&](QWidget* modal) {
            QCOMPARE(modal->windowTitle(), QStringLiteral("Modify Password"));
            shownName = child<QLabel>(modal, "nameText")->text();
            child<QLineEdit>(modal, "newPasswordEdit")->setText("n3w");
            child<QLineEdit>(modal, "confirmEdit")->setText("n3w");
            child<QPushButton>(modal, "okButton")->click();
        });
        modify->click();
        QVERIFY(*ran);
        QCOMPARE(shownName, QStringLiteral("bob"));
        QCOMPARE(shown(), Msgs({store::Msg::PasswordModified}));
        QCOMPARE(image->operatorRecord(2).password(), std::string("n3w"));
    }

    void doubleClickOpensTheUsersDevices() {
        gui::ManuserView page(*context);
        page.resize(600, 400);
        activate(&page);
        QTableView* list = page.list();
        // A real double click starts with a plain click; QTest sends only the second half.
        auto dblClick = [&](QPoint at) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        };
        const QPoint secondRow = list->visualRect(list->model()->index(1, 2)).center();
        const QPoint belowRows(20, list->viewport()->height() - 5);

        int op = 0;
        QString title;
        auto ran = whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<gui::UserdevView*>(modal);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            op = dialog->presenter().op();
            dialog->reject();
        });
        dblClick(secondRow);
        QTRY_VERIFY(*ran);
        QCOMPARE(op, 2);
        QCOMPARE(title, QStringLiteral("User's Device Management"));

        // Below the rows nothing is selected: nothing opens.
        auto none = whenModal([](QWidget* modal) { modal->close(); });
        dblClick(belowRows);
        QTest::qWait(100);
        QVERIFY(!*none);
        qDeleteAll(findChildren<QTimer*>(Qt::FindDirectChildrenOnly));

        // An operator opens his own devices from anywhere on the list.
        session->loggedInUser = 1;
        session->currentUserName = "alice";
        page.refresh();
        op = 0;
        auto own = whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<gui::UserdevView*>(modal);
            QVERIFY(dialog);
            op = dialog->presenter().op();
            // He may look and use Stream, but neither assign nor remove.
            QVERIFY(!child<QPushButton>(dialog, "addButton")->isEnabled());
            QVERIFY(!child<QPushButton>(dialog, "deleteButton")->isEnabled());
            QVERIFY(!dialog->list(false)->isEnabled());
            QVERIFY(dialog->list(true)->isEnabled());
            QVERIFY(child<QPushButton>(dialog, "streamButton")->isEnabled());
            dialog->reject();
        });
        dblClick(belowRows);
        QTRY_VERIFY(*own);
        QCOMPARE(op, 1);
    }

    void addRunShowsProgressThenResult() {
        sdk->node("198.51.100.11").password = "other";  // wrong password
        sdk->node("198.51.100.12").reachable = false;   // no connection
        gui::UserdevView dialog(*context, 1);
        activate(&dialog);
        QTableView* left = dialog.list(false);
        QCOMPARE(column(left, 2), QStringList({"198.51.100.10", "198.51.100.11", "198.51.100.12"}));
        QCOMPARE(column(left, 3), QStringList({"8000", "8000", "8000"}));
        clickHeader(left, 0);
        QCOMPARE(dialog.header(false)->checkState(), 1);

        QStringList counts;
        QString title;
        QColor background, countColour;
        auto ran = whenModal([&](QWidget* modal) {
            auto* result = qobject_cast<gui::UdinfoView*>(modal);
            QVERIFY(result);
            title = result->windowTitle();
            for (int i = 0; i < 3; ++i) counts << result->count(i)->text();
            background = result->palette().color(QPalette::Window);
            countColour = result->count(0)->palette().color(QPalette::WindowText);
            child<QPushButton>(result, "okButton")->click();
        });
        child<QPushButton>(&dialog, "addButton")->click();
        QVERIFY(*ran);
        QCOMPARE(title, QStringLiteral("Tips"));
        QCOMPARE(counts, QStringList({"1", "1", "1"}));
        QCOMPARE(background, QColor(156, 197, 241));
        QCOMPARE(countColour, QColor(Qt::red));
        QVERIFY(host->script.shown.empty());

        // Each device in its turn, with the count of those done before it.
        QCOMPARE(sdk->progressSeen.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QString seen = sdk->progressSeen[i];
            QVERIFY2(seen.contains(QStringLiteral("198.51.100.%1").arg(10 + i)), qPrintable(seen));
            QVERIFY2(seen.contains(QStringLiteral("%1 of 3").arg(i)), qPrintable(seen));
            QVERIFY2(seen.endsWith(QStringLiteral("|%1").arg(i)), qPrintable(seen));
        }
        for (QWidget* w : QApplication::allWidgets())
            if (auto* p = qobject_cast<QProgressDialog*>(w)) QVERIFY(!p->isVisible());

        QCOMPARE(column(dialog.list(true), 2), QStringList({"198.51.100.10"}));
        QCOMPARE(column(left, 2), QStringList({"198.51.100.11", "198.51.100.12"}));
        QCOMPARE(dialog.header(false)->checkState(), 0);
        auto saved = savedFile();
        QVERIFY(saved);
        QCOMPARE(saved->userDevice(1, 0), 0);
    }

    void parallelRunStaysResponsiveAndStopsOnCancel() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(dir->path().string()));
        for (int slot = 3; slot < 12; ++slot) device(slot);
        QCOMPARE(store::saveChange(*host, *session, *image), 0);
        auto shared = std::make_unique<kbcfg::testing::SharedHandle::Shared>();
        shared->fake = static_cast<const kbcfg::testing::FakeNetSdk&>(*sdk);
        shared->loginMs = 150;
        context->netSdkFactory = [&] {
            return std::make_unique<kbcfg::testing::SharedHandle>(*shared);
        };
        {
            gui::UserdevView dialog(*context, 1);
            dialog.jobsBox()->setValue(4);
        }
        gui::UserdevView dialog(*context, 1);
        QCOMPARE(dialog.jobsBox()->value(), 4);  // kept from the last dialog
        activate(&dialog);
        clickHeader(dialog.list(false), 0);

        // The event loop keeps turning while devices are asked; Cancel is clicked once three
        // devices are written.
        using Clock = std::chrono::steady_clock;
        Clock::time_point last = Clock::now();
        Clock::duration longest{};
        int doneAtCancel = -1;
        QTimer tick;
        tick.setInterval(10);
        connect(&tick, &QTimer::timeout, this, [&] {
            longest = std::max(longest, Clock::now() - last);
            last = Clock::now();
            for (QWidget* w : QApplication::allWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                if (!progress || !progress->isVisible() || doneAtCancel >= 0) continue;
                if (progress->value() < 3) continue;
                QVERIFY(progress->labelText().contains(QStringLiteral("of 12 devices done")));
                doneAtCancel = progress->value();
                for (auto* b : progress->findChildren<QPushButton*>()) b->click();
            }
        });
        tick.start();
        child<QPushButton>(&dialog, "addButton")->click();
        tick.stop();

        QVERIFY(doneAtCancel >= 3);
        const int assigned = dialog.list(true)->model()->rowCount();
        QVERIFY2(assigned >= doneAtCancel && assigned < 12, qPrintable(QString::number(assigned)));
        QVERIFY(dialog.presenter().cancelled);
        QCOMPARE(shared->open.load(), 0);
        QVERIFY2(longest < std::chrono::milliseconds(250),
                 qPrintable(QString::number(
                     std::chrono::duration_cast<std::chrono::milliseconds>(longest).count())));
        // What the list shows is what the file holds: the devices before the stop, in order.
        auto saved = savedFile();
        QVERIFY(saved);
        for (int i = 0; i < 12; ++i) QCOMPARE(saved->userDevice(1, i), i < assigned ? i : -1);
        QVERIFY(host->script.shown.empty());
    }

    void singleDeviceRunHasNeitherProgressNorResult() {
        sdk->node("198.51.100.11").password = "other";
        gui::UserdevView dialog(*context, 1);
        tick(dialog.list(false), 1);
        child<QPushButton>(&dialog, "addButton")->click();
        QCOMPARE(shown(), Msgs({store::Msg::DevicePasswordWrong}));
        QCOMPARE(sdk->progressSeen, QStringList({"none"}));
        QCOMPARE(dialog.list(false)->model()->rowCount(), 3);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void streamDialogFollowsItsCheckBox() {
        gui::UserdevView dialog(*context, 1);
        tick(dialog.list(false), 0);
        child<QPushButton>(&dialog, "addButton")->click();  // one encoder, all well
        QVERIFY(host->script.shown.empty());
        QCOMPARE(dialog.list(true)->model()->rowCount(), 1);
        tick(dialog.list(true), 0);

        auto ran = whenModal([&](QWidget* modal) {
            auto* stream = qobject_cast<gui::StreamView*>(modal);
            QVERIFY(stream);
            QCOMPARE(stream->windowTitle(), QStringLiteral("Stream Media Setting"));
            auto* enable = child<QCheckBox>(stream, "enableCheck");
            auto* address = child<gui::Ipv4Edit>(stream, "addressEdit");
            auto* port = child<QLineEdit>(stream, "portEdit");
            auto* protocol = child<QComboBox>(stream, "protocolCombo");
            auto* ok = child<QPushButton>(stream, "okButton");
            // Not bound yet: only the check box is usable.
            QVERIFY(!enable->isChecked());
            QVERIFY(enable->isEnabled());
            QVERIFY(!address->isEnabled() && !port->isEnabled() && !protocol->isEnabled());
            QVERIFY(!ok->isEnabled());
            QCOMPARE(port->text(), QStringLiteral("554"));
            QCOMPARE(protocol->currentIndex(), -1);
            QCOMPARE(protocol->count(), 2);
            QCOMPARE(protocol->itemText(1), QStringLiteral("UDP Protocol"));

            enable->click();
            QVERIFY(address->isEnabled() && port->isEnabled() && protocol->isEnabled());
            QVERIFY(ok->isEnabled());
            QCOMPARE(protocol->currentIndex(), 0);
            protocol->setCurrentIndex(1);
            enable->click();  // off: OK stays, so a binding can be removed
            QVERIFY(!address->isEnabled() && !port->isEnabled() && !protocol->isEnabled());
            QVERIFY(ok->isEnabled());
            enable->click();  // on again: back to TCP
            QCOMPARE(protocol->currentIndex(), 0);

            ok->click();
            QCOMPARE(shown(), Msgs({store::Msg::IpBlank}));
            address->setFields(store::Ipv4Fields::of(203, 0, 113, 5));
            port->setText("0");
            ok->click();
            QCOMPARE(shown(), Msgs({store::Msg::IpBlank, store::Msg::StreamPortRange}));
            QCOMPARE(port->text(), QStringLiteral("8000"));
            port->setText("9000x");
            ok->click();
            QCOMPARE(shown(), Msgs({store::Msg::IpBlank, store::Msg::StreamPortRange,
                                    store::Msg::StreamBound}));
            QVERIFY(stream->isVisible());
            child<QPushButton>(stream, "cancelButton")->click();
        });
        child<QPushButton>(&dialog, "streamButton")->click();
        QVERIFY(*ran);
        const int record = users::findStreamRecord(*image, 1, 0);
        QVERIFY(record >= 0);
        QCOMPARE(image->stream(1, record).enabled(), std::uint8_t(1));
        QCOMPARE(image->stream(1, record).serverPort(), std::uint16_t(9000));
        // The lists were rebuilt when the dialog closed.
        QCOMPARE(dialog.list(true)->model()->index(0, 0).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));

        // Opened again, it shows the binding.
        tick(dialog.list(true), 0);
        auto again = whenModal([&](QWidget* modal) {
            auto* address = child<gui::Ipv4Edit>(modal, "addressEdit");
            QVERIFY(child<QCheckBox>(modal, "enableCheck")->isChecked());
            QVERIFY(address->isEnabled());
            QCOMPARE(address->fields(), store::Ipv4Fields::of(203, 0, 113, 5));
            QCOMPARE(child<QLineEdit>(modal, "portEdit")->text(), QStringLiteral("9000"));
            qobject_cast<QDialog*>(modal)->reject();
        });
        child<QPushButton>(&dialog, "streamButton")->click();
        QVERIFY(*again);
    }
};

KBCFG_GUI_TEST(TestUsers)
#include "users_test.moc"
