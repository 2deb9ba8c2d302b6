// The channel page on the offscreen platform: the three lists of an operator, the check-all
// header, index changes in place, the live limit, deletion and the report, with the message
// boxes scripted and the device library faked.
#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <memory>

#include "gui/gui_fixture.h"
#include "gui/gui_test.h"
#include "gui/main_view.h"
#include "gui/userchan_view.h"
#include "gui/widgets/header_ctrl.h"
#include "support/fake_netsdk.h"

using namespace kbcfg;
using gui::UserchanView;
using kbcfg::testing::clickHeader;
using kbcfg::testing::Msgs;

class TestChannels : public kbcfg::testing::GuiFixture {
    Q_OBJECT

    std::unique_ptr<kbcfg::testing::FakeNetSdk> sdk;
    std::unique_ptr<UserchanView> page;

    template <class T>
    T* child(const char* name) {
        return kbcfg::testing::child<T>(page.get(), name);
    }
    void click(const char* name) { child<QAbstractButton>(name)->click(); }
    QStringList column(int c) const { return kbcfg::testing::column(page->model(), c); }
    std::vector<bool> ticks() const {
        std::vector<bool> out;
        for (int r = 0; r < page->model()->rowCount(); ++r)
            out.push_back(page->model()->index(r, 0).data(Qt::CheckStateRole).toInt() ==
                          Qt::Checked);
        return out;
    }
    // Ticks a row the way a user does with the keyboard: the row's check cell current, Space.
    void tick(int row) {
        page->list()->setFocus();
        page->list()->setCurrentIndex(page->model()->index(row, 0));
        QTest::keyClick(page->list(), Qt::Key_Space);
    }
    void device(int slot) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, static_cast<std::uint8_t>(slot)));
        dev.setPort(static_cast<std::uint16_t>(8000 + slot));
        dev.setUserName("admin");
    }
    void entry(int op, int pos, std::uint32_t index, std::uint8_t kind, int number, int slot,
               std::uint8_t port = 0, std::uint8_t first = 0) {
        store::ChannelEntry e = image->channel(op, pos);
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setIndex(index);
        e.setKind(kind);
        e.setNumber(static_cast<std::uint16_t>(number));
        e.setOutputPort(port);
        e.setPortFirst(first);
    }
    void openPage() {
        page = std::make_unique<UserchanView>(*context);
        page->resize(940, 560);
        page->show();
        page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(page.get()));
    }
    void listFor(const char* user, const char* button) {
        child<QLineEdit>("userNameEdit")->setText(QString::fromLatin1(user));
        click(button);
    }

  private slots:
    void init() {
        makeFixture();
        sdk = std::make_unique<kbcfg::testing::FakeNetSdk>();
        // admin, op1 with inputs, outputs and walls on two devices, op2 with one input.
        startFile(*image, {{"admin", ""}, {"op1", ""}, {"op2", ""}});
        device(3);
        device(4);
        entry(1, 0, 1, store::kInputChannel, 1, 3);
        entry(1, 1, 2, store::kInputChannel, 2, 3);
        entry(1, 2, 3, store::kInputChannel, 3, 3);
        entry(1, 4, 10, store::kOutputChannel, 6, 4, store::kHdmi, 5);
        entry(1, 6, 20, store::kScene, 1, 4);
        entry(1, 9, 21, store::kTvWall, 2, 4);
        entry(1, 11, 4, store::kInputChannel, 4, 5);  // its device is not in use
        entry(2, 0, 7, store::kInputChannel, 9, 3);
        entry(2, 3, 8, store::kOutputChannel, 1, 4, store::kVga, 1);
        store::GroupRow group = image->groupRow(1, store::GroupTable::Input, 0);
        group.setSlot(0, 0);
        group.setSlot(1, 2);
        saveImage();
        makeContext(sdk.get());
    }

    void cleanup() {
        page.reset();
        tearDown();
    }

    void pageShowsItsControlsAndAnEmptyList() {
        openPage();
        QCOMPARE(page->objectName(), QStringLiteral("userchanPage"));
        QCOMPARE(page->model()->rowCount(), 0);
        const std::pair<const char*, const char*> titles[] = {
            {"typeGroup", "Channel Type"},
            {"modifyGroup", "Channel Modify"},
            {"deleteGroup", "Channel Delete"},
            {"saveGroup", "Save Channel information"}};
        for (const auto& [name, title] : titles)
            QCOMPARE(child<QGroupBox>(name)->title(), QString::fromLatin1(title));
        const std::pair<const char*, const char*> buttons[] = {
            {"inputButton", "Input Channel"},
            {"outputButton", "Output Channel"},
            {"wallSceneButton", "Wall/Scene"},
            {"singleButton", "Single"},
            {"batchButton", "Batch"},
            {"deleteButton", "Channel Delete"},
            {"reportButton", "Save info to a text file"}};
        for (const auto& [name, caption] : buttons)
            QCOMPARE(child<QPushButton>(name)->text(), QString::fromLatin1(caption));
        QStringList labels;
        for (QLabel* l : page->findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("Username:")));
        QVERIFY(labels.contains(QStringLiteral("New Index:")));
        QVERIFY(child<QLineEdit>("userNameEdit")->isEnabled());
        QCOMPARE(child<QLineEdit>("userNameEdit")->text(), QString());
        // Enter moves on like Tab.
        child<QLineEdit>("userNameEdit")->setFocus();
        QTest::keyClick(child<QLineEdit>("userNameEdit"), Qt::Key_Return);
        QTRY_VERIFY(child<QPushButton>("inputButton")->hasFocus());

        // Columns, the hidden position column, the colours.
        QTableView* list = page->list();
        const QStringList captions = {"",   "Channel Index", "Port",
                                      "IP", "Channel No.",   "Channel Num"};
        for (int c = 0; c < 6; ++c)
            QCOMPARE(page->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                     captions[c]);
        const int widths[] = {0, 140, 140, 180, 150};
        for (int c = 1; c < 5; ++c) QCOMPARE(list->columnWidth(c), widths[c]);
        QVERIFY(list->isColumnHidden(5));
        QVERIFY(list->showGrid());
        QCOMPARE(list->palette().color(QPalette::Base), QColor(204, 232, 207));
        QCOMPARE(page->grab().toImage().pixelColor(page->width() - 3, page->height() - 3),
                 QColor(211, 236, 245));
        QCOMPARE(page->header()->rowColour(0), QColor(211, 236, 245));
        QCOMPARE(page->header()->rowColour(1), QColor(209, 234, 243));
    }

    void listButtonsFillTheThreeLists() {
        openPage();
        listFor("op1", "inputButton");
        QCOMPARE(column(0), (QStringList{"0", "1", "2"}));
        QCOMPARE(column(1), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(2), (QStringList{"8003", "8003", "8003"}));
        QCOMPARE(column(3), (QStringList{"198.51.100.3", "198.51.100.3", "198.51.100.3"}));
        QCOMPARE(column(4), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(5), (QStringList{"0", "1", "2"}));
        // Refilling keeps the columns as they were set up.
        QVERIFY(page->list()->isColumnHidden(5));
        QCOMPARE(page->list()->columnWidth(3), 180);

        click("outputButton");
        QCOMPARE(column(0), (QStringList{""}));
        QCOMPARE(column(4), (QStringList{"HDMI2"}));
        QCOMPARE(column(5), (QStringList{"4"}));
        QVERIFY(page->list()->columnWidth(0) > 20);  // as wide as the input list's: no jump

        click("wallSceneButton");
        QCOMPARE(column(1), (QStringList{"20", "21"}));
        QCOMPARE(column(4), (QStringList{"Scene 1", "TV-Wall 2"}));
        QVERIFY(shown().empty());

        // Another operator's list replaces it; a bad name empties it with its message.
        listFor("op2", "inputButton");
        QCOMPARE(column(1), (QStringList{"7"}));
        child<QLineEdit>("newIndexEdit")->setFocus();
        listFor("admin", "outputButton");
        QCOMPARE(page->model()->rowCount(), 0);
        QCOMPARE(child<QLineEdit>("userNameEdit")->text(), QString());
        QTRY_VERIFY(child<QLineEdit>("userNameEdit")->hasFocus());
        listFor("", "inputButton");
        QCOMPARE(shown(), (Msgs{store::Msg::ErrorUser, store::Msg::EnterUserNameFirst}));
    }

    void operatorsNameIsFixed() {
        session->loggedInUser = 2;
        session->currentUserName = "op2";
        gui::MainView main(*context);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto* shown = main.findChild<UserchanView*>(QStringLiteral("userchanPage"));
        QVERIFY(shown);
        QVERIFY(shown->isVisible());  // the page the main window opens with
        auto* name = shown->findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
        QVERIFY(!name->isEnabled());
        QCOMPARE(name->text(), QStringLiteral("op2"));
        shown->findChild<QPushButton*>(QStringLiteral("outputButton"))->click();
        QCOMPARE(shown->model()->rowCount(), 1);
        QCOMPARE(shown->model()->index(0, 4).data().toString(), QStringLiteral("VGA1"));
    }

    void headerTicksAndUnticksAll() {
        openPage();
        clickHeader(page->header(), 0);  // an empty list: nothing
        QCOMPARE(page->header()->checkState(), 0);
        listFor("op1", "inputButton");
        clickHeader(page->header(), 2);
        QCOMPARE(ticks(), (std::vector<bool>{false, false, false}));
        clickHeader(page->header(), 0);
        QCOMPARE(ticks(), (std::vector<bool>{true, true, true}));
        QCOMPARE(page->header()->checkState(), 1);
        clickHeader(page->header(), 0);
        QCOMPARE(ticks(), (std::vector<bool>{false, false, false}));
        QCOMPARE(page->header()->checkState(), 0);

        // A list button clears the mark again.
        clickHeader(page->header(), 0);
        click("outputButton");
        QCOMPARE(page->header()->checkState(), 0);
        QCOMPARE(ticks(), (std::vector<bool>{false}));
    }

    void indexChangesUpdateTheRowsInPlace() {
        openPage();
        listFor("op1", "inputButton");
        QSignalSpy resets(page->model(), &QAbstractItemModel::modelReset);
        QSignalSpy changes(page->model(), &QAbstractItemModel::dataChanged);

        tick(1);
        tick(2);
        QCOMPARE(ticks(), (std::vector<bool>{false, true, true}));
        changes.clear();
        child<QLineEdit>("newIndexEdit")->setText(QStringLiteral("0009"));
        click("singleButton");
        QCOMPARE(column(1), (QStringList{"1", "0009", "3"}));
        QCOMPARE(ticks(), (std::vector<bool>{false, false, false}));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes[0][0].value<QModelIndex>().row(), 0);
        QCOMPARE(changes[0][1].value<QModelIndex>().row(), 2);
        QCOMPARE(savedFile()->channel(1, 1).index(), 9u);

        // An index the list shows already: refused, the field cleared and focused.
        tick(0);
        child<QLineEdit>("newIndexEdit")->setText(QStringLiteral("3"));
        click("singleButton");
        QCOMPARE(shown(), (Msgs{store::Msg::ChannelIndexExists}));
        QCOMPARE(child<QLineEdit>("newIndexEdit")->text(), QString());
        QTRY_VERIFY(child<QLineEdit>("newIndexEdit")->hasFocus());
        QCOMPARE(column(1), (QStringList{"1", "0009", "3"}));

        // Batch from the ticked first row over the whole list.
        child<QLineEdit>("newIndexEdit")->setText(QStringLiteral("40"));
        click("batchButton");
        QCOMPARE(column(1), (QStringList{"40", "41", "42"}));
        QCOMPARE(child<QLineEdit>("newIndexEdit")->text(), QStringLiteral("40"));
        auto saved = savedFile();
        QCOMPARE(saved->channel(1, 0).index(), 40u);
        QCOMPARE(saved->channel(1, 2).index(), 42u);
        QCOMPARE(resets.size(), 0);
    }

    void liveLimitClearsTheField() {
        openPage();
        auto* field = child<QLineEdit>("newIndexEdit");
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("99999999"));
        QCOMPARE(field->text(), QStringLiteral("99999999"));
        QVERIFY(shown().empty());
        QTest::keyClick(field, Qt::Key_0);
        QCOMPARE(field->text(), QString());
        QCOMPARE(shown(), (Msgs{store::Msg::ChannelIndexRange}));
        // Leading zeros do not make a value large.
        QTest::keyClicks(field, QStringLiteral("0000000012"));
        QCOMPARE(field->text(), QStringLiteral("0000000012"));
        QCOMPARE(shown(), (Msgs{store::Msg::ChannelIndexRange}));
    }

    void deleteRefillsTheList() {
        openPage();
        listFor("op1", "inputButton");
        QSignalSpy resets(page->model(), &QAbstractItemModel::modelReset);
        click("deleteButton");
        QCOMPARE(shown(), (Msgs{store::Msg::ChooseChannelsToDelete}));
        QCOMPARE(resets.size(), 0);
        QCOMPARE(page->model()->rowCount(), 3);

        tick(0);
        tick(2);
        click("deleteButton");
        QCOMPARE(resets.size(), 1);
        QCOMPARE(column(1), (QStringList{"2"}));
        QCOMPARE(column(0), (QStringList{"0"}));
        auto saved = savedFile();
        QCOMPARE(saved->channel(1, 0).index(), 0xFFFFFFFFu);
        QCOMPARE(saved->channel(1, 2).deviceSlot(), -1);
        QCOMPARE(saved->groupRow(1, store::GroupTable::Input, 0).slot(0), -1);
        QCOMPARE(saved->groupRow(1, store::GroupTable::Input, 0).slot(1), -1);
        QCOMPARE(saved->channel(1, 1).index(), 2u);
    }

    void reportWritesTheFile() {
        for (int slot : {3, 4}) {
            auto& node = sdk->node("198.51.100." + std::to_string(slot), 8000 + slot);
            std::vector<std::uint8_t> answer(VYX_DEVICE_NAME_SIZE, 0);
            const std::string name = slot == 3 ? "gatecam" : "walldec";
            std::copy(name.begin(), name.end(), answer.begin() + 4);
            for (int ch = 0; ch < 10; ++ch) node.configs[{VYX_CMD_DEVICE_NAME, ch}] = answer;
        }
        openPage();
        child<QLineEdit>("userNameEdit")->setText(QStringLiteral("op1"));
        click("reportButton");
        QCOMPARE(shown(), (Msgs{store::Msg::ChannelReportSaved}));
        const auto bytes = kbcfg::testing::readAll(dir->path() / "op1.txt");
        const std::string text(bytes.begin(), bytes.end());
        QVERIFY(text.find("User op1's input channels' information") != std::string::npos);
        QVERIFY(text.find("gatecam") != std::string::npos);
        QVERIFY(text.find("HDMI 2") != std::string::npos);
        QVERIFY(text.find("TV-Wall 2") != std::string::npos);
        // One login per device, kept for all its channels.
        QCOMPARE(sdk->callsStartingWith("Login").size(), std::size_t{2});
        QCOMPARE(page->model()->rowCount(), 0);  // the list plays no part

        // No such user: nothing written, the field cleared.
        child<QLineEdit>("userNameEdit")->setText(QStringLiteral("nobody"));
        click("reportButton");
        QCOMPARE(shown(), (Msgs{store::Msg::ChannelReportSaved, store::Msg::UserNotFound}));
        QCOMPARE(child<QLineEdit>("userNameEdit")->text(), QString());
        QVERIFY(!std::filesystem::exists(dir->path() / "nobody.txt"));
    }

    void fullListIsQuickAndScrolls() {
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos)
            entry(3, pos, static_cast<std::uint32_t>(pos + 1), store::kInputChannel, pos % 64, 3);
        image->operatorRecord(3).setInUse(1);
        image->operatorRecord(3).setName("op3");
        openPage();
        child<QLineEdit>("userNameEdit")->setText(QStringLiteral("op3"));
        QElapsedTimer clock;
        clock.start();
        click("inputButton");
        page->list()->viewport()->repaint();
        const qint64 ms = clock.elapsed();
        qInfo("20,480 rows filled and shown: %lld ms", ms);
        QVERIFY(ms < 1000);  // generous: the machine may be busy
        QCOMPARE(page->model()->rowCount(), store::layout::kChannelCount);
        page->list()->scrollToBottom();
        QCOMPARE(page->list()->rowAt(page->list()->viewport()->height() - 2), 20479);
        QCOMPARE(column(1).last(), QStringLiteral("20480"));
        // The widened first column shows the five-digit row numbers whole.
        const QFontMetrics fm = page->list()->fontMetrics();
        QVERIFY(page->list()->columnWidth(0) > fm.horizontalAdvance(QStringLiteral("20479")) + 13);
    }
};

KBCFG_GUI_TEST(TestChannels)
#include "channels_test.moc"
