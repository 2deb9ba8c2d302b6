#pragma once
// A command interrupted by Ctrl+C, a hang-up or a kill request leaves no temporary file behind:
// the handler removes the files being written, then the signal ends the process as usual.

namespace kbcfg::cli {

void cleanUpOnTerminationSignals();

}  // namespace kbcfg::cli
