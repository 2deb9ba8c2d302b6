#include "gui/mankb_view.h"
#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createKeyboardPage(GuiContext& context, shell::MainMenu&, QWidget* parent) {
    return new MankbView(context, parent);
}

}  // namespace kbcfg::gui
