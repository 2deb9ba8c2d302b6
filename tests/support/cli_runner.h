#pragma once
// Runs the built kbcfg (KBCFG_CLI_PATH) and captures what it prints and its exit status.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"

extern char** environ;

namespace kbcfg::testing {

namespace fs = std::filesystem;

// Every program the tests start prints the English messages, whatever the machine's locale;
// a test of the other language sets KBCFG_LANG itself and puts it back.
inline const bool kEnglishMessages = setenv("KBCFG_LANG", "en", 1) == 0;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts argv[0] with stdin from /dev/null, stdout into `out` and stderr into `err` (or the
// caller's own stderr when `err` is empty). The pid, or -1.
inline pid_t spawnProgram(const std::vector<std::string>& args, const fs::path& out,
                          const fs::path& err = {}) {
    std::vector<std::string> argv = args;
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
    if (!err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// Runs kbcfg with stdin from /dev/null (so nothing is ever asked) and both outputs captured
// (stdout into stdoutTo instead, when given).
inline Result kbcfg(const std::vector<std::string>& args, const fs::path& stdoutTo = {}) {
    static TempDir capture;
    const fs::path outPath = stdoutTo.empty() ? capture / "stdout" : stdoutTo;
    const fs::path errPath = capture / "stderr";
    std::vector<std::string> argv = {KBCFG_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    Result r;
    const pid_t pid = spawnProgram(argv, outPath, errPath);
    if (pid < 0) {
        r.err = "spawn failed";
        return r;
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    // A crash shows as 128 + signal, never as one of the tool's own codes.
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    if (stdoutTo.empty()) r.out = readText(outPath);
    r.err = readText(errPath);
    return r;
}

}  // namespace kbcfg::testing
