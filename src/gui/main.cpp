// kbcfg-gui: the desktop configuration tool.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "gui/app_fonts.h"
#include "gui/gui_context.h"
#include "gui/instance_guard.h"
#include "gui/pictures.h"
#include "gui/qt_host.h"
#include "gui/quit_on_signal.h"
#include "gui/varnel_dlg_view.h"
#include "shell/varnel_app.h"
#include "store/config_image.h"
#include "store/session.h"

using namespace kbcfg;

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kbcfg-gui"));
    QApplication::setWindowIcon(gui::pictures::appIcon());
    QApplication::setFont(gui::uiFont(9));

    gui::QtHost host;
    gui::InstanceGuard guard;
    gui::DesktopStartup platform(guard);
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
        gui::ModesView modes(context);
        QObject::connect(&modes, &QDialog::finished, &app, &QApplication::quit);
        modes.show();
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
        // Work windows still open end with the mode dialog.
        gui::deleteParentlessWindows(&modes);
    }
    return status;
}
