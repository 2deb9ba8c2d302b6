#include "gui/pages.h"
#include "gui/userchan_view.h"

namespace kbcfg::gui {

QWidget* createChannelPage(GuiContext& context, shell::MainMenu&, QWidget* parent) {
    return new UserchanView(context, parent);
}

}  // namespace kbcfg::gui
