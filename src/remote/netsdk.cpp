#include "remote/netsdk.h"

namespace kbcfg::remote {

std::unique_ptr<NetSdk> handleFrom(const NetSdkFactory& factory) noexcept {
    if (!factory) return nullptr;
    try {
        return factory();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace kbcfg::remote
