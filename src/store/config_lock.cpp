#include "store/config_lock.h"

#include <system_error>

#include "platform/access.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "store/file_owner.h"
#include "store/printable.h"

namespace kbcfg::store {

namespace fs = std::filesystem;
using platform::FileInfo;
using platform::FileKind;

namespace {

constexpr std::uint64_t kMaxLockFileSize = 4096;  // a lock file only ever holds one short line
constexpr int kAttempts = 8;

// What a lock file is judged against: the configuration file, or, while it does not exist yet,
// the folder it will be made in.
struct Subject {
    fs::path path;  // what is there: the file, or its folder
    FileInfo info;
    bool known = false;
};

Subject subjectOf(const fs::path& target) {
    Subject subject{target, {}, false};
    std::error_code ec;
    auto info = platform::fileInfo(target, platform::Links::Follow, ec);
    if (!info) {
        fs::path folder = target.parent_path();
        if (folder.empty()) folder = ".";
        subject.path = folder;
        info = platform::fileInfo(folder, platform::Links::Follow, ec);
    }
    subject.known = info.has_value();
    if (info) subject.info = *info;
    return subject;
}

// Only someone who may change the configuration file may stop others from changing it.
bool ownerTrusted(const FileInfo& lock, const Subject& subject) {
    return lock.owner == platform::currentUser() ||
           (subject.known && platform::userMayWrite(lock.owner, subject.path));
}

// A lock file as this tool makes them: one regular file of a trusted owner.
bool trustworthy(const FileInfo& lock, const Subject& subject) {
    return lock.kind == FileKind::Regular && lock.links == 1 && lock.size <= kMaxLockFileSize &&
           ownerTrusted(lock, subject);
}

// With the system's own separator throughout: the lock's name is joined to the folder as given,
// where Windows also takes '/'.
std::string shown(const fs::path& path) {
    return printablePath(platform::utf8(fs::path(path).make_preferred()));
}

// Who holds the lock, from the line the holder wrote ("PID PROGRAM"), believed only as far as it
// can be checked: the process must exist.
std::string holderOf(platform::File& lockFile, const FileInfo& lock, const fs::path& configPath,
                     const fs::path& lockPath) {
    char text[256] = {};
    std::error_code ec;
    const long n = platform::readAt(lockFile, text, sizeof text - 1, 0, ec);
    std::string line = n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    line = line.substr(0, line.find('\n'));
    const auto space = line.find(' ');
    const std::string pid = line.substr(0, space);
    const bool numeric =
        !pid.empty() && pid.size() < 10 && pid.find_first_not_of("0123456789") == std::string::npos;
    const std::string user = lock.owner == platform::currentUser()
                                 ? std::string()
                                 : " of user " + printableUserName(platform::userName(lock.owner));
    const std::string file = shown(configPath);
    const std::string program = space == std::string::npos ? std::string() : line.substr(space + 1);
    if (!numeric || !platform::processRuns(std::stol(pid), program))
        return file + " is being edited by another program" + user + "; its lock file " +
               shown(lockPath) + " names no running process and is not trusted.";
    std::string who = "process " + pid;
    if (!program.empty()) who += " (" + printable(program.substr(0, 64)) + ")";
    return file + " is being edited by " + who + user + ".";
}

std::string untrustedText(const FileInfo& lock, const fs::path& lockPath,
                          const fs::path& configPath) {
    return shown(lockPath) + " belongs to user " +
           printableUserName(platform::userName(lock.owner)) + ", who may not write " +
           shown(configPath) +
           "; it is not trusted. It can be removed (by its owner or root) to edit the file.";
}

// Gets a lock file that is not to be trusted out of the way. False when this user cannot.
bool removeUntrusted(const fs::path& lock, const FileInfo& info) {
    std::error_code ec;
    if (info.kind == FileKind::Folder) return platform::removeFolder(lock, ec);
    return platform::removeFile(lock, ec);
}

// A new lock file may be opened by those who may write the configuration file and nobody else:
// its owner, and its group when the group may write it.
void shareWithWriters(platform::File& file, const Subject& subject) {
    if (subject.known && subject.info.kind == FileKind::Regular)
        platform::shareWithWritersOf(file, subject.info.protection);
}

// Why an existing lock file could not be opened (error: the open's error, info: what is there).
std::string cannotOpenText(const std::error_code& error, const FileInfo& info,
                           const Subject& subject, const fs::path& lock,
                           const std::string& configText) {
    const bool denied = error == std::errc::permission_denied;
    if (denied && trustworthy(info, subject)) {
        // A lock file of someone else who may write the file, closed to this user.
        return configText + " is being edited by user " +
               printableUserName(platform::userName(info.owner)) + " (lock file " + shown(lock) +
               "); if nobody is editing it, the lock file can be removed.";
    }
    if (error == std::errc::too_many_symbolic_link_levels || denied ||
        error == std::errc::is_a_directory)
        return shown(lock) + " is not a lock file of this tool; remove it to edit " + configText +
               ".";
    return "Cannot create the lock file " + shown(lock) + ": " + error.message();
}

// "PID PROGRAM", for whoever finds the file locked.
void writeHolderLine(platform::File& file) {
    const std::string line =
        std::to_string(platform::processId()) + " " + platform::programName() + "\n";
    std::error_code ec;
    if (!platform::truncate(file, 0, ec) ||
        !platform::writeAt(file, line.data(), line.size(), 0, ec)) {
        // The lock holds all the same; only the holder's name is missing.
    }
}

}  // namespace

fs::path lockPathFor(const fs::path& configPath) {
    fs::path folder = configPath.parent_path();
    if (folder.empty()) folder = ".";
    return folder / platform::fromUtf8(
                        nameWithin(".", platform::utf8(configPath.filename()), ".kbcfg-lock"));
}

std::unique_ptr<ConfigLock> ConfigLock::acquire(const fs::path& configPath, std::string& why) {
    const fs::path target = followLinks(configPath);
    const fs::path lock = lockPathFor(target);
    removeStaleTemporaries(lock.parent_path());
    const Subject subject = subjectOf(target);
    const std::string configText = shown(configPath);

    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::error_code ec;
        // What is there before it is opened: an entry of another user that may not write the
        // configuration is never opened, whatever it is.
        if (const auto before = platform::fileInfo(lock, platform::Links::NoFollow, ec);
            before && !ownerTrusted(*before, subject)) {
            if (removeUntrusted(lock, *before)) continue;
            why = untrustedText(*before, lock, configPath);
            return nullptr;
        }
        bool created = false;
        platform::File file = platform::openForWriting(lock, platform::Create::New, ec);
        const bool existed = ec == std::errc::file_exists;
        if (file.valid()) {
            created = true;
        } else if (existed) {
            file = platform::openForWriting(lock, platform::Create::No, ec);
            // Its holder has just removed it.
            if (!file.valid() && ec == std::errc::no_such_file_or_directory) continue;
        }
        if (!file.valid()) {
            const std::error_code error = ec;
            const auto there = platform::fileInfo(lock, platform::Links::NoFollow, ec);
            // Gone between the two opens: round again. Never there at all: it cannot be made (no
            // such folder, no right to write in it).
            if (!there && existed) continue;
            if (!there) {
                why = "Cannot create the lock file " + shown(lock) + ": " + error.message();
                return nullptr;
            }
            why = cannotOpenText(error, *there, subject, lock, configText);
            return nullptr;
        }
        // Never write into anything but a lock file of our own making (not a hard link to the
        // configuration file, not a device). No link at all means the holder before us has just
        // removed it: the check after locking sends us round again.
        const auto opened = platform::fileInfo(file, ec);
        if (!opened || !trustworthy(*opened, subject)) {
            const bool replaced = opened && opened->links == 0;
            file.close();
            if (replaced) continue;
            // Planted between the look and the open: dealt with as above, the next time round.
            if (!opened || !ownerTrusted(*opened, subject)) continue;
            why = shown(lock) + " is not a lock file of this tool; remove it to edit " +
                  configText + ".";
            return nullptr;
        }
        if (created) shareWithWriters(file, subject);
        const platform::LockResult locked = platform::lockExclusive(file, ec);
        if (locked != platform::LockResult::Locked) {
            why = locked == platform::LockResult::Busy
                      ? holderOf(file, *opened, configPath, lock)
                      : "Cannot lock " + shown(lock) + ": " + ec.message();
            return nullptr;
        }
        // The holder before us may have removed the file between our open and our lock: the lock
        // counts only on the file that is still there.
        const auto current = platform::fileInfo(lock, platform::Links::NoFollow, ec);
        if (!current || !current->sameFile(*opened)) continue;
        writeHolderLine(file);
        return std::unique_ptr<ConfigLock>(new ConfigLock(lock, std::move(file)));
    }
    why = "Cannot lock " + shown(lock) + ": it keeps changing.";
    return nullptr;
}

ConfigLock::ConfigLock(fs::path lockPath, platform::File file)
    : lockPath_(std::move(lockPath)), file_(std::move(file)), removal_(removeOnSignal(lockPath_)) {}

ConfigLock::~ConfigLock() {
    keepOnSignal(removal_);
    std::error_code ec;
    const auto opened = platform::fileInfo(file_, ec);
    const auto current = platform::fileInfo(lockPath_, platform::Links::NoFollow, ec);
    if (opened && current && opened->sameFile(*current)) platform::removeFile(lockPath_, ec);
    file_.close();
}

}  // namespace kbcfg::store
