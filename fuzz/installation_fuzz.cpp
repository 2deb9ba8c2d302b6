// Fuzz target for the simulator's installation descriptions. A refusal names where the fault is:
// a path in the description ("devices[2].port") or the line of a syntax error.

#include <string>

#include "installation.h"
#include "text_fuzz.h"

KBCFG_TEXT_TARGET(installationFuzz) {
    std::string error;
    // A folder that does not exist: a file the description names is never read.
    const auto inst = vyxsim::parseInstallation(std::string(kbcfg::fuzz::textOf(data, size)),
                                                "/nonexistent/kbcfg-fuzz", error);
    if (!inst) {
        kbcfg::fuzz::require(!error.empty());
        kbcfg::fuzz::require(error.starts_with("installation") || error.starts_with("keyboards[") ||
                             error.starts_with("devices[") || error.starts_with("discovery") ||
                             kbcfg::fuzz::namesLine(error));
    }
    return 0;
}
