#pragma once
// The device libraries as the command line uses them: loaded on first use from the tool's folder
// (or KBCFG_LIBDIR); a missing library is told once on stderr.

#include "remote/netsdk.h"

namespace kbcfg::cli {

remote::NetSdk& netSdk();
// Handles of their own for threads that talk to devices beside the first; a missing library is
// told by netSdk().
remote::NetSdkFactory netSdkFactory();

}  // namespace kbcfg::cli
