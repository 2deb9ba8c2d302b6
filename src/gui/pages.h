#pragma once
// The main window's pages. Each page has a factory of its own, in its own file, so the pages can
// grow independently; the main window only lays them over its frame.

#include <QWidget>

#include "gui/gui_context.h"
#include "shell/main.h"

namespace kbcfg::gui {

// Each factory may set the main window's refresh hooks (refreshDeviceList, refreshUserList).
QWidget* createDevicePage(GuiContext& context, shell::MainMenu& window, QWidget* parent);
QWidget* createUserPage(GuiContext& context, shell::MainMenu& window, QWidget* parent);
QWidget* createChannelPage(GuiContext& context, shell::MainMenu& window, QWidget* parent);
QWidget* createKeyboardPage(GuiContext& context, shell::MainMenu& window, QWidget* parent);

}  // namespace kbcfg::gui
