// kbcfg-screenshots FOLDER: renders the windows of the desktop tool offscreen to PNG files, with
// a generated configuration file, so a person can look at what the tool shows.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "gui/about_view.h"
#include "gui/app_fonts.h"
#include "gui/gui_context.h"
#include "gui/main_view.h"
#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/tip_view.h"
#include "gui/userlogin_view.h"
#include "gui/varnel_dlg_view.h"
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
    gui::QtHost host;
    host.script.active = true;
    store::SessionState session;
    auto image = std::make_unique<store::ConfigImage>();
    store::setConfigPaths(session, QDir(work.path()).filePath("kbCfg.bin").toStdString());
    writeSampleFile(host, session, *image);
    gui::GuiContext context{host, session, *image};

    bool ok = true;
    {
        gui::ModesView modes(context);
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
        gui::TipView tip(store::getMessage(42), true);
        ok &= save(tip, folder, "message-ok-cancel");
        gui::TipView plain(store::getMessage(14), false);
        ok &= save(plain, folder, "message-ok");
    }
    return ok ? 0 : 1;
}
