#include "gui/quit_on_signal.h"

#include <QCoreApplication>
#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

#include "platform/console.h"

namespace kbcfg::gui {

void quitOnTerminationSignals(QObject* parent) {
    static bool watched = false;
    if (watched) return;
    const std::intptr_t requests = platform::watchTerminationRequests();
    if (requests == -1) return;
    watched = true;
    const auto quit = [] {
        platform::clearTerminationRequests();
        QCoreApplication::quit();
    };
#ifdef Q_OS_WIN
    auto* notifier = new QWinEventNotifier(reinterpret_cast<Qt::HANDLE>(requests), parent);
    QObject::connect(notifier, &QWinEventNotifier::activated, parent, quit);
#else
    auto* notifier =
        new QSocketNotifier(static_cast<qintptr>(requests), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, quit);
#endif
}

}  // namespace kbcfg::gui
