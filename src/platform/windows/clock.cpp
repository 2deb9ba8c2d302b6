#include "platform/clock.h"

#include <time.h>

namespace kbcfg::platform {

std::tm localTime(std::time_t when) {
    std::tm local{};
    // The Microsoft argument order: the result first.
    if (::localtime_s(&local, &when) != 0) return std::tm{};
    return local;
}

}  // namespace kbcfg::platform
