#include "sim_system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace vyxsim::sys {

namespace {

// Reads what is left of an opened file, one byte more than allowed telling a file that grew past
// the limit from one that fits. `readSome` reads at most n bytes into p: the count, 0 at the
// end, -1 on an error (with the reason in `error`).
template <typename ReadSome>
bool readAll(std::uint64_t size, std::size_t limit, ReadSome readSome,
             std::vector<std::uint8_t>& out, std::string& error) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(size, limit)) +
                                    1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const long long n = readSome(bytes.data() + got, bytes.size() - got);
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
        if (got == bytes.size() && got <= limit) bytes.resize(std::min(2 * got, limit + 1));
    }
    if (got > limit) {
        error = "larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    bytes.resize(got);
    out = std::move(bytes);
    return true;
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string systemMessage(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

bool readRegularFile(const std::string& path, std::size_t limit, Links links,
                     std::vector<std::uint8_t>& out, std::string& error, bool* missing) {
    if (missing) *missing = false;
    // A reparse point (symbolic link, junction) is opened itself, not what it points to.
    const DWORD flags = links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0;
    Handle f{CreateFileW(wide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, flags, nullptr)};
    if (f.h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (missing) *missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        error = systemMessage(code);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(f.h) != FILE_TYPE_DISK || !GetFileInformationByHandle(f.h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        error = "not a regular file";
        return false;
    }
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    auto readSome = [&](std::uint8_t* p, std::size_t n) -> long long {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
        if (!ReadFile(f.h, p, chunk, &done, nullptr)) {
            error = systemMessage(GetLastError());
            return -1;
        }
        return done;
    };
    return readAll(size, limit, readSome, out, error);
}

bool replaceFile(const std::string& folder, const std::string& name,
                 const std::vector<std::uint8_t>& bytes) {
    // The folder inherits the access of the one it is made in.
    const std::wstring dir = wide(folder);
    if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    static std::atomic<unsigned> counter{std::random_device{}()};
    std::wstring temp;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temp = wide(folder + "/." + name + "." + std::to_string(counter++));
        h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(h, bytes.data() + done, chunk, &n, nullptr) || n == 0) break;
        done += n;
    }
    bool ok = done == bytes.size() && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    ok = ok && MoveFileExW(temp.c_str(), wide(folder + "/" + name).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

Stamp stampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data))
        return {};
    const auto time = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    return {
        static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow),
        static_cast<std::int64_t>(time * 100)};
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return _wfopen(wide(path).c_str(), wide(mode).c_str());
}

std::string environment(const char* name) {
    const wchar_t* value = _wgetenv(wide(name).c_str());
    if (!value) return {};
    const std::u8string text = std::filesystem::path(value).u8string();
    return std::string(text.begin(), text.end());
}

#else

bool readRegularFile(const std::string& path, std::size_t limit, Links links,
                     std::vector<std::uint8_t>& out, std::string& error, bool* missing) {
    if (missing) *missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC |
                                            (links == Links::Refuse ? O_NOFOLLOW : 0));
    if (fd < 0) {
        if (missing) *missing = errno == ENOENT;
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        ok = false;
    }
    auto readSome = [&](std::uint8_t* p, std::size_t n) -> long long {
        for (;;) {
            const ssize_t got = ::read(fd, p, n);
            if (got >= 0) return got;
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return -1;
        }
    };
    ok = ok && readAll(static_cast<std::uint64_t>(st.st_size), limit, readSome, out, error);
    ::close(fd);
    return ok;
}

bool replaceFile(const std::string& folder, const std::string& name,
                 const std::vector<std::uint8_t>& bytes) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    std::string temp = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // created 0600
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == bytes.size() && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), (folder + "/" + name).c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

Stamp stampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
    return {st.st_size, std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

#endif

}  // namespace vyxsim::sys
