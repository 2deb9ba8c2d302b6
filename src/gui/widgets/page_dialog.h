#pragma once
// How the main window's pages run their dialogs.

class QDialog;

namespace kbcfg::gui {

// Runs `dialog` to its end, modal to its own window only: the mode dialog beside the main window
// stays usable, since its buttons are what bring a minimised main window back.
int runPageDialog(QDialog& dialog);

}  // namespace kbcfg::gui
