#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createChannelPage(GuiContext&, shell::main&, QWidget* parent) {
    return placeholderPage("userchanPage", parent);
}

}  // namespace kbcfg::gui
