#pragma once
// The local time, as the system keeps the zone (localtime_r on POSIX, localtime_s on Windows).

#include <ctime>

namespace kbcfg::platform {

// The broken-down local time of `when`; all zeros when the system cannot tell.
std::tm localTime(std::time_t when);

}  // namespace kbcfg::platform
