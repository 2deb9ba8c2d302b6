#pragma once
// The one way this tool writes a file: a private temporary file beside the target, flushed,
// put over the target in one step, then the folder flushed. A crash, a full disk or a failed write
// never leaves a torn target behind, and the replacement keeps the owner, group and mode of the
// file it replaces. Reading goes through readRegularFile, which opens regular files only.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/access.h"
#include "platform/files.h"

namespace kbcfg::store {

// What identifies one version of a file on disk: a save replaces the inode, an edit in place
// changes the size or the modification time.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileIdentity&) const = default;
};

// A new file that holds a configuration or a password: its owner's alone. (A file that is
// replaced keeps its own protection.)
inline constexpr platform::NewFile kPrivateFile = platform::NewFile::Private;

// How a target that is a symbolic link is treated.
enum class LinkPolicy {
    Follow,   // the file at the end of the chain of links is replaced (a configuration file)
    Replace,  // the link itself is replaced by the new file (outputs: never written through)
};

class AtomicFile {
  public:
    // Creates the temporary file beside the target. ok() tells whether that worked; a target
    // that exists but is not a regular file, or that the user could not write in place, is
    // refused here.
    // A new file gets the protection of its kind (a private one, or as the system makes files).
    AtomicFile(const std::filesystem::path& target, LinkPolicy links,
               platform::NewFile newFile = platform::NewFile::Default);
    // A new file is no more open than `source` (a copy: a private file never gets a readable
    // copy).
    AtomicFile(const std::filesystem::path& target, LinkPolicy links,
               const platform::Protection& source);
    ~AtomicFile();  // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file_.valid(); }
    // Why the last step failed, in a few words ("permission denied", ...).
    const std::string& error() const { return error_; }
    // The file that is replaced (after following links, by the policy).
    const std::filesystem::path& target() const { return target_; }
    // The temporary file, for a writer that writes it by name (a device library fetching a
    // file); it is committed the same way.
    const std::filesystem::path& tempPath() const { return temp_; }

    // A new file is given to the owner and group of `owner` instead of the writer's (when the
    // writer may: root, or a group of the writer's own). A replaced file keeps its own in any case.
    void giveNewFileTo(const platform::Protection& owner);

    bool write(const void* data, std::size_t size);
    // Flushes, gives the file the target's owner and mode, renames it over the target and flushes
    // the folder. False when any of it failed (the target is then unchanged, except when only the
    // folder flush failed). `written` receives the identity of the new file.
    bool commit(FileIdentity* written = nullptr);

  private:
    void open(LinkPolicy links, std::optional<platform::NewFile> kind,
              const platform::Protection* source);
    bool fail(const char* what, const std::error_code& ec);
    void discard();

    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::string error_;
    platform::File file_;
    int inFlightSlot_ = -1;
    bool replacesExisting_ = false;
    bool giveAway_ = false;
    platform::Protection protection_;
};

// Writes the bytes as the whole new content of path. False on any failure, path untouched.
bool writeFileAtomically(const std::filesystem::path& path, const std::uint8_t* data,
                         std::size_t size, LinkPolicy links = LinkPolicy::Replace,
                         FileIdentity* written = nullptr,
                         platform::NewFile newFile = platform::NewFile::Default);

// Copies a regular file over `to` the same way (streaming, any size), as private as its source.
// With `sameOwner`, a new copy belongs to the source's owner and group. False on any failure.
bool copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        bool sameOwner = false);

// The end of a chain of symbolic links (at most 40), or path itself when it is none.
std::filesystem::path followLinks(const std::filesystem::path& path);

// The identity of the file path names (following links); nullopt when it cannot be read.
std::optional<FileIdentity> identityOf(const std::filesystem::path& path);

// Reads a regular file whole, at most maxBytes. The file is opened non-blocking and its type
// checked on the opened descriptor, so a FIFO, a device or a folder is refused at once instead
// of hanging or filling memory. nullopt when it cannot be read; `identity` receives what was
// read.
std::optional<std::vector<std::uint8_t>> readRegularFile(const std::filesystem::path& path,
                                                         std::size_t maxBytes,
                                                         FileIdentity* identity = nullptr);
// The size of a regular file, its type checked on the opened file as readRegularFile does.
std::optional<std::uintmax_t> regularFileSize(const std::filesystem::path& path);
// Reads a file of secrets (a password file): a regular file of this user's, at most maxBytes,
// that nobody else may read or change. nullopt, with `why` set, otherwise.
std::optional<std::vector<std::uint8_t>> readPrivateFile(const std::filesystem::path& path,
                                                         std::size_t maxBytes, std::string& why);

// Removes the temporary files this tool left in folder when a process was killed mid-save:
// those of its own name pattern, owned by this user, whose process is gone.
void removeStaleTemporaries(const std::filesystem::path& folder);

// Removes the temporary files being written at this moment, and the other files registered with
// removeOnSignal. Async-signal-safe: for the handler of a terminating signal, so that an
// interrupted command leaves nothing behind.
void removeTemporariesInFlight() noexcept;

// Registers a file that removeTemporariesInFlight removes (a lock file while it is held); the
// handle for keepOnSignal, -1 when every slot is taken.
int removeOnSignal(const std::filesystem::path& path);
void keepOnSignal(int handle);

// The calls through which a safe write reaches the disk: the system's, unless a test has put
// in calls that fail where it wants them to (a full disk, a folder that cannot be flushed).
class WriteCalls {
  public:
    virtual ~WriteCalls() = default;
    // As platform::write and platform::flushFolder: -1 (false) with `ec` set on failure.
    virtual long write(platform::File& file, const std::uint8_t* data, std::size_t size,
                       std::error_code& ec);
    virtual bool syncFolder(const std::filesystem::path& folder, std::error_code& ec);
};
// Puts `calls` in place for every later write (nullptr: the system's again); returns the calls
// it replaces.
WriteCalls* useWriteCalls(WriteCalls* calls);

}  // namespace kbcfg::store
