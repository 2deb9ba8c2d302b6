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
#include "store/host.h"
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

// Copies a file, replacing the target. False on any failure.
bool copyFileOverwrite(const std::filesystem::path& from, const std::filesystem::path& to);

// Reads source (at most the scramble limit), scrambles it and writes target. 0, or -1 after
// message 2.
int scrambleFile(Host& host, const std::filesystem::path& source,
                 const std::filesystem::path& target);

// Unscrambles configPath into tempPath, recognises the layout, converts an older one, checks it
// and fills the image. 0, or -1 after its one message (the image is then left as it was).
// fileVersion, when given, receives the layout version the file itself carries.
int loadImage(Host& host, const SessionState& session, ConfigImage& image,
              std::uint32_t* fileVersion = nullptr);

// Writes the plain image to tempPath and replaces configPath atomically with its scrambled form.
// The caller has recomputed the checksum. 0, or -1 after message 2 with the old configuration
// file untouched.
int saveImage(Host& host, const SessionState& session, const ConfigImage& image);

// The end of every change: recompute the checksum, then saveImage.
int saveChange(Host& host, const SessionState& session, ConfigImage& image);

// Deletes the plain working copy, if any (at exit).
void removeTempFile(const SessionState& session);

// Whole-file reading for the tools: at most maxBytes; nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::filesystem::path& path,
                                                       std::size_t maxBytes);
// Writes the bytes into a new file in the same folder and renames it over path (fsyncing file
// and folder). False on any failure, with path untouched.
bool writeFileAtomically(const std::filesystem::path& path, const std::uint8_t* data,
                         std::size_t size);

namespace testing {
// Makes the next writes fail once `bytes` more bytes have been written (nullopt: no fault).
void setWriteFault(std::optional<std::size_t> bytes);
}  // namespace testing

}  // namespace kbcfg::store
