#include "cli/device_libraries.h"

#include <iostream>

#include "remote/dynamic_netsdk.h"

namespace kbcfg::cli {

remote::NetSdk& netSdk() {
    static remote::DynamicNetSdk sdk(
        [](const std::string& problem) { std::cerr << "kbcfg: " << problem << std::endl; });
    return sdk;
}

remote::NetSdkFactory netSdkFactory() {
    return [] { return std::make_unique<remote::DynamicNetSdk>(); };
}

}  // namespace kbcfg::cli
