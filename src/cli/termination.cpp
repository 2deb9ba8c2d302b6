#include "cli/termination.h"

#include <unistd.h>

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
void handle(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

volatile std::sig_atomic_t g_stopRequested = 0;

void onFirstInterrupt(int) {
    g_stopRequested = 1;
    constexpr char kSaid[] = "kbcfg: stopping after the step in hand (Ctrl+C again ends at once)\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kSaid, sizeof kSaid - 1);
    handle(SIGINT, onTerminationSignal, SA_RESETHAND);
}
}  // namespace

void cleanUpOnTerminationSignals() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) handle(signal, onTerminationSignal, SA_RESETHAND);
}

StopOnInterrupt::StopOnInterrupt() {
    g_stopRequested = 0;
    handle(SIGINT, onFirstInterrupt, 0);
}

StopOnInterrupt::~StopOnInterrupt() {
    handle(SIGINT, onTerminationSignal, SA_RESETHAND);
}

bool StopOnInterrupt::requested() const {
    return g_stopRequested != 0;
}

}  // namespace kbcfg::cli
