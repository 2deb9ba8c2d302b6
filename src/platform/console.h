#pragma once
// The console: the standard streams, the terminal behind them, the command line's words, and
// what a request to end the process (Ctrl+C, a hang-up, a kill request; on Windows a console's
// Ctrl+C, Ctrl+Break or close) does.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kbcfg::platform {

enum class Stream { In, Out, Err };

// Whether the stream is a terminal (a console window on Windows).
bool isTerminal(Stream stream);

struct TerminalSize {
    unsigned columns = 0;
    unsigned rows = 0;  // 0 when the system does not tell
};
// The size of the terminal the stream goes to, nullopt when it is none or the size is unknown.
std::optional<TerminalSize> terminalSize(Stream stream);

// Makes the standard streams carry bytes unchanged, so that the output is the same on every
// system: on Windows no "\r" is added before "\n", stdin is read as it is, and the console shows
// UTF-8. Nothing to do on POSIX. Called once, first thing in main().
void useBinaryStandardStreams();

// The command line's words in UTF-8: argv as it is on POSIX, the UTF-16 command line on Windows
// (argv there is in the ANSI code page and loses characters).
std::vector<std::string> commandLineArguments(int argc, char** argv);

// At most `size` bytes of standard input, as bytes; 0 at its end, -1 (and ec) on failure.
// Interrupted reads are repeated.
long readStandardInput(void* data, std::size_t size, std::error_code& ec);

// Writes text to standard error with no buffering and no lock, from a signal handler too.
void writeErrorNow(std::string_view text);

// A termination request runs `cleanUp`, then ends the process as the request does (by the
// signal on POSIX, with status 130 on Windows). `cleanUp` runs in a signal handler on POSIX and
// on a thread of its own on Windows: it may only do what is safe there.
void endOnTermination(void (*cleanUp)());
// The next Ctrl+C calls `interrupted` instead (in the same restricted way) and the process goes
// on; the Ctrl+C after it ends the process as endOnTermination says.
void catchNextInterrupt(void (*interrupted)());
// Ctrl+C ends the process again, as endOnTermination says.
void endOnInterrupt();

// For an event loop that ends the run itself: from now on a termination request does not end
// the process but makes this handle ready (a socket descriptor on POSIX, for a socket notifier;
// an event HANDLE on Windows, for an event notifier). -1 when it cannot be made. Once the loop has
// seen it, clearTerminationRequests() makes it quiet again.
std::intptr_t watchTerminationRequests();
void clearTerminationRequests();

}  // namespace kbcfg::platform
