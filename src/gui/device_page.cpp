#include "gui/mandev_view.h"
#include "gui/pages.h"

namespace kbcfg::gui {

QWidget* createDevicePage(GuiContext& context, shell::MainMenu& window, QWidget* parent) {
    auto* page = new MandevView(context, parent);
    // The devices button rebuilds the list each time it is pressed.
    window.refreshDeviceList = [page] { page->refresh(); };
    return page;
}

}  // namespace kbcfg::gui
