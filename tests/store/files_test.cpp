#include "store/files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <memory>

#include "store/checksum.h"
#include "store/fresh_image.h"
#include "store/loader.h"
#include "support/failing_writes.h"
#include "support/fresh_config.h"
#include "support/platform_files.h"

namespace kbcfg::store {
namespace {

using store::Msg;

namespace fs = std::filesystem;
using kbcfg::testing::readAll;
using kbcfg::testing::writeAll;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A valid current-layout image with a little content, as plain bytes.
std::vector<std::uint8_t> plainImage(const std::string& adminName = "admin") {
    auto image = std::make_unique<ConfigImage>();
    makeFreshImage(*image, adminName, "");
    image->device(17).setInUse(1);
    image->device(17).setPort(8000);
    image->updateChecksum();
    return {image->bytes().begin(), image->bytes().end()};
}

std::vector<std::uint8_t> scrambled(std::vector<std::uint8_t> bytes) {
    scrambleBytes(bytes);
    return bytes;
}

class FilesTest : public kbcfg::testing::ConfigFolder {
  protected:
    // Loads a file holding these plain bytes (scrambled on disk).
    int loadPlain(const std::vector<std::uint8_t>& plain) {
        writeAll(session.configPath, scrambled(plain));
        return loadImage(host, session, *image);
    }
};

TEST(Scramble, IsItsOwnInverseAndPassesTrailingBytes) {
    std::vector<std::uint8_t> bytes{0x00, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB};
    const auto original = bytes;
    scrambleBytes(bytes);
    EXPECT_THAT(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4),
                ElementsAre(0x17, 0x9E, 0x3C, 0x5A));
    EXPECT_EQ(bytes[8], 0xAA);
    EXPECT_EQ(bytes[9], 0xBB);
    scrambleBytes(bytes);
    EXPECT_EQ(bytes, original);
}

TEST_F(FilesTest, ScrambleFileRoundTripsAndStopsAtItsLimit) {
    std::vector<std::uint8_t> big(kScrambleLimit + 7);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
    writeAll(dir / "in", big);
    ASSERT_EQ(scrambleFile(host, dir / "in", dir / "mid"), 0);
    ASSERT_EQ(scrambleFile(host, dir / "mid", dir / "out"), 0);
    const auto out = readAll(dir / "out");
    EXPECT_EQ(out.size(), kScrambleLimit);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), big.begin()));

    EXPECT_EQ(scrambleFile(host, dir / "missing", dir / "x"), -1);
    EXPECT_EQ(scrambleFile(host, dir / "in", dir / "no-such-folder" / "x"), -1);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed, Msg::OpenConfigFailed));
}

TEST_F(FilesTest, LoadsACurrentFileInMemory) {
    ASSERT_EQ(loadPlain(plainImage("boss")), 0);
    EXPECT_THAT(host.numbers(), IsEmpty());
    EXPECT_EQ(image->operatorRecord(0).name(), "boss");
    EXPECT_EQ(image->device(17).port(), 8000);
    EXPECT_FALSE(fs::exists(dir / "tem.bin"));
}

TEST_F(FilesTest, DamagedFilesGiveOneMessageAndLeaveTheImageAlone) {
    ASSERT_EQ(loadPlain(plainImage("before")), 0);
    const auto good = plainImage();

    auto flipped = good;
    flipped[layout::kDeviceTable + 17 * 132 + 72] ^= 0x01;
    auto badChecksum = good;
    badChecksum[layout::kChecksumOffset] ^= 0x80;
    auto badMagic = good;
    badMagic[0] ^= 0xFF;
    auto unknown = good;
    putU32(unknown.data() + 12, 0x140101);
    auto hugeLength = good;
    putU32(hugeLength.data() + 8, 0xFFFFFFF0);
    auto overLength = good;
    putU32(overLength.data() + 8, layout::kLength + 1);
    const std::vector<std::uint8_t> fifteen(good.begin(), good.begin() + 15);

    const std::vector<const std::vector<std::uint8_t>*> damaged{
        &flipped, &badChecksum, &badMagic, &unknown, &hugeLength, &overLength, &fifteen};
    for (const auto* bad : damaged) {
        host.clear();
        EXPECT_EQ(loadPlain(*bad), -1);
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::ConfigFileError));
        EXPECT_FALSE(fs::exists(dir / "tem.bin"));
    }
    host.clear();
    EXPECT_EQ(loadPlain({}), -1);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::ConfigFileError));
    EXPECT_EQ(image->operatorRecord(0).name(), "before");
}

TEST_F(FilesTest, ChecksumFollowsTheFilesOwnLengthField) {
    auto plain = plainImage("short");
    putU32(plain.data() + 8, 1000);
    putU32(plain.data() + 4, imageChecksum(plain, 1000));
    ASSERT_EQ(loadPlain(plain), 0);
    EXPECT_EQ(image->operatorRecord(0).name(), "short");

    // A truncated file reads into a zeroed image and is checked over what its header says.
    auto truncated = plainImage("trunc");
    truncated.resize(600'002);  // also not a multiple of 4
    putU32(truncated.data() + 8, 600'000 - 12);
    putU32(truncated.data() + 4, imageChecksum(truncated, 600'000 - 12));
    ASSERT_EQ(loadPlain(truncated), 0);
    EXPECT_EQ(image->operatorRecord(0).name(), "trunc");
    EXPECT_EQ(image->stream(3, 1279).serverPort(), 0);
}

TEST_F(FilesTest, UnreadableAndSpecialFilesGiveMessage2AtOnce) {
    EXPECT_EQ(loadImage(host, session, *image), -1);  // missing
    fs::create_directory(session.configPath);
    EXPECT_EQ(loadImage(host, session, *image), -1);  // a directory
    fs::remove(session.configPath);
    // A FIFO with no writer would block a plain open for ever; /dev/zero would fill memory.
    KBCFG_FIFO_OR_SKIP(session.configPath);
    EXPECT_EQ(loadImage(host, session, *image), -1);
    fs::remove(session.configPath);
    KBCFG_LINK_OR_SKIP("/dev/zero", session.configPath);
    EXPECT_EQ(loadImage(host, session, *image), -1);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed, Msg::OpenConfigFailed,
                                            Msg::OpenConfigFailed, Msg::OpenConfigFailed));
}

TEST_F(FilesTest, SaveWritesOnlyTheScrambledFileThroughLinks) {
    // Any name is a configuration file's name, "tem.bin" included; a link (or a chain of them)
    // to it is followed, and stays a link.
    writeAll(dir / "tem.bin", scrambled(plainImage()));
    KBCFG_LINK_OR_SKIP("tem.bin", dir / "one.bin");
    KBCFG_LINK_OR_SKIP("one.bin", dir / "two.bin");
    for (const char* name : {"tem.bin", "two.bin"}) {
        setConfigPaths(session, dir / name);
        ASSERT_EQ(loadImage(host, session, *image), 0);
        image->device(17).setPort(name[0] == 't' ? 9000 : 9001);
        ASSERT_EQ(saveChange(host, session, *image), 0);
        EXPECT_EQ(scrambled(readAll(dir / "tem.bin")),
                  std::vector<std::uint8_t>(image->bytes().begin(), image->bytes().end()));
    }
    EXPECT_TRUE(kbcfg::testing::isLink(dir / "one.bin"));
    EXPECT_TRUE(kbcfg::testing::isLink(dir / "two.bin"));
    EXPECT_THAT(host.numbers(), IsEmpty());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_THAT(names, ElementsAre("one.bin", "tem.bin", "two.bin"));
}

TEST_F(FilesTest, FailedSaveKeepsTheOldFile) {
    ASSERT_EQ(loadPlain(plainImage()), 0);
    fs::permissions(session.configPath, fs::perms(0640));
    const auto before = readAll(session.configPath);
    image->device(17).setPort(9100);
    image->updateChecksum();
    // Fail at the start and in the middle of the scrambled copy.
    for (std::size_t failAt : {std::size_t{0}, layout::kImageSize / 2}) {
        host.clear();
        {
            kbcfg::testing::FailingWrites full(failAt);
            EXPECT_EQ(saveImage(host, session, *image), -1);
        }
        EXPECT_THAT(host.numbers(), ElementsAre(Msg::OpenConfigFailed));
        EXPECT_EQ(readAll(session.configPath), before);
    }
    // No half-written temporary file is left in the folder.
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_THAT(entry.path().filename().string(), ::testing::Not(::testing::StartsWith(".")));
    EXPECT_EQ(image->device(17).port(), 9100);  // the change is still in memory

    host.clear();
    ASSERT_EQ(saveImage(host, session, *image), 0);
#ifndef _WIN32  // a kept security descriptor: FileSafetyCli
    struct stat st {};
    ASSERT_EQ(::stat(session.configPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
}

TEST_F(FilesTest, SaveThroughASymlinkKeepsTheLink) {
    fs::create_directory(dir / "real");
    writeAll(dir / "real" / "kb.bin", scrambled(plainImage()));
    KBCFG_LINK_OR_SKIP("real/kb.bin", dir / "link.bin");
    setConfigPaths(session, dir / "link.bin");
    ASSERT_EQ(loadImage(host, session, *image), 0);
    image->device(17).setPort(2001);
    ASSERT_EQ(saveChange(host, session, *image), 0);
    EXPECT_TRUE(kbcfg::testing::isLink(dir / "link.bin"));
    auto reloaded = std::make_unique<ConfigImage>();
    SessionState direct;
    setConfigPaths(direct, dir / "real" / "kb.bin");
    ASSERT_EQ(loadImage(host, direct, *reloaded), 0);
    EXPECT_EQ(reloaded->device(17).port(), 2001);
}

// ---- file choice and backup ----

class ChooseTest : public FilesTest {
  protected:
    ChooseTest() : cwd(fs::current_path()) {}
    ~ChooseTest() override { fs::current_path(cwd); }

    // A folder below the temp folder whose path plus "/" plus a file name of nameLength
    // characters is exactly pathLength characters long.
    fs::path pathOfLength(std::size_t pathLength, std::size_t nameLength, char fill = 'f') {
        const std::string base = dir.path().string() + "/";
        const std::size_t folderLength = pathLength - nameLength - base.size() - 1;
        const fs::path folder = base + std::string(folderLength, 'd');
        fs::create_directories(folder);
        const fs::path file = folder / std::string(nameLength, fill);
        writeAll(file, scrambled(plainImage()));
        return file;
    }

    fs::path cwd;
};

TEST_F(ChooseTest, CancelChangesNothing) {
    session.configPath = "previous";
    EXPECT_FALSE(chooseConfigFile(host, session));
    EXPECT_EQ(session.configPath, "previous");
    ASSERT_TRUE(host.lastFileRequest);
    EXPECT_EQ(host.lastFileRequest->proposedName, "kbCfg.bin");
    EXPECT_THAT(host.numbers(), IsEmpty());
}

TEST_F(ChooseTest, AcceptsAFileAndBacksItUp) {
    const fs::path file = dir / "site.bin";
    writeAll(file, scrambled(plainImage()));
    host.files.push_back(file);
    ASSERT_TRUE(chooseConfigFile(host, session));
    EXPECT_EQ(session.configPath, file);
    EXPECT_EQ(session.configFolder, dir.path() / "");
    EXPECT_EQ(fs::current_path(), dir.path());
    EXPECT_EQ(readAll(dir / "Backup" / "site.bin"), readAll(file));
    EXPECT_THAT(host.numbers(), IsEmpty());
    EXPECT_EQ(host.waitDepth, 0);
}

TEST_F(ChooseTest, AnExistingBackupIsReplacedOnlyOnOk) {
    const fs::path file = dir / "site.bin";
    writeAll(file, {1, 2, 3, 4});
    fs::create_directory(dir / "Backup");
    writeAll(dir / "Backup" / "site.bin", {9});

    host.files.push_back(file);
    host.answers.push_back(Answer::Cancel);
    ASSERT_TRUE(chooseConfigFile(host, session));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::AskCoverBackup, Msg::NotBackedUp));
    EXPECT_EQ(readAll(dir / "Backup" / "site.bin"), std::vector<std::uint8_t>{9});

    host.clear();
    host.files.push_back(file);
    host.answers.push_back(Answer::Ok);
    ASSERT_TRUE(chooseConfigFile(host, session));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::AskCoverBackup));
    EXPECT_EQ(readAll(dir / "Backup" / "site.bin"), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_F(ChooseTest, PathAndFileNameLimits) {
    host.files.push_back(pathOfLength(128, 32));  // exactly at both limits: accepted
    EXPECT_TRUE(chooseConfigFile(host, session));
    EXPECT_EQ(session.configPath.native().size(), 128u);

    session.configPath = "kept?";
    host.clear();
    host.files.push_back(pathOfLength(129, 10));
    EXPECT_FALSE(chooseConfigFile(host, session));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::PathTooLong));
    EXPECT_TRUE(session.configPath.empty());

    host.clear();
    host.files.push_back(pathOfLength(100, 33));
    EXPECT_FALSE(chooseConfigFile(host, session));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::FileNameTooLong));
    EXPECT_TRUE(session.configPath.empty());

    // Characters, not bytes: 40 two-byte characters are a 40-character name.
    host.clear();
    std::string wide;
    for (int i = 0; i < 31; ++i) wide += "\xC3\xA9";
    const fs::path file = dir / wide;
    writeAll(file, {0});
    host.files.push_back(file);
    EXPECT_TRUE(chooseConfigFile(host, session));
}

TEST_F(ChooseTest, LongBackupPathsUseShortNames) {
    // The backup path adds "Backup/" (7 characters) to the folder: 122 + 7 + 1 > 128.
    const fs::path file = pathOfLength(122, 20);
    host.files.push_back(file);
    ASSERT_TRUE(chooseConfigFile(host, session));
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::BackupAsKbCfgBk));
    EXPECT_EQ(readAll(file.parent_path() / "Backup" / "kbCfg.bk"), readAll(file));

    const fs::path bk = file.parent_path() / "kbCfg.bk";
    fs::copy_file(file, bk);
    // kbCfg.bk itself, once the path is too long, is backed up as kb.bk.
    SessionState other;
    setConfigPaths(other, bk);
    host.clear();
    backupConfigFile(host, other, "kbCfg.bk", 20);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::BackupAsKbBk));
    EXPECT_TRUE(fs::exists(file.parent_path() / "Backup" / "kb.bk"));

    // After an export the limit is 260, so the same folder keeps the real name; the earlier
    // short-name backup is the same file name, so replacing it is asked first.
    host.clear();
    writeAll(bk, {5, 5});
    host.answers.push_back(Answer::Ok);
    backupConfigFile(host, other, "kbCfg.bk", kBackupLimitAtExport);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::AskCoverBackup));
    EXPECT_EQ(readAll(file.parent_path() / "Backup" / "kbCfg.bk"),
              (std::vector<std::uint8_t>{5, 5}));
}

}  // namespace
}  // namespace kbcfg::store
