#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createKeyboardPage(GuiContext&, shell::main&, QWidget* parent) {
    return placeholderPage("mankbPage", parent);
}

}  // namespace kbcfg::gui
