#include "cli/termination.h"

#include <csignal>

#include "store/safe_file.h"

namespace kbcfg::cli {

namespace {
void onTerminationSignal(int signal) {
    store::removeTemporariesInFlight();
    // The handler was reset on entry (SA_RESETHAND): the signal now ends the process with its
    // usual status.
    std::raise(signal);
}
}  // namespace

void cleanUpOnTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace kbcfg::cli
