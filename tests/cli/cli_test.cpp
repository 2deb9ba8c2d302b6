// Runs the built kbcfg on files in a temporary folder and checks what it prints, its exit status
// and what it leaves on disk.

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"
#include "store/fresh_image.h"
#include "store/loader.h"
#include "support/cli_runner.h"
#include "support/legacy_files.h"
#include "support/platform_files.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

namespace fs = std::filesystem;
namespace layout = store::layout;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Bytes = std::vector<std::uint8_t>;

Bytes scrambled(Bytes plain) {
    store::scrambleBytes(plain);
    return plain;
}

Bytes plainBytes(const store::ConfigImage& image) {
    return Bytes(image.bytes().begin(), image.bytes().end());
}

// A current-layout image with something in every kind of record, and patterned opaque regions so
// that any truncation changes the checksum.
void buildPopulated(store::ConfigImage& image) {
    store::makeFreshImage(image, "admin", "0123456789abcdef");  // full width, no NUL
    for (std::size_t i = 0; i < layout::kKeyboardParamsSize; ++i)
        image.bytes()[layout::kKeyboardParams + i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t i = layout::kReservedTail; i < layout::kImageSize; ++i)
        image.bytes()[i] = static_cast<std::uint8_t>(i * 13 + 5);

    auto op1 = image.operatorRecord(1);
    op1.setInUse(1);
    op1.setName("night_shift");
    op1.setPassword("pw1");

    auto d0 = image.device(0);
    d0.setInUse(1);
    d0.setIp(store::packIp(198, 51, 100, 10));
    d0.setPort(8000);
    d0.setUserName("admin");
    d0.setPassword("devpass");
    d0.setDeviceType(400);
    auto d5 = image.device(5);
    d5.setInUse(1);
    d5.setIp(store::packIp(203, 0, 113, 7));
    d5.setPort(9000);
    d5.setUserName("viewer");

    image.setUserDevice(1, 0, 0);
    image.setUserDevice(1, 1, 5);
    auto s = image.stream(1, 0);
    s.setDeviceSlot(0);
    s.setEnabled(1);
    s.setServerIp(store::packIp(203, 0, 113, 50));
    s.setServerPort(554);
    s.setProtocol(1);

    auto channel = [&image](int pos, std::uint32_t index, int slot, int number, int kind) {
        auto e = image.channel(1, pos);
        e.setIndex(index);
        e.setDeviceSlot(static_cast<std::int16_t>(slot));
        e.setNumber(static_cast<std::uint16_t>(number));
        e.setKind(static_cast<std::uint8_t>(kind));
        return e;
    };
    channel(0, 1, 0, 1, store::kInputChannel).setMatrixLink(1 | (2 << 1));
    auto out = channel(1, 1001, 0, 10, store::kOutputChannel);
    out.setOutputPort(store::kBnc);
    out.setPortFirst(9);
    channel(7, 3003, 5, 3, store::kScene);
    channel(8, 4001, 5, 1, store::kTvWall);

    image.groupRow(1, store::GroupTable::Input, 2).setSlot(4, 0);
    image.groupRow(1, store::GroupTable::Output, 0).setSlot(0, 1);
    auto m = image.matrix(1, 2);
    m.setDeviceSlot(0);
    for (int i = 0; i < layout::kMatrixCells; ++i)
        m.setCell(i, static_cast<std::uint8_t>(i / 8 + 1), static_cast<std::uint8_t>(i % 8 + 1), 0);
    image.updateChecksum();
}

Bytes populatedPlain() {
    store::ConfigImage image;
    buildPopulated(image);
    return plainBytes(image);
}

// Sets the checksum of a plain current-layout file over its own length field.
void refreshChecksum(Bytes& plain) {
    const std::uint32_t length = store::getU32(plain.data() + layout::kLengthOffset);
    store::putU32(plain.data() + layout::kChecksumOffset, store::imageChecksum(plain, length));
}

class CliTest : public ::testing::Test {
  protected:
    fs::path write(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir / name;
        writeAll(p, bytes);
        return p;
    }
    fs::path writeConfig(const std::string& name, const Bytes& plain) {
        return write(name, scrambled(plain));
    }
    // Nothing of a command stays in the folder: no plain copy, no lock, no temporary file.
    std::string strayLeft() const {
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (name == "tem.bin" || name.find(".kbcfg-") != std::string::npos) return name;
        }
        return "";
    }
    void TearDown() override { EXPECT_EQ(strayLeft(), "") << "left behind"; }

    TempDir dir;
};

// --- usage ----------------------------------------------------------------------------------

TEST_F(CliTest, HelpAndVersionSucceedOnStdout) {
    Result r = kbcfg({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"check", "convert", "decode", "encode", "info", "dump", "new"})
        EXPECT_THAT(r.out, HasSubstr(command));
    for (const char* command : {"check", "convert", "decode", "encode", "info", "dump", "new"}) {
        r = kbcfg({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_THAT(r.out, HasSubstr(command)) << command;
    }
    EXPECT_THAT(kbcfg({"dump", "--help"}).out, HasSubstr("--with-passwords"));
    EXPECT_THAT(kbcfg({"new", "--help"}).out, HasSubstr("--force"));

    r = kbcfg({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "kbcfg 0.1.0\n");
}

TEST_F(CliTest, UsageErrorsExitTwo) {
    const fs::path file = writeConfig("kbCfg.bin", populatedPlain());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"check"},
        {"check", file.string(), "extra"},
        {"convert", file.string()},
        {"decode", file.string()},
        {"dump", file.string(), "--no-such-option"},
        {"new"},
        {"new", (dir / "x.bin").string(), "--admin"},
    };
    for (const auto& args : cases) {
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.err.empty()) << ::testing::PrintToString(args);
    }
    EXPECT_FALSE(fs::exists(dir / "x.bin"));
}

// --- check and bad input ----------------------------------------------------------------------

TEST_F(CliTest, CheckAcceptsCurrentFile) {
    const Result r = kbcfg({"check", writeConfig("kbCfg.bin", populatedPlain()).string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok 0x150420\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, CheckUsesTheFilesOwnLengthField) {
    Bytes plain = populatedPlain();
    store::putU32(plain.data() + layout::kLengthOffset, 1'000'000);
    refreshChecksum(plain);
    const Result r = kbcfg({"check", writeConfig("short.bin", plain).string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "ok 0x150420\n");
}

struct BadFile {
    std::string name;
    std::function<Bytes()> make;
    std::string message;
    std::string reason = "";  // how the line after the message goes on, after "FILE: "
};

const std::string kError = "The config file is error!";
const std::string kOpenFailed = "Open config file failed!";
const std::string kConvertFailed = "Convert config file from low version failed!";
const std::string kChecksum = "checksum does not match the content (the file is damaged)";

Bytes flipped(std::size_t offset) {
    Bytes plain = populatedPlain();
    plain[offset] ^= 0x5A;
    return scrambled(plain);
}

std::vector<BadFile> badFiles() {
    std::vector<BadFile> cases = {
        {"empty", [] { return Bytes{}; }, kError, "0 bytes, too short for a configuration file"},
        {"fifteen bytes",
         [] {
             Bytes b = scrambled(populatedPlain());
             b.resize(15);
             return b;
         },
         kError},
        {"truncated",
         [] {
             Bytes b = scrambled(populatedPlain());
             b.resize(1'000'000);
             return b;
         },
         kError, "1,000,000 bytes instead of 1,724,904 (layout 0x150420)"},
        {"size not a multiple of 4",
         [] {
             Bytes b = scrambled(populatedPlain());
             b.pop_back();
             return b;
         },
         kError},
        {"flipped checksum", [] { return flipped(layout::kChecksumOffset + 1); }, kError,
         kChecksum},
        {"bad magic", [] { return flipped(layout::kMagicOffset); }, kError,
         "no configuration header (not a configuration file, or not scrambled)"},
        {"flipped length", [] { return flipped(layout::kLengthOffset); }, kError},
        {"huge length field",
         [] {
             Bytes plain = populatedPlain();
             store::putU32(plain.data() + layout::kLengthOffset, 0xFFFFFFF0u);
             return scrambled(plain);
         },
         kError, "length field 4,294,967,280 is more than layout 0x150420 holds (1,724,892)"},
        {"length field not a multiple of 4, stale checksum",
         [] {
             Bytes plain = populatedPlain();
             store::putU32(plain.data() + layout::kLengthOffset, layout::kLength - 1);
             return scrambled(plain);
         },
         kError},
        {"unknown version",
         [] {
             Bytes plain = populatedPlain();
             store::putU32(plain.data() + layout::kVersionOffset, 0x990101);
             refreshChecksum(plain);
             return scrambled(plain);
         },
         kError, "unknown layout 0x990101 (this tool reads 0x150420, 0x130826, "},
        {"not scrambled", [] { return populatedPlain(); }, kError, "not scrambled"},
        {"old layout 0x130826 with bad checksum",
         [] {
             Bytes plain = populatedPlain();
             plain.resize(1'463'784);
             store::putU32(plain.data() + layout::kVersionOffset, 0x130826);
             store::putU32(plain.data() + layout::kLengthOffset, 1'463'772);
             return scrambled(plain);
         },
         kError},
        {"old layout 0x120716 that does not hold",
         [] {
             Bytes plain = populatedPlain();
             plain.resize(1'463'400);
             store::putU32(plain.data() + layout::kVersionOffset, 0x120716);
             return scrambled(plain);
         },
         kConvertFailed, "length field 1,724,892 is more than layout 0x120716 holds (1,463,388)"},
    };
    for (std::size_t offset : {std::size_t{12}, std::size_t{13}, std::size_t{400},
                               std::size_t{1'000'001}, layout::kImageSize - 1})
        cases.push_back({"flipped byte at " + std::to_string(offset),
                         [offset] { return flipped(offset); }, kError});
    return cases;
}

TEST_F(CliTest, EveryDamagedFileGivesItsOneMessage) {
    for (const BadFile& bad : badFiles()) {
        SCOPED_TRACE(bad.name);
        const Bytes bytes = bad.make();
        const fs::path file = write("kbCfg.bin", bytes);
        // The catalogue's line, then which file and why.
        const std::string said = bad.message + "\n" + file.string() + ": " + bad.reason;
        for (const char* command : {"check", "info", "dump"}) {
            const Result r = kbcfg({command, file.string()});
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_THAT(r.err, StartsWith(said)) << command;
            EXPECT_EQ(r.out, "") << command;
        }
        const fs::path good = writeConfig("good.bin", populatedPlain());
        EXPECT_THAT(kbcfg({"diff", good.string(), file.string()}).err, StartsWith(said));
        const Result r = kbcfg({"convert", file.string(), (dir / "out.bin").string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, StartsWith(said));
        EXPECT_FALSE(fs::exists(dir / "out.bin"));
        EXPECT_EQ(readAll(file), bytes) << "input changed";
        EXPECT_EQ(strayLeft(), "");
    }
}

TEST_F(CliTest, UnreadableFilesCannotBeOpened) {
    fs::create_directory(dir / "folder");
    const bool linked = makeLink(dir / "nowhere.bin", dir / "dangling.bin");
    std::vector<std::pair<fs::path, std::string>> cases = {
        {dir / "folder", "not a regular file (a folder)"},
        {dir / "missing" / "kbCfg.bin", "no such file"}};
    if (linked)
        cases.emplace_back(dir / "dangling.bin",
                           "no such file (a link to a file that does not exist)");
    for (const auto& [file, reason] : cases) {
        SCOPED_TRACE(file.string());
        const std::string said = kOpenFailed + "\n" + file.string() + ": " + reason;
        for (const char* command : {"check", "info", "dump"}) {
            const Result r = kbcfg({command, file.string()});
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_EQ(r.err, said + "\n") << command;
        }
        const auto doc = nlohmann::json::parse(kbcfg({"check", file.string(), "--json"}).out);
        EXPECT_EQ(doc["messages"], nlohmann::json::array({{{"message", 2}, {"text", said}}}));
        const Result r = kbcfg({"convert", file.string(), (dir / "out.bin").string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, said + "\n");
        EXPECT_FALSE(fs::exists(dir / "out.bin"));
    }
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(isLink(dir / "dangling.bin"), linked);
}

TEST_F(CliTest, NoPlainCopyIsEverWrittenBesideTheFile) {
    // "tem.bin" is an ordinary name now: a configuration file may carry it, and a planted link
    // of that name (to a file the attacker wants overwritten) is never touched.
    const Bytes bytes = scrambled(populatedPlain());
    const fs::path file = write("tem.bin", bytes);
    EXPECT_EQ(kbcfg({"check", file.string()}).out, "ok 0x150420\n");
    EXPECT_EQ(readAll(file), bytes);
    fs::remove(file);

    const Bytes victim(64, 0x11);
    write("victim", victim);
    KBCFG_LINK_OR_SKIP("victim", dir / "tem.bin");
    EXPECT_EQ(kbcfg({"check", writeConfig("kbCfg.bin", populatedPlain()).string()}).status, 0);
    EXPECT_EQ(kbcfg({"check", (dir / "missing.bin").string()}).status, 1);
    EXPECT_EQ(readAll(dir / "victim"), victim);
    EXPECT_TRUE(isLink(dir / "tem.bin"));
    fs::remove(dir / "tem.bin");
}

TEST_F(CliTest, OutputThatCannotBeWrittenFails) {
    // /dev/full accepts the open and fails every write.
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here (Windows has no such device)";
    const fs::path file = writeConfig("kbCfg.bin", populatedPlain());
    EXPECT_EQ(kbcfg({"dump", file.string()}, "/dev/full").status, 1);
}

// --- convert --------------------------------------------------------------------------------

TEST_F(CliTest, ConvertOfCurrentFileKeepsEveryByte) {
    const Bytes plain = populatedPlain();
    const fs::path in = writeConfig("kbCfg.bin", plain);
    const fs::path out = dir / "out.bin";
    Result r = kbcfg({"convert", in.string(), out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(scrambled(readAll(out)), plain);
    EXPECT_EQ(kbcfg({"check", out.string()}).out, "ok 0x150420\n");

    // Over an existing file.
    write("old.bin", Bytes(100, 0xEE));
    r = kbcfg({"convert", in.string(), (dir / "old.bin").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir / "old.bin"), readAll(in));
}

TEST_F(CliTest, ConvertWritesTheFullLengthAndAFreshChecksum) {
    Bytes plain = populatedPlain();
    store::putU32(plain.data() + layout::kLengthOffset, 1'000'000);
    refreshChecksum(plain);
    const fs::path out = dir / "out.bin";
    const Result r = kbcfg({"convert", writeConfig("short.bin", plain).string(), out.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const Bytes written = scrambled(readAll(out));
    ASSERT_EQ(written.size(), layout::kImageSize);
    EXPECT_EQ(store::getU32(written.data() + layout::kLengthOffset), layout::kLength);
    EXPECT_EQ(store::getU32(written.data() + layout::kChecksumOffset),
              store::imageChecksum(written, layout::kLength));
    EXPECT_TRUE(std::equal(written.begin() + 12, written.end(), plain.begin() + 12));
}

TEST_F(CliTest, ConvertThatCannotWriteLeavesNothing) {
    const fs::path in = writeConfig("kbCfg.bin", populatedPlain());
    const Result r = kbcfg({"convert", in.string(), (dir / "missing" / "out.bin").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("out.bin"));
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(CliTest, ConvertOfOlderLayoutsMatchesTheLoad) {
    for (std::uint32_t version :
         {0x130826u, 0x120716u, 0x120208u, 0x110607u, 0x110310u, 0x100901u}) {
        SCOPED_TRACE(::testing::Message() << std::hex << version);
        // Only what the layout has room for.
        FileContent content = sampleContent();
        if (oldLayout(version).matrices == 0) content.matrices.clear();
        if (oldLayout(version).streams == 0) content.streams.clear();
        const Bytes old = makeOldFile(version, content);
        const fs::path in = writeConfig("old.bin", old);
        char expected[32];
        std::snprintf(expected, sizeof expected, "ok 0x%06x\n", version);
        EXPECT_EQ(kbcfg({"check", in.string()}).out, expected);

        const fs::path out = dir / "new.bin";
        const Result r = kbcfg({"convert", in.string(), out.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(kbcfg({"check", out.string()}).out, "ok 0x150420\n");

        // The written file is what the in-memory decode of the old file gives.
        store::ConfigImage image;
        ASSERT_TRUE(store::decodeImage(old, image).ok());
        image.updateChecksum();
        EXPECT_TRUE(scrambled(readAll(out)) == plainBytes(image));

        // dump reads the old file and the converted one alike.
        auto before = nlohmann::json::parse(kbcfg({"dump", in.string()}).out);
        auto after = nlohmann::json::parse(kbcfg({"dump", out.string()}).out);
        EXPECT_EQ(before["header"]["fileVersion"], std::string(expected + 3, 8));
        before.erase("header");
        after.erase("header");
        EXPECT_EQ(before, after);
        EXPECT_EQ(after["operators"][1]["name"], "alice");
        EXPECT_FALSE(after["devices"].empty());
    }
}

// --- decode and encode ----------------------------------------------------------------------

TEST_F(CliTest, DecodeAndEncodeAreTheSameScramble) {
    Bytes raw(1001);
    for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<std::uint8_t>(i * 31 + 3);
    const fs::path in = write("raw.bin", raw);
    Result r = kbcfg({"decode", in.string(), (dir / "plain.bin").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const Bytes plain = readAll(dir / "plain.bin");
    EXPECT_EQ(plain, scrambled(raw));
    EXPECT_EQ(plain.back(), raw.back()) << "a trailing byte is passed through";

    r = kbcfg({"encode", (dir / "plain.bin").string(), (dir / "again.bin").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir / "again.bin"), raw);

    // A configuration file decodes to the plain image.
    const Bytes image = populatedPlain();
    r = kbcfg({"decode", writeConfig("kbCfg.bin", image).string(), (dir / "img.bin").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(dir / "img.bin"), image);
}

TEST_F(CliTest, DecodeOfMissingFileFails) {
    const Result r = kbcfg({"decode", (dir / "nope.bin").string(), (dir / "out.bin").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kOpenFailed + "\n" + (dir / "nope.bin").string() + ": no such file\n");
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

// --- new ------------------------------------------------------------------------------------

TEST_F(CliTest, NewWritesTheFreshImage) {
    const fs::path file = dir / "kbCfg.bin";
    Result r = kbcfg({"new", file.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(kbcfg({"check", file.string()}).out, "ok 0x150420\n");

    // Header, administrator, cleared operator tables; nothing else.
    store::ConfigImage expected;
    expected.stampCurrentHeader();
    expected.operatorRecord(0).setInUse(1);
    expected.operatorRecord(0).setName("admin");
    for (int op = 1; op <= 3; ++op) {
        expected.clearOperatorTables(op);
        expected.resetOperatorDevices(op);
    }
    expected.updateChecksum();
    EXPECT_TRUE(scrambled(readAll(file)) == plainBytes(expected));

    r = kbcfg({"dump", file.string(), "--with-passwords"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["header"]["version"], "0x150420");
    EXPECT_EQ(doc["header"]["length"], layout::kLength);
    ASSERT_EQ(doc["operators"].size(), 4u);
    EXPECT_EQ(doc["operators"][0]["name"], "admin");
    EXPECT_EQ(doc["operators"][0]["password"], "");
    EXPECT_EQ(doc["operators"][0]["inUse"], true);
    for (int op = 1; op <= 3; ++op) EXPECT_EQ(doc["operators"][op]["inUse"], false);
    EXPECT_TRUE(doc["devices"].empty());
    ASSERT_EQ(doc["operatorTables"].size(), 3u);
    for (const auto& t : doc["operatorTables"])
        for (const char* key :
             {"devices", "streams", "channels", "inputGroups", "outputGroups", "matrix"})
            EXPECT_TRUE(t[key].empty()) << key;
}

TEST_F(CliTest, NewTakesNameAndPassword) {
    const fs::path file = dir / "kbCfg.bin";
    const Result r = kbcfg({"new", file.string(), "--admin", "Chief_7", "--password", "s3cr et~!"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(kbcfg({"dump", file.string(), "--with-passwords"}).out);
    EXPECT_EQ(doc["operators"][0]["name"], "Chief_7");
    EXPECT_EQ(doc["operators"][0]["password"], "s3cr et~!");
}

TEST_F(CliTest, NewRefusesBadNamesAndPasswords) {
    const fs::path file = dir / "kbCfg.bin";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--admin", ""}, "Username cannot be blank!"},
        {{"--admin", "abcdefghijklmnopq"}, "Username cannot be more than 16 characters!"},
        {{"--admin", "bad name"}, "Username can only be number,alphabet,underline!"},
        {{"--password", "abcdefghijklmnopq"}, "Password cannot be more than 16 characters!"},
        {{"--password", "tab\there"}, "Illegal input of password!"},
        {{"--password", "caf\xC3\xA9"}, "Illegal input of password!"},
    };
    for (const auto& [options, message] : cases) {
        std::vector<std::string> args = {"new", file.string()};
        args.insert(args.end(), options.begin(), options.end());
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.err, message + "\n");
        EXPECT_FALSE(fs::exists(file)) << message;
    }
    // Exactly 16 characters are fine.
    EXPECT_EQ(kbcfg({"new", file.string(), "--admin", "abcdefghijklmnop", "--password",
                     "abcdefghijklmnop"})
                  .status,
              0);
}

TEST_F(CliTest, NewNeedsForceToReplace) {
    const Bytes old = scrambled(populatedPlain());
    const fs::path file = write("kbCfg.bin", old);
    Result r = kbcfg({"new", file.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("--force"));
    EXPECT_EQ(readAll(file), old);

    r = kbcfg({"new", file.string(), "--force", "--admin", "boss"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(kbcfg({"dump", file.string()}).out);
    EXPECT_EQ(doc["operators"][0]["name"], "boss");
    EXPECT_TRUE(doc["devices"].empty());

    // A directory is never replaced, forced or not.
    fs::create_directory(dir / "folder");
    r = kbcfg({"new", (dir / "folder").string(), "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
}

// --- info and dump --------------------------------------------------------------------------

TEST_F(CliTest, InfoSummarises) {
    const Result r = kbcfg({"info", writeConfig("kbCfg.bin", populatedPlain()).string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("0x150420"));
    EXPECT_THAT(r.out, HasSubstr("admin"));
    EXPECT_THAT(r.out, HasSubstr("night_shift"));
    EXPECT_THAT(r.out, HasSubstr("Devices in use: 2 of 3840"));
    EXPECT_THAT(r.out, HasSubstr("198.51.100.10:8000"));
    EXPECT_THAT(r.out, HasSubstr("1 input, 1 output, 1 scene, 1 TV wall"));
    EXPECT_THAT(r.out, HasSubstr("203.0.113.50:554 UDP"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("0123456789abcdef")));
}

TEST_F(CliTest, DumpListsTheRecordsInUse) {
    const fs::path file = writeConfig("kbCfg.bin", populatedPlain());
    Result r = kbcfg({"dump", file.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("password")));
    const auto doc = nlohmann::json::parse(r.out);

    EXPECT_EQ(doc["operators"][1]["name"], "night_shift");
    ASSERT_EQ(doc["devices"].size(), 2u);
    EXPECT_EQ(doc["devices"][0]["ip"], "198.51.100.10");
    EXPECT_EQ(doc["devices"][1]["slot"], 5);
    EXPECT_EQ(doc["devices"][1]["port"], 9000);

    const auto& t = doc["operatorTables"][0];
    EXPECT_EQ(t["operator"], 1);
    ASSERT_EQ(t["devices"].size(), 2u);
    EXPECT_EQ(t["devices"][1]["deviceSlot"], 5);
    ASSERT_EQ(t["streams"].size(), 1u);
    EXPECT_EQ(t["streams"][0]["serverIp"], "203.0.113.50");
    EXPECT_EQ(t["streams"][0]["protocol"], "UDP");
    ASSERT_EQ(t["channels"].size(), 4u);
    EXPECT_EQ(t["channels"][0]["matrixRecord"], 2);
    EXPECT_EQ(t["channels"][1]["name"], "BNC2");
    EXPECT_EQ(t["channels"][2]["position"], 7);
    EXPECT_EQ(t["channels"][2]["name"], "Scene 3");
    EXPECT_EQ(t["channels"][3]["name"], "TV-Wall 1");
    ASSERT_EQ(t["inputGroups"].size(), 1u);
    EXPECT_EQ(t["inputGroups"][0]["row"], 2);
    EXPECT_EQ(t["inputGroups"][0]["slots"][0]["slot"], 4);
    EXPECT_EQ(t["inputGroups"][0]["slots"][0]["position"], 0);
    ASSERT_EQ(t["outputGroups"].size(), 1u);
    ASSERT_EQ(t["matrix"].size(), 1u);
    EXPECT_EQ(t["matrix"][0]["record"], 2);
    EXPECT_EQ(t["matrix"][0]["cells"].size(), 64u);
    for (int op = 1; op <= 2; ++op) EXPECT_TRUE(doc["operatorTables"][op]["channels"].empty());

    r = kbcfg({"dump", file.string(), "--with-passwords"});
    const auto withPasswords = nlohmann::json::parse(r.out);
    EXPECT_EQ(withPasswords["operators"][0]["password"], "0123456789abcdef");
    EXPECT_EQ(withPasswords["devices"][0]["password"], "devpass");
}

// --- user assign ----------------------------------------------------------------------------

// The populated image with a device of the simulated installation in slot 6, and no matrix
// record of operator 1 free.
Bytes withDevice6(std::uint8_t lastOctet) {
    store::ConfigImage image;
    buildPopulated(image);
    for (int w = 0; w < layout::kMatrixCount; ++w) image.matrix(1, w).setDeviceSlot(0);
    auto device = image.device(6);
    device.setInUse(1);
    device.setIp(store::packIp(198, 51, 100, lastOctet));
    device.setPort(8000);
    device.setUserName("admin");
    device.setPassword("12345");
    image.updateChecksum();
    return plainBytes(image);
}
constexpr std::uint8_t kSimMatrix = 40, kSimEncoder = 20;

const std::vector<std::string> kAssignSlot6 = {
    "user", "assign", "-u", "admin", "-p", "0123456789abcdef", "--record", "1", "--slot", "6"};

TEST_F(CliTest, AMatrixDeviceWithoutAFreeMatrixRecordIsStillSaved) {
    const fs::path file = writeConfig("kbCfg.bin", withDevice6(kSimMatrix));
    std::vector<std::string> args = kAssignSlot6;
    args.insert(args.end(), {"-f", file.string()});
    const Result r = kbcfg(args);
    EXPECT_EQ(r.status, 0) << r.err;
    Bytes plain = readAll(file);
    store::scrambleBytes(plain);
    store::ConfigImage saved;
    ASSERT_TRUE(store::decodeImage(plain, saved).ok());
    EXPECT_EQ(saved.userDevice(1, 2), 6);
    EXPECT_EQ(saved.device(6).deviceType(), 141);
}

TEST_F(CliTest, AnAssignmentThatCannotBeSavedFails) {
#ifdef _WIN32
    GTEST_SKIP() << "a limit on the size of files written (RLIMIT_FSIZE) is POSIX alone";
#else
    const fs::path file = writeConfig("kbCfg.bin", withDevice6(kSimEncoder));
    const Bytes before = readAll(file);
    std::vector<std::string> args = kAssignSlot6;
    args.insert(args.end(), {"-f", file.string()});
    // The tool may read the file but write no file as large as an image ("file too large").
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit small{layout::kImageSize / 2, old.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result r = kbcfg(args);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Open config file failed!"));
    EXPECT_EQ(readAll(file), before);
#endif
}

// --- device import from CSV -----------------------------------------------------------------

// Every line naming a device is counted: the import succeeds only when all of them were added.
TEST_F(CliTest, CsvImportCountsItsLinesAndFailsUnlessAllAreAdded) {
    struct Case {
        std::string csv;
        bool tableAlmostFull;  // one free slot
        int status;
        const char* says;
        int added;
    };
    const Case cases[] = {
        // A byte-order mark, as spreadsheets write it, and CRLF line ends.
        {"\xEF\xBB\xBF# ip,port,user,password\r\n198.51.100.1,8000,admin,x\r\n"
         "\"198.51.100.2\",8000,admin,y\r\n",
         false, 0, "added 2 of 2 lines", 2},
        {"198.51.100.1,8000,admin,x\n198.51.100.2,99,admin,y\n198.51.100.3,8000,admin,\"open\n",
         false, 1, "added 1 of 3 lines; 2 refused, 0 not tried", 1},
        {"198.51.100.1,8000,admin,x\n198.51.100.2,8000,admin,y\n# more\n198.51.100.3,8000,a,z\n",
         true, 1, "added 1 of 3 lines; 1 refused, 1 not tried", 1},
        {"", false, 1, "no device lines (the file is empty or holds only comments)", 0},
        {"# ip,port,user,password\n\n", false, 1, "no device lines", 0},
    };
    auto inUse = [](const Bytes& scrambledFile) {
        Bytes plain = scrambledFile;
        store::scrambleBytes(plain);
        store::ConfigImage image;
        EXPECT_TRUE(store::decodeImage(plain, image).ok());
        int n = 0;
        for (int slot = 0; slot < layout::kDeviceCount; ++slot)
            n += image.device(slot).inUse() != 0;
        return n;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.csv);
        store::ConfigImage image;
        buildPopulated(image);
        for (int slot = 0; c.tableAlmostFull && slot + 1 < layout::kDeviceCount; ++slot) {
            image.device(slot).setInUse(1);
            image.device(slot).setIp(store::packIp(10, 1 + slot / 256, slot % 256, 1));
        }
        image.updateChecksum();
        const fs::path file = writeConfig("kbCfg.bin", plainBytes(image));
        const int before = inUse(readAll(file));
        std::ofstream(dir / "devices.csv", std::ios::binary) << c.csv;
        const Result r = kbcfg({"device", "import-csv", (dir / "devices.csv").string(), "-f",
                                file.string(), "-u", "admin", "-p", "0123456789abcdef"});
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_THAT(c.added > 0 ? r.out : r.err, HasSubstr(c.says));
        EXPECT_EQ(inUse(readAll(file)), before + c.added);
    }
}

// Only a regular file is read: a FIFO would block the import, a device would flood it.
TEST_F(CliTest, CsvImportReadsOnlyARegularFile) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs and /dev/zero: Windows has neither in its file system";
#else
    ASSERT_EQ(::mkfifo((dir / "fifo.csv").c_str(), 0600), 0);
    const fs::path file = writeConfig("kbCfg.bin", populatedPlain());
    for (const std::string& csv : {(dir / "fifo.csv").string(), std::string("/dev/zero")}) {
        const Result r = kbcfg({"device", "import-csv", csv, "-f", file.string(), "-u", "admin",
                                "-p", "0123456789abcdef"});
        EXPECT_EQ(r.status, 1) << csv;
        EXPECT_THAT(r.err, HasSubstr(csv + ": not a regular file"));
    }
#endif
}

}  // namespace
}  // namespace kbcfg::testing
