#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/windows/win32.h"

namespace kbcfg::platform {

namespace fs = std::filesystem;
using win::handleOf;
using win::nativePath;

namespace {

// Every open shares reading, writing and deleting: a reader never blocks a replace or the
// removal of a lock file, as on POSIX systems.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The byte the one-writer lock takes, far beyond the end of any lock file: Windows locks are
// mandatory, and whoever finds the file locked must still read the holder's line at its start.
constexpr std::uint64_t kLockOffset = std::uint64_t{1} << 40;

// FileRenameInfoEx, which the headers declare only for Windows 10 1607 and later; older systems
// refuse it with ERROR_INVALID_PARAMETER.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// Windows reads and writes at most a DWORD at once.
constexpr std::size_t kMaxTransfer = std::size_t{1} << 30;

// 100 ns intervals from 1601 to 1970.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

bool failed(std::error_code& ec) {
    ec = lastError();
    return false;
}

std::int64_t nanoseconds(std::int64_t fileTime) {
    return (fileTime - kEpochDifference) * 100;
}

std::int64_t nanoseconds(const FILETIME& t) {
    return nanoseconds(static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime));
}

File opened(HANDLE handle, std::error_code& ec) {
    if (handle == INVALID_HANDLE_VALUE) {
        ec = lastError();
        return {};
    }
    ec.clear();
    return File(reinterpret_cast<File::Native>(handle));
}

DWORD attributesOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION data{};
    return ::GetFileInformationByHandle(handle, &data) ? data.dwFileAttributes
                                                       : INVALID_FILE_ATTRIBUTES;
}

bool isReparsePoint(HANDLE handle) {
    const DWORD attributes = attributesOf(handle);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// An open that landed on a reparse point where links are refused is undone.
File refuseReparsePoint(File file, std::error_code& ec) {
    if (file.valid() && isReparsePoint(handleOf(file))) {
        ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
        return {};
    }
    return file;
}

struct SecurityAttributes {
    std::vector<std::uint8_t> descriptor;
    SECURITY_ATTRIBUTES attributes{};

    explicit SecurityAttributes(std::vector<std::uint8_t> sd) : descriptor(std::move(sd)) {
        attributes.nLength = sizeof attributes;
        attributes.lpSecurityDescriptor = descriptor.empty() ? nullptr : descriptor.data();
        attributes.bInheritHandle = FALSE;
    }
    SECURITY_ATTRIBUTES* get() { return descriptor.empty() ? nullptr : &attributes; }
};

// A private file or folder is made with its descriptor or not at all: never readable by others
// for a moment.
bool missing(const SecurityAttributes& security, std::error_code& ec) {
    if (!security.descriptor.empty()) return false;
    ec = lastError();
    if (!ec) ec = std::make_error_code(std::errc::io_error);
    return true;
}

// Six characters that nobody can guess, for a unique name.
std::wstring randomSuffix() {
    static constexpr wchar_t kCharacters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(),
                           device(),
                           device(),
                           device(),
                           static_cast<unsigned>(::GetCurrentProcessId()),
                           static_cast<unsigned>(::GetTickCount64())};
        return std::mt19937_64(seed);
    }();
    std::uniform_int_distribution<int> pick(0, 35);
    std::wstring suffix(6, L'a');
    for (wchar_t& c : suffix) c = kCharacters[pick(generator)];
    return suffix;
}

// Calls `step` with the file's position kept: pread and pwrite leave it alone, ReadFile and
// WriteFile at an offset move it.
template <typename Step>
bool atOffsetKeepingPosition(HANDLE handle, Step step) {
    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(handle, zero, &position, FILE_CURRENT)) return false;
    const bool done = step();
    const DWORD error = ::GetLastError();
    ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    ::SetLastError(error);
    return done;
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

bool endOfInput(DWORD error) {
    return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE;
}

}  // namespace

bool File::close() noexcept {
    if (native_ == kInvalid) return true;
    const HANDLE handle = reinterpret_cast<HANDLE>(native_);
    native_ = kInvalid;
    return ::CloseHandle(handle) != 0;
}

std::error_code lastError() {
    const DWORD code = ::GetLastError();
    // A C library call that failed without a system call behind it only set errno.
    if (code == ERROR_SUCCESS && errno != 0) return {errno, std::generic_category()};
    // Asked after a failure that left no trace, it is still a failure.
    if (code == ERROR_SUCCESS) return std::make_error_code(std::errc::io_error);
    return win::errorFrom(code);
}

std::optional<FileInfo> fileInfo(const fs::path& path, Links links, std::error_code& ec) {
    const std::wstring name = nativePath(path);
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (links == Links::NoFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE handle = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES | READ_CONTROL, kShareAll,
                                  nullptr, OPEN_EXISTING, flags, nullptr);
    // Without the right to read its permissions, what the file is can still be told.
    if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED)
        handle = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, flags, nullptr);
    const File file = opened(handle, ec);
    if (!file.valid()) return std::nullopt;
    return fileInfo(file, ec);
}

std::optional<FileInfo> fileInfo(const File& file, std::error_code& ec) {
    const HANDLE handle = handleOf(file);
    FileInfo info;
    // GetFileType leaves the last error alone when it succeeds on an unknown type.
    ::SetLastError(NO_ERROR);
    const DWORD type = ::GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
        if (type == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR) {
            ec = lastError();
            return std::nullopt;
        }
        // A pipe, a console, a device: nothing of it is a file.
        ec.clear();
        info.kind = FileKind::Other;
        return info;
    }
    BY_HANDLE_FILE_INFORMATION data{};
    if (!::GetFileInformationByHandle(handle, &data)) {
        ec = lastError();
        return std::nullopt;
    }
    // A handle shows a reparse point only when it was opened as one (links not followed).
    info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FileKind::Link
                : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)   ? FileKind::Folder
                                                                       : FileKind::Regular;
    info.device = data.dwVolumeSerialNumber;
    info.inode = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.modifiedNs = nanoseconds(data.ftLastWriteTime);
    info.changedNs = info.modifiedNs;
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) &&
        basic.ChangeTime.QuadPart != 0)
        info.changedNs = nanoseconds(basic.ChangeTime.QuadPart);
    info.links = data.nNumberOfLinks;
    // A file removed while open keeps its name until the last handle goes: it has no link left
    // that counts.
    FILE_STANDARD_INFO standard{};
    if (::GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) &&
        standard.DeletePending)
        info.links = 0;

    info.protection.descriptor = win::descriptorOf(handle);
    if (!info.protection.descriptor.empty()) {
        info.protection.known = true;
        PSID owner = nullptr;
        BOOL defaulted = FALSE;
        if (::GetSecurityDescriptorOwner(info.protection.descriptor.data(), &owner, &defaulted) &&
            owner)
            info.owner = UserId{win::sidText(owner)};
    }
    ec.clear();
    return info;
}

File openForReading(const fs::path& path, Links links, std::error_code& ec) {
    // Backup semantics lets a folder be opened too, as open(2) does; the caller checks the kind.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (links == Links::NoFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    File file = opened(::CreateFileW(nativePath(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                     OPEN_EXISTING, flags, nullptr),
                       ec);
    return links == Links::NoFollow ? refuseReparsePoint(std::move(file), ec) : std::move(file);
}

File openFolder(const fs::path& path, std::error_code& ec) {
    File folder =
        opened(::CreateFileW(nativePath(path).c_str(),
                             FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY | READ_CONTROL, kShareAll,
                             nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
               ec);
    folder = refuseReparsePoint(std::move(folder), ec);
    if (folder.valid() && !(attributesOf(handleOf(folder)) & FILE_ATTRIBUTE_DIRECTORY)) {
        ec = std::make_error_code(std::errc::not_a_directory);
        return {};
    }
    return folder;
}

File openForWriting(const fs::path& path, Create create, std::error_code& ec) {
    const DWORD disposition = create == Create::New         ? CREATE_NEW
                              : create == Create::IfMissing ? OPEN_ALWAYS
                                                            : OPEN_EXISTING;
    SecurityAttributes security(create == Create::No ? std::vector<std::uint8_t>()
                                                     : win::privateDescriptor(false, {}));
    if (create != Create::No && missing(security, ec)) return {};
    const std::wstring name = nativePath(path);
    File file = opened(
        ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, security.get(),
                      disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr),
        ec);
    if (!file.valid() && ec == std::errc::permission_denied) {
        // Windows denies the open of a folder; POSIX systems say what it is.
        const DWORD attributes = ::GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ec = std::make_error_code(std::errc::is_a_directory);
    }
    return refuseReparsePoint(std::move(file), ec);
}

File createUnique(const fs::path& prefix, fs::path& made, std::error_code& ec) {
    // Created with an owner-only ACL: nobody else can read the content before it is complete.
    SecurityAttributes security(win::privateDescriptor(false, {}));
    if (missing(security, ec)) return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = prefix.native() + randomSuffix();
        File file = opened(
            ::CreateFileW(nativePath(candidate).c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                          security.get(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
            ec);
        if (file.valid()) {
            made = candidate;
            return file;
        }
        if (ec != std::errc::file_exists) return {};
    }
    return {};
}

std::optional<fs::path> createUniqueFolder(const fs::path& prefix, std::error_code& ec) {
    SecurityAttributes security(win::privateDescriptor(true, {}));
    if (missing(security, ec)) return std::nullopt;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = prefix.native() + randomSuffix();
        if (::CreateDirectoryW(nativePath(candidate).c_str(), security.get())) {
            ec.clear();
            return candidate;
        }
        ec = lastError();
        if (ec != std::errc::file_exists) return std::nullopt;
    }
    return std::nullopt;
}

long read(File& file, void* data, std::size_t size, std::error_code& ec) {
    DWORD done = 0;
    if (::ReadFile(handleOf(file), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done,
                   nullptr))
        return static_cast<long>(done);
    if (endOfInput(::GetLastError())) return 0;
    ec = lastError();
    return -1;
}

long readAt(File& file, void* data, std::size_t size, std::uint64_t offset, std::error_code& ec) {
    const HANDLE handle = handleOf(file);
    DWORD done = 0;
    OVERLAPPED overlapped = at(offset);
    const bool read = atOffsetKeepingPosition(handle, [&] {
        return ::ReadFile(handle, data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done,
                          &overlapped) != 0;
    });
    if (read) return static_cast<long>(done);
    if (endOfInput(::GetLastError())) return 0;
    ec = lastError();
    return -1;
}

long write(File& file, const void* data, std::size_t size, std::error_code& ec) {
    DWORD done = 0;
    if (::WriteFile(handleOf(file), data, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done,
                    nullptr))
        return static_cast<long>(done);
    ec = lastError();
    return -1;
}

bool writeAt(File& file, const void* data, std::size_t size, std::uint64_t offset,
             std::error_code& ec) {
    const HANDLE handle = handleOf(file);
    const char* bytes = static_cast<const char*>(data);
    const bool written = atOffsetKeepingPosition(handle, [&] {
        while (size > 0) {
            DWORD done = 0;
            OVERLAPPED overlapped = at(offset);
            if (!::WriteFile(handle, bytes, static_cast<DWORD>(std::min(size, kMaxTransfer)), &done,
                             &overlapped))
                return false;
            if (done == 0) {
                ::SetLastError(ERROR_WRITE_FAULT);
                return false;
            }
            bytes += done;
            size -= done;
            offset += done;
        }
        return true;
    });
    return written || failed(ec);
}

bool truncate(File& file, std::uint64_t size, std::error_code& ec) {
    // Unlike SetEndOfFile, this leaves the file's position where it is, as ftruncate does.
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(handleOf(file), FileEndOfFileInfo, &end, sizeof end) ||
           failed(ec);
}

bool flush(File& file, std::error_code& ec) {
    return ::FlushFileBuffers(handleOf(file)) || failed(ec);
}

bool flushFolder(const fs::path&, std::error_code& ec) {
    // Windows has no such thing: a rename made with MOVEFILE_WRITE_THROUGH is on the disk.
    ec.clear();
    return true;
}

namespace {

// Renames over the target the way POSIX systems do: a reader that has the target open keeps
// reading the old file, and the rename succeeds (Windows 10 1607 and later, on NTFS). Plain
// renames are refused while anybody has the target open, sharing or not.
bool renameOverOpenTarget(const std::wstring& source, const std::wstring& target, DWORD& error) {
    const HANDLE handle = ::CreateFileW(source.c_str(), DELETE | SYNCHRONIZE, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    // The flags share their place with ReplaceIfExists, which is all the headers show for the
    // Windows version this is built for.
    const DWORD flags = FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS;
    std::memcpy(buffer.data(), &flags, sizeof flags);
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(target.begin(), target.end(), rename->FileName);
    const bool renamed = ::SetFileInformationByHandle(handle, kFileRenameInfoEx, rename,
                                                      static_cast<DWORD>(buffer.size())) != 0;
    error = renamed ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(handle);
    return renamed;
}

}  // namespace

bool replaceFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
    const std::wstring source = nativePath(from);
    const std::wstring target = nativePath(to);
    bool posixRename = true;
    DWORD error = ERROR_SUCCESS;
    // A virus scanner or an indexer may hold the target for a moment without sharing it: a few
    // short retries outlast it, where POSIX systems would not have failed.
    for (int attempt = 0; attempt <= 10; ++attempt) {
        if (attempt > 0) ::Sleep(20);
        if (posixRename) {
            if (renameOverOpenTarget(source, target, error)) return true;
            // Older systems and other file systems know no such rename: the plain one does.
            posixRename = error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED &&
                          error != ERROR_INVALID_FUNCTION && error != ERROR_CALL_NOT_IMPLEMENTED;
        }
        if (!posixRename) {
            if (::MoveFileExW(source.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
            error = ::GetLastError();
        }
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) break;
        // A read-only target, or a folder, is refused for good, not in a moment.
        const DWORD attributes = ::GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            break;
    }
    ec = win::errorFrom(error);
    return false;
}

bool removeFile(const fs::path& path, std::error_code& ec) {
    const std::wstring name = nativePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    // A link to a folder (or a junction) is removed as a folder, though it is the link that goes,
    // as unlink(2) removes a link to a folder.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ::RemoveDirectoryW(name.c_str()) || failed(ec);
    if (::DeleteFileW(name.c_str())) return true;
    // POSIX systems remove a file without write permission when the folder allows it; the
    // read-only attribute is that permission here.
    if (::GetLastError() == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) &&
        ::SetFileAttributesW(name.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (::DeleteFileW(name.c_str())) return true;
        const DWORD error = ::GetLastError();
        ::SetFileAttributesW(name.c_str(), attributes);
        ::SetLastError(error);
    }
    return failed(ec);
}

void removeFileNow(const fs::path::value_type* path) noexcept {
    const DWORD saved = ::GetLastError();
    ::DeleteFileW(path);
    ::SetLastError(saved);
}

bool removeFolder(const fs::path& path, std::error_code& ec) {
    return ::RemoveDirectoryW(nativePath(path).c_str()) || failed(ec);
}

bool makeFolder(const fs::path& path, FolderAccess access, std::error_code& ec) {
    // A shared folder gets what the folder above passes on, as the system makes folders.
    SecurityAttributes security(access == FolderAccess::Private ? win::privateDescriptor(true, {})
                                                                : std::vector<std::uint8_t>());
    if (access == FolderAccess::Private && missing(security, ec)) return false;
    return ::CreateDirectoryW(nativePath(path).c_str(), security.get()) || failed(ec);
}

bool makeFolderFor(const fs::path& path, const Protection& readersLike, std::error_code& ec) {
    SecurityAttributes security(
        win::privateDescriptor(true, win::otherReaders(readersLike.descriptor)));
    if (missing(security, ec)) return false;
    return ::CreateDirectoryW(nativePath(path).c_str(), security.get()) || failed(ec);
}

std::optional<std::vector<std::string>> folderEntries(const fs::path& folder, std::error_code& ec) {
    const fs::path where = folder.empty() ? fs::path(L".") : folder;
    const std::wstring name = nativePath(where);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ec = lastError();
        return std::nullopt;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ec = std::make_error_code(std::errc::not_a_directory);
        return std::nullopt;
    }
    std::wstring pattern = name;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                             FindExSearchNameMatch, nullptr, 0);
    std::vector<std::string> names;
    if (search == INVALID_HANDLE_VALUE) {
        // The root of an empty drive has no entry at all, not even "." and "..".
        if (::GetLastError() == ERROR_FILE_NOT_FOUND) {
            ec.clear();
            return names;
        }
        ec = lastError();
        return std::nullopt;
    }
    do {
        const std::wstring_view entryName = entry.cFileName;
        if (entryName != L"." && entryName != L"..") names.push_back(win::toUtf8(entryName));
    } while (::FindNextFileW(search, &entry));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        ec = win::errorFrom(error);
        return std::nullopt;
    }
    ec.clear();
    return names;
}

LockResult lockExclusive(File& file, std::error_code& ec) {
    // The lock belongs to this handle: two sessions of one process exclude each other too.
    OVERLAPPED overlapped = at(kLockOffset);
    if (::LockFileEx(handleOf(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &overlapped))
        return LockResult::Locked;
    const DWORD error = ::GetLastError();
    ec = win::errorFrom(error);
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::Busy
                                                                      : LockResult::Failed;
}

namespace win {

std::error_code errorFrom(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return {};
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_ACCESS_DENIED:
        case ERROR_CANT_ACCESS_FILE:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_INVALID_OWNER:
            return std::make_error_code(std::errc::operation_not_permitted);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::make_error_code(std::errc::resource_unavailable_try_again);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        case ERROR_DIRECTORY:
            return std::make_error_code(std::errc::not_a_directory);
        case ERROR_DIR_NOT_EMPTY:
            return std::make_error_code(std::errc::directory_not_empty);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::make_error_code(std::errc::filename_too_long);
        case ERROR_CANT_RESOLVE_FILENAME:
            return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        case ERROR_NOT_SAME_DEVICE:
            return std::make_error_code(std::errc::cross_device_link);
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::read_only_file_system);
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER:
            return std::make_error_code(std::errc::invalid_argument);
        case ERROR_INVALID_HANDLE:
            return std::make_error_code(std::errc::bad_file_descriptor);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::make_error_code(std::errc::not_enough_memory);
        case ERROR_BROKEN_PIPE:
            return std::make_error_code(std::errc::broken_pipe);
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return std::make_error_code(std::errc::not_supported);
        default:
            return std::make_error_code(std::errc::io_error);
    }
}

std::wstring nativePath(const fs::path& path) {
    const std::wstring& text = path.native();
    if (text.starts_with(L"\\\\?\\") || text.starts_with(L"\\\\.\\")) return text;
    // Most paths are short and absolute: they go as they are.
    if (text.size() < 200 && path.is_absolute()) return text;
    const DWORD needed = ::GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    // CreateDirectoryW stops at 248 characters, the others at MAX_PATH.
    if (needed == 0 || needed < 248) return text;
    std::wstring full(needed, L'\0');
    const DWORD length =
        ::GetFullPathNameW(text.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return text;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              size, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(std::string_view text) {
    if (text.empty()) return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              size);
    return out;
}

}  // namespace win

}  // namespace kbcfg::platform
