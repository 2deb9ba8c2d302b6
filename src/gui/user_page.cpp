#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createUserPage(GuiContext&, shell::main&, QWidget* parent) {
    return placeholderPage("manuserPage", parent);
}

}  // namespace kbcfg::gui
