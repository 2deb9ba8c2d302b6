#include "store/config_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store/file_owner.h"
#include "store/printable.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

constexpr off_t kMaxLockFileSize = 4096;  // a lock file only ever holds one short line
constexpr int kAttempts = 8;

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What a lock file is judged against: the configuration file, or, while it does not exist yet,
// the folder it will be made in.
struct Subject {
    fs::path config;
    struct stat st {};
    bool known = false;
};

Subject subjectOf(const fs::path& target) {
    Subject subject{target};
    subject.known = ::stat(target.c_str(), &subject.st) == 0;
    if (!subject.known) {
        fs::path folder = target.parent_path();
        if (folder.empty()) folder = ".";
        subject.known = ::stat(folder.c_str(), &subject.st) == 0;
    }
    return subject;
}

// Only someone who may change the configuration file may stop others from changing it.
bool ownerTrusted(const struct stat& lock, const Subject& subject) {
    return lock.st_uid == ::geteuid() || (subject.known && userMayWrite(lock.st_uid, subject.st));
}

// A lock file as this tool makes them: one regular file of a trusted owner.
bool trustworthy(const struct stat& lock, const Subject& subject) {
    return S_ISREG(lock.st_mode) && lock.st_nlink == 1 && lock.st_size <= kMaxLockFileSize &&
           ownerTrusted(lock, subject);
}

// Whether the process exists and, where the system tells, runs the program the line names.
bool processRuns(long pid, const std::string& program) {
    if (pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)) return false;
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

// Who holds the lock, from the line the holder wrote ("PID PROGRAM"), believed only as far as it
// can be checked: the process must exist.
std::string holderOf(int fd, const struct stat& lock, const fs::path& configPath,
                     const fs::path& lockPath) {
    char text[256] = {};
    const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
    std::string line = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    line = line.substr(0, line.find('\n'));
    const auto space = line.find(' ');
    const std::string pid = line.substr(0, space);
    const bool numeric =
        !pid.empty() && pid.size() < 10 && pid.find_first_not_of("0123456789") == std::string::npos;
    const std::string user =
        lock.st_uid == ::geteuid() ? std::string() : " of user " + printable(userName(lock.st_uid));
    const std::string file = printable(configPath.string());
    const std::string program = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!numeric || !processRuns(std::stol(pid), program))
        return file + " is being edited by another program" + user + "; its lock file " +
               printable(lockPath.string()) + " names no running process and is not trusted.";
    std::string who = "process " + pid;
    if (!program.empty()) who += " (" + printable(program.substr(0, 64)) + ")";
    return file + " is being edited by " + who + user + ".";
}

std::string untrustedText(const struct stat& lock, const fs::path& lockPath,
                          const fs::path& configPath) {
    return printable(lockPath.string()) + " belongs to user " + printable(userName(lock.st_uid)) +
           ", who may not write " + printable(configPath.string()) +
           "; it is not trusted. It can be removed (by its owner or root) to edit the file.";
}

// Gets a lock file that is not to be trusted out of the way. False when this user cannot.
bool removeUntrusted(const fs::path& lock, const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return ::rmdir(lock.c_str()) == 0;
    return ::unlink(lock.c_str()) == 0;
}

// A new lock file may be opened by those who may write the configuration file and nobody else:
// its owner, and its group when the group may write it.
void shareWithWriters(int fd, const Subject& subject) {
    if (!subject.known || !S_ISREG(subject.st.st_mode) || !(subject.st.st_mode & S_IWGRP)) return;
    if (::fchown(fd, static_cast<uid_t>(-1), subject.st.st_gid) == 0) ::fchmod(fd, 0660);
}

// Why an existing lock file could not be opened (error: the open's errno, st: what is there).
std::string cannotOpenText(int error, const struct stat& st, const Subject& subject,
                           const fs::path& lock, const std::string& configText) {
    if (error == EACCES && trustworthy(st, subject)) {
        // A lock file of someone else who may write the file, closed to this user.
        return configText + " is being edited by user " + printable(userName(st.st_uid)) +
               " (lock file " + printable(lock.string()) +
               "); if nobody is editing it, the lock file can be removed.";
    }
    if (error == ELOOP || error == EACCES || error == EISDIR)
        return printable(lock.string()) + " is not a lock file of this tool; remove it to edit " +
               configText + ".";
    return "Cannot create the lock file " + printable(lock.string()) + ": " + std::strerror(error);
}

// "PID PROGRAM", for whoever finds the file locked.
void writeHolderLine(int fd) {
    const std::string line =
        std::to_string(::getpid()) + " " + program_invocation_short_name + "\n";
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
        // The lock holds all the same; only the holder's name is missing.
    }
}

}  // namespace

fs::path lockPathFor(const fs::path& configPath) {
    fs::path folder = configPath.parent_path();
    if (folder.empty()) folder = ".";
    return folder / nameWithin(".", configPath.filename().string(), ".kbcfg-lock");
}

std::unique_ptr<ConfigLock> ConfigLock::acquire(const fs::path& configPath, std::string& why) {
    const fs::path target = followLinks(configPath);
    const fs::path lock = lockPathFor(target);
    removeStaleTemporaries(lock.parent_path());
    const Subject subject = subjectOf(target);
    const std::string configText = printable(configPath.string());

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // What is there before it is opened: an entry of another user that may not write the
        // configuration is never opened, whatever it is.
        struct stat before {};
        if (::lstat(lock.c_str(), &before) == 0 && !ownerTrusted(before, subject)) {
            if (removeUntrusted(lock, before)) continue;
            why = untrustedText(before, lock, configPath);
            return nullptr;
        }
        bool created = false;
        int fd = ::open(lock.c_str(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY,
                        0600);
        if (fd >= 0) {
            created = true;
        } else if (errno == EEXIST) {
            fd = ::open(lock.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (fd < 0 && errno == ENOENT) continue;  // its holder has just removed it
        }
        if (fd < 0) {
            const int error = errno;
            struct stat st {};
            if (::lstat(lock.c_str(), &st) != 0) continue;
            why = cannotOpenText(error, st, subject, lock, configText);
            return nullptr;
        }
        struct stat opened {};
        // Never write into anything but a lock file of our own making (not a hard link to the
        // configuration file, not a device). No link at all means the holder before us has just
        // removed it: the check after locking sends us round again.
        if (::fstat(fd, &opened) != 0 || !trustworthy(opened, subject)) {
            const bool replaced = opened.st_nlink == 0;
            ::close(fd);
            if (replaced) continue;
            // Planted between the look and the open: dealt with as above, the next time round.
            if (!ownerTrusted(opened, subject)) continue;
            why = printable(lock.string()) +
                  " is not a lock file of this tool; remove it to edit " + configText + ".";
            return nullptr;
        }
        if (created) shareWithWriters(fd, subject);
        struct flock request {};
        request.l_type = F_WRLCK;
        request.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &request) != 0) {
            const int error = errno;
            why = error == EAGAIN || error == EACCES
                      ? holderOf(fd, opened, configPath, lock)
                      : "Cannot lock " + printable(lock.string()) + ": " + std::strerror(error);
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
        writeHolderLine(fd);
        return std::unique_ptr<ConfigLock>(new ConfigLock(lock, fd));
    }
    why = "Cannot lock " + printable(lock.string()) + ": it keeps changing.";
    return nullptr;
}

ConfigLock::ConfigLock(fs::path lockPath, int fd)
    : lockPath_(std::move(lockPath)), fd_(fd), removal_(removeOnSignal(lockPath_.string())) {}

ConfigLock::~ConfigLock() {
    keepOnSignal(removal_);
    struct stat opened {
    }, current{};
    if (::fstat(fd_, &opened) == 0 && ::lstat(lockPath_.c_str(), &current) == 0 &&
        sameFile(opened, current))
        ::unlink(lockPath_.c_str());
    ::close(fd_);
}

}  // namespace kbcfg::store
