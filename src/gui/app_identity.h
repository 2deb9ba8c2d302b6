#pragma once
// How the desktop knows the program: the class its windows carry, the menu entry they belong to
// and their icon. Set before the first window, which takes them when it is created.

#include <QString>

namespace kbcfg::gui {

// The name X11 gives the windows' class; the menu entry's StartupWMClass repeats it.
inline const QString kApplicationName = QStringLiteral("kbcfg-gui");
// The menu entry's file name without ".desktop"; Wayland's app id.
inline const QString kDesktopFileName = QStringLiteral("org.kbcfg.Kbcfg");

void setApplicationIdentity();

}  // namespace kbcfg::gui
