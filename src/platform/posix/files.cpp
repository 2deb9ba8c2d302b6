#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace kbcfg::platform {

namespace fs = std::filesystem;

namespace {

int fdOf(const File& file) {
    return static_cast<int>(file.native());
}

bool failed(std::error_code& ec) {
    ec = lastError();
    return false;
}

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

FileInfo infoFrom(const struct stat& st) {
    FileInfo info;
    info.kind = S_ISREG(st.st_mode)   ? FileKind::Regular
                : S_ISDIR(st.st_mode) ? FileKind::Folder
                : S_ISLNK(st.st_mode) ? FileKind::Link
                                      : FileKind::Other;
    info.device = static_cast<std::uint64_t>(st.st_dev);
    info.inode = static_cast<std::uint64_t>(st.st_ino);
    info.size = static_cast<std::uint64_t>(st.st_size);
    info.modifiedNs = nanoseconds(st.st_mtim);
    info.changedNs = nanoseconds(st.st_ctim);
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    info.owner = UserId{std::to_string(st.st_uid)};
    info.protection.owner = st.st_uid;
    info.protection.group = st.st_gid;
    info.protection.mode = st.st_mode & 07777;
    info.protection.known = true;
    return info;
}

File opened(int fd, std::error_code& ec) {
    if (fd < 0) {
        ec = lastError();
        return {};
    }
    ec.clear();
    return File(fd);
}

// The bytes a read or write call moved, the call repeated while a signal interrupts it; -1 with
// `ec` set when it fails.
template <typename Call>
long transferred(Call call, std::error_code& ec) {
    for (;;) {
        const ssize_t n = call();
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) {
            ec = lastError();
            return -1;
        }
    }
}

}  // namespace

bool File::close() noexcept {
    if (native_ == kInvalid) return true;
    const int fd = static_cast<int>(native_);
    native_ = kInvalid;
    return ::close(fd) == 0;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::optional<FileInfo> fileInfo(const fs::path& path, Links links, std::error_code& ec) {
    struct stat st {};
    const int result =
        links == Links::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (result != 0) {
        ec = lastError();
        return std::nullopt;
    }
    ec.clear();
    return infoFrom(st);
}

std::optional<FileInfo> fileInfo(const File& file, std::error_code& ec) {
    struct stat st {};
    if (::fstat(fdOf(file), &st) != 0) {
        ec = lastError();
        return std::nullopt;
    }
    ec.clear();
    return infoFrom(st);
}

File openForReading(const fs::path& path, Links links, std::error_code& ec) {
    const int flags =
        O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (links == Links::NoFollow ? O_NOFOLLOW : 0);
    return opened(::open(path.c_str(), flags), ec);
}

File openFolder(const fs::path& path, std::error_code& ec) {
    return opened(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), ec);
}

File openForWriting(const fs::path& path, Create create, std::error_code& ec) {
    int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (create == Create::New) flags |= O_CREAT | O_EXCL;
    if (create == Create::IfMissing) flags |= O_CREAT;
    return opened(::open(path.c_str(), flags, 0600), ec);
}

File createUnique(const fs::path& prefix, fs::path& made, std::error_code& ec) {
    std::string pattern = prefix.native() + "XXXXXX";
    // mkostemp creates the file 0600: nobody else can read the content before it is complete.
    File file = opened(::mkostemp(pattern.data(), O_CLOEXEC), ec);
    if (file.valid()) made = pattern;
    return file;
}

std::optional<fs::path> createUniqueFolder(const fs::path& prefix, std::error_code& ec) {
    std::string pattern = prefix.native() + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        ec = lastError();
        return std::nullopt;
    }
    ec.clear();
    return fs::path(pattern);
}

long read(File& file, void* data, std::size_t size, std::error_code& ec) {
    return transferred([&] { return ::read(fdOf(file), data, size); }, ec);
}

long readAt(File& file, void* data, std::size_t size, std::uint64_t offset, std::error_code& ec) {
    return transferred([&] { return ::pread(fdOf(file), data, size, static_cast<off_t>(offset)); },
                       ec);
}

long write(File& file, const void* data, std::size_t size, std::error_code& ec) {
    return transferred([&] { return ::write(fdOf(file), data, size); }, ec);
}

bool writeAt(File& file, const void* data, std::size_t size, std::uint64_t offset,
             std::error_code& ec) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fdOf(file), bytes, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return failed(ec);
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool truncate(File& file, std::uint64_t size, std::error_code& ec) {
    return ::ftruncate(fdOf(file), static_cast<off_t>(size)) == 0 || failed(ec);
}

bool flush(File& file, std::error_code& ec) {
    return ::fsync(fdOf(file)) == 0 || failed(ec);
}

bool flushFolder(const fs::path& folder, std::error_code& ec) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno == EACCES || failed(ec);
    const bool synced = ::fsync(fd) == 0 || failed(ec);
    ::close(fd);
    return synced;
}

bool replaceFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
    return ::rename(from.c_str(), to.c_str()) == 0 || failed(ec);
}

bool removeFile(const fs::path& path, std::error_code& ec) {
    return ::unlink(path.c_str()) == 0 || failed(ec);
}

void removeFileNow(const fs::path::value_type* path) noexcept {
    const int saved = errno;  // a signal handler leaves errno as it found it
    ::unlink(path);
    errno = saved;
}

bool removeFolder(const fs::path& path, std::error_code& ec) {
    return ::rmdir(path.c_str()) == 0 || failed(ec);
}

bool makeFolder(const fs::path& path, FolderAccess access, std::error_code& ec) {
    const mode_t mode = access == FolderAccess::Private ? 0700 : 0755;
    return ::mkdir(path.c_str(), mode) == 0 || failed(ec);
}

bool makeFolderFor(const fs::path& path, const Protection& readersLike, std::error_code& ec) {
    const mode_t mode = 0700 | ((readersLike.mode & S_IRGRP) ? 0050 : 0) |
                        ((readersLike.mode & S_IROTH) ? 0005 : 0);
    return ::mkdir(path.c_str(), mode) == 0 || failed(ec);
}

bool giveFileTo(File& file, const Protection& owner, std::error_code& ec) {
    return ::fchown(fdOf(file), static_cast<uid_t>(owner.owner), static_cast<gid_t>(owner.group)) ==
               0 ||
           failed(ec);
}

std::optional<std::vector<std::string>> folderEntries(const fs::path& folder, std::error_code& ec) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        ec = lastError();
        return std::nullopt;
    }
    ec.clear();
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

LockResult lockExclusive(File& file, std::error_code& ec) {
    // An open file description lock: tied to this open file, not to the process, so that two
    // sessions of one process exclude each other too.
    struct flock request {};
    request.l_type = F_WRLCK;
    request.l_whence = SEEK_SET;
    if (::fcntl(fdOf(file), F_OFD_SETLK, &request) == 0) return LockResult::Locked;
    ec = lastError();
    return errno == EAGAIN || errno == EACCES ? LockResult::Busy : LockResult::Failed;
}

}  // namespace kbcfg::platform
