#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kbcfg::platform {

long processId() {
    return static_cast<long>(::getpid());
}

bool processAlive(long pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool processRuns(long pid, const std::string& program) {
    if (!processAlive(pid)) return false;
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char comm[32] = {};
    const ssize_t n = ::read(fd, comm, sizeof comm - 1);
    ::close(fd);
    if (n <= 0) return true;
    std::string name(comm, static_cast<std::size_t>(n));
    if (name.ends_with('\n')) name.pop_back();
    constexpr std::size_t kCommChars = 15;  // what the system keeps of a program's name
    return name.size() < kCommChars ? program == name : program.substr(0, kCommChars) == name;
}

std::string programName() {
    return program_invocation_short_name;
}

}  // namespace kbcfg::platform
