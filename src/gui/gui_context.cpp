#include "gui/gui_context.h"

#include <QMessageBox>
#include <QString>

#include "remote/dynamic_discovery.h"
#include "remote/dynamic_netsdk.h"

namespace kbcfg::gui {

namespace {
// Said once per library, the first time a call finds it missing.
void tellMissing(const std::string& problem) {
    QMessageBox::warning(nullptr, QStringLiteral("kbcfg"), QString::fromStdString(problem));
}
}  // namespace

remote::NetSdk& GuiContext::sdk() {
    if (!netSdk) {
        static remote::DynamicNetSdk loaded(tellMissing);
        netSdk = &loaded;
    }
    return *netSdk;
}

remote::Discovery& GuiContext::vorp() {
    if (!discovery) {
        static remote::DynamicDiscovery loaded(tellMissing);
        discovery = &loaded;
    }
    return *discovery;
}

}  // namespace kbcfg::gui
