#include "support/legacy_files.h"

#include <cstring>
#include <stdexcept>

#include "store/bytes.h"
#include "store/checksum.h"
#include "store/config_image.h"

namespace kbcfg::testing {

using namespace store;

namespace {

constexpr std::uint32_t kMagic = 0x514D5A52;

// The old layouts' regions, numbers as the layout tables give them, in the order OldLayout
// declares them: version, size, devices, wordsA, lists, listEntries, channels, channelEntries,
// inputRows, outputRows; then rowSize, blockB, blockBSize, wordsC, matrices, streams,
// streamRecords, tail272, tail8212. From block B on, 0x120716 is the intermediate 384 bytes lower.
// clang-format off
constexpr OldLayout kLayouts[] = {
    {0x130826, 1'463'784,   592, 492'112, 492'124, 1280, 499'804, 20'480, 1'237'084, 1'243'420,
     132, 1'249'756, 16'896, 1'266'652, 1'266'664, 1'316'200, 1280, 1'455'236, 1'455'540},
    {0x120716, 1'463'400,   592, 492'112, 492'124, 1280, 499'804, 20'480, 1'237'084, 1'243'228,
     128, 1'249'372, 16'896, 1'266'268, 1'266'280, 1'315'816, 1280,         0,         0},
    {0x120208, 1'778'176, 1'216, 492'736, 492'796,  256, 500'476,   4096, 1'237'756, 1'268'476,
     128, 1'299'196, 16'896, 1'383'676, 1'383'736, 1'631'416,  256, 1'769'660, 1'769'932},
    {0x110607, 1'769'656, 1'216, 492'736, 492'796,  256, 500'476,   4096, 1'237'756, 1'268'476,
     128, 1'299'196, 16'896, 1'383'676, 1'383'736, 1'631'416,  256,         0,         0},
    {0x110310, 1'769'656, 1'216, 492'736, 492'796,  256, 500'476,   4096, 1'237'756, 1'268'476,
     128, 1'299'196, 16'896, 1'383'676, 1'383'736, 1'631'416,  256,         0,         0},
    {0x100901, 1'383'648, 1'216, 492'736, 492'766,  256, 500'448,   4096, 1'237'728, 1'268'448,
     128, 1'299'168, 84'480,         0,         0,         0,    0,         0,         0},
};
// clang-format on

void require(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(what);
}

// Deterministic filler bytes.
void fillNoise(std::uint8_t* p, std::size_t n, std::uint32_t seed, std::size_t salt) {
    std::uint64_t x = (std::uint64_t{seed} << 32) ^ (salt * 0x9E3779B97F4A7C15ull) ^ 0x5DEECE66Dull;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % 8 == 0) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
        }
        p[i] = static_cast<std::uint8_t>(x >> (8 * (i % 8)));
    }
}

// Operators, devices and parameters sit alike in every layout.
void writeOperators(std::uint8_t* f, const FileContent& c) {
    std::memset(f + 384, 0, 4 * 52);
    for (const auto& o : c.operators) {
        require(o.record >= 0 && o.record < 4, "operator record");
        std::uint8_t* r = f + 384 + 52 * o.record;
        r[0] = o.inUse;
        r[1] = o.reserved1;
        putText(r + 4, 32, o.name);
        putText(r + 36, 16, o.password);
    }
}

// The first 128 bytes of a device record, the same in every layout.
void writeDevice(std::uint8_t* r, const DeviceData& d, std::uint32_t noiseSeed) {
    putU32(r, d.inUse);
    putU32(r + 4, d.ip);
    if (noiseSeed != 0) fillNoise(r + 8, 64, noiseSeed, 1000 + d.slot);
    putU16(r + 72, d.port);
    putText(r + 76, 32, d.user);
    putText(r + 108, 16, d.password);
    putU16(r + 124, d.type);
    r[126] = d.reserved126;
    r[127] = d.reserved127;
}

void writeParams(std::uint8_t* f, const FileContent& c) {
    for (auto [offset, value] : c.paramBytes) {
        require(offset >= 16 && offset < 384, "parameter offset");
        f[offset] = value;
    }
}

void writeMatrix(std::uint8_t* r, const MatrixData& m) {
    putI32(r, m.deviceSlot);
    for (int i = 0; i < 64; ++i) {
        std::uint8_t* cell = r + 4 + 8 * i;
        cell[0] = static_cast<std::uint8_t>(i / 8 + 1);
        cell[1] = static_cast<std::uint8_t>(i % 8 + 1);
        putU16(cell + 2, 0);
        putU32(cell + 4, m.cellValue + static_cast<std::uint32_t>(i));
    }
}

void writeStream(std::uint8_t* r, const StreamData& s) {
    std::memset(r, 0, 36);
    putI32(r, s.deviceSlot);
    r[4] = s.enabled;
    putU32(r + 8, s.serverIp);
    putU16(r + 32, s.serverPort);
    r[34] = s.protocol;
}

void writeHeader(std::vector<std::uint8_t>& f, std::uint32_t version) {
    putU32(f.data(), kMagic);
    putU32(f.data() + 12, version);
    resealFile(f);
}

}  // namespace

const OldLayout& oldLayout(std::uint32_t version) {
    for (const auto& l : kLayouts)
        if (l.version == version) return l;
    throw std::invalid_argument("not an older layout");
}

std::vector<std::uint8_t> makeOldFile(std::uint32_t version, const FileContent& c) {
    const OldLayout& L = oldLayout(version);
    std::vector<std::uint8_t> file(L.size, 0);
    std::uint8_t* f = file.data();
    if (c.noiseSeed != 0) fillNoise(f + 16, L.size - 16, c.noiseSeed, version);

    writeParams(f, c);
    writeOperators(f, c);

    std::memset(f + L.devices, 0, 3840 * 128);
    for (const auto& d : c.devices) {
        require(d.slot >= 0 && d.slot < 3840, "device slot");
        writeDevice(f + L.devices + 128 * d.slot, d, c.noiseSeed);
    }

    for (int op = 0; op < 3; ++op) putU32(f + L.wordsA + 4 * op, c.wordsA[op]);

    const std::size_t listStride = 2 * L.listEntries;
    for (int op = 0; op < 3; ++op)
        for (int i = 0; i < L.listEntries; ++i) putI16(f + L.lists + listStride * op + 2 * i, -1);
    for (const auto& e : c.lists) {
        require(e.op >= 1 && e.op <= 3 && e.i >= 0 && e.i < L.listEntries, "list entry");
        putI16(f + L.lists + listStride * (e.op - 1) + 2 * e.i, e.slot);
    }

    const std::size_t channelStride = 12 * static_cast<std::size_t>(L.channelEntries);
    std::memset(f + L.channels, 0, 3 * channelStride);
    for (int op = 0; op < 3; ++op)
        for (int i = 0; i < L.channelEntries; ++i)
            putI16(f + L.channels + channelStride * op + 12 * i + 4, -1);
    for (const auto& ch : c.channels) {
        require(ch.op >= 1 && ch.op <= 3 && ch.position >= 0 && ch.position < L.channelEntries,
                "channel position");
        std::uint8_t* e = f + L.channels + channelStride * (ch.op - 1) + 12 * ch.position;
        putU32(e, ch.index);
        putI16(e + 4, ch.deviceSlot);
        e[6] = static_cast<std::uint8_t>(ch.number);
        e[7] = ch.kind;
        e[8] = ch.outputPort;
        e[9] = ch.portFirst;
        e[10] = ch.matrixLink;
        e[11] = ch.viaStream;
    }

    // Rows with a param word (0x130826) carry 10, as every converted row does.
    const std::size_t slots = L.rowSize == 132 ? 4 : 0;
    for (std::size_t table : {L.inputRows, L.outputRows}) {
        for (int r = 0; r < 48; ++r) {
            std::uint8_t* row = f + table + L.rowSize * r;
            if (slots != 0) putU32(row, 10);
            for (int s = 0; s < 64; ++s) putI16(row + slots + 2 * s, -1);
        }
    }
    for (const auto& g : c.groupSlots) {
        require(g.row >= 0 && g.row < 48 && g.slot >= 0 && g.slot < 64, "group slot");
        putI16(f + (g.output ? L.outputRows : L.inputRows) + L.rowSize * g.row + slots + 2 * g.slot,
               g.value);
    }

    if (L.wordsC != 0)
        for (int op = 0; op < 3; ++op) putU32(f + L.wordsC + 4 * op, c.wordsC[op]);

    if (L.matrices != 0) {
        for (int m = 0; m < 96; ++m) {
            std::memset(f + L.matrices + 516 * m, 0, 516);
            putI32(f + L.matrices + 516 * m, -1);
        }
        for (const auto& m : c.matrices) {
            require(m.op >= 1 && m.op <= 3 && m.index >= 0 && m.index < 32, "matrix record");
            writeMatrix(f + L.matrices + 516 * (32 * (m.op - 1) + m.index), m);
        }
    }

    if (L.streams != 0) {
        const std::size_t streamStride = 36 * static_cast<std::size_t>(L.streamRecords);
        for (int op = 0; op < 3; ++op)
            for (int i = 0; i < L.streamRecords; ++i)
                writeStream(f + L.streams + streamStride * op + 36 * i,
                            StreamData{.deviceSlot = -1});
        for (const auto& s : c.streams) {
            require(s.op >= 1 && s.op <= 3 && s.i >= 0 && s.i < L.streamRecords, "stream record");
            writeStream(f + L.streams + streamStride * (s.op - 1) + 36 * s.i, s);
        }
    }

    writeHeader(file, version);
    return file;
}

std::vector<std::uint8_t> makeCurrentFile(const FileContent& c) {
    ConfigImage image;
    std::uint8_t* f = image.bytes().data();
    if (c.noiseSeed != 0) {
        fillNoise(f + 16, 368, c.noiseSeed, 1);
        fillNoise(f + 1'510'876, 16'896, c.noiseSeed, 2);
        fillNoise(f + 1'715'560, 9'344, c.noiseSeed, 3);
    }
    for (int op = 1; op <= 3; ++op) {
        image.clearOperatorTables(op);
        image.resetOperatorDevices(op);
    }
    writeParams(f, c);
    writeOperators(f, c);
    for (const auto& d : c.devices) {
        require(d.slot >= 0 && d.slot < 3840, "device slot");
        writeDevice(f + 592 + 132 * d.slot, d, c.noiseSeed);
        putU32(f + 592 + 132 * d.slot + 128, d.indexBase);
    }
    for (int op = 0; op < 3; ++op) {
        putU32(f + 507'472 + 4 * op, c.wordsA[op]);
        putU32(f + 1'527'772 + 4 * op, c.wordsC[op]);
    }
    for (const auto& e : c.lists) image.setUserDevice(e.op, e.i, e.slot);
    for (const auto& ch : c.channels) {
        ChannelEntry e = image.channel(ch.op, ch.position);
        e.setIndex(ch.index);
        e.setDeviceSlot(ch.deviceSlot);
        e.setNumber(ch.number);
        e.setKind(ch.kind);
        e.setOutputPort(ch.outputPort);
        e.setPortFirst(ch.portFirst);
        e.setMatrixLink(ch.matrixLink);
        e.setViaStream(ch.viaStream);
    }
    for (const auto& g : c.groupSlots) {
        image
            .groupRow(g.row / 16 + 1, g.output ? GroupTable::Output : GroupTable::Input, g.row % 16)
            .setSlot(g.slot, g.value);
    }
    for (const auto& m : c.matrices) writeMatrix(image.matrix(m.op, m.index).data(), m);
    for (const auto& s : c.streams) writeStream(image.stream(s.op, s.i).data(), s);

    std::vector<std::uint8_t> file(image.bytes().begin(), image.bytes().end());
    writeHeader(file, 0x150420);
    return file;
}

void resealFile(std::vector<std::uint8_t>& file, std::uint32_t length) {
    putU32(file.data() + 8, length);
    putU32(file.data() + 4, imageChecksum(file, length));
}

void resealFile(std::vector<std::uint8_t>& file) {
    resealFile(file, static_cast<std::uint32_t>(file.size() - 12));
}

FileContent sampleContent() {
    FileContent c;
    c.operators = {{.record = 0, .name = "admin", .password = "admin"},
                   {.record = 1, .name = "alice", .password = "pw_alice"},
                   {.record = 2, .name = "bob", .password = "0123456789abcdef"}};
    // 198.51.100.x, written in the image's byte order.
    auto ip = [](std::uint8_t last) {
        return 198u | (51u << 8) | (100u << 16) | (std::uint32_t{last} << 24);
    };
    c.devices = {
        {.slot = 0, .ip = ip(10), .password = "12345", .type = 400},
        {.slot = 1, .ip = ip(11), .password = "12345", .type = 30},
        {.slot = 2, .ip = ip(12), .port = 8100, .user = "root", .password = "pass", .type = 166},
        {.slot = 5, .ip = ip(15), .password = "x", .type = 701}};
    c.lists = {{.op = 1, .i = 0, .slot = 0},
               {.op = 1, .i = 1, .slot = 1},
               {.op = 2, .i = 0, .slot = 2},
               {.op = 2, .i = 1, .slot = 5}};
    int position = 0;
    for (std::uint16_t n = 1; n <= 4; ++n)  // camera inputs of device 1
        c.channels.push_back(
            {.op = 1, .position = position++, .index = n, .deviceSlot = 1, .number = n});
    for (std::uint16_t n = 1; n <= 8; ++n)  // decoder outputs of device 0
        c.channels.push_back({.op = 1,
                              .position = position++,
                              .index = 1000u + n,
                              .deviceSlot = 0,
                              .number = n,
                              .kind = 1,
                              .outputPort = 0,
                              .portFirst = 1});
    c.channels.push_back(
        {.op = 1, .position = position++, .index = 3001, .deviceSlot = 0, .number = 1, .kind = 3});
    c.channels.push_back(
        {.op = 2, .position = 0, .index = 7, .deviceSlot = 2, .number = 1, .matrixLink = 1});
    c.channels.push_back(
        {.op = 2, .position = 1, .index = 5001, .deviceSlot = 5, .number = 1, .kind = 4});
    c.groupSlots = {{.output = false, .row = 0, .slot = 0, .value = 0},
                    {.output = true, .row = 0, .slot = 0, .value = 4}};
    c.streams = {
        {.op = 1, .i = 1, .deviceSlot = 1, .enabled = 1, .serverIp = ip(200), .serverPort = 554}};
    c.matrices = {{.op = 2, .index = 0, .deviceSlot = 2}};
    c.paramBytes = {{16, 1}, {20, 2}, {24, 0x55}};
    return c;
}

FileContent indexBaseStressContent(std::uint16_t deviceType) {
    FileContent c;
    c.operators = {{.record = 0, .name = "admin", .password = "admin"}};
    c.devices.reserve(3840);
    for (int s = 0; s < 3840; ++s)
        c.devices.push_back(
            {.slot = s, .ip = 0x0A000000u | static_cast<std::uint32_t>(s), .type = deviceType});
    c.channels.reserve(3 * 20'480);
    for (int e = 0; e < 3 * 20'480; ++e) {
        const std::uint32_t thousand = 1 + static_cast<std::uint32_t>(3 * 20'480 - 1 - e) / 64;
        c.channels.push_back({.op = 1 + e / 20'480,
                              .position = e % 20'480,
                              .index = thousand * 1000 + static_cast<std::uint32_t>(e % 1000),
                              .deviceSlot = static_cast<std::int16_t>(e % 3840),
                              .number = static_cast<std::uint16_t>(e % 32 + 1),
                              .kind = 1});
    }
    return c;
}

}  // namespace kbcfg::testing
