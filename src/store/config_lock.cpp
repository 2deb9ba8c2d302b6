#include "store/config_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

constexpr off_t kMaxLockFileSize = 4096;  // a lock file only ever holds one short line
constexpr int kAttempts = 8;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Who holds the lock, from the line the holder wrote: "PID PROGRAM".
std::string holderOf(int fd, const fs::path& configPath) {
    char text[256] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    std::string line = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    line = line.substr(0, line.find('\n'));
    const auto space = line.find(' ');
    const std::string pid = line.substr(0, space);
    const bool numeric = !pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos;
    std::string who = "another program";
    if (numeric) {
        who = "process " + pid;
        if (space != std::string::npos && space + 1 < line.size())
            who += " (" + line.substr(space + 1) + ")";
    }
    return configPath.string() + " is being edited by " + who + ".";
}

bool lockHeld(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

}  // namespace

fs::path lockPathFor(const fs::path& configPath) {
    fs::path folder = configPath.parent_path();
    if (folder.empty()) folder = ".";
    return folder / ("." + configPath.filename().string() + ".kbcfg-lock");
}

std::unique_ptr<ConfigLock> ConfigLock::acquire(const fs::path& configPath, std::string& why) {
    const fs::path target = followLinks(configPath);
    const fs::path lock = lockPathFor(target);
    removeStaleTemporaries(lock.parent_path());

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const int fd = ::open(
            lock.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
        if (fd < 0) {
            if (errno == EACCES) {
                // Another user's lock file: held, or left behind by a session that was killed.
                const int probe =
                    ::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
                struct stat st {};
                if (probe >= 0 && ::fstat(probe, &st) == 0 && S_ISREG(st.st_mode) &&
                    lockHeld(probe)) {
                    why = holderOf(probe, configPath);
                    ::close(probe);
                    return nullptr;
                }
                if (probe >= 0) ::close(probe);
                if (::unlink(lock.c_str()) == 0) continue;
            }
            why = "Cannot create the lock file " + lock.string() + ": " + std::strerror(errno);
            return nullptr;
        }
        struct stat opened {};
        // Never write into anything but a lock file of our own making (not a hard link to the
        // configuration file, not a device). No link at all means the holder before us has just
        // removed it: the check after locking sends us round again.
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_nlink > 1 ||
            opened.st_size > kMaxLockFileSize) {
            ::close(fd);
            why = lock.string() + " is not a lock file of this tool; remove it to edit " +
                  configPath.string() + ".";
            return nullptr;
        }
        struct flock request {};
        request.l_type = F_WRLCK;
        request.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &request) != 0) {
            const int error = errno;
            why = error == EAGAIN || error == EACCES
                      ? holderOf(fd, configPath)
                      : "Cannot lock " + lock.string() + ": " + std::strerror(error);
            ::close(fd);
            return nullptr;
        }
        // The holder before us may have removed the file between our open and our lock: the lock
        // counts only on the file that is still there.
        struct stat current {};
        if (::lstat(lock.c_str(), &current) != 0 || !sameFile(current, opened)) {
            ::close(fd);
            continue;
        }
        const std::string line =
            std::to_string(::getpid()) + " " + program_invocation_short_name + "\n";
        if (::ftruncate(fd, 0) != 0 ||
            ::pwrite(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
            // The lock holds all the same; only the holder's name is missing.
        }
        return std::unique_ptr<ConfigLock>(new ConfigLock(lock, fd));
    }
    why = "Cannot lock " + lock.string() + ": it keeps changing.";
    return nullptr;
}

ConfigLock::~ConfigLock() {
    struct stat opened {
    }, current{};
    if (::fstat(fd_, &opened) == 0 && ::lstat(lockPath_.c_str(), &current) == 0 &&
        sameFile(opened, current))
        ::unlink(lockPath_.c_str());
    ::close(fd_);
}

}  // namespace kbcfg::store
