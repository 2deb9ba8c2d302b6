#pragma once
// Runs the built kbcfg (KBCFG_CLI_PATH) and captures what it prints and its exit status.

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "support/env.h"
#include "support/temp_dir.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace kbcfg::testing {

namespace fs = std::filesystem;

// Every program the tests start prints the English messages, whatever the machine's locale;
// a test of the other language sets KBCFG_LANG itself and puts it back.
inline const bool kEnglishMessages = setEnv("KBCFG_LANG", "en");

#ifdef _WIN32
inline const fs::path kNullDevice = "NUL";
#else
inline const fs::path kNullDevice = "/dev/null";
#endif

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A started program: its process id, and on Windows the handle to wait on.
struct Child {
    long pid = -1;
#ifdef _WIN32
    HANDLE handle = nullptr;
#endif
    bool started() const {
        return pid > 0;
    }
};

#ifdef _WIN32
// One argument as the C runtime splits a command line: quoted when it has blanks or quotes,
// backslashes doubled only where a quote follows them.
inline std::wstring quoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// Text for the Windows API: UTF-8 in, UTF-16 out. A Unix absolute path (as the build names the
// program when Wine runs the tests) is seen through Wine's drive of the root.
inline std::wstring wideProgramText(const std::string& text) {
    std::wstring wide = fs::path(std::u8string(text.begin(), text.end())).wstring();
    if (!wide.empty() && wide[0] == L'/') {
        for (auto& c : wide)
            if (c == L'/') c = L'\\';
        wide = L"Z:" + wide;
    }
    return wide;
}
#endif

// Starts argv[0] with stdin from the null device, stdout into `out` and stderr into `err` (or the
// caller's own stderr when `err` is empty). Not started() on failure.
inline Child spawnProgram(const std::vector<std::string>& args, const fs::path& out,
                          const fs::path& err = {}) {
    Child child;
#ifdef _WIN32
    std::wstring commandLine;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring arg =
            i == 0 ? wideProgramText(args[i])
                   : fs::path(std::u8string(args[i].begin(), args[i].end())).wstring();
        commandLine += (i ? L" " : L"") + quoteArgument(arg);
    }
    // Inheritable handles go to every program started meanwhile: one start at a time.
    static std::mutex starting;
    const std::lock_guard<std::mutex> guard(starting);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto openFor = [&](const fs::path& p, bool write) {
        return CreateFileW(p.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE in = openFor(kNullDevice, false), outHandle = openFor(out, true);
    HANDLE errHandle = err.empty() ? GetStdHandle(STD_ERROR_HANDLE) : openFor(err, true);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = outHandle;
    startup.hStdError = errHandle;
    PROCESS_INFORMATION process{};
    if (in != INVALID_HANDLE_VALUE && outHandle != INVALID_HANDLE_VALUE &&
        errHandle != INVALID_HANDLE_VALUE &&
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
        CloseHandle(process.hThread);
        child.pid = static_cast<long>(process.dwProcessId);
        child.handle = process.hProcess;
    }
    for (HANDLE h : {in, outHandle})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (!err.empty() && errHandle != INVALID_HANDLE_VALUE) CloseHandle(errHandle);
#else
    std::vector<std::string> argv = args;
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, kNullDevice.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
    if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc == 0) child.pid = pid;
#endif
    return child;
}

// Waits for the program to end: its exit status, 128 + the signal when it was killed (Windows has
// no signals: there the status it was ended with).
inline int waitFor(Child& child) {
#ifdef _WIN32
    DWORD code = 0;
    WaitForSingleObject(child.handle, INFINITE);
    GetExitCodeProcess(child.handle, &code);
    CloseHandle(child.handle);
    child.handle = nullptr;
    return static_cast<int>(code);
#else
    int status = 0;
    ::waitpid(static_cast<pid_t>(child.pid), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
}

// Ends the program at once, as SIGKILL does (TerminateProcess on Windows, with the status a
// killed program has on POSIX systems).
inline void killProgram(const Child& child) {
#ifdef _WIN32
    TerminateProcess(child.handle, 128 + 9);
#else
    ::kill(static_cast<pid_t>(child.pid), SIGKILL);
#endif
}

// One argument of a command line: text, or a path as its UTF-8 text (a path is wide on Windows).
struct Arg : std::string {
    Arg(std::string text) : std::string(std::move(text)) {}
    Arg(const char* text) : std::string(text) {}
    Arg(const fs::path& path) : std::string(platform::utf8(path)) {}
};

// Runs kbcfg with stdin from the null device (so nothing is ever asked) and both outputs captured
// (stdout into stdoutTo instead, when given).
inline Result kbcfg(const std::vector<std::string>& args, const fs::path& stdoutTo = {}) {
    static TempDir capture;
    const fs::path outPath = stdoutTo.empty() ? capture / "stdout" : stdoutTo;
    const fs::path errPath = capture / "stderr";
    std::vector<std::string> argv = {KBCFG_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    Result r;
    Child child = spawnProgram(argv, outPath, errPath);
    if (!child.started()) {
        r.err = "spawn failed";
        return r;
    }
    // A crash shows as 128 + signal, never as one of the tool's own codes.
    r.status = waitFor(child);
    if (stdoutTo.empty()) r.out = readText(outPath);
    r.err = readText(errPath);
    return r;
}
inline Result kbcfg(std::initializer_list<Arg> args, const fs::path& stdoutTo = {}) {
    return kbcfg(std::vector<std::string>(args.begin(), args.end()), stdoutTo);
}

}  // namespace kbcfg::testing
