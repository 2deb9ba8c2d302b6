#pragma once
// A command interrupted by Ctrl+C, a hang-up or a kill request (on Windows: Ctrl+C, Ctrl+Break or
// a closed console) leaves no temporary file behind: the handler removes the files being
// written, then the request ends the process as usual.

namespace kbcfg::cli {

void cleanUpOnTerminationSignals();

// For a command that can stop between two steps with everything before saved: while one is
// alive, the first Ctrl+C only asks the command to stop (and says so on stderr); a second one
// ends it as above.
class StopOnInterrupt {
  public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    bool requested() const;
};

}  // namespace kbcfg::cli
