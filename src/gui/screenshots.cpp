// kbcfg-screenshots FOLDER: renders the windows of the desktop tool offscreen to PNG files, with
// a generated configuration file, so a person can look at what the tool shows.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gui/about_view.h"
#include "gui/app_fonts.h"
#include "gui/devadd_view.h"
#include "gui/gui_context.h"
#include "gui/language.h"
#include "gui/main_view.h"
#include "gui/mandev_view.h"
#include "gui/manuser_view.h"
#include "gui/modconfig_view.h"
#include "gui/modifydev_view.h"
#include "gui/modifyuser_view.h"
#include "gui/modupdata_view.h"
#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/stream_view.h"
#include "gui/tip_view.h"
#include "gui/udinfo_view.h"
#include "gui/useradd_view.h"
#include "gui/userchan_view.h"
#include "gui/userdev_view.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
#include "gui/vorpdev_view.h"
#include "gui/widgets/ipv4_edit.h"
#include "remote/discovery.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/session.h"

using namespace kbcfg;

namespace {

bool save(QWidget& w, const QDir& folder, const char* name) {
    w.show();
    QApplication::processEvents();
    const QString file = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!w.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    w.hide();
    return true;
}

void writeSampleFile(gui::QtHost& host, store::SessionState& session, store::ConfigImage& image) {
    image.zero();
    image.setMagic(store::layout::kMagic);
    image.setLength(store::layout::kLength);
    image.setVersion(store::layout::kVersion);
    const char* names[] = {"admin", "operator1", "operator2"};
    for (int n = 0; n < 3; ++n) {
        store::OperatorRecord rec = image.operatorRecord(n);
        rec.setInUse(1);
        rec.setName(names[n]);
        rec.setPassword("12345");
    }
    for (int op = 1; op <= 3; ++op) image.clearOperatorTables(op);
    store::saveChange(host, session, image);
}

// The users page and the dialogs behind it, over a copy of the sample image with devices of which
// operator1 already has some.
bool saveUserWindows(gui::GuiContext& base, const QDir& folder) {
    auto image = std::make_unique<store::ConfigImage>();
    std::copy(base.image.bytes().begin(), base.image.bytes().end(), image->bytes().begin());
    for (int op = 1; op <= 3; ++op) image->resetOperatorDevices(op);
    for (int slot = 0; slot < 7; ++slot) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, static_cast<std::uint8_t>(21 + slot)));
        dev.setPort(slot == 4 ? 8200 : 8000);
        dev.setUserName("admin");
    }
    const int assigned[] = {1, 4};
    for (int i = 0; i < 2; ++i) {
        image->setUserDevice(1, i, static_cast<std::int16_t>(assigned[i]));
        image->stream(1, i).setDeviceSlot(assigned[i]);
    }
    store::StreamRecord bound = image->stream(1, 0);
    bound.setEnabled(1);
    bound.setServerIp(store::packIp(203, 0, 113, 20));
    bound.setServerPort(554);
    bound.setProtocol(0);
    gui::GuiContext context{base.host, base.session, *image};
    base.session.loggedInUser = 0;
    base.session.currentUserName = "admin";

    bool ok = true;
    {
        gui::MainView window(context);
        window.resize(960, 640);
        window.findChild<QAbstractButton*>(QStringLiteral("usersButton"))->click();
        auto* page = window.findChild<gui::ManuserView*>();
        if (page)
            page->list()->model()->setData(page->list()->model()->index(1, 0), Qt::Checked,
                                           Qt::CheckStateRole);
        ok &= save(window, folder, "main-users");
    }
    {
        gui::UseraddView add(context);
        add.findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText("operator3");
        add.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText("secret");
        add.findChild<QLineEdit*>(QStringLiteral("confirmEdit"))->setText("secret");
        ok &= save(add, folder, "useradd");
        gui::ModifyuserView modify(context, 1, "operator1");
        modify.findChild<QLineEdit*>(QStringLiteral("newPasswordEdit"))->setText("n3w");
        ok &= save(modify, folder, "modifyuser");
    }
    {
        gui::UserdevView devices(context, 1);
        devices.list(false)->model()->setData(devices.list(false)->model()->index(2, 0),
                                              Qt::Checked, Qt::CheckStateRole);
        ok &= save(devices, folder, "userdev");
    }
    {
        users::RunCounters counters;
        counters.success = 3;
        counters.connectError = 1;
        counters.passwordError = 1;
        counters.checked = 5;
        gui::UdinfoView result(counters);
        ok &= save(result, folder, "udinfo");
    }
    {
        gui::StreamView bind(context, 1, 1);
        ok &= save(bind, folder, "stream");
        gui::StreamView unbound(context, 1, 4);
        ok &= save(unbound, folder, "stream-unbound");
    }
    return ok;
}

// The channel page with operator1's inputs (administrator) and outputs (operator1 himself), over
// a copy of the sample image with two encoders and a decoder.
bool saveChannelWindows(gui::GuiContext& base, const QDir& folder) {
    auto image = std::make_unique<store::ConfigImage>();
    std::copy(base.image.bytes().begin(), base.image.bytes().end(), image->bytes().begin());
    for (int slot = 0; slot < 3; ++slot) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(store::packIp(198, 51, 100, static_cast<std::uint8_t>(31 + slot)));
        dev.setPort(8000);
        dev.setUserName("admin");
    }
    int pos = 0;
    auto add = [&](std::uint32_t index, std::uint8_t kind, int number, int slot,
                   std::uint8_t port = 0, std::uint8_t first = 0) {
        store::ChannelEntry e = image->channel(1, pos++);
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setIndex(index);
        e.setKind(kind);
        e.setNumber(static_cast<std::uint16_t>(number));
        e.setOutputPort(port);
        e.setPortFirst(first);
    };
    for (int ch = 1; ch <= 16; ++ch) add(100 + ch, store::kInputChannel, ch, 0);
    for (int ch = 1; ch <= 16; ++ch) add(200 + ch, store::kInputChannel, ch, 1);
    for (int ch = 1; ch <= 4; ++ch) add(10 + ch, store::kOutputChannel, ch, 2, store::kHdmi, 1);
    for (int ch = 5; ch <= 8; ++ch) add(10 + ch, store::kOutputChannel, ch, 2, store::kVga, 5);
    add(31, store::kScene, 1, 2);
    add(32, store::kTvWall, 1, 2);
    gui::GuiContext context{base.host, base.session, *image};

    bool ok = true;
    for (int user : {0, 1}) {
        base.session.loggedInUser = user;
        base.session.currentUserName = user == 0 ? "admin" : "operator1";
        gui::MainView window(context);
        window.resize(960, 640);
        auto* page = window.findChild<gui::UserchanView*>();
        if (!page) continue;
        if (user == 0) {
            page->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->setText("operator1");
            page->findChild<QAbstractButton*>(QStringLiteral("inputButton"))->click();
            for (int row : {2, 3})
                page->model()->setData(page->model()->index(row, 0), Qt::Checked,
                                       Qt::CheckStateRole);
            page->findChild<QLineEdit*>(QStringLiteral("newIndexEdit"))->setText("120");
        } else {
            page->findChild<QAbstractButton*>(QStringLiteral("outputButton"))->click();
        }
        ok &= save(window, folder, user == 0 ? "main-channels-input" : "main-channels-output");
    }
    return ok;
}

// The keyboard's remote windows as a user fills them in: the export dialog, the keyboard
// maintenance page and the upgrade dialog in both of its modes, each during an upgrade.
bool saveKeyboardWindows(gui::GuiContext& context, const QDir& folder) {
    auto fill = [](QWidget& w) {
        w.findChild<gui::Ipv4Edit*>(QStringLiteral("keyboardIpEdit"))
            ->setFields(store::Ipv4Fields::of(198, 51, 100, 2));
        w.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText("12345");
    };
    const QString file = QString::fromStdString(context.session.configPath.string());
    bool ok = true;
    {
        gui::ModconfigView exportDialog(context);
        exportDialog.findChild<QLineEdit*>(QStringLiteral("pathEdit"))->setText(file);
        fill(exportDialog);
        ok &= save(exportDialog, folder, "modconfig");
    }
    {
        context.session.loggedInUser = 0;
        context.session.currentUserName = "admin";
        gui::MainView window(context);
        window.resize(960, 640);
        window.findChild<QAbstractButton*>(QStringLiteral("keyboardButton"))->click();
        if (auto* page = window.findChild<QWidget*>(QStringLiteral("mankbPage"))) fill(*page);
        ok &= save(window, folder, "main-keyboard");
    }
    {
        gui::ModupdataView upgrade(context);
        fill(upgrade);
        const QString dir = QFileInfo(file).absolutePath();
        upgrade.findChild<QLineEdit*>(QStringLiteral("pathEdit"))->setText(dir + "/morvial.dav");
        upgrade.findChild<QProgressBar*>(QStringLiteral("progressBar"))->setValue(45);
        upgrade.findChild<QLabel*>(QStringLiteral("percentLabel"))->setText("45");
        ok &= save(upgrade, folder, "modupdata-firmware");
        upgrade.findChild<QComboBox*>(QStringLiteral("modeCombo"))->setCurrentIndex(1);
        upgrade.findChild<QLineEdit*>(QStringLiteral("pathEdit"))->setText(dir + "/panel.hex");
        upgrade.findChild<QLabel*>(QStringLiteral("statusText"))
            ->setText(QString::fromStdString(store::getMessage(store::Msg::PanelReceiving)));
        ok &= save(upgrade, folder, "modupdata-panel");
    }
    return ok;
}

// A discovery library that reports a few devices as soon as it is started.
class ShowcaseDiscovery : public remote::Discovery {
  public:
    bool start(Callback onReport) override {
        struct Found {
            const char* serial;
            const char* ip;
            std::uint32_t port, channels;
            const char* type;
        };
        const Found found[] = {
            {"ENC0416A2024051100012", "198.51.100.41", 8000, 16, "ENC-16"},
            {"DEC0104B2023110800007", "198.51.100.42", 8000, 4, "DEC-4"},
            {"ENC0108A2024020300031", "203.0.113.17", 37777, 8, "ENC-8"},
            {"MTX0032C2022090100003", "203.0.113.18", 8000, 32, "MATRIX-32"},
        };
        int n = 0;
        for (const Found& f : found) {
            std::array<std::uint8_t, VORP_FOUND_RECORD_SIZE> r{};
            auto text = [&r](int at, const std::string& s) {
                std::copy(s.begin(), s.end(), r.begin() + at);
            };
            auto u32 = [&r](int at, std::uint32_t v) {
                for (int i = 0; i < 4; ++i)
                    r[static_cast<std::size_t>(at + i)] = std::uint8_t(v >> 8 * i);
            };
            text(VORP_FOUND_SERIAL, f.serial);
            text(VORP_FOUND_IP, f.ip);
            text(VORP_FOUND_MASK, "255.255.255.0");
            text(VORP_FOUND_MAC, "00:00:5e:00:53:" + std::to_string(10 + n++));
            text(VORP_FOUND_SOFTWARE, "V2.3.1 build 240511");
            text(VORP_FOUND_DSP, "V1.0.4");
            text(VORP_FOUND_START_TIME, "2026-12-09 08:00:00");
            text(VORP_FOUND_DESCRIPTION, f.type);
            u32(VORP_FOUND_PORT, f.port);
            u32(VORP_FOUND_CHANNELS, f.channels);
            u32(VORP_FOUND_EVENT, VORP_EVENT_ADD);
            onReport(r.data());
        }
        return true;
    }
    void stop() override {}
};

// The device page with a few devices (administrator), the Add Device dialog for one address and
// for a range, the modify dialog and the discovery dialog with some devices found.
bool saveDeviceWindows(gui::GuiContext& base, const QDir& folder) {
    auto image = std::make_unique<store::ConfigImage>();
    std::copy(base.image.bytes().begin(), base.image.bytes().end(), image->bytes().begin());
    const struct {
        std::uint32_t ip;
        std::uint16_t port;
        const char* user;
    } devices[] = {
        {store::packIp(198, 51, 100, 21), 8000, "admin"},
        {store::packIp(198, 51, 100, 22), 8000, "admin"},
        {store::packIp(198, 51, 100, 23), 8000, "operator"},
        {store::packIp(203, 0, 113, 10), 37777, "admin"},
        {store::packIp(203, 0, 113, 11), 37777, "admin"},
        {store::packIp(203, 0, 113, 40), 8200, "matrix"},
    };
    int slot = 0;
    for (const auto& d : devices) {
        store::DeviceRecord dev = image->device(slot++);
        dev.setInUse(1);
        dev.setIp(d.ip);
        dev.setPort(d.port);
        dev.setUserName(d.user);
    }
    ShowcaseDiscovery discovery;
    gui::GuiContext context{base.host, base.session, *image, nullptr, &discovery};
    base.session.loggedInUser = 0;
    base.session.currentUserName = "admin";

    bool ok = true;
    {
        gui::MainView window(context);
        window.resize(960, 640);
        window.findChild<QAbstractButton*>(QStringLiteral("devicesButton"))->click();
        if (auto* page = window.findChild<gui::MandevView*>()) {
            for (int row : {1, 2})
                page->model()->setData(page->model()->index(row, 0), Qt::Checked,
                                       Qt::CheckStateRole);
        }
        ok &= save(window, folder, "main-devices");
    }
    {
        int refresh = 0;
        gui::DevaddView add(context, &refresh);
        add.findChild<gui::Ipv4Edit*>(QStringLiteral("startIpEdit"))
            ->setFields(store::Ipv4Fields::of(198, 51, 100, 24));
        add.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText("12345");
        ok &= save(add, folder, "devadd");
        add.findChild<QComboBox*>(QStringLiteral("typeCombo"))->setCurrentIndex(1);
        add.findChild<gui::Ipv4Edit*>(QStringLiteral("startIpEdit"))
            ->setFields(store::Ipv4Fields::of(198, 51, 100, 30));
        add.findChild<gui::Ipv4Edit*>(QStringLiteral("endIpEdit"))
            ->setFields(store::Ipv4Fields::of(198, 51, 100, 45));
        ok &= save(add, folder, "devadd-batch");
    }
    {
        int refresh = 0;
        std::vector<std::uint8_t> flags(store::layout::kDeviceCount, 0);
        flags[1] = flags[2] = 1;
        gui::ModifydevView modify(context, flags, &refresh);
        ok &= save(modify, folder, "modifydev");
    }
    {
        int refresh = 0;
        gui::VorpdevView find(context, &refresh);
        find.show();
        for (int i = 0; i < 3; ++i) QApplication::processEvents();  // the start, then the reports
        find.model()->flush();
        if (find.model()->rowCount() > 2) {
            find.list()->selectRow(2);
            find.presenter().rowClicked(2);
        }
        ok &= save(find, folder, "vorpdev");
    }
    return ok;
}

// Every window in the language in use.
bool saveWindows(gui::GuiContext& context, const QDir& folder) {
    store::SessionState& session = context.session;
    bool ok = true;
    {
        gui::VarnelDlgView modes(context);
        ok &= save(modes, folder, "modes");
    }
    {
        session.mode = 2;  // the path is shown as after an export
        gui::UserloginView login(context);
        login.findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->setText("admin");
        login.findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->setText("12345");
        ok &= save(login, folder, "login");
        login.presenter().openMainWindow = true;  // no mode dialog to bring back
    }
    for (int user : {0, 1}) {
        session.loggedInUser = user;
        session.currentUserName = user == 0 ? "admin" : "operator1";
        gui::MainView window(context);
        window.resize(960, 640);
        ok &= save(window, folder, user == 0 ? "main-admin" : "main-operator");
        if (user == 0) {
            window.findChild<QAbstractButton*>(QStringLiteral("otherButton"))->click();
            ok &= save(window, folder, "main-language");
        }
    }
    {
        gui::AboutView about;
        ok &= save(about, folder, "about");
    }
    {
        gui::TipView tip(store::getMessage(store::Msg::AskCoverBackup), true);
        ok &= save(tip, folder, "message-ok-cancel");
        gui::TipView plain(store::getMessage(store::Msg::ErrorUser), false);
        ok &= save(plain, folder, "message-ok");
    }
    ok &= saveUserWindows(context, folder);
    ok &= saveChannelWindows(context, folder);
    ok &= saveKeyboardWindows(context, folder);
    ok &= saveDeviceWindows(context, folder);
    return ok;
}

// The language page just after a click on "Chinese": the open window's texts follow at once.
bool saveLiveSwitch(gui::GuiContext& context, const QDir& folder) {
    gui::useLanguage(store::Language::English);
    context.session.loggedInUser = 0;
    context.session.currentUserName = "admin";
    gui::MainView window(context);
    window.resize(960, 640);
    window.findChild<QAbstractButton*>(QStringLiteral("otherButton"))->click();
    window.show();
    QApplication::processEvents();
    window.findChild<QAbstractButton*>(QStringLiteral("chineseRadio"))->click();
    return save(window, folder, "main-language-switched");
}

// The offscreen platform warns about what it cannot do with windows; only real errors matter here.
void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kbcfg-screenshots FOLDER\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    QApplication::setFont(gui::uiFont(9));
    QApplication::setWindowIcon(gui::pictures::appIcon());
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    QTemporaryDir work;
    // The live switch keeps its choice here, not in the user's settings.
    for (auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, work.path());
    gui::QtHost host;
    host.script.active = true;
    store::SessionState session;
    auto image = std::make_unique<store::ConfigImage>();
    store::setConfigPaths(session, QDir(work.path()).filePath("kbCfg.bin").toStdString());
    gui::GuiContext context{host, session, *image};

    // English at the top, Chinese in zh/.
    const QDir chinese(folder.filePath(QStringLiteral("zh")));
    if (!QDir().mkpath(chinese.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(chinese.path()));
        return 1;
    }
    bool ok = true;
    for (const auto& [language, into] : {std::pair{store::Language::English, folder},
                                         std::pair{store::Language::Chinese, chinese}}) {
        gui::useLanguage(language);
        writeSampleFile(host, session, *image);
        ok &= saveWindows(context, into);
    }
    ok &= saveLiveSwitch(context, chinese);
    return ok ? 0 : 1;
}
