#include "cli/device_libraries.h"

#include "cli/command.h"
#include "remote/dynamic_netsdk.h"

namespace kbcfg::cli {

remote::NetSdk& netSdk() {
    static remote::DynamicNetSdk sdk([](const std::string& problem) { reportFailure(problem); });
    return sdk;
}

remote::NetSdkFactory netSdkFactory() {
    return [] { return std::make_unique<remote::DynamicNetSdk>(); };
}

}  // namespace kbcfg::cli
