#include "store/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string_view>
#include <system_error>

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

WriteCalls g_systemCalls;
std::atomic<WriteCalls*> g_writeCalls{&g_systemCalls};

// Temporary files are named ".NAME.kbcfg-PID-XXXXXX", so that a later run can tell its own
// leftovers from everything else in the folder and knows whether their writer is still alive.
constexpr std::string_view kTempMarker = ".kbcfg-";
constexpr std::size_t kMaxNameInTemp = 80;  // keeps the temporary name within NAME_MAX

std::int64_t modifiedNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

FileIdentity identityFrom(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, modifiedNs(st)};
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    WriteCalls& calls = *g_writeCalls.load();
    while (size > 0) {
        const long n = calls.write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether this user may change the file in place. Root may write anything, but a file without
// any write bit was protected on purpose and is left alone.
bool mayWriteInPlace(const fs::path& path, const struct stat& st) {
    if (::geteuid() == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool processAlive(long pid) {
    if (pid <= 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The pid in a temporary name of ours, or -1 when the name is not one of ours.
long tempOwnerPid(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return -1;
    const auto marker = name.rfind(kTempMarker);
    if (marker == std::string_view::npos) return -1;
    std::string_view rest = name.substr(marker + kTempMarker.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || rest.size() - dash - 1 != 6) return -1;
    long pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9' || pid > 100'000'000) return -1;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// The temporary files being written, for removeTemporariesInFlight. A slot is claimed with its
// flag, filled, then published; a signal handler only reads published slots.
struct InFlight {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 published
    char path[4096] = {};
};
constexpr int kInFlightSlots = 32;
InFlight g_inFlight[kInFlightSlots];

int registerInFlight(const std::string& path) {
    if (path.size() >= sizeof(InFlight::path)) return -1;
    for (int i = 0; i < kInFlightSlots; ++i) {
        int expected = 0;
        if (!g_inFlight[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(g_inFlight[i].path, path.c_str(), path.size() + 1);
        g_inFlight[i].state.store(2);
        return i;
    }
    return -1;  // more writers at once than slots: the next writer clears a leftover
}

void unregisterInFlight(int slot) {
    if (slot >= 0) g_inFlight[slot].state.store(0);
}

}  // namespace

int removeOnSignal(const std::string& path) {
    return registerInFlight(path);
}

void keepOnSignal(int handle) {
    unregisterInFlight(handle);
}

void removeTemporariesInFlight() noexcept {
    for (InFlight& slot : g_inFlight)
        if (slot.state.load() == 2) ::unlink(slot.path);
}

long WriteCalls::write(int fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<long>(::write(fd, data, size));
}

int WriteCalls::syncFolder(int fd) {
    return ::fsync(fd);
}

WriteCalls* useWriteCalls(WriteCalls* calls) {
    return g_writeCalls.exchange(calls ? calls : &g_systemCalls);
}

fs::path followLinks(const fs::path& path) {
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::error_code ec;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return current;
}

std::optional<FileIdentity> identityOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return identityFrom(st);
}

AtomicFile::AtomicFile(const fs::path& target, LinkPolicy links, mode_t newFileMode)
    : target_(links == LinkPolicy::Follow ? followLinks(target) : target) {
    fs::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    if (target_.filename().empty()) {
        error_ = "not a file name";
        return;
    }

    struct stat st {};
    if (::lstat(target_.c_str(), &st) == 0) {
        if (S_ISREG(st.st_mode)) {
            if (!mayWriteInPlace(target_, st)) {
                error_ = "permission denied";
                return;
            }
            replacesExisting_ = true;
            owner_ = st.st_uid;
            group_ = st.st_gid;
            // Set-user and set-group bits are never carried over to a data file.
            mode_ = st.st_mode & 01777;
        } else if (!S_ISLNK(st.st_mode)) {
            error_ = "not a regular file";
            return;
        }
    } else if (errno != ENOENT) {
        error_ = std::strerror(errno);
        return;
    }
    if (!replacesExisting_) {
        // The mask is read by setting it: writers on other threads must not catch it at 0.
        static std::mutex umaskLock;
        std::lock_guard guard(umaskLock);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = newFileMode & 0777 & ~mask;
    }

    // A writer killed mid-save leaves its temporary file: the next writer here clears it away.
    removeStaleTemporaries(folder);
    const std::string name = target_.filename().string().substr(0, kMaxNameInTemp);
    std::string pattern =
        (folder / ("." + name + std::string(kTempMarker) + std::to_string(::getpid()) + "-XXXXXX"))
            .string();
    // mkostemp creates the file 0600: nobody else can read the content before it is complete.
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    temp_ = pattern;
    inFlightSlot_ = registerInFlight(pattern);
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    unregisterInFlight(inFlightSlot_);
    inFlightSlot_ = -1;
}

bool AtomicFile::fail(const char* what) {
    error_ = std::string(what) + ": " + std::strerror(errno);
    discard();
    return false;
}

void AtomicFile::giveNewFileTo(uid_t owner, gid_t group) {
    if (replacesExisting_) return;
    giveAway_ = true;
    owner_ = owner;
    group_ = group;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (fd_ < 0) return false;
    if (!writeAll(fd_, static_cast<const std::uint8_t*>(data), size)) return fail("write");
    return true;
}

bool AtomicFile::commit(FileIdentity* written) {
    if (fd_ < 0) return false;
    if ((replacesExisting_ || giveAway_) && ::fchown(fd_, owner_, group_) != 0) {
        // Only root may give a file away; another user with write access keeps the group at
        // least (and the file becomes his, as with any editor that saves by renaming).
        if (::fchown(fd_, static_cast<uid_t>(-1), group_) != 0 && errno != EPERM)
            return fail("chown");
    }
    if (::fchmod(fd_, mode_) != 0) return fail("chmod");
    if (::fsync(fd_) != 0) return fail("fsync");
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return fail("stat");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail("close");
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail("rename");
    temp_.clear();
    unregisterInFlight(inFlightSlot_);
    inFlightSlot_ = -1;
    if (written) *written = identityFrom(st);

    fs::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        // A folder we may write but not read cannot be flushed; the rename stands.
        if (errno == EACCES) return true;
        error_ = std::string("open folder: ") + std::strerror(errno);
        return false;
    }
    const bool synced = g_writeCalls.load()->syncFolder(dir) == 0;
    if (!synced) error_ = std::string("fsync folder: ") + std::strerror(errno);
    ::close(dir);
    return synced;
}

bool writeFileAtomically(const fs::path& path, const std::uint8_t* data, std::size_t size,
                         LinkPolicy links, FileIdentity* written, mode_t newFileMode) {
    AtomicFile file(path, links, newFileMode);
    return file.ok() && file.write(data, size) && file.commit(written);
}

namespace {
// Opens a regular file for reading without ever blocking on it.
int openRegular(const fs::path& path, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}
}  // namespace

namespace {
// Reads what is left of an opened regular file, at most maxBytes; closes it.
std::optional<std::vector<std::uint8_t>> readOpened(int fd, const struct stat& st,
                                                    std::size_t maxBytes) {
    std::vector<std::uint8_t> bytes(std::min(static_cast<std::size_t>(st.st_size), maxBytes));
    std::size_t got = 0;
    bool failed = false;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= maxBytes) break;
            // The file grew while it was read: read on in steps, up to the limit.
            bytes.resize(std::min(maxBytes, std::max<std::size_t>(bytes.size() * 2, 65536)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed = true;
            break;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed) return std::nullopt;
    bytes.resize(got);
    return bytes;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> readRegularFile(const fs::path& path, std::size_t maxBytes,
                                                         FileIdentity* identity) {
    struct stat st {};
    const int fd = openRegular(path, st);
    if (fd < 0) return std::nullopt;
    auto bytes = readOpened(fd, st, maxBytes);
    if (bytes && identity) *identity = identityFrom(st);
    return bytes;
}

std::optional<std::uintmax_t> regularFileSize(const fs::path& path) {
    struct stat st {};
    const int fd = openRegular(path, st);
    if (fd < 0) return std::nullopt;
    ::close(fd);
    return static_cast<std::uintmax_t>(st.st_size);
}

std::optional<std::vector<std::uint8_t>> readPrivateFile(const fs::path& path, std::size_t maxBytes,
                                                         std::string& why) {
    struct stat st {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (::fstat(fd, &st) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
    } else if ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid()) {
        why = "others may read or change it; it must be yours alone (chmod 600)";
    } else if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        why = "larger than " + std::to_string(maxBytes) + " bytes";
    } else if (auto bytes = readOpened(fd, st, maxBytes)) {
        return bytes;
    } else {
        why = std::strerror(errno);
        return std::nullopt;
    }
    ::close(fd);
    return std::nullopt;
}

bool copyFileAtomically(const fs::path& from, const fs::path& to, bool sameOwner) {
    struct stat st {};
    const int in = openRegular(from, st);
    if (in < 0) return false;
    AtomicFile out(to, LinkPolicy::Replace, st.st_mode);
    if (sameOwner) out.giveNewFileTo(st.st_uid, st.st_gid);
    std::vector<std::uint8_t> buffer(1 << 20);
    bool good = out.ok();
    while (good) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            good = n == 0;
            break;
        }
        good = out.write(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(in);
    return good && out.commit();
}

void removeStaleTemporaries(const fs::path& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    const int dfd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = tempOwnerPid(entry->d_name);
        if (pid < 0 || processAlive(pid)) continue;
        struct stat st {};
        if (::fstatat(dfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        ::unlinkat(dfd, entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace kbcfg::store
