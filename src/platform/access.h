#pragma once
// Who owns a file and who may change it. On POSIX systems a user is a uid and a file carries an
// owner, a group and mode bits; on Windows a user is a SID and a file carries a security
// descriptor (owner and ACL). The core asks its questions here and never reads either form.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kbcfg::platform {

struct FileInfo;

// A user of this system: the uid in decimal on POSIX, the SID ("S-1-5-21-...") on Windows.
// Empty when unknown.
struct UserId {
    std::string id;
    bool operator==(const UserId&) const = default;
    bool empty() const { return id.empty(); }
};

// Who may do what with a file, as the system keeps it: owner, group and mode bits on POSIX, the
// security descriptor on Windows. Carried from one file to another (a replaced file keeps its
// own), never read by the core.
struct Protection {
    std::uint32_t owner = 0;               // POSIX
    std::uint32_t group = 0;               // POSIX
    std::uint32_t mode = 0;                // POSIX: the permission bits
    std::vector<std::uint8_t> descriptor;  // Windows: the self-relative security descriptor
    bool known = false;
};

// The user this process runs as.
UserId currentUser();
// Whether this process may override every file's permissions (root).
bool isSuperuser();
// Whether the user is the system's own (root on POSIX; SYSTEM or the administrators on Windows),
// whom a file may belong to without anybody else being able to change it.
bool isSystemUser(const UserId& user);
// The user's login name, or "#" and the id when the system does not know the name.
std::string userName(const UserId& user);

// Whether `user` may write the file or folder at `path`, by its permissions (a superuser may
// write anything).
bool userMayWrite(const UserId& user, const std::filesystem::path& path);
// Whether this process may change the file at `path` in place. A superuser may, except for a file
// protected on purpose (no write permission for anyone).
bool mayWriteInPlace(const std::filesystem::path& path);
// Whether someone besides the owner may read or change the file at `path` (a file of secrets
// must be its owner's alone).
bool othersMayAccess(const std::filesystem::path& path);
// The same for a file already looked at (an open file): also true when it is not this user's.
bool othersMayAccess(const FileInfo& info);
// Whether anyone besides the owner may change the file or folder looked at (its group included,
// even a private one): for the folders this tool writes its outputs in.
bool othersMayWrite(const FileInfo& info);

// Who besides this user (or the system's own administrators) could change what lies at a path.
struct Strangers {
    enum class Kind {
        Nobody,
        Owner,    // it belongs to another user: `owner`
        Group,    // its group may write it (and the group is not the owner's own private one)
        Others,   // others may write it
        Unknown,  // it could not be examined: `error`
    };
    Kind kind = Kind::Nobody;
    UserId owner;
    std::error_code error;
};
// A folder with the sticky bit (on Windows: one where others may only add entries), where
// `stickyAllowed`, may be writable by all: nobody can replace the entries of others.
Strangers othersCouldWrite(const std::filesystem::path& path, bool stickyAllowed);

// How a new file gets its permissions.
enum class NewFile {
    Private,  // its owner's alone (0600, an owner-only ACL)
    Default,  // as the system makes files (0666 less the umask, the folder's inherited ACL)
};
// The protection a file of the given kind gets when it is made now.
Protection protectionForNew(NewFile kind);
// The protection a new file gets that copies `source`: no more open than it (a private file never
// gets a readable copy).
Protection protectionLike(const Protection& source);

class File;
// Gives an open file the protection: owner and group where this user may give them away (else
// the group at least), then the mode (set-user and set-group bits are never carried over to a
// data file); on Windows, the security descriptor. False when it failed for another reason than a
// lack of rights to give the file away; `why` then names the step and the error ("chmod: ...").
bool applyProtection(File& file, const Protection& protection, bool withOwner, std::string& why);

// Lets those who may write the file `subject` describes open `file` as well, and nobody else: on
// POSIX, its group when the group may write it (the file becomes 0660 of that group). Windows
// keeps the file its owner's alone: another writer then finds it closed to him, and is told who
// holds it.
void shareWithWritersOf(File& file, const Protection& subject);

}  // namespace kbcfg::platform
