#pragma once
// Generators of configuration files for tests, benchmarks and fuzz seeds: the six older layouts
// and the current one, as plain (unscrambled) bytes with a valid header and checksum.
//
// The older layouts' offsets here are written out independently of the converter, so a wrong
// offset on either side shows up as a mismatch.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kbcfg::testing {

struct OperatorData {
    int record = 0;  // 0..3
    std::string name{};
    std::string password{};
    std::uint8_t inUse = 1;
    std::uint8_t reserved1 = 0;  // the byte after inUse
};

struct DeviceData {
    int slot = 0;
    std::uint32_t ip = 0;
    std::uint16_t port = 8000;
    std::string user = "admin";
    std::string password{};
    std::uint16_t type = 0;
    std::uint32_t inUse = 1;
    std::uint8_t reserved126 = 0;
    std::uint8_t reserved127 = 0;
    std::uint32_t indexBase = 0;  // current layout only
};

// Older layouts keep `number` in one byte; its low byte is written there.
struct ChannelData {
    int op = 1;  // 1..3
    int position = 0;
    std::uint32_t index = 0;
    std::int16_t deviceSlot = -1;
    std::uint16_t number = 0;
    std::uint8_t kind = 0;
    std::uint8_t outputPort = 0;
    std::uint8_t portFirst = 0;
    std::uint8_t matrixLink = 0;
    std::uint8_t viaStream = 0;
};

struct ListEntryData {
    int op = 1;
    int i = 0;
    std::int16_t slot = -1;
};

// Group rows are numbered 0..47 across the operators (0..15 operator 1, ...).
struct GroupSlotData {
    bool output = false;
    int row = 0;
    int slot = 0;
    std::int16_t value = -1;
};

struct StreamData {
    int op = 1;
    int i = 0;
    std::int32_t deviceSlot = -1;
    std::uint8_t enabled = 0;
    std::uint32_t serverIp = 0;
    std::uint16_t serverPort = 554;
    std::uint8_t protocol = 0;
};

// Cell i gets row i / 8 + 1, column i % 8 + 1 and value cellValue + i.
struct MatrixData {
    int op = 1;
    int index = 0;
    std::int32_t deviceSlot = -1;
    std::uint32_t cellValue = 0;
};

// What a generated file holds. Tables not mentioned are empty as the tool leaves them (device
// slots -1). Records beyond a table of the layout (a channel at position 4096 where there are
// 4096 per operator) are refused with std::invalid_argument; words C, matrix and stream records
// are left out of 0x100901, which has no such regions.
struct FileContent {
    std::vector<OperatorData> operators;
    std::vector<DeviceData> devices;
    std::vector<ChannelData> channels;
    std::vector<ListEntryData> lists;
    std::vector<GroupSlotData> groupSlots;
    std::vector<StreamData> streams;
    std::vector<MatrixData> matrices;
    std::vector<std::pair<std::size_t, std::uint8_t>> paramBytes;  // file offsets 16..383
    std::array<std::uint32_t, 3> wordsA{};
    std::array<std::uint32_t, 3> wordsC{};
    // Nonzero: every byte the content above does not fix (parameters, reserved blocks, the tail,
    // gaps between regions, reserved bytes 8..71 of listed devices) is noise from this seed.
    std::uint32_t noiseSeed = 0;
};

// Where an older layout (0x130826 included) keeps its regions; 0 for a region it lacks.
struct OldLayout {
    std::uint32_t version;
    std::size_t size;
    std::size_t devices;  // 3840 x 128 bytes
    std::size_t wordsA;
    std::size_t lists;
    int listEntries;  // per operator
    std::size_t channels;
    int channelEntries;  // per operator, 12 bytes each
    std::size_t inputRows;
    std::size_t outputRows;
    std::size_t rowSize;  // 128: slots only; 132: param word first
    std::size_t blockB;
    std::size_t blockBSize;
    std::size_t wordsC;
    std::size_t matrices;
    std::size_t streams;
    int streamRecords;  // per operator
    std::size_t tail272;
    std::size_t tail8212;
};

const OldLayout& oldLayout(std::uint32_t version);

// A file of an older layout (0x130826, 0x120716, 0x120208, 0x110607, 0x110310, 0x100901).
std::vector<std::uint8_t> makeOldFile(std::uint32_t version, const FileContent& content);
// A file of the current layout.
std::vector<std::uint8_t> makeCurrentFile(const FileContent& content);

// Rewrites length (size - 12) and checksum after a test changed bytes.
void resealFile(std::vector<std::uint8_t>& file);
// The same with the given length, the checksum covering as much of it as the file holds.
void resealFile(std::vector<std::uint8_t>& file, std::uint32_t length);

// A small, plausible installation: an administrator, two operators, a few devices of several
// types with their channels, a device list, a stream binding and a matrix record.
FileContent sampleContent();

// 3840 in-use devices of `deviceType` and 61,440 output channels whose indexes fall into
// thousands running downwards along the scan, so each allocation walks a little.
FileContent indexBaseStressContent(std::uint16_t deviceType);

}  // namespace kbcfg::testing
