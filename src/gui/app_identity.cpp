#include "gui/app_identity.h"

#include <QGuiApplication>

#include "gui/pictures.h"

namespace kbcfg::gui {

void setApplicationIdentity() {
    QGuiApplication::setApplicationName(kApplicationName);
    QGuiApplication::setDesktopFileName(kDesktopFileName);
    QGuiApplication::setWindowIcon(pictures::appIcon());
}

}  // namespace kbcfg::gui
