// Attacks and faults on the configuration file: a second writer, a writer that was killed,
// planted lock files and links, a file changed behind the session's back, protected files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <functional>
#include <memory>

#include "platform/access.h"
#include "platform/files.h"
#include "platform/process.h"
#include "store/checksum.h"
#include "store/files.h"
#include "store/fresh_image.h"
#include "store/messages.h"
#include "support/failing_writes.h"
#include "support/fresh_config.h"
#include "support/platform_files.h"

namespace kbcfg::store {
namespace {

using store::Msg;

namespace fs = std::filesystem;
using kbcfg::testing::readAll;
using kbcfg::testing::ScriptedHost;
using kbcfg::testing::TempDir;
using kbcfg::testing::writeAll;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Bytes = std::vector<std::uint8_t>;

Bytes scrambledImage(const std::string& admin) {
    auto image = std::make_unique<ConfigImage>();
    makeFreshImage(*image, admin, "");
    Bytes bytes(image->bytes().begin(), image->bytes().end());
    scrambleBytes(bytes);
    return bytes;
}

std::vector<std::string> folderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

#ifndef _WIN32
// Runs body in a child process; its exit status (or 128 + signal).
int inChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

class FileSafetyTest : public kbcfg::testing::ConfigFolder {
  protected:
    void SetUp() override { writeAll(file(), scrambledImage("admin")); }
    // Login as far as the file goes: the lock, then the load.
    int open(SessionState& s) {
        if (beginEditSession(host, s) != 0) return -1;
        return loadImage(host, s, *image);
    }
    std::string lastText() const { return host.shown.empty() ? "" : host.shown.back().text; }
};

TEST_F(FileSafetyTest, OneWriterAtATimeWhicheverPathItUses) {
    ASSERT_EQ(open(session), 0);
    // The lock file is made as private as a file of secrets.
    EXPECT_FALSE(platform::othersMayAccess(lockPathFor(file())));
    const bool linked = kbcfg::testing::makeLink("kbCfg.bin", dir / "alias.bin");
    SessionState second;
    for (const char* name : {"kbCfg.bin", "alias.bin"}) {
        if (!linked && name == std::string("alias.bin")) continue;
        setConfigPaths(second, dir / name);
        host.clear();
        EXPECT_EQ(open(second), -1) << name;
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
        EXPECT_THAT(lastText(), StartsWith(getMessage(Msg::OpenConfigFailed) + "\n"));
        EXPECT_THAT(lastText(),
                    HasSubstr("process " + std::to_string(platform::processId()) + " ("));
    }
    // Readers need no lock.
    SessionState reader;
    setConfigPaths(reader, file());
    EXPECT_EQ(loadImage(host, reader, *image), 0);

    endEditSession(session);
    EXPECT_EQ(open(second), 0);
    endEditSession(second);
    EXPECT_EQ(folderNames(dir.path()).size(), linked ? 2u : 1u);

    // A lock that cannot be made at all says so, instead of trying in vain.
    std::string why;
    EXPECT_EQ(ConfigLock::acquire(dir / "missing" / "kb.bin", why), nullptr);
    EXPECT_THAT(why, StartsWith("Cannot create the lock file "));
}

TEST_F(FileSafetyTest, AKilledHolderNeverBlocksTheNextSession) {
#ifdef _WIN32
    GTEST_SKIP() << "the holder is a forked process; Windows releases a lock with its process";
#else
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        std::string why;
        auto lock = ConfigLock::acquire(file(), why);
        const char byte = lock ? 1 : 0;
        if (::write(ready[1], &byte, 1) != 1) ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    EXPECT_EQ(open(session), -1);
    EXPECT_THAT(lastText(), HasSubstr("process " + std::to_string(holder)));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // Its lock file is still there, but nobody holds it any more.
    EXPECT_TRUE(fs::exists(lockPathFor(file())));
    EXPECT_EQ(open(session), 0);
#endif
}

TEST_F(FileSafetyTest, PlantedLockFilesAreNeverWrittenThrough) {
    const Bytes victim(100, 0x5A);
    writeAll(dir / "victim", victim);
    const Bytes config = readAll(file());
    const std::function<void()> plants[] = {
        [&] {
            if (!kbcfg::testing::makeLink("victim", lockPathFor(file())))
                fs::create_directory(lockPathFor(file()));  // where no link can be made
        },
        [&] { fs::create_hard_link(file(), lockPathFor(file())); },
        [&] { fs::create_directory(lockPathFor(file())); },
    };
    for (const auto& plant : plants) {
        plant();
        host.clear();
        EXPECT_EQ(beginEditSession(host, session), -1);
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
        EXPECT_EQ(readAll(dir / "victim"), victim);
        EXPECT_EQ(readAll(file()), config);
        fs::remove(lockPathFor(file()));
    }
}

TEST_F(FileSafetyTest, ASaveIsRefusedWhenTheFileChangedSinceTheLoad) {
    const std::function<void()> changes[] = {
        // Another program saved its own version (a new file), or edited it in place.
        [&] { writeFileAtomically(file(), scrambledImage("other").data(), layout::kImageSize); },
        [&] {
            Bytes bytes = readAll(file());
            bytes.push_back(0);
            writeAll(file(), bytes);
        },
    };
    for (const auto& change : changes) {
        ASSERT_EQ(open(session), 0);
        image->device(3).setPort(9000);
        ASSERT_EQ(saveChange(host, session, *image), 0);  // our own saves go on
        ASSERT_EQ(saveChange(host, session, *image), 0);
        change();
        const Bytes theirs = readAll(file());
        host.clear();
        EXPECT_EQ(saveChange(host, session, *image), -1);
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
        EXPECT_THAT(lastText(), HasSubstr("changed on disk"));
        EXPECT_EQ(readAll(file()), theirs);
        endEditSession(session);
        writeAll(file(), scrambledImage("admin"));
    }
}

TEST_F(FileSafetyTest, SavesRespectTheFilesProtection) {
    ASSERT_EQ(open(session), 0);
#ifndef _WIN32  // Unix modes; Windows keeps the security descriptor (FileSafetyCli)
    // No write permission at all: refused, even for root.
    ::chmod(file().c_str(), 0444);
    const Bytes before = readAll(file());
    EXPECT_EQ(saveChange(host, session, *image), -1);
    EXPECT_EQ(readAll(file()), before);
    // Set-id bits are dropped, the rest of the mode is kept.
    for (mode_t mode : {04750, 02664, 0600}) {
        ::chmod(file().c_str(), mode);
        ASSERT_EQ(saveChange(host, session, *image), 0);
        struct stat st {};
        ::stat(file().c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, mode & 01777);
    }
#endif
    // A failed flush of the folder is a failed save.
    kbcfg::testing::FailingWrites unflushed(std::nullopt, true);
    EXPECT_EQ(saveChange(host, session, *image), -1);
}

TEST_F(FileSafetyTest, OwnersAreKeptAndOtherUsersCannotTakeAFileOver) {
#ifdef _WIN32
    GTEST_SKIP() << "Unix owners and setuid; Windows keeps the whole security descriptor";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
    constexpr uid_t kOther = 65534;
    ::chmod(dir.path().c_str(), 0777);
    // Root edits a user's private file: it stays the user's.
    ASSERT_EQ(::chown(file().c_str(), kOther, kOther), 0);
    ::chmod(file().c_str(), 0640);
    ASSERT_EQ(open(session), 0);
    ASSERT_EQ(saveChange(host, session, *image), 0);
    struct stat st {};
    ::stat(file().c_str(), &st);
    EXPECT_EQ(st.st_uid, kOther);
    EXPECT_EQ(st.st_gid, kOther);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    endEditSession(session);

    // Another user may not replace root's 0644 file, although the folder lets him.
    ASSERT_EQ(::chown(file().c_str(), 0, 0), 0);
    ::chmod(file().c_str(), 0644);
    const Bytes before = readAll(file());
    const int status = inChild([&] {
        if (::setgid(kOther) != 0 || ::setuid(kOther) != 0) return 3;
        ScriptedHost childHost;
        SessionState other;
        setConfigPaths(other, file());
        if (loadImage(childHost, other, *image) != 0) return 4;
        return saveChange(childHost, other, *image) == -1 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readAll(file()), before);
    ::stat(file().c_str(), &st);
    EXPECT_EQ(st.st_uid, 0u);
#endif
}

TEST(SafeFile, OutputsReplaceLinksAndNeverLeaveTemporaries) {
    TempDir dir;
    const Bytes victim(10, 1), content(20, 2);
    writeAll(dir / "victim", victim);
    writeAll(dir / "source", content);
    using Write = std::function<bool(const fs::path&)>;
    const Write writes[] = {
        [&](const fs::path& to) { return writeFileAtomically(to, content.data(), content.size()); },
        [&](const fs::path& to) { return copyFileOverwrite(dir / "source", to); },
    };
    for (const Write& write : writes) {
        if (kbcfg::testing::makeLink("victim", dir / "out")) {
            ASSERT_TRUE(write(dir / "out"));
            EXPECT_FALSE(kbcfg::testing::isLink(dir / "out"));
            EXPECT_EQ(readAll(dir / "out"), content);
            EXPECT_EQ(readAll(dir / "victim"), victim);
            fs::remove(dir / "out");
        }
        // A FIFO or a folder at the target is refused.
#ifndef _WIN32
        ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
        EXPECT_FALSE(write(dir / "fifo"));
        fs::remove(dir / "fifo");
#endif
        fs::create_directory(dir / "folder");
        EXPECT_FALSE(write(dir / "folder"));
        fs::remove(dir / "folder");
        EXPECT_FALSE(write(dir / "no-such-folder" / "out"));
    }
    {
        AtomicFile abandoned(dir / "half", LinkPolicy::Replace);
        ASSERT_TRUE(abandoned.ok());
        abandoned.write(content.data(), content.size());
    }
    // A copy of a private file is as private as its source.
    {
        std::error_code ec;
        platform::File source = platform::openForWriting(dir / "source", platform::Create::No, ec);
        std::string why;
        ASSERT_TRUE(platform::applyProtection(
            source, platform::protectionForNew(platform::NewFile::Private), false, why))
            << why;
    }
    ASSERT_TRUE(copyFileOverwrite(dir / "source", dir / "copy"));
    EXPECT_FALSE(platform::othersMayAccess(dir / "copy"));
    fs::remove(dir / "copy");
    // A source that is not a regular file is never read.
    EXPECT_FALSE(copyFileOverwrite("/dev/zero", dir / "zero"));
    EXPECT_THAT(folderNames(dir.path()), ElementsAre("source", "victim"));
}

TEST(SafeFile, LeftoversOfKilledWritersAreRemovedOthersKept) {
#ifdef _WIN32
    GTEST_SKIP() << "a process id known to be free is found by fork";
#else
    TempDir dir;
    // A process that has ended, and whose pid is therefore free.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string deadPid = std::to_string(gone), livePid = std::to_string(::getpid());
    const std::vector<std::string> names = {
        ".kbCfg.bin.kbcfg-" + deadPid + "-a1B2c3",  // ours, its writer gone: removed
        ".kbCfg.bin.kbcfg-" + livePid + "-a1B2c3",  // a writer still at work
        ".kbCfg.bin.kbcfg-" + deadPid + "-a1B2c",   // not our pattern
        "kbCfg.bin.kbcfg-" + deadPid + "-a1B2c3",   // not hidden: not ours
    };
    for (const auto& name : names) writeAll(dir / name, {1});
    removeStaleTemporaries(dir.path());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(fs::exists(dir / names[i]), i != 0) << names[i];
#endif
}

}  // namespace
}  // namespace kbcfg::store

namespace kbcfg::store {
namespace {

#ifndef _WIN32
// A process of another user that holds a read lock on a file it planted, until it is killed.
pid_t plantHeldLock(const fs::path& path, uid_t user) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(3);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0666);
        struct flock request {};
        request.l_type = F_RDLCK;
        request.l_whence = SEEK_SET;
        ::fcntl(fd, F_OFD_SETLK, &request);
        [[maybe_unused]] auto n = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    [[maybe_unused]] auto n = ::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return pid;
}

#endif

TEST_F(FileSafetyTest, OnlyThoseWhoMayWriteTheFileHoldOrBlockItsLock) {
#ifdef _WIN32
    GTEST_SKIP() << "Unix owners, setuid and sticky folders; a lock file is owner-only there";
#else
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as several users";
    constexpr uid_t kOwner = 65534, kOther = 65533;
    const fs::path lock = lockPathFor(file());
    ::chmod(dir.path().c_str(), 01777);  // a shared, sticky folder
    writeAll(dir / "victim", Bytes(10, 7));
    const auto asUser = [](uid_t user, const std::function<void()>& plant) {
        return inChild([&] {
            if (::setgid(user) != 0 || ::setuid(user) != 0) return 3;
            plant();
            return 0;
        });
    };
    const auto writeLock = [&](const std::string& text) {
        const int fd = ::open(lock.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        [[maybe_unused]] auto n = ::write(fd, text.data(), text.size());
        ::close(fd);
    };
    struct Case {
        const char* what;
        std::function<pid_t()> plant;  // a process to end afterwards, or 0
    };
    const Case planted[] = {
        {"a lock file naming a process, with escape codes",
         [&] { return asUser(kOther, [&] { writeLock("1 \033]0;PWNED\007\033[2J\n"); }), 0; }},
        {"a lock file held open and locked", [&] { return plantHeldLock(lock, kOther); }},
        {"a link to another file",
         [&] { return asUser(kOther, [&] { fs::create_symlink(dir / "victim", lock); }), 0; }},
    };
    // Root's edit of root's file is never blocked by a user who may not write the file.
    for (const Case& c : planted) {
        const pid_t holder = c.plant();
        host.clear();
        EXPECT_EQ(beginEditSession(host, session), 0) << c.what << ": " << lastText();
        struct stat st {};
        ASSERT_EQ(::lstat(lock.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 0u) << c.what;
        EXPECT_EQ(st.st_mode & 07777, 0600u) << c.what;
        // Nobody else can even open the lock, let alone lock it.
        EXPECT_EQ(asUser(kOther, [&] { ::_exit(::open(lock.c_str(), O_RDONLY) < 0 ? 0 : 1); }), 0);
        endEditSession(session);
        EXPECT_FALSE(fs::exists(fs::symlink_status(lock))) << c.what;
        if (holder > 0) ::kill(holder, SIGKILL), ::waitpid(holder, nullptr, 0);
    }
    EXPECT_EQ(readAll(dir / "victim"), Bytes(10, 7));

    // A user who may not remove such a lock file is told which it is and whose, never fooled.
    ASSERT_EQ(::chown(file().c_str(), kOwner, kOwner), 0);
    ASSERT_EQ(asUser(kOther, [&] { writeLock("1 \033]0;PWNED\007\n"); }), 0);
    std::string why;
    EXPECT_EQ(inChild([&] {
                  if (::setgid(kOwner) != 0 || ::setuid(kOwner) != 0) return 3;
                  const auto held = ConfigLock::acquire(file(), why);
                  return !held && why.find(lock.string()) != std::string::npos &&
                                 why.find("not trusted") != std::string::npos &&
                                 why.find('\033') == std::string::npos
                             ? 0
                             : 1;
              }),
              0);
    fs::remove(lock);

    // A lock file of someone who may write the file blocks, and names its holder only when that
    // process runs the program it names.
    ASSERT_EQ(::chown(file().c_str(), 0, 0), 0);
    ASSERT_EQ(beginEditSession(host, session), 0);
    const std::pair<std::string, std::string> lines[] = {
        {"1 \033]0;PWNED\007\033[2J\n", "not trusted"},
        {std::to_string(::getpid()) + " " + program_invocation_short_name + "\n",
         "process " + std::to_string(::getpid())},
    };
    for (const auto& [line, expected] : lines) {
        writeLock(line);
        EXPECT_EQ(inChild([&] {
                      const auto second = ConfigLock::acquire(file(), why);
                      return !second && why.find(expected) != std::string::npos &&
                                     why.find('\033') == std::string::npos
                                 ? 0
                                 : 1;
                  }),
                  0)
            << expected;
    }
    endEditSession(session);
#endif
}

}  // namespace
}  // namespace kbcfg::store
