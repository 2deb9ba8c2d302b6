#include "cli/backup_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>

#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "platform/access.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/file_owner.h"
#include "store/files.h"
#include "store/full_path.h"
#include "store/loader.h"
#include "store/messages.h"
#include "store/own_texts.h"
#include "store/printable.h"

namespace kbcfg::cli {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffix = ".bak";
constexpr std::size_t kStampChars = 15;  // YYYYMMDD-HHMMSS
// What a backup name adds to the file's name at most: ".YYYYMMDD-HHMMSS-NNNNNNNNN.bak".
constexpr std::size_t kAddedChars = 1 + kStampChars + 10 + 4;

fs::path backupFolderOf(const fs::path& configPath) {
    store::SessionState paths;
    store::setConfigPaths(paths, configPath);
    return store::backupFolder(paths);
}

// The part of a backup's name that stands for the file: its name, shortened for a name so long
// that the backup's would pass the file system's limit.
std::string stemOf(const fs::path& configPath) {
    const std::string placeholder(kAddedChars, 'x');
    const std::string name =
        store::nameWithin("", platform::utf8(configPath.filename()), placeholder);
    return name.substr(0, name.size() - placeholder.size());
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Where a backup name of the stem sorts among backups made at the same moment: its stamp, then
// its serial within the second (1 for none). nullopt for any other name.
struct Order {
    std::string stamp;
    unsigned long serial = 1;
    auto operator<=>(const Order&) const = default;
};

std::optional<Order> orderOf(const std::string& name, const std::string& stem) {
    const std::string prefix = stem + ".";
    if (name.size() < prefix.size() + kStampChars + 4 ||
        name.compare(0, prefix.size(), prefix) != 0 || !name.ends_with(kSuffix))
        return std::nullopt;
    const std::string_view rest = std::string_view(name).substr(
        prefix.size(), name.size() - prefix.size() - std::string_view(kSuffix).size());
    const std::string_view stamp = rest.substr(0, kStampChars);
    if (!allDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !allDigits(stamp.substr(9, 6)))
        return std::nullopt;
    Order order{std::string(stamp)};
    const std::string_view serial = rest.substr(kStampChars);
    if (serial.empty()) return order;
    if (serial[0] != '-' || !allDigits(serial.substr(1)) || serial.size() > 10 || serial[1] == '0')
        return std::nullopt;
    order.serial = std::stoul(std::string(serial.substr(1)));
    return order;
}

// Whether the entry is a backup this tool could have written: one regular file (a link is never
// one, whatever it points to) of this user or the file's owner, holding a configuration file's
// first bytes. Its modification time when it is.
std::optional<std::int64_t> backupTime(const fs::path& path, const platform::UserId& fileOwner) {
    std::error_code ec;
    platform::File file = platform::openForReading(path, platform::Links::NoFollow, ec);
    if (!file.valid()) return std::nullopt;
    const auto info = platform::fileInfo(file, ec);
    std::uint8_t head[4] = {};
    const bool ours =
        info && info->kind == platform::FileKind::Regular && info->links == 1 &&
        (info->owner == platform::currentUser() || info->owner == fileOwner) &&
        info->size <= store::kScrambleLimit &&
        platform::readAt(file, head, sizeof head, 0, ec) == static_cast<long>(sizeof head);
    std::vector<std::uint8_t> magic(head, head + sizeof head);
    store::scrambleBytes(magic);
    if (!ours || store::getU32(magic.data()) != store::layout::kMagic) return std::nullopt;
    return info->modifiedNs;
}

}  // namespace

std::vector<fs::path> listBackups(const fs::path& configPath) {
    const std::string stem = stemOf(configPath);
    const fs::path folder = backupFolderOf(configPath);
    std::error_code ec;
    const auto file =
        platform::fileInfo(store::followLinks(configPath), platform::Links::Follow, ec);
    const platform::UserId fileOwner = file ? file->owner : platform::currentUser();
    struct Found {
        std::int64_t made;
        Order order;
        fs::path path;
    };
    std::vector<Found> found;
    const auto names = platform::folderEntries(folder, ec);
    if (!names) return {};
    for (const std::string& name : *names) {
        auto order = orderOf(name, stem);
        if (!order) continue;
        const fs::path path = folder / platform::fromUtf8(name);
        if (const auto made = backupTime(path, fileOwner))
            found.push_back({*made, std::move(*order), path});
    }
    // Newest first by when they were made: names carry local time, which moves with the zone
    // and the clock.
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.made != b.made ? a.made > b.made : b.order < a.order;
    });
    std::vector<fs::path> paths;
    for (Found& entry : found) paths.push_back(std::move(entry.path));
    return paths;
}

bool backUpConfigFile(const fs::path& configPath, std::string& why) {
    const fs::path folder = backupFolderOf(configPath).parent_path();
    if (!store::ensureBackupFolder(folder, configPath, &why)) return false;
    // The editing lock keeps other commands of this tool from choosing a name at the same time.
    const std::string base = stemOf(configPath) + "." + store::localTimeStamp();
    fs::path target = folder / platform::fromUtf8(base + kSuffix);
    std::error_code ec;
    for (int serial = 2; fs::exists(fs::symlink_status(target, ec)); ++serial)
        target = folder / platform::fromUtf8(base + "-" + std::to_string(serial) + kSuffix);
    if (!store::copyFileAtomically(store::followLinks(configPath), target, true)) {
        why = "cannot copy it to " + platform::utf8(target);
        return false;
    }
    // The copy just made stays, wherever the clock put it; the oldest others go.
    std::vector<fs::path> backups = listBackups(configPath);
    std::erase(backups, target);
    for (std::size_t i = kBackupsKept - 1; i < backups.size(); ++i) fs::remove(backups[i], ec);
    return true;
}

BackupsCommand::BackupsCommand()
    : Command("backups", "List the backups the editing commands kept of a file, newest first") {}

void BackupsCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "Configuration file")->required();
    addJsonFlag(app);
}

int BackupsCommand::run(Context& ctx) {
    const fs::path file = store::fullPath(platform::fromUtf8(file_));
    const std::vector<fs::path> backups = listBackups(file);
    if (!ctx.host.json()) {
        for (const fs::path& backup : backups) std::cout << platform::utf8(backup) << '\n';
        return kExitOk;
    }
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const fs::path& backup : backups) {
        std::error_code ec;
        const auto bytes = fs::file_size(backup, ec);
        list.push_back({{"name", platform::utf8(backup.filename())},
                        {"path", platform::utf8(backup)},
                        {"bytes", ec ? 0 : bytes}});
    }
    ctx.host.report()["file"] = platform::utf8(file);
    ctx.host.report()["backupFolder"] = platform::utf8(backupFolderOf(file));
    ctx.host.report()["backups"] = list;
    return kExitOk;
}

RestoreCommand::RestoreCommand()
    : Command("restore", "Put a backup back in place of a file (the file is backed up first)") {}

void RestoreCommand::setup(CLI::App& app) {
    app.add_option("FILE", file_, "Configuration file to replace")->required();
    app.add_option("BACKUP", backup_,
                   "A backup: its name in the file's Backup folder, else its path")
        ->required();
    app.add_flag("--no-backup", noBackup_, "Replace the file without backing it up first");
    addJsonFlag(app);
}

int RestoreCommand::run(Context& ctx) {
    store::setConfigPaths(ctx.session, store::fullPath(platform::fromUtf8(file_)));
    // A bare name is first one of the file's backups, then a file of the current folder; either
    // way the summary names the file that was used.
    const fs::path named = platform::fromUtf8(backup_);
    const bool bare = !named.has_parent_path();
    const fs::path inFolder = backupFolderOf(ctx.session.configPath) / named;
    std::error_code ec;
    const bool inBackup = bare && fs::exists(fs::symlink_status(inFolder, ec));
    const fs::path backup = inBackup ? inFolder : store::fullPath(named);
    if (bare && !inBackup && !fs::exists(fs::symlink_status(backup, ec)))
        return fail("cannot read " + store::printablePath(backup_) + ": no such file in " +
                    store::printablePath(platform::utf8(inFolder.parent_path())) +
                    " nor in the current folder");
    if (store::beginEditSession(ctx.host, ctx.session) != 0) return kExitFailed;
    const int status = restoreLocked(ctx, backup);
    store::endEditSession(ctx.session);
    return status;
}

int RestoreCommand::restoreLocked(Context& ctx, const fs::path& backup) {
    // Read first: backing up the current file may rotate the chosen backup away.
    std::string why;
    const auto bytes = store::readFileBytes(backup, store::kScrambleLimit, &why);
    if (!bytes)
        return fail("cannot read " + store::printablePath(platform::utf8(backup)) + ": " + why);
    std::vector<std::uint8_t> plain = *bytes;
    store::scrambleBytes(plain);
    auto check = std::make_unique<store::ConfigImage>();
    if (const store::DecodeResult decoded = store::decodeImage(plain, *check); !decoded.ok()) {
        store::showMessage(ctx.host, *decoded.message,
                           store::printablePath(platform::utf8(backup)) + ": " + decoded.reason);
        return fail(store::printablePath(platform::utf8(backup)) +
                    " is not a configuration file; nothing was restored");
    }
    const fs::path& file = ctx.session.configPath;
    std::error_code ec;
    if (!noBackup_ && fs::exists(file, ec)) {
        std::string why;
        if (!backUpConfigFile(file, why))
            return fail("cannot back up " + platform::utf8(file) + ": " + why +
                        "; nothing was restored");
    }
    if (!store::writeFileAtomically(file, bytes->data(), bytes->size(), store::LinkPolicy::Follow,
                                    nullptr, store::kPrivateFile))
        return fail("cannot write " + store::printablePath(platform::utf8(file)) +
                    "; it is unchanged");
    ctx.host.summary(
        store::say(store::OwnText::RestoredFrom, {store::printablePath(platform::utf8(file)),
                                                  store::printablePath(platform::utf8(backup))}),
        {{"file", platform::utf8(file)}, {"backup", platform::utf8(backup)}});
    return kExitOk;
}

}  // namespace kbcfg::cli
