#include "platform/console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "platform/windows/win32.h"

namespace kbcfg::platform {

namespace {

HANDLE handleOf(Stream stream) {
    switch (stream) {
        case Stream::In:
            return ::GetStdHandle(STD_INPUT_HANDLE);
        case Stream::Out:
            return ::GetStdHandle(STD_OUTPUT_HANDLE);
        case Stream::Err:
            return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return INVALID_HANDLE_VALUE;
}

// The status a process ended by Ctrl+C has in a POSIX shell (128 + SIGINT); a closed console
// window counts as a hang-up (128 + SIGHUP).
constexpr UINT kInterruptedStatus = 130;
constexpr UINT kHungUpStatus = 129;

std::atomic<void (*)()> g_cleanUp{nullptr};
std::atomic<void (*)()> g_interrupted{nullptr};
std::atomic<HANDLE> g_requests{nullptr};

// Runs on a thread the system starts for the event.
BOOL WINAPI onControl(DWORD event) {
    if (const HANDLE requests = g_requests.load()) {
        ::SetEvent(requests);
        // A closed console ends the process once this returns: wait for the loop to end it.
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) ::Sleep(INFINITE);
        return TRUE;
    }
    if (event == CTRL_C_EVENT)
        if (auto interrupted = g_interrupted.exchange(nullptr)) {
            interrupted();
            return TRUE;
        }
    if (auto cleanUp = g_cleanUp.load()) cleanUp();
    // Ended at once, as a signal ends a POSIX process: what the other threads were doing is not
    // finished (nor are buffered outputs flushed), which the clean-up above allows for.
    ::TerminateProcess(::GetCurrentProcess(), event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT
                                                  ? kInterruptedStatus
                                                  : kHungUpStatus);
    return TRUE;
}

void installHandler() {
    static const bool installed = ::SetConsoleCtrlHandler(onControl, TRUE) != 0;
    (void)installed;
}

}  // namespace

bool isTerminal(Stream stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(handleOf(stream), &mode) != 0;
}

std::optional<TerminalSize> terminalSize(Stream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(handleOf(stream), &info)) return std::nullopt;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    const int rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    if (columns <= 0) return std::nullopt;
    return TerminalSize{static_cast<unsigned>(columns), static_cast<unsigned>(rows > 0 ? rows : 0)};
}

void useBinaryStandardStreams() {
    // Text mode would write "\r\n" for "\n" and stop reading standard input at a Ctrl+Z byte.
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!words) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(win::toUtf8(words[i]));
    ::LocalFree(words);
    return out;
}

long readStandardInput(void* data, std::size_t size, std::error_code& ec) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    for (;;) {
        const int n = ::_read(::_fileno(stdin), data, chunk);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        ec = std::error_code(errno, std::generic_category());
        return -1;
    }
}

void writeErrorNow(std::string_view text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                &written, nullptr);
}

void endOnTermination(void (*cleanUp)()) {
    g_cleanUp = cleanUp;
    installHandler();
}

void catchNextInterrupt(void (*interrupted)()) {
    g_interrupted = interrupted;
    installHandler();
}

void endOnInterrupt() {
    g_interrupted = nullptr;
}

std::intptr_t watchTerminationRequests() {
    if (const HANDLE requests = g_requests.load()) return reinterpret_cast<std::intptr_t>(requests);
    // Manual reset: it stays set until the loop has seen it.
    const HANDLE requests = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!requests) return -1;
    g_requests = requests;
    installHandler();
    return reinterpret_cast<std::intptr_t>(requests);
}

void clearTerminationRequests() {
    if (const HANDLE requests = g_requests.load()) ::ResetEvent(requests);
}

}  // namespace kbcfg::platform
