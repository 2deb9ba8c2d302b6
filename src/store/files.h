#pragma once
// Moving the image between memory and the configuration file: file choice, backup copies,
// scrambling, loading and saving.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/config_lock.h"
#include "store/host.h"
#include "store/safe_file.h"
#include "store/session.h"

namespace kbcfg::store {

inline constexpr std::size_t kMaxPathChars = 128;
inline constexpr std::size_t kMaxFileNameChars = 32;
inline constexpr std::size_t kBackupLimitAtLogin = 128;
inline constexpr std::size_t kBackupLimitAtExport = 260;
inline constexpr const char* kProposedFileName = "kbCfg.bin";

// The file-open dialog for the login: checks the path limits, sets the session's paths, creates
// the backup folder, makes the configuration folder the current directory and backs the file up.
// True when a file was accepted.
bool chooseConfigFile(Host& host, SessionState& session);

// Copies configFolder + fileName into the backup folder, under a short name when the backup path
// would reach `limit` characters, asking before it overwrites an earlier backup.
void backupConfigFile(Host& host, SessionState& session, const std::string& fileName,
                      std::size_t limit);

// Makes the backup folder of configPath (one folder, never a chain; a link there is not
// followed). It belongs to the configuration file's owner, even when root makes it, and a folder
// of another user is not used. False, with `why`, when it cannot be used.
bool ensureBackupFolder(const std::filesystem::path& backupFolder,
                        const std::filesystem::path& configPath, std::string* why = nullptr);

// Copies a file into the backup folder through the atomic writer (a link at the target is
// replaced, not followed): as private as the file, and a new copy belongs to the file's owner.
// False on any failure.
bool copyFileOverwrite(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads source (a regular file, at most the scramble limit), scrambles it and replaces target
// with the result atomically. 0, or -1 after message 2.
int scrambleFile(Host& host, const std::filesystem::path& source,
                 const std::filesystem::path& target);

// Reads configPath, unscrambles it in memory, recognises the layout, converts an older one,
// checks it and fills the image. 0, or -1 after its one message, whose second line names the
// file and the reason (the image is then left as it was). fileVersion, when given, receives the
// layout version the file itself carries. In an editing session the file's identity is noted, so
// that a later save can tell whether the file was changed behind the session's back.
int loadImage(Host& host, const SessionState& session, ConfigImage& image,
              std::uint32_t* fileVersion = nullptr);

// Scrambles the image in memory and replaces configPath with it atomically (links followed to
// the file itself; owner, group and mode kept). The caller has recomputed the checksum. 0, or -1
// after message 2 with the configuration file untouched: when it cannot be written, or when in an
// editing session it is no longer the file that was loaded.
int saveImage(Host& host, const SessionState& session, const ConfigImage& image);

// The end of every change: recompute the checksum, then saveImage.
int saveChange(Host& host, const SessionState& session, ConfigImage& image);

// Starts an editing session on session.configPath: takes the one-writer lock. 0, or -1 after
// message 2 and a line saying who holds the file.
int beginEditSession(Host& host, SessionState& session);
// Ends it: the lock is released and its file removed.
void endEditSession(SessionState& session);

// Whole-file reading for the tools: a regular file, at most maxBytes; nullopt when it cannot be
// read, and then `why` receives the reason ("no such file", "permission denied", "not a regular
// file (a folder)").
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path,
                                                       std::size_t maxBytes,
                                                       std::string* why = nullptr);
// "PATH: reason" for a file that could not be read, the path escaped for a terminal: the line
// under "Open config file failed!".
std::string unreadableFile(const std::filesystem::path& path);

// The local time as "YYYYMMDD-HHMMSS", as the names of backups and exported files carry it.
std::string localTimeStamp();

}  // namespace kbcfg::store
