#include "store/text_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "store/ansi.h"
#include "store/config_diff.h"
#include "store/legacy.h"
#include "store/loader.h"
#include "support/legacy_files.h"

namespace kbcfg::store::textform {
namespace {

namespace L = layout;
using testing::FileContent;

std::unique_ptr<ConfigImage> decoded(const std::vector<std::uint8_t>& plain) {
    auto image = std::make_unique<ConfigImage>();
    const DecodeResult r = decodeImage(plain, *image);
    EXPECT_TRUE(r.ok()) << r.reason;
    // What convert writes: the current header over the loaded content.
    image->stampCurrentHeader();
    image->updateChecksum();
    return image;
}

// Export, print, parse and build again, as export-json and build do.
std::unique_ptr<ConfigImage> roundTrip(const ConfigImage& image, bool withPasswords = true) {
    const std::string text = exportText(image, withPasswords);
    auto built = std::make_unique<ConfigImage>();
    const BuildResult r = buildImage(Json::parse(text), *built);
    EXPECT_TRUE(r.ok) << r.path << ": " << r.message;
    return built;
}

// Index of the first differing byte, or -1.
long firstDifference(const ConfigImage& a, const ConfigImage& b) {
    const auto pa = a.bytes(), pb = b.bytes();
    const auto m = std::mismatch(pa.begin(), pa.end(), pb.begin());
    return m.first == pa.end() ? -1 : static_cast<long>(m.first - pa.begin());
}

TEST(TextForm, RegionsCoverEveryByteAfterTheHeaderOnce) {
    std::size_t at = 16;
    for (const Region& r : regions()) {
        EXPECT_EQ(r.offset, at) << r.name;
        at += regionSize(r) * (r.perOperator ? 3 : 1);
        if (!r.type) continue;
        // Fields stay inside their record and never overlap.
        std::vector<int> owner(r.type->size, 0);
        for (const Field& f : r.type->fields)
            for (std::size_t i = f.offset; i < f.offset + f.width; ++i) ++owner.at(i);
        for (std::size_t i = 0; i < owner.size(); ++i)
            EXPECT_EQ(owner[i], 1) << r.name << " byte " << i;
    }
    EXPECT_EQ(at, L::kImageSize);
}

TEST(TextForm, EveryGeneratedLayoutComesBackByteForByte) {
    constexpr std::uint32_t kVersions[] = {0x130826, 0x120716, 0x120208,
                                           0x110607, 0x110310, 0x100901};
    for (std::uint32_t noise : {0u, 7u, 12345u}) {
        FileContent content = testing::sampleContent();
        content.noiseSeed = noise;
        content.wordsA = {noise, 0, 3};
        content.wordsC = {1, noise, 0};
        std::vector<std::vector<std::uint8_t>> files = {testing::makeCurrentFile(content)};
        for (std::uint32_t v : kVersions) {
            FileContent c = content;
            if (v == 0x100901) c.matrices.clear(), c.streams.clear(), c.wordsC = {};
            files.push_back(testing::makeOldFile(v, c));
        }
        for (const auto& file : files) {
            const auto image = decoded(file);
            for (bool withPasswords : {true, false}) {
                auto built = roundTrip(*image, withPasswords);
                if (!withPasswords) carryPasswords(*image, *built);
                EXPECT_EQ(firstDifference(*image, *built), -1)
                    << "version " << std::hex << getU32(file.data() + 12) << " noise " << noise
                    << " passwords " << withPasswords;
            }
        }
    }
}

// Plausible records with now and then a value no page would write: out-of-range slots, unknown
// kinds, text that the code page cannot give back, reserved bytes, whole records of noise.
std::unique_ptr<ConfigImage> randomImage(std::mt19937& rng) {
    auto image = std::make_unique<ConfigImage>();
    ConfigImage& im = *image;
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto chance = [&](int percent) { return pick(0, 99) < percent; };
    auto bytes = [&](std::uint8_t* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<std::uint8_t>(pick(0, 255));
    };
    auto text = [&](std::size_t maxLen) {
        static constexpr char kChars[] = "abcXYZ019_ -?\xe9\xfc\x81\x9d";
        std::string s(static_cast<std::size_t>(pick(0, static_cast<int>(maxLen))), 'a');
        for (char& c : s) c = kChars[pick(0, sizeof kChars - 2)];
        return s;
    };
    auto slot = [&] { return chance(3) ? pick(-32768, 32767) : pick(-1, L::kDeviceCount - 1); };
    for (int op = 1; op <= 3; ++op) im.clearOperatorTables(op), im.resetOperatorDevices(op);
    std::uint8_t* base = im.bytes().data();
    for (const Region& r : regions()) {
        if (r.type || !chance(30)) continue;
        const std::size_t at =
            static_cast<std::size_t>(pick(0, static_cast<int>(regionSize(r)) - 1));
        bytes(base + r.offset + at, std::min<std::size_t>(regionSize(r) - at, pick(1, 40)));
    }
    for (int n = 0; n < L::kOperatorCount; ++n) {
        if (!chance(60)) continue;
        OperatorRecord o = im.operatorRecord(n);
        o.setInUse(static_cast<std::uint8_t>(pick(0, 2)));
        o.setName(text(32));
        o.setPassword(text(16));
    }
    for (int k = pick(0, 40); k > 0; --k) {
        DeviceRecord d = im.device(pick(0, L::kDeviceCount - 1));
        if (chance(5)) {
            bytes(d.data(), L::kDeviceRecordSize);
            continue;
        }
        d.setInUse(1);
        d.setIp(static_cast<std::uint32_t>(rng()));
        d.setPort(static_cast<std::uint16_t>(pick(0, 65535)));
        d.setUserName(text(32));
        d.setPassword(text(16));
        d.setDeviceType(static_cast<std::uint16_t>(pick(0, 800)));
        if (chance(20)) bytes(d.data() + 8, 64);
        if (chance(20)) d.setIndexBase(static_cast<std::uint32_t>(pick(1, 999)) * 1000);
    }
    for (int op = 1; op <= 3; ++op) {
        for (int k = pick(0, 60); k > 0; --k) {
            ChannelEntry e = im.channel(op, pick(0, L::kChannelCount - 1));
            if (chance(3)) {
                bytes(e.data(), L::kChannelEntrySize);
                continue;
            }
            e.setIndex(static_cast<std::uint32_t>(rng()));
            e.setDeviceSlot(static_cast<std::int16_t>(slot()));
            e.setNumber(static_cast<std::uint16_t>(pick(0, 65535)));
            e.setKind(static_cast<std::uint8_t>(pick(0, 5)));
            e.setOutputPort(static_cast<std::uint8_t>(pick(0, 5)));
            e.setPortFirst(static_cast<std::uint8_t>(pick(0, 3)));
            e.setMatrixLink(static_cast<std::uint8_t>(pick(0, 255)));
            e.setViaStream(static_cast<std::uint8_t>(pick(0, 1)));
            if (chance(10)) bytes(e.data() + 13, 3);
        }
        for (int k = pick(0, 8); k > 0; --k) {
            const int i = pick(0, L::kUserDeviceCount - 1);
            im.setUserDevice(op, i, static_cast<std::int16_t>(slot()));
            StreamRecord s = im.stream(op, i);
            s.setDeviceSlot(slot());
            s.setEnabled(static_cast<std::uint8_t>(pick(0, 1)));
            s.setServerIp(static_cast<std::uint32_t>(rng()));
            s.setServerPort(static_cast<std::uint16_t>(pick(1, 65535)));
            s.setProtocol(static_cast<std::uint8_t>(pick(0, 2)));
            if (chance(10)) bytes(s.data() + 12, 20);
        }
        for (int k = pick(0, 4); k > 0; --k) {
            GroupRow row = im.groupRow(op, chance(50) ? GroupTable::Input : GroupTable::Output,
                                       pick(0, L::kGroupRows - 1));
            row.setParam(static_cast<std::uint32_t>(pick(0, 10)));
            row.setSlot(pick(0, L::kGroupSlots - 1),
                        static_cast<std::int16_t>(chance(5) ? pick(-32768, 32767)
                                                            : pick(-1, L::kChannelCount - 1)));
        }
        for (int k = pick(0, 3); k > 0; --k) {
            MatrixRecord m = im.matrix(op, pick(0, L::kMatrixCount - 1));
            m.setDeviceSlot(slot());
            for (int c = 0; c < L::kMatrixCells; ++c)
                m.setCell(c, static_cast<std::uint8_t>(c / 8 + 1),
                          static_cast<std::uint8_t>(c % 8 + 1),
                          static_cast<std::uint32_t>(pick(0, 3)));
            if (chance(20)) bytes(m.data() + MatrixRecord::kCells + 2, 2);
        }
    }
    im.stampCurrentHeader();
    im.updateChecksum();
    return image;
}

TEST(TextForm, RandomImagesComeBackByteForByte) {
    std::mt19937 rng(20260420);
    for (int n = 0; n < 300; ++n) {
        const auto image = randomImage(rng);
        const bool withPasswords = n % 2 == 0;
        auto built = roundTrip(*image, withPasswords);
        if (!withPasswords) carryPasswords(*image, *built);
        ASSERT_EQ(firstDifference(*image, *built), -1) << "image " << n;
    }
    // Noise everywhere: every record falls back to its bytes.
    ConfigImage noise;
    for (auto& b : noise.bytes()) b = static_cast<std::uint8_t>(rng());
    noise.stampCurrentHeader();
    noise.updateChecksum();
    EXPECT_EQ(firstDifference(noise, *roundTrip(noise)), -1);
}

TEST(TextForm, ReadableFormOfTheSample) {
    const auto image = decoded(testing::makeCurrentFile(testing::sampleContent()));
    const Json doc = exportImage(*image, false);
    EXPECT_EQ(
        doc["devices"][2].dump(),
        R"({"slot":2,"inUse":1,"ip":"198.51.100.12","port":8100,"userName":"root","deviceType":166})");
    EXPECT_EQ(doc["operators"][1].dump(), R"({"record":1,"inUse":1,"name":"alice"})");
    const Json& op1 = doc["operatorTables"][0];
    EXPECT_EQ(
        op1["channels"][4].dump(),
        R"({"position":4,"index":1001,"deviceSlot":0,"kind":"output","number":1,"portFirst":1})");
    EXPECT_EQ(op1["streams"][0]["serverIp"], "198.51.100.200");
    EXPECT_EQ(op1["deviceList"].dump(),
              R"([{"entry":0,"deviceSlot":0},{"entry":1,"deviceSlot":1}])");
    EXPECT_EQ(doc["keyboardParams"].dump(), R"([{"offset":0,"hex":"010000000200000055"}])");
    EXPECT_EQ(doc.dump().find("pw_alice"), std::string::npos);
    EXPECT_NE(exportImage(*image, true).dump().find("pw_alice"), std::string::npos);
    // One record per line, so a change shows as one changed line.
    const std::string text = exportText(*image, false);
    EXPECT_NE(text.find("\n        {\"position\":4,\"index\":1001,"), std::string::npos) << text;
}

// Replaces the value at `pointer` (or removes it when value is discarded).
struct Refusal {
    const char* pointer;
    Json value;
    const char* path;
    const char* message;
};

TEST(TextForm, BrokenDocumentsAreRefusedWithThePathOfTheFirstError) {
    const auto image = decoded(testing::makeCurrentFile(testing::sampleContent()));
    const Json good = exportImage(*image, true);
    const Json longName = std::string(33, 'x');
    const Refusal cases[] = {
        {"/format", "other", "$.format", "expected"},
        {"/version", "0x130826", "$.version", "expected"},
        {"/colour", 1, "$.colour", "unknown key"},
        {"/withPasswords", 1, "$.withPasswords", "expected true or false"},
        {"/devices/0/colour", "red", "$.devices[0].colour", "unknown key"},
        {"/devices/0/port", "8000", "$.devices[0].port", "expected an integer, found string"},
        {"/devices/0/port", 65536, "$.devices[0].port", "out of range"},
        {"/devices/0/port", 80.5, "$.devices[0].port", "expected an integer"},
        {"/devices/0/inUse", true, "$.devices[0].inUse", "expected an integer, found boolean"},
        {"/devices/0/ip", "198.51.100", "$.devices[0].ip", "not an IPv4 address"},
        {"/devices/0/ip", "198.51.100.256", "$.devices[0].ip", "not an IPv4 address"},
        {"/devices/0/slot", 3840, "$.devices[0].slot", "out of range"},
        {"/devices/1/slot", 0, "$.devices[1].slot", "duplicate slot 0"},
        {"/devices/0/userName", longName, "$.devices[0].userName", "too long"},
        {"/operators/1/name", "\xe6\x97\xa5\xe6\x9c\xac", "$.operators[1].name", "not encodable"},
        {"/operators/1/name", std::string("a\0b", 3), "$.operators[1].name", "not encodable"},
        {"/operators/1/reserved1", "00zz00", "$.operators[1].reserved1", "not a hex digit"},
        {"/operators/1/reserved1", "0000", "$.operators[1].reserved1", "expected 3 bytes"},
        {"/operatorTables/0/channels/0/position", 20480, "$.operatorTables[0].channels[0].position",
         "out of range"},
        {"/operatorTables/0/channels/1/position", 0, "$.operatorTables[0].channels[1].position",
         "duplicate position 0"},
        {"/operatorTables/0/channels/0/deviceSlot", 3840,
         "$.operatorTables[0].channels[0].deviceSlot", "out of range"},
        {"/operatorTables/0/channels/0/kind", "camera", "$.operatorTables[0].channels[0].kind",
         "unknown channel kind"},
        {"/operatorTables/0/channels/0/index", -1, "$.operatorTables[0].channels[0].index",
         "out of range"},
        {"/operatorTables/0/deviceList/0/deviceSlot", -2,
         "$.operatorTables[0].deviceList[0].deviceSlot", "out of range"},
        {"/operatorTables/0/inputGroups/0/slots/3", 20480,
         "$.operatorTables[0].inputGroups[0].slots[3]", "out of range"},
        {"/operatorTables/0/inputGroups/0/slots", Json::array({1, 2}),
         "$.operatorTables[0].inputGroups[0].slots", "expected 64 slots"},
        {"/operatorTables/1/matrix/0/cells/2", Json::array({1, 2}),
         "$.operatorTables[1].matrix[0].cells[2]", "expected [row, column, value]"},
        {"/operatorTables/0/streams/0/protocol", "SCTP", "$.operatorTables[0].streams[0].protocol",
         "unknown protocol"},
        {"/operatorTables/1/operator", 1, "$.operatorTables[1].operator", "duplicate operator 1"},
        {"/operatorTables/0/operator", 4, "$.operatorTables[0].operator", "out of range"},
        {"/operatorTables/0/devices", Json::array(), "$.operatorTables[0].devices", "unknown key"},
        {"/keyboardParams/0/offset", 368, "$.keyboardParams[0].offset", "out of range"},
        {"/keyboardParams/1",
         {{"offset", 2}, {"hex", "01"}},
         "$.keyboardParams[1].offset",
         "ascending order without overlap"},
        {"/keyboardParams/0/hex", std::string(738, '1'), "$.keyboardParams[0].hex",
         "reaches past the region"},
        {"/devices/0/hex", "00", "$.devices[0]", "no other fields"},
        {"/operators", Json::object(), "$.operators", "expected an array, found object"},
    };
    for (const Refusal& c : cases) {
        Json doc = good;
        doc[Json::json_pointer(c.pointer)] = c.value;
        ConfigImage target;
        target.bytes()[100] = 0x5A;
        const BuildResult r = buildImage(doc, target);
        EXPECT_FALSE(r.ok) << c.pointer;
        EXPECT_EQ(r.path, c.path) << c.pointer;
        EXPECT_NE(r.message.find(c.message), std::string::npos) << c.pointer << ": " << r.message;
        EXPECT_EQ(target.bytes()[100], 0x5A) << "a refused build changed the image";
    }
}

TEST(TextForm, MangledTextIsBuiltOrRefusedNeverMore) {
    const auto image = decoded(testing::makeCurrentFile(testing::sampleContent()));
    const std::string good = exportText(*image, true);
    static constexpr char kBits[] = "{}[],:\"0123456789-.eE xtrfalsnu\\";
    std::mt19937 rng(7);
    int refused = 0;
    // One scratch for all: what one build left there never reaches the next.
    ConfigImage reused, scratch;
    for (int n = 0; n < 2000; ++n) {
        std::string text = good;
        for (int k = 1 + n % 3; k > 0; --k) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 3) {
                case 0:
                    text[at] = kBits[rng() % (sizeof kBits - 1)];
                    break;
                case 1:
                    text.erase(at, 1 + rng() % 8);
                    break;
                default:
                    text.insert(at, 1, kBits[rng() % (sizeof kBits - 1)]);
            }
        }
        ConfigImage built;
        const BuildResult r = buildText(text, built);
        const BuildResult again = buildText(text, reused, scratch);
        EXPECT_EQ(again.ok, r.ok);
        EXPECT_EQ(again.path + again.message, r.path + r.message);
        if (again.ok) {
            EXPECT_EQ(firstDifference(built, reused), -1);
        }
        if (!r.ok) {
            ++refused;
            EXPECT_EQ(r.path.rfind('$', 0), 0u) << r.path;
            EXPECT_FALSE(r.message.empty());
        } else {
            EXPECT_EQ(built.checksum(), built.computeChecksum());
        }
    }
    EXPECT_GT(refused, 1000);
}

TEST(TextForm, PasswordsComeFromTheBaseRecordAtTheSamePosition) {
    const auto image = decoded(testing::makeCurrentFile(testing::sampleContent()));
    Json doc = exportImage(*image, false);
    image->device(9).setPassword("stale");  // a slot not in use keeps old bytes
    // Edits a review makes: a renamed operator, a device with a new address and port.
    doc["operators"][2]["name"] = "robert";
    doc["devices"][2]["ip"] = "203.0.113.1";
    doc["devices"][2]["port"] = 9000;
    // Records the base does not use: device 5 moves to slot 9, operator 3 is new.
    doc["devices"][3]["slot"] = 9;
    doc["operators"].push_back({{"record", 3}, {"inUse", 1}, {"name", "dave"}});
    ConfigImage built;
    ASSERT_TRUE(buildImage(doc, built).ok);
    const EmptyPasswords empty = carryPasswords(*image, built);
    EXPECT_EQ(built.operatorRecord(2).password(), "0123456789abcdef");
    EXPECT_EQ(built.operatorRecord(3).password(), "");
    EXPECT_EQ(built.device(2).password(), "pass");
    EXPECT_EQ(built.device(9).password(), "");
    EXPECT_EQ(empty.operators, std::vector<int>{3});
    EXPECT_EQ(empty.deviceSlots, std::vector<int>{9});
    EXPECT_EQ(built.checksum(), built.computeChecksum());
}

// Input of any shape ends at once, refused at its path, with no control character or text near
// a syntax error in the message. Sizes are such that work growing faster than the input would
// not end in the test's time.
TEST(TextForm, HostileShapesAreRefusedAtTheirPath) {
    const std::string head = R"({"format":"kbcfg-configuration","version":"0x150420",)";
    auto times = [](std::string_view unit, std::size_t n) {
        std::string s;
        s.reserve(unit.size() * n);
        for (std::size_t i = 0; i < n; ++i) s += unit;
        return s;
    };
    std::string manyKeys = "{";
    for (int i = 0; i < 1'000'000; ++i) manyKeys += "\"k" + std::to_string(i) + "\":0,";
    manyKeys.back() = '}';
    const std::string cells = R"("operatorTables":[{"operator":1,"matrix":[{"record":0,"cells":[)";
    const struct {
        std::string text, path, message;
    } cases[] = {
        {manyKeys, "$.k0", "unknown key"},
        {"{" + times(R"("format":"x",)", 500'000) + "}", "$.format", "duplicate key"},
        {times("[", 4'000'000), "$", "expected an object, found array"},
        {head + R"("devices":[{"slot":1,"port":)" + times("[", 4'000'000), "$.devices[0].port",
         "expected an integer, found array"},
        {head + R"("devices":[{"slot":1,"extra":[)" + times("0,", 4'000'000) + "0]}]}",
         "$.devices[0].extra", "unknown key"},
        {head + cells + times("[1,1,1],", 500'000) + "[1,1,1]]}]}]}",
         "$.operatorTables[0].matrix[0].cells", "expected 64 cells, found more"},
        {head + R"("operatorTables":[)" + times("{},", 1'000'000) + "{}]}", "$.operatorTables[0]",
         R"(missing "operator")"},
        {head + R"("keyboardParams":[)" + times(R"({"offset":0,"hex":""},)", 1'000'000) + "0]}",
         "$.keyboardParams[0].hex", "a run holds at least one byte"},
        {head + R"("operators":[{"record":1,"name":")" + times("w", 8'000'000) + "\"}]}",
         "$.operators[0].name", "text longer than"},
        {head + R"("devices":[{"slot":1,"port":)" + times("9", 8'000'000) + "}]}",
         "$.devices[0].port", "number longer than"},
        {head + R"("devices":[{"slot":1,"port":1e400}]})", "$.devices[0].port",
         "number out of range"},
        {head + R"("devices":[{")" + times("k", 8'000'000) + "\":1}]}", "$.devices[0]",
         "key longer than"},
        {head + R"("devices":[{"slot":1,"\u001b]0;PWNED\u0007":1}]})",
         "$.devices[0].\\x1b]0;PWNED\\x07", "unknown key"},
        {head +
             R"("operatorTables":[{"operator":1,"channels":[{"position":0,"kind":"\u001b[2J"}]}]})",
         "$.operatorTables[0].channels[0].kind", R"(unknown channel kind "\x1b[2J")"},
        {head + "\n\"operators\":[{\"record\":1,\"password\":\"secr\x01"
                "et\"}]}",
         "$", "syntax error at line 2, column 42: invalid string: control character U+0001"},
        {head + "\n\"operators\":[{\"record\":1,\"password\":\"secret", "$",
         "syntax error at line 2, column 44: invalid string: missing closing quote"},
    };
    for (const auto& c : cases) {
        ConfigImage built;
        const BuildResult r = buildText(c.text, built);
        const std::string said = r.path + ": " + r.message;
        EXPECT_FALSE(r.ok) << c.path;
        EXPECT_EQ(r.path, c.path);
        EXPECT_EQ(r.message.rfind(c.message, 0), 0u) << said;
        EXPECT_EQ(said.find("secr"), std::string::npos) << said;
        EXPECT_TRUE(std::none_of(said.begin(), said.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x20;
        })) << said;
    }
}

// ---- Semantic diff ----

// A sample image where every record type has a record in use, and a copy to change.
struct DiffPair {
    std::unique_ptr<ConfigImage> a = decoded(testing::makeCurrentFile(testing::sampleContent()));
    std::unique_ptr<ConfigImage> b = decoded(testing::makeCurrentFile(testing::sampleContent()));
};

// Some in-use record of each region: table start of operator `op`, record number.
std::uint8_t* someRecord(ConfigImage& image, const Region& r, int* op, int* key) {
    *op = r.perOperator ? (r.name == "matrix" ? 2 : 1) : 0;
    *key = r.name == "inputGroups" || r.name == "outputGroups" || r.name == "deviceList" ||
                   r.name == "channels" || r.name == "matrix"
               ? 0
               : 1;
    const std::size_t table = r.offset + (*op ? (*op - 1) * regionSize(r) : 0);
    return image.bytes().data() + table +
           static_cast<std::size_t>(*key) * (r.type ? r.type->size : 0);
}

TEST(ConfigDiff, OneChangedFieldOfEachKindGivesOneLine) {
    for (const Region& r : regions()) {
        if (!r.type) continue;
        for (const Field& f : r.type->fields) {
            DiffPair pair;
            int op = 0, key = 0;
            std::uint8_t* p = someRecord(*pair.b, r, &op, &key) + f.offset;
            // A different value that stays valid: texts and slots get a small change.
            if (f.kind == FieldKind::Text)
                p[0] = p[0] ? static_cast<std::uint8_t>(p[0] ^ 1) : 'z';
            else if (f.refers != Refers::Nothing)
                p[0] = static_cast<std::uint8_t>(p[0] == 3 ? 4 : 3), p[1] = 0;
            else
                p[f.kind == FieldKind::MatrixCells ? 4 : 0] ^= 2;
            const DiffResult d = diffImages(*pair.a, *pair.b);
            const std::string what = std::string(r.name) + "." + std::string(f.name);
            if (f.kind == FieldKind::Bytes) {
                ASSERT_EQ(d.differences.size(), 0u) << what;
                ASSERT_EQ(d.unknown.size(), 1u) << what;
                EXPECT_EQ(d.unknown[0].region, r.name);
                EXPECT_EQ(d.unknown[0].count, 1u);
                continue;
            }
            ASSERT_EQ(d.differences.size(), 1u) << what;
            EXPECT_TRUE(d.unknown.empty()) << what;
            const Difference& x = d.differences[0];
            EXPECT_EQ(x.region, r.name);
            EXPECT_EQ(x.op, op);
            EXPECT_EQ(x.key, key);
            const std::string expected = f.secret                           ? "password"
                                         : f.kind == FieldKind::SlotArray   ? "slot 0"
                                         : f.kind == FieldKind::MatrixCells ? "cell 0"
                                         : r.name == "operators" && f.name == "name"
                                             ? "renamed"
                                             : std::string(f.name);
            EXPECT_EQ(x.change, expected) << what;
            if (f.secret) {
                EXPECT_EQ(formatDifference(x).find("12345"), std::string::npos);
            }
        }
    }
}

TEST(ConfigDiff, LinesNameRecordsAsThePagesShowThem) {
    DiffPair pair;
    ConfigImage& b = *pair.b;
    b.device(2).setPort(8200);
    b.channel(1, 5).setNumber(7);
    b.operatorRecord(2).setName("car\nol");
    b.operatorRecord(3).setInUse(1), b.operatorRecord(3).setName("dave");
    b.device(5).clear();
    b.bytes()[L::kReservedTail + 5] ^= 0xFF;
    b.bytes()[L::kReservedTail + 6] ^= 0xFF;
    const DiffResult d = diffImages(*pair.a, b);
    std::vector<std::string> lines;
    for (const Difference& x : d.differences) lines.push_back(formatDifference(x));
    const std::vector<std::string> expected = {
        R"(operator 2 (car?ol): renamed "bob" -> "car\nol")",
        "operator 3 (dave): added (inUse 1, name \"dave\")",
        "device 2 (198.51.100.12): port 8100 -> 8200",
        "device 5 (198.51.100.15): removed (inUse 1, ip 198.51.100.15, port 8000, userName "
        "\"admin\", deviceType 701)",
        "operator 1 output channel 5 (index 1002, 198.51.100.10:8000, BNC7): number 2 -> 7",
    };
    EXPECT_EQ(lines, expected);
    ASSERT_EQ(d.unknown.size(), 1u);
    EXPECT_EQ(d.unknown[0].region, "reservedTail");
    EXPECT_EQ(d.unknown[0].count, 2u);
    EXPECT_TRUE(diffImages(*pair.a, *pair.a).equal());
}

TEST(TextForm, AFullFileTakesWellUnder200Milliseconds) {
    const auto image = decoded(testing::makeCurrentFile(testing::indexBaseStressContent(30)));
    auto other = std::make_unique<ConfigImage>();
    using Clock = std::chrono::steady_clock;
    auto ms = [](auto a, auto b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
#ifdef _WIN32
    // The Windows build is timed under Wine, where this code (its many small allocations above
    // all) runs at half the speed or less that it has on Linux: the limit there stops only a
    // gross regression; the Linux suite holds the real one.
    constexpr double kLimitMs = 400;
#else
    constexpr double kLimitMs = 200;
#endif
    // The best of three runs, or of up to ten while a busy machine keeps one over the limit: what
    // the code costs, not what the rest of the machine does.
    double exportMs = 1e9, buildMs = 1e9, diffMs = 1e9;
    std::size_t size = 0;
    for (int run = 0; run < 10 && (run < 3 || std::max({exportMs, buildMs, diffMs}) >= kLimitMs);
         ++run) {
        const auto t0 = Clock::now();
        const std::string text = exportText(*image, true);
        const auto t1 = Clock::now();
        const BuildResult r = buildText(text, *other);
        const auto t2 = Clock::now();
        const DiffResult d = diffImages(*image, *other);
        const auto t3 = Clock::now();
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(d.equal());
        size = text.size();
        exportMs = std::min(exportMs, ms(t0, t1));
        buildMs = std::min(buildMs, ms(t1, t2));
        diffMs = std::min(diffMs, ms(t2, t3));
    }
    std::printf("full file: export %.0f ms (%zu bytes), build %.0f ms, diff %.0f ms\n", exportMs,
                size, buildMs, diffMs);
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_LT(exportMs, kLimitMs);
    EXPECT_LT(buildMs, kLimitMs);
    EXPECT_LT(diffMs, kLimitMs);
#endif
}

}  // namespace
}  // namespace kbcfg::store::textform
