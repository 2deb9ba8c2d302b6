#include "store/safe_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "platform/paths.h"
#include "platform/process.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

WriteCalls g_systemCalls;
std::atomic<WriteCalls*> g_writeCalls{&g_systemCalls};

// Temporary files are named ".NAME.kbcfg-PID-XXXXXX", so that a later run can tell its own
// leftovers from everything else in the folder and knows whether their writer is still alive.
constexpr std::string_view kTempMarker = ".kbcfg-";
constexpr std::size_t kMaxNameInTemp = 80;  // keeps the temporary name within NAME_MAX

FileIdentity identityFrom(const platform::FileInfo& info) {
    return {info.device, info.inode, info.size, info.modifiedNs};
}

bool writeAll(platform::File& file, const std::uint8_t* data, std::size_t size,
              std::error_code& ec) {
    WriteCalls& calls = *g_writeCalls.load();
    while (size > 0) {
        const long n = calls.write(file, data, size, ec);
        if (n < 0) {
            if (ec == std::errc::interrupted) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The pid in a temporary name of ours, or -1 when the name is not one of ours.
long tempOwnerPid(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return -1;
    const auto marker = name.rfind(kTempMarker);
    if (marker == std::string_view::npos) return -1;
    std::string_view rest = name.substr(marker + kTempMarker.size());
    const auto dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || rest.size() - dash - 1 != 6) return -1;
    long pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9' || pid > 100'000'000) return -1;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// The temporary files being written, for removeTemporariesInFlight. A slot is claimed with its
// flag, filled, then published; a signal handler only reads published slots. The paths are kept
// in the system's own form, so that the handler removes them without converting anything.
struct InFlight {
    std::atomic<int> state{0};  // 0 free, 1 being filled, 2 published
    fs::path::value_type path[4096] = {};
};
constexpr int kInFlightSlots = 32;
InFlight g_inFlight[kInFlightSlots];

int registerInFlight(const fs::path& path) {
    const fs::path::string_type& native = path.native();
    if (native.size() >= std::extent_v<decltype(InFlight::path)>) return -1;
    for (int i = 0; i < kInFlightSlots; ++i) {
        int expected = 0;
        if (!g_inFlight[i].state.compare_exchange_strong(expected, 1)) continue;
        std::copy(native.c_str(), native.c_str() + native.size() + 1, g_inFlight[i].path);
        g_inFlight[i].state.store(2);
        return i;
    }
    return -1;  // more writers at once than slots: the next writer clears a leftover
}

void unregisterInFlight(int slot) {
    if (slot >= 0) g_inFlight[slot].state.store(0);
}

fs::path folderOf(const fs::path& path) {
    fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

}  // namespace

int removeOnSignal(const fs::path& path) {
    return registerInFlight(path);
}

void keepOnSignal(int handle) {
    unregisterInFlight(handle);
}

void removeTemporariesInFlight() noexcept {
    for (InFlight& slot : g_inFlight)
        if (slot.state.load() == 2) platform::removeFileNow(slot.path);
}

long WriteCalls::write(platform::File& file, const std::uint8_t* data, std::size_t size,
                       std::error_code& ec) {
    return platform::write(file, data, size, ec);
}

bool WriteCalls::syncFolder(const fs::path& folder, std::error_code& ec) {
    return platform::flushFolder(folder, ec);
}

WriteCalls* useWriteCalls(WriteCalls* calls) {
    return g_writeCalls.exchange(calls ? calls : &g_systemCalls);
}

fs::path followLinks(const fs::path& path) {
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        const auto info = platform::fileInfo(current, platform::Links::NoFollow, ec);
        if (!info || info->kind != platform::FileKind::Link) return current;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return current;
}

std::optional<FileIdentity> identityOf(const fs::path& path) {
    std::error_code ec;
    const auto info = platform::fileInfo(path, platform::Links::Follow, ec);
    if (!info) return std::nullopt;
    return identityFrom(*info);
}

AtomicFile::AtomicFile(const fs::path& target, LinkPolicy links, platform::NewFile newFile)
    : target_(links == LinkPolicy::Follow ? followLinks(target) : target) {
    open(links, newFile, nullptr);
}

AtomicFile::AtomicFile(const fs::path& target, LinkPolicy links, const platform::Protection& source)
    : target_(links == LinkPolicy::Follow ? followLinks(target) : target) {
    open(links, std::nullopt, &source);
}

void AtomicFile::open(LinkPolicy, std::optional<platform::NewFile> kind,
                      const platform::Protection* source) {
    const fs::path folder = folderOf(target_);
    if (target_.filename().empty()) {
        error_ = "not a file name";
        return;
    }

    std::error_code ec;
    if (const auto info = platform::fileInfo(target_, platform::Links::NoFollow, ec)) {
        if (info->kind == platform::FileKind::Regular) {
            if (!platform::mayWriteInPlace(target_)) {
                error_ = "permission denied";
                return;
            }
            replacesExisting_ = true;
            protection_ = info->protection;
        } else if (info->kind != platform::FileKind::Link) {
            error_ = "not a regular file";
            return;
        }
    } else if (ec != std::errc::no_such_file_or_directory) {
        error_ = ec.message();
        return;
    }
    if (!replacesExisting_)
        protection_ = source
                          ? platform::protectionLike(*source)
                          : platform::protectionForNew(kind.value_or(platform::NewFile::Default));

    // A writer killed mid-save leaves its temporary file: the next writer here clears it away.
    removeStaleTemporaries(folder);
    const std::string name = platform::utf8(target_.filename()).substr(0, kMaxNameInTemp);
    const fs::path prefix =
        folder / platform::fromUtf8("." + name + std::string(kTempMarker) +
                                    std::to_string(platform::processId()) + "-");
    // The temporary file is private: nobody else can read the content before it is complete.
    fs::path made;
    file_ = platform::createUnique(prefix, made, ec);
    if (!file_.valid()) {
        error_ = ec.message();
        return;
    }
    temp_ = made;
    inFlightSlot_ = registerInFlight(made);
}

AtomicFile::~AtomicFile() {
    discard();
}

void AtomicFile::discard() {
    file_.close();
    std::error_code ec;
    if (!temp_.empty()) platform::removeFile(temp_, ec);
    temp_.clear();
    unregisterInFlight(inFlightSlot_);
    inFlightSlot_ = -1;
}

bool AtomicFile::fail(const char* what, const std::error_code& ec) {
    error_ = std::string(what) + ": " + ec.message();
    discard();
    return false;
}

void AtomicFile::giveNewFileTo(const platform::Protection& owner) {
    if (replacesExisting_) return;
    giveAway_ = true;
    protection_.owner = owner.owner;
    protection_.group = owner.group;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (!file_.valid()) return false;
    std::error_code ec;
    if (!writeAll(file_, static_cast<const std::uint8_t*>(data), size, ec))
        return fail("write", ec);
    return true;
}

bool AtomicFile::commit(FileIdentity* written) {
    if (!file_.valid()) return false;
    std::string why;
    if (!platform::applyProtection(file_, protection_, replacesExisting_ || giveAway_, why)) {
        error_ = why;
        discard();
        return false;
    }
    std::error_code ec;
    if (!platform::flush(file_, ec)) return fail("fsync", ec);
    const auto info = platform::fileInfo(file_, ec);
    if (!info) return fail("stat", ec);
    if (!file_.close()) return fail("close", platform::lastError());
    if (!platform::replaceFile(temp_, target_, ec)) return fail("rename", ec);
    temp_.clear();
    unregisterInFlight(inFlightSlot_);
    inFlightSlot_ = -1;
    if (written) *written = identityFrom(*info);

    // A folder we may write but not read cannot be flushed; the rename stands.
    if (!g_writeCalls.load()->syncFolder(folderOf(target_), ec)) {
        error_ = "fsync folder: " + ec.message();
        return false;
    }
    return true;
}

bool writeFileAtomically(const fs::path& path, const std::uint8_t* data, std::size_t size,
                         LinkPolicy links, FileIdentity* written, platform::NewFile newFile) {
    AtomicFile file(path, links, newFile);
    return file.ok() && file.write(data, size) && file.commit(written);
}

namespace {
// Opens a regular file for reading without ever blocking on it.
platform::File openRegular(const fs::path& path, platform::FileInfo& info) {
    std::error_code ec;
    platform::File file = platform::openForReading(path, platform::Links::Follow, ec);
    if (!file.valid()) return file;
    const auto opened = platform::fileInfo(file, ec);
    if (!opened || opened->kind != platform::FileKind::Regular) {
        errno = EINVAL;
        return {};
    }
    info = *opened;
    return file;
}

// Reads what is left of an opened regular file, at most maxBytes.
std::optional<std::vector<std::uint8_t>> readOpened(platform::File& file,
                                                    const platform::FileInfo& info,
                                                    std::size_t maxBytes, std::error_code& ec) {
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min<std::uint64_t>(info.size, maxBytes)));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= maxBytes) break;
            // The file grew while it was read: read on in steps, up to the limit.
            bytes.resize(std::min(maxBytes, std::max<std::size_t>(bytes.size() * 2, 65536)));
        }
        const long n = platform::read(file, bytes.data() + got, bytes.size() - got, ec);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}
}  // namespace

std::optional<std::vector<std::uint8_t>> readRegularFile(const fs::path& path, std::size_t maxBytes,
                                                         FileIdentity* identity) {
    platform::FileInfo info;
    platform::File file = openRegular(path, info);
    if (!file.valid()) return std::nullopt;
    std::error_code ec;
    auto bytes = readOpened(file, info, maxBytes, ec);
    if (bytes && identity) *identity = identityFrom(info);
    return bytes;
}

std::optional<std::uintmax_t> regularFileSize(const fs::path& path) {
    platform::FileInfo info;
    if (!openRegular(path, info).valid()) return std::nullopt;
    return static_cast<std::uintmax_t>(info.size);
}

std::optional<std::vector<std::uint8_t>> readPrivateFile(const fs::path& path, std::size_t maxBytes,
                                                         std::string& why) {
    std::error_code ec;
    platform::File file = platform::openForReading(path, platform::Links::Follow, ec);
    if (!file.valid()) {
        why = ec.message();
        return std::nullopt;
    }
    const auto info = platform::fileInfo(file, ec);
    if (!info) {
        why = ec.message();
    } else if (info->kind != platform::FileKind::Regular) {
        why = "not a regular file";
    } else if (platform::othersMayAccess(*info)) {
        why = "others may read or change it; it must be yours alone (chmod 600)";
    } else if (info->size > maxBytes) {
        why = "larger than " + std::to_string(maxBytes) + " bytes";
    } else if (auto bytes = readOpened(file, *info, maxBytes, ec)) {
        return bytes;
    } else {
        why = ec.message();
    }
    return std::nullopt;
}

bool copyFileAtomically(const fs::path& from, const fs::path& to, bool sameOwner) {
    platform::FileInfo info;
    platform::File in = openRegular(from, info);
    if (!in.valid()) return false;
    AtomicFile out(to, LinkPolicy::Replace, info.protection);
    if (sameOwner) out.giveNewFileTo(info.protection);
    std::vector<std::uint8_t> buffer(1 << 20);
    bool good = out.ok();
    while (good) {
        std::error_code ec;
        const long n = platform::read(in, buffer.data(), buffer.size(), ec);
        if (n <= 0) {
            good = n == 0;
            break;
        }
        good = out.write(buffer.data(), static_cast<std::size_t>(n));
    }
    return good && out.commit();
}

void removeStaleTemporaries(const fs::path& folder) {
    const fs::path where = folder.empty() ? fs::path(".") : folder;
    std::error_code ec;
    const auto names = platform::folderEntries(where, ec);
    if (!names) return;
    const platform::UserId me = platform::currentUser();
    for (const std::string& name : *names) {
        const long pid = tempOwnerPid(name);
        if (pid < 0 || platform::processAlive(pid)) continue;
        const fs::path path = where / platform::fromUtf8(name);
        const auto info = platform::fileInfo(path, platform::Links::NoFollow, ec);
        if (!info || info->kind != platform::FileKind::Regular || info->owner != me) continue;
        platform::removeFile(path, ec);
    }
}

}  // namespace kbcfg::store
