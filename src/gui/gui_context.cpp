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

remote::DynamicNetSdk& loadedNetSdk() {
    static remote::DynamicNetSdk loaded(tellMissing);
    return loaded;
}
}  // namespace

remote::NetSdk& GuiContext::sdk() {
    if (!netSdk) netSdk = &loadedNetSdk();
    return *netSdk;
}

remote::NetSdkFactory GuiContext::sdkFactory() {
    if (netSdkFactory) return netSdkFactory;
    if (&sdk() != &loadedNetSdk()) return {};
    // A missing library is told by the first handle; the workers' handles fail quietly.
    return [] { return std::make_unique<remote::DynamicNetSdk>(); };
}

remote::Discovery& GuiContext::vorp() {
    if (!discovery) {
        static remote::DynamicDiscovery loaded(tellMissing);
        discovery = &loaded;
    }
    return *discovery;
}

}  // namespace kbcfg::gui
