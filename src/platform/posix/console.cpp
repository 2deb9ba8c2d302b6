#include "platform/console.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace kbcfg::platform {

namespace {

int descriptor(Stream stream) {
    switch (stream) {
        case Stream::In:
            return STDIN_FILENO;
        case Stream::Out:
            return STDOUT_FILENO;
        case Stream::Err:
            return STDERR_FILENO;
    }
    return -1;
}

std::atomic<void (*)()> g_cleanUp{nullptr};
std::atomic<void (*)()> g_interrupted{nullptr};
int g_requests[2] = {-1, -1};

void handle(int signal, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void onTerminationSignal(int signal) {
    if (auto cleanUp = g_cleanUp.load()) cleanUp();
    // The handler was reset on entry (SA_RESETHAND): the signal now ends the process with its
    // usual status.
    std::raise(signal);
}

void onFirstInterrupt(int) {
    if (auto interrupted = g_interrupted.exchange(nullptr)) interrupted();
    handle(SIGINT, onTerminationSignal, SA_RESETHAND);
}

void onWatchedSignal(int) {
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(g_requests[1], &byte, 1);
}

}  // namespace

bool isTerminal(Stream stream) {
    return ::isatty(descriptor(stream)) != 0;
}

std::optional<TerminalSize> terminalSize(Stream stream) {
    winsize size{};
    if (!isTerminal(stream) || ::ioctl(descriptor(stream), TIOCGWINSZ, &size) != 0 ||
        size.ws_col == 0)
        return std::nullopt;
    return TerminalSize{size.ws_col, size.ws_row};
}

void useBinaryStandardStreams() {}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

long readStandardInput(void* data, std::size_t size, std::error_code& ec) {
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, data, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        ec = std::error_code(errno, std::generic_category());
        return -1;
    }
}

void writeErrorNow(std::string_view text) {
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
}

void endOnTermination(void (*cleanUp)()) {
    g_cleanUp = cleanUp;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) handle(signal, onTerminationSignal, SA_RESETHAND);
}

void catchNextInterrupt(void (*interrupted)()) {
    g_interrupted = interrupted;
    handle(SIGINT, onFirstInterrupt, 0);
}

void endOnInterrupt() {
    g_interrupted = nullptr;
    handle(SIGINT, onTerminationSignal, SA_RESETHAND);
}

std::intptr_t watchTerminationRequests() {
    if (g_requests[0] >= 0) return g_requests[0];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_requests) != 0) {
        g_requests[0] = g_requests[1] = -1;
        return -1;
    }
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) handle(signal, onWatchedSignal, SA_RESTART);
    return g_requests[0];
}

void clearTerminationRequests() {
    char buf[16];
    while (g_requests[0] >= 0 && ::read(g_requests[0], buf, sizeof buf) > 0) {
    }
}

}  // namespace kbcfg::platform
