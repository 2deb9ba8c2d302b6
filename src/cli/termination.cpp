#include "cli/termination.h"

#include <atomic>

#include "platform/console.h"
#include "store/safe_file.h"

namespace kbcfg::cli {

namespace {
// Set from a signal handler, or from the console's own thread on Windows.
std::atomic<bool> g_stopRequested{false};

void onFirstInterrupt() {
    g_stopRequested = true;
    platform::writeErrorNow("kbcfg: stopping after the step in hand (Ctrl+C again ends at once)\n");
}
}  // namespace

void cleanUpOnTerminationSignals() {
    platform::endOnTermination(store::removeTemporariesInFlight);
}

StopOnInterrupt::StopOnInterrupt() {
    g_stopRequested = false;
    platform::catchNextInterrupt(onFirstInterrupt);
}

StopOnInterrupt::~StopOnInterrupt() {
    platform::endOnInterrupt();
}

bool StopOnInterrupt::requested() const {
    return g_stopRequested;
}

}  // namespace kbcfg::cli
