// kbcfg-gui: the desktop configuration tool.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <string_view>

#include "gui/app_fonts.h"
#include "gui/app_identity.h"
#include "gui/gui_context.h"
#include "gui/instance_guard.h"
#include "gui/language.h"
#include "gui/qt_host.h"
#include "gui/quit_on_signal.h"
#include "gui/varnel_dlg_view.h"
#include "kbcfg_build_info.h"
#include "shell/varnel_app.h"
#include "store/config_image.h"
#include "store/messages.h"
#include "store/session.h"

using namespace kbcfg;

namespace {
constexpr const char* kHelp =
    "Usage: kbcfg-gui [Qt options] [FILE]\n"
    "Edit the configuration files of the network control keyboard: devices, operator users,\n"
    "their channels, and the keyboards on the network.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Print this help and exit\n"
    "  --version      Print the version and exit\n"
    "  -platform P    Qt platform plugin (offscreen runs without a display)\n"
    "\n"
    "Environment:\n"
    "  KBCFG_LIBDIR         Folder of the device libraries libVyxNetSDK.so and libVorp.so\n"
    "                       (default: the installed library folder, else beside the program)\n"
    "  KBCFG_CODEPAGE       Code page of the text stored in files and sent to devices\n"
    "                       (an iconv name, default CP1252)\n"
    "  VYXSIM_INSTALLATION  JSON installation for the simulated device libraries\n"
    "\n"
    "The windows speak Chinese or English: the choice on the main window's language page is\n"
    "kept for the next start; the first start follows the locale (zh* is Chinese).\n"
    "With a FILE, the login dialog opens with that configuration file chosen.\n"
    "Only one copy runs per user. Starting a second one brings the first copy's main window,\n"
    "else its login window, to the front; when neither is open (only the mode dialog, or the\n"
    "keyboard export or upgrade window) it says \"The program is already running!\" and ends.\n"
    "With a FILE, the first copy's login dialog takes it, unless a main window is open.\n";
}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they need no display (help2man runs them at build time).
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") return std::printf("kbcfg-gui %s\n", KBCFG_VERSION) < 0;
        if (arg == "--help" || arg == "-h") return std::fputs(kHelp, stdout) < 0;
    }
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    gui::setApplicationIdentity();
    QApplication::setFont(gui::uiFont(9));
    // Before the first window, which takes its texts from the catalogue.
    gui::useLanguage(gui::startupLanguage());

    gui::QtHost host;
    // The file to open: the first argument Qt left that is not an option.
    QString file;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size() && file.isEmpty(); ++i)
        if (!args[i].startsWith(QLatin1Char('-'))) file = QFileInfo(args[i]).absoluteFilePath();

    gui::InstanceGuard guard;
    gui::DesktopStartup platform(guard, file);
    switch (shell::CvarnelApp::start(host, platform)) {
        case shell::CvarnelApp::Start::ShowModes:
            break;
        case shell::CvarnelApp::Start::EndSilently:
            return 0;
        case shell::CvarnelApp::Start::End:
            return 1;
    }
    guard.onRaiseRequest = [&host](const QString& token) {
        host.setActivationToken(token);
        return shell::CvarnelApp::raiseRequested(host);
    };

    gui::quitOnTerminationSignals(&app);
    gui::GuiContext context{host, store::SessionState::instance(), store::ConfigImage::instance()};
    int status = 0;
    {
        gui::VarnelDlgView modes(context);
        QObject::connect(&modes, &QDialog::finished, &app, &QApplication::quit);
        modes.show();
        guard.onOpenRequest = [&host, &modes](const QString& token, const QString& path) {
            host.setActivationToken(token);
            if (shell::CvarnelApp::fileRequested(host)) modes.openLoginWith(path);
            return true;
        };
        if (!file.isEmpty())
            QTimer::singleShot(0, &modes, [&modes, file] { modes.openLoginWith(file); });
        // For timing the start: report once the first frame is on its way, and optionally end.
        if (qEnvironmentVariableIsSet("KBCFG_REPORT_SHOWN")) {
            QTimer::singleShot(0, &app, [&] {
                std::printf("modes shown after %lld ms\n",
                            static_cast<long long>(sinceStart.elapsed()));
                std::fflush(stdout);
                if (qEnvironmentVariable("KBCFG_REPORT_SHOWN") == QLatin1String("quit"))
                    modes.done(0);
            });
        }
        status = app.exec();
        guard.onOpenRequest = nullptr;
        // Work windows still open end with the mode dialog.
        gui::deleteParentlessWindows(&modes);
    }
    return status;
}
