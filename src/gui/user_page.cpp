#include "gui/manuser_view.h"
#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createUserPage(GuiContext& context, shell::MainMenu& window, QWidget* parent) {
    auto* page = new ManuserView(context, parent);
    window.refreshUserList = [page] { page->refresh(); };
    return page;
}

}  // namespace kbcfg::gui
