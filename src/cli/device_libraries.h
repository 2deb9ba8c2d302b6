#pragma once
// The device libraries as the command line uses them: loaded on first use from the tool's folder
// (or KBCFG_LIBDIR); a missing library is told once on stderr.

#include "remote/netsdk.h"

namespace kbcfg::cli {

remote::NetSdk& netSdk();

}  // namespace kbcfg::cli
