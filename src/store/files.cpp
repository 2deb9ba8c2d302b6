#include "store/files.h"

#include <ctime>
#include <system_error>

#include "platform/access.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"

#include "store/ansi.h"
#include "store/checksum.h"
#include "store/config_lock.h"
#include "store/loader.h"
#include "store/messages.h"
#include "store/printable.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

std::size_t pathChars(const fs::path& p) {
    return codePointCount(platform::utf8(p));
}

void showFailure(Host& host, const std::string& detail) {
    showMessage(host, Msg::OpenConfigFailed, detail);
}

std::string lowerFirst(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
        text[0] = static_cast<char>(text[0] + 32);
    return text;
}

// Why readRegularFile refused path, found by looking again the same way (a FIFO opened
// non-blocking does not wait for a writer).
std::string unreadableReason(const fs::path& path) {
    std::error_code ec;
    platform::File file = platform::openForReading(path, platform::Links::Follow, ec);
    if (!file.valid()) {
        if (ec == std::errc::no_such_file_or_directory) {
            const auto there = platform::fileInfo(path, platform::Links::NoFollow, ec);
            return there && there->kind == platform::FileKind::Link
                       ? "no such file (a link to a file that does not exist)"
                       : "no such file";
        }
        if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
            return "permission denied";
        return lowerFirst(ec.message());
    }
    const auto info = platform::fileInfo(file, ec);
    if (info && info->kind == platform::FileKind::Folder) return "not a regular file (a folder)";
    if (info && info->kind != platform::FileKind::Regular)
        return "not a regular file (a FIFO, device or socket)";
    return "cannot be read";
}

}  // namespace

std::string unreadableFile(const fs::path& path) {
    return printablePath(platform::utf8(path)) + ": " + unreadableReason(path);
}

std::optional<std::vector<std::uint8_t>> readFileBytes(const fs::path& path, std::size_t maxBytes,
                                                       std::string* why) {
    auto bytes = readRegularFile(path, maxBytes);
    if (!bytes && why) *why = unreadableReason(path);
    return bytes;
}

bool copyFileOverwrite(const fs::path& from, const fs::path& to) {
    return copyFileAtomically(from, to, true);
}

bool ensureBackupFolder(const fs::path& backupFolder, const fs::path& configPath,
                        std::string* why) {
    // Without its trailing separator, so that a link in the folder's place is seen as one.
    const fs::path folder =
        backupFolder.filename().empty() ? backupFolder.parent_path() : backupFolder;
    const auto refuse = [&](const std::string& text) {
        if (why) *why = printablePath(platform::utf8(folder)) + " " + text;
        return false;
    };
    // Whose the backups are: the configuration file's owner (its folder's while it is new).
    std::error_code ec;
    auto owner = platform::fileInfo(followLinks(configPath), platform::Links::Follow, ec);
    if (!owner) owner = platform::fileInfo(folder.parent_path(), platform::Links::Follow, ec);
    if (!owner) return refuse("cannot be made: " + ec.message());
    // As private as the file: its readers may list the backups, nobody else.
    if (!platform::makeFolderFor(folder, owner->protection, ec) && ec != std::errc::file_exists)
        return refuse("cannot be made: " + ec.message());
    platform::File opened = platform::openFolder(folder, ec);
    std::optional<platform::FileInfo> st;
    if (opened.valid()) st = platform::fileInfo(opened, ec);
    if (!st) {
        return refuse(ec == std::errc::too_many_symbolic_link_levels ||
                              ec == std::errc::not_a_directory
                          ? "is not a folder"
                          : "cannot be opened: " + ec.message());
    }
    // A folder made by root for a user's file (now, or by an earlier version) goes to the user,
    // so that the file's owner can go on keeping and reading its backups.
    if (platform::isSuperuser() &&
        (st->owner != owner->owner || st->protection.group != owner->protection.group) &&
        (platform::isSystemUser(st->owner) || st->owner == owner->owner) &&
        platform::giveFileTo(opened, owner->protection, ec)) {
        if (auto now = platform::fileInfo(opened, ec)) st = now;
    }
    opened.close();
    if (st->owner != platform::currentUser() && st->owner != owner->owner &&
        !platform::isSystemUser(st->owner))
        return refuse("belongs to user " + printableUserName(platform::userName(st->owner)) +
                      ", who does not own the configuration file; it is not used");
    return true;
}

bool chooseConfigFile(Host& host, SessionState& session) {
    const FileChoiceRequest request{"All File (*)", kProposedFileName, "*.*"};
    const std::optional<fs::path> chosen = host.chooseOpenFile(request);
    if (!chosen) return false;
    WaitCursor wait(host);

    const fs::path& path = *chosen;
    if (pathChars(path) > kMaxPathChars) {
        showMessage(host, Msg::PathTooLong);
        session.configPath.clear();
        return false;
    }
    const fs::path fileName = path.filename();
    if (pathChars(fileName) > kMaxFileNameChars) {
        showMessage(host, Msg::FileNameTooLong);
        session.configPath.clear();
        return false;
    }
    setConfigPaths(session, path);

    ensureBackupFolder(backupFolder(session), path);
    std::error_code ec;
    fs::current_path(session.configFolder, ec);

    backupConfigFile(host, session, platform::utf8(fileName), kBackupLimitAtLogin);
    return true;
}

void backupConfigFile(Host& host, SessionState& session, const std::string& fileName,
                      std::size_t limit) {
    const fs::path folder = backupFolder(session);
    const fs::path source = session.configFolder / platform::fromUtf8(fileName);
    const fs::path target = folder / platform::fromUtf8(fileName);
    // A folder that cannot be trusted gets no copy; the file itself is untouched either way.
    if (!ensureBackupFolder(folder, source)) return;

    if (pathChars(target) + 1 > limit) {
        // The backup path would be too long for the keyboard's tools: keep a short name.
        if (fileName != "kbCfg.bk") {
            copyFileOverwrite(source, folder / "kbCfg.bk");
            showMessage(host, Msg::BackupAsKbCfgBk);
        } else {
            copyFileOverwrite(source, folder / "kb.bk");
            showMessage(host, Msg::BackupAsKbBk);
        }
        return;
    }
    std::error_code ec;
    if (fs::exists(target, ec)) {
        const int mode = limit == kBackupLimitAtLogin ? kTipBackupAtLogin : kTipBackupAtExport;
        askMessage(host, session, Msg::AskCoverBackup, fileName, mode);
        return;
    }
    copyFileOverwrite(source, target);
}

int scrambleFile(Host& host, const fs::path& source, const fs::path& target) {
    std::optional<std::vector<std::uint8_t>> bytes = readRegularFile(source, kScrambleLimit);
    if (!bytes) {
        showFailure(host, unreadableFile(source));
        return -1;
    }
    scrambleBytes(*bytes);
    // Either form holds every password: private when new, and never while someone edits it.
    std::string why;
    const std::unique_ptr<ConfigLock> lock = ConfigLock::acquire(target, why);
    if (!lock) {
        showFailure(host, why);
        return -1;
    }
    AtomicFile out(target, LinkPolicy::Replace, kPrivateFile);
    if (!out.ok() || !out.write(bytes->data(), bytes->size()) || !out.commit()) {
        showFailure(host, "Cannot write " + platform::utf8(target) + ": " + out.error());
        return -1;
    }
    return 0;
}

int loadImage(Host& host, const SessionState& session, ConfigImage& image,
              std::uint32_t* fileVersion) {
    // The plain image holds every password in clear: it is unscrambled in memory only.
    FileIdentity identity;
    std::optional<std::vector<std::uint8_t>> plain =
        readRegularFile(session.configPath, kScrambleLimit, &identity);
    if (!plain) {
        showFailure(host, unreadableFile(session.configPath));
        return -1;
    }
    scrambleBytes(*plain);
    const DecodeResult result = decodeImage(*plain, image);
    if (fileVersion) *fileVersion = result.version;
    if (!result.ok()) {
        // The catalogue's text first, as the desktop tool has always shown it; then which file.
        showMessage(host, *result.message,
                    printablePath(platform::utf8(session.configPath)) + ": " + result.reason);
        return -1;
    }
    if (session.editLock) session.editLock->loaded = identity;
    return 0;
}

int saveImage(Host& host, const SessionState& session, const ConfigImage& image) {
    ConfigLock* lock = session.editLock.get();
    if (lock && lock->loaded && identityOf(followLinks(session.configPath)) != lock->loaded) {
        showFailure(host, platform::utf8(session.configPath) +
                              " was changed on disk since it was loaded; nothing was written. "
                              "Log in again to edit it.");
        return -1;
    }
    if (session.beforeSave && !session.beforeSave()) return -1;
    std::vector<std::uint8_t> scrambled(image.bytes().begin(), image.bytes().end());
    scrambleBytes(scrambled);
    AtomicFile out(session.configPath, LinkPolicy::Follow);
    FileIdentity written;
    if (!out.ok() || !out.write(scrambled.data(), scrambled.size()) || !out.commit(&written)) {
        showFailure(host, "Cannot save " + platform::utf8(out.target()) + ": " + out.error());
        return -1;
    }
    if (lock) lock->loaded = written;
    return 0;
}

int saveChange(Host& host, const SessionState& session, ConfigImage& image) {
    image.updateChecksum();
    return saveImage(host, session, image);
}

int beginEditSession(Host& host, SessionState& session) {
    session.editLock.reset();
    std::string why;
    std::unique_ptr<ConfigLock> lock = ConfigLock::acquire(session.configPath, why);
    if (!lock) {
        showFailure(host, why);
        return -1;
    }
    session.editLock = std::move(lock);
    return 0;
}

void endEditSession(SessionState& session) {
    session.editLock.reset();
}

std::string localTimeStamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm local = platform::localTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace kbcfg::store
