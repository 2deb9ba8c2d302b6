#include "store/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "store/ansi.h"
#include "store/checksum.h"
#include "store/loader.h"
#include "store/messages.h"

namespace kbcfg::store {

namespace fs = std::filesystem;

namespace {

constexpr int kMessageOpenFailed = 2;  // "Open config file failed!"
constexpr int kMessageBackupAsKbCfgBk = 186;
constexpr int kMessageBackupAsKbBk = 190;
constexpr int kMessageAskCoverBackup = 42;
constexpr int kMessagePathTooLong = 210;
constexpr int kMessageNameTooLong = 211;

std::optional<std::size_t> g_writeFault;

class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded (it can report a deferred write error).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        std::size_t chunk = size;
        if (g_writeFault) {
            if (*g_writeFault == 0) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min(chunk, *g_writeFault);
        }
        const ssize_t n = ::write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (g_writeFault) *g_writeFault -= static_cast<std::size_t>(n);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeWholeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.ok()) return false;
    if (!writeAll(fd.get(), data, size)) return false;
    return fd.close();
}

std::size_t pathChars(const fs::path& p) {
    return codePointCount(p.native());
}

void ensureDirectory(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) fs::create_directories(dir, ec);
}

// Saving goes to the file a symbolic link names, so the link stays a link.
fs::path resolveTarget(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
    fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    return target.is_absolute() ? target : path.parent_path() / target;
}

// The working copy would overwrite (and after a load delete) a configuration file that is itself
// named "tem.bin" in its folder.
bool isWorkingCopy(const SessionState& session) {
    std::error_code ec;
    const fs::path config = fs::weakly_canonical(session.configPath, ec);
    if (ec) return false;
    const fs::path temp = fs::weakly_canonical(session.tempPath, ec);
    return !ec && config == temp;
}

}  // namespace

namespace testing {
void setWriteFault(std::optional<std::size_t> bytes) {
    g_writeFault = bytes;
}
}  // namespace testing

std::optional<std::vector<std::uint8_t>> readFileBytes(const fs::path& path, std::size_t maxBytes) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.ok()) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    const std::size_t hint = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
    bytes.resize(std::min(hint, maxBytes));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() >= maxBytes) break;
            // The file grew, or its size was unknown: read on in steps.
            bytes.resize(std::min(maxBytes, std::max<std::size_t>(bytes.size() * 2, 65536)));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

bool writeFileAtomically(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    const fs::path target = resolveTarget(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string tmpl = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (!fd.ok()) return false;
    const fs::path tmp = tmpl;
    auto fail = [&] {
        std::error_code ec;
        fs::remove(tmp, ec);
        return false;
    };
    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
    struct stat st {};
    mode_t mode;
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0) return fail();
    if (!writeAll(fd.get(), data, size)) return fail();
    if (::fsync(fd.get()) != 0) return fail();
    if (!fd.close()) return fail();
    if (::rename(tmp.c_str(), target.c_str()) != 0) return fail();
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.ok()) ::fsync(dir.get());
    return true;
}

bool copyFileOverwrite(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

bool chooseConfigFile(Host& host, SessionState& session) {
    const FileChoiceRequest request{"All File (*)", kProposedFileName, "*.*"};
    const std::optional<fs::path> chosen = host.chooseOpenFile(request);
    if (!chosen) return false;
    WaitCursor wait(host);

    const fs::path path = *chosen;
    if (pathChars(path) > kMaxPathChars) {
        showMessage(host, kMessagePathTooLong);
        session.configPath.clear();
        return false;
    }
    const fs::path fileName = path.filename();
    if (pathChars(fileName) > kMaxFileNameChars) {
        showMessage(host, kMessageNameTooLong);
        session.configPath.clear();
        return false;
    }
    setConfigPaths(session, path);

    ensureDirectory(backupFolder(session));
    std::error_code ec;
    fs::current_path(session.configFolder, ec);

    backupConfigFile(host, session, fileName.string(), kBackupLimitAtLogin);
    return true;
}

void backupConfigFile(Host& host, SessionState& session, const std::string& fileName,
                      std::size_t limit) {
    const fs::path folder = backupFolder(session);
    ensureDirectory(folder);
    const fs::path source = session.configFolder / fileName;
    const fs::path target = folder / fileName;

    if (pathChars(target) + 1 > limit) {
        // The backup path would be too long for the keyboard's tools: keep a short name.
        if (fileName != "kbCfg.bk") {
            copyFileOverwrite(source, folder / "kbCfg.bk");
            showMessage(host, kMessageBackupAsKbCfgBk);
        } else {
            copyFileOverwrite(source, folder / "kb.bk");
            showMessage(host, kMessageBackupAsKbBk);
        }
        return;
    }
    std::error_code ec;
    if (fs::exists(target, ec)) {
        const int mode = limit == kBackupLimitAtLogin ? kTipBackupAtLogin : kTipBackupAtExport;
        askMessage(host, session, kMessageAskCoverBackup, fileName, mode);
        return;
    }
    copyFileOverwrite(source, target);
}

namespace {
// Reads, scrambles and writes; the scrambled bytes stay available to the caller.
int scrambleInto(Host& host, const fs::path& source, const fs::path& target,
                 std::vector<std::uint8_t>& bytes) {
    std::optional<std::vector<std::uint8_t>> read = readFileBytes(source, kScrambleLimit);
    if (!read) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    bytes = std::move(*read);
    scrambleBytes(bytes);
    if (!writeWholeFile(target, bytes.data(), bytes.size())) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    return 0;
}
}  // namespace

int scrambleFile(Host& host, const fs::path& source, const fs::path& target) {
    std::vector<std::uint8_t> bytes;
    return scrambleInto(host, source, target, bytes);
}

int loadImage(Host& host, const SessionState& session, ConfigImage& image,
              std::uint32_t* fileVersion) {
    if (isWorkingCopy(session)) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    std::vector<std::uint8_t> plain;
    if (scrambleInto(host, session.configPath, session.tempPath, plain) != 0) return -1;
    const DecodeResult result = decodeImage(plain, image);
    if (fileVersion) *fileVersion = result.version;
    if (!result.ok()) {
        showMessage(host, result.message);
        return -1;
    }
    std::error_code ec;
    fs::remove(session.tempPath, ec);
    return 0;
}

int saveImage(Host& host, const SessionState& session, const ConfigImage& image) {
    if (isWorkingCopy(session)) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    const std::span<const std::uint8_t> plain = image.bytes();
    if (!writeWholeFile(session.tempPath, plain.data(), plain.size())) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    std::vector<std::uint8_t> scrambled(plain.begin(), plain.end());
    scrambleBytes(scrambled);
    if (!writeFileAtomically(session.configPath, scrambled.data(), scrambled.size())) {
        showMessage(host, kMessageOpenFailed);
        return -1;
    }
    return 0;
}

int saveChange(Host& host, const SessionState& session, ConfigImage& image) {
    image.updateChecksum();
    return saveImage(host, session, image);
}

void removeTempFile(const SessionState& session) {
    if (session.tempPath.empty()) return;
    std::error_code ec;
    fs::remove(session.tempPath, ec);
}

}  // namespace kbcfg::store
