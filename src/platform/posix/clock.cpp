#include "platform/clock.h"

namespace kbcfg::platform {

std::tm localTime(std::time_t when) {
    std::tm local{};
    if (!localtime_r(&when, &local)) return std::tm{};
    return local;
}

}  // namespace kbcfg::platform
