#pragma once
// The file services the core takes from the system, the same on every system: files as owned
// handles, what identifies a file, the atomic replace, flushing to the disk, folders, and the
// one-writer lock. Errors come as std::error_code of the generic category (std::errc), whatever
// the system said, so that callers test them one way.
//
// A symbolic link is FileKind::Link; on Windows so is every reparse point (a junction, a mount
// point), which is handled as a link is on Linux: never followed where links are refused.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/access.h"

namespace kbcfg::platform {

enum class FileKind { Regular, Folder, Link, Other };

struct FileInfo {
    FileKind kind = FileKind::Other;
    std::uint64_t device = 0;  // the file system (volume) the file is on
    std::uint64_t inode = 0;   // the file within it
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // last modification, in nanoseconds since 1970
    std::int64_t changedNs = 0;   // last change of content or metadata (POSIX ctime), the same
    std::uint64_t links = 1;      // names (hard links) of the file
    UserId owner;
    Protection protection;  // who may do what with it, for copying onto another file

    bool sameFile(const FileInfo& other) const {
        return device == other.device && inode == other.inode;
    }
};

// Whether a path whose final name is a link is looked at through the link or as the link.
enum class Links { Follow, NoFollow };

// An open file, closed when the object goes. The handle is the system's (a descriptor on POSIX,
// a HANDLE on Windows).
class File {
  public:
    using Native = std::intptr_t;
    static constexpr Native kInvalid = -1;

    File() = default;
    explicit File(Native native) : native_(native) {}
    ~File() { close(); }
    File(File&& other) noexcept : native_(other.release()) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            close();
            native_ = other.release();
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool valid() const { return native_ != kInvalid; }
    Native native() const { return native_; }
    Native release() noexcept {
        const Native native = native_;
        native_ = kInvalid;
        return native;
    }
    // Closes it; false when the system reported a failure (a write that did not reach the disk).
    bool close() noexcept;

  private:
    Native native_ = kInvalid;
};

// What lies at path, nullopt (and ec) when nothing can be seen there.
std::optional<FileInfo> fileInfo(const std::filesystem::path& path, Links links,
                                 std::error_code& ec);
// What an open file is.
std::optional<FileInfo> fileInfo(const File& file, std::error_code& ec);

// Opens a file for reading without ever waiting on it (a FIFO without a writer, a device) and
// without making it the process's terminal. With Links::NoFollow, a final link is refused
// (std::errc::too_many_symbolic_link_levels). The caller checks the kind on the open file.
File openForReading(const std::filesystem::path& path, Links links, std::error_code& ec);

// Opens a folder itself (for its owner, and for flushing it); a final link is refused.
File openFolder(const std::filesystem::path& path, std::error_code& ec);

enum class Create {
    No,         // the file must exist
    New,        // the file must not exist (std::errc::file_exists)
    IfMissing,  // either
};
// Opens a file for reading and writing, never through a final link. A new file is private: only
// its owner can open it (0600; on Windows an owner-only ACL).
File openForWriting(const std::filesystem::path& path, Create create, std::error_code& ec);

// A new private file of a name no other file has: `prefix` and six random characters, in the
// folder of `prefix`. `made` receives its path.
File createUnique(const std::filesystem::path& prefix, std::filesystem::path& made,
                  std::error_code& ec);
// A new private folder (0700, or an owner-only ACL) the same way.
std::optional<std::filesystem::path> createUniqueFolder(const std::filesystem::path& prefix,
                                                        std::error_code& ec);

// At most `size` bytes from the file's position; 0 at its end, -1 on failure. Interrupted calls
// are repeated.
long read(File& file, void* data, std::size_t size, std::error_code& ec);
long readAt(File& file, void* data, std::size_t size, std::uint64_t offset, std::error_code& ec);
// As much as the system takes at once, at the file's position; -1 on failure.
long write(File& file, const void* data, std::size_t size, std::error_code& ec);
bool writeAt(File& file, const void* data, std::size_t size, std::uint64_t offset,
             std::error_code& ec);
bool truncate(File& file, std::uint64_t size, std::error_code& ec);

// Writes what the file holds through to the disk.
bool flush(File& file, std::error_code& ec);
// Writes a folder's entries through to the disk, where the system has such a thing; true where it
// has not (Windows makes a rename durable with the file's own flush), and true for a folder this
// user may write but not read (it cannot be opened to be flushed; what was renamed in stands).
bool flushFolder(const std::filesystem::path& folder, std::error_code& ec);

// Puts `from` in the place of `to` in one step: a reader sees the old file or the new one, never
// a mix or none. Both are in one folder.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::error_code& ec);
bool removeFile(const std::filesystem::path& path, std::error_code& ec);
// Removes a file by its native name, ignoring every failure. Async-signal-safe (unlink on POSIX,
// DeleteFileW on Windows): for a handler of a terminating signal.
void removeFileNow(const std::filesystem::path::value_type* path) noexcept;
bool removeFolder(const std::filesystem::path& path, std::error_code& ec);

// Who may use a folder this tool makes.
enum class FolderAccess {
    Private,  // its owner alone (0700)
    Shared,   // its owner writes, others may read (0755)
};
// Makes one folder; false with std::errc::file_exists when something is there. A shared folder
// is 0755 less the umask on POSIX.
bool makeFolder(const std::filesystem::path& path, FolderAccess access, std::error_code& ec);
// Makes one folder of this user's that those who may read a file of the protection `readersLike`
// may list, nobody else (a backup folder as private as its file; POSIX: 0700 plus r-x for group
// and others where `readersLike` lets them read). As makeFolder otherwise.
bool makeFolderFor(const std::filesystem::path& path, const Protection& readersLike,
                   std::error_code& ec);
// Gives an open file (or folder) the owner (and on POSIX the group) of `owner`; only an
// administrator may.
bool giveFileTo(File& file, const Protection& owner, std::error_code& ec);

// The names in a folder, "." and ".." left out (UTF-8 on every system).
std::optional<std::vector<std::string>> folderEntries(const std::filesystem::path& folder,
                                                      std::error_code& ec);

enum class LockResult { Locked, Busy, Failed };
// Takes an exclusive lock on the whole of an open file without waiting: Busy when another open
// file holds it. The lock goes with the handle (and with the process when it dies).
LockResult lockExclusive(File& file, std::error_code& ec);

// The system's error of the last call, as a generic error code (for calls outside this layer,
// such as those of the C library).
std::error_code lastError();

}  // namespace kbcfg::platform
