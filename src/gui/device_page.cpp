#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createDevicePage(GuiContext&, shell::main&, QWidget* parent) {
    return placeholderPage("mandevPage", parent);
}

}  // namespace kbcfg::gui
