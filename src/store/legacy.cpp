#include "store/legacy.h"

#include <algorithm>
#include <cstring>

#include "store/bytes.h"
#include "store/checksum.h"

namespace kbcfg::store::legacy {

namespace {

constexpr int kOperators = 3;  // per-operator tables exist for operators 1..3
constexpr int kDeviceSlots = 3840;

// The header every layout shares.
namespace header {
constexpr std::size_t kMagic = 0, kChecksum = 4, kLength = 8, kVersion = 12;
}

// KeyboardParams as the older layouts keep them. Bytes 21..23 were not carried before 0x120716.
namespace params {
constexpr std::size_t kLead = 16;  // the u32 at 16 and the byte at 20
constexpr std::size_t kLeadSize = 5;
constexpr std::size_t kRest = 24;  // 24..383, the u32 at 380 included
constexpr std::size_t kEnd = 384;
// 0x100901 kept these 4 bytes two places lower; byte 343 of the intermediate stays 0.
constexpr std::size_t kShiftedFrom = 342, kShiftedTo = 344, kShiftedSize = 4;
constexpr std::size_t kAfterShift = 348;
}  // namespace params

constexpr std::size_t kOperatorTable = 384;
constexpr std::size_t kOperatorRecordSize = 52;
constexpr std::size_t kOperatorTableSize = 4 * kOperatorRecordSize;

// Layout 0x130826, the intermediate.
namespace inter {
constexpr std::size_t kSize = kIntermediateSize;
constexpr std::size_t kDevices = 592;
constexpr std::size_t kDeviceSize = 128;
constexpr std::size_t kDevicesSize = kDeviceSlots * kDeviceSize;
constexpr std::size_t kWordsA = 492'112;
constexpr std::size_t kWordsSize = 12;
constexpr std::size_t kUserDeviceList = 492'124;
constexpr int kListEntries = 1280;
constexpr std::size_t kListPerOperator = kListEntries * 2;
constexpr std::size_t kChannels = 499'804;
constexpr int kChannelEntries = 20'480;
constexpr std::size_t kChannelSize = 12;
constexpr std::size_t kChannelsPerOperator = kChannelEntries * kChannelSize;
constexpr std::size_t kInputRows = 1'237'084;
constexpr std::size_t kOutputRows = 1'243'420;
constexpr int kRows = 48;  // 16 per operator
constexpr std::size_t kRowSize = 132;
constexpr std::size_t kBlockB = 1'249'756;
constexpr std::size_t kWordsC = 1'266'652;
constexpr std::size_t kMatrices = 1'266'664;
constexpr int kMatricesPerOperator = 32;
constexpr std::size_t kMatrixSize = 516;
constexpr std::size_t kMatricesSize = 3 * kMatricesPerOperator * kMatrixSize;
constexpr std::size_t kStreams = 1'316'200;
constexpr std::size_t kStreamSize = 36;
constexpr std::size_t kStreamsPerOperator = kListEntries * kStreamSize;
constexpr std::size_t kTailFlag = 1'455'232;
constexpr std::size_t kTail272 = 1'455'236;
constexpr std::size_t kTail8212 = 1'455'540;
constexpr std::size_t kTail272Size = 272, kTail8212Size = 8'212;

// The 12-byte channel entry.
constexpr std::size_t kChIndex = 0, kChDeviceSlot = 4, kChNumber = 6, kChKind = 7,
                      kChOutputPort = 8, kChPortFirst = 9, kChMatrixLink = 10, kChViaStream = 11;
}  // namespace inter

static_assert(inter::kUserDeviceList == inter::kWordsA + inter::kWordsSize);
static_assert(inter::kChannels == inter::kUserDeviceList + 3 * inter::kListPerOperator);
static_assert(inter::kInputRows == inter::kChannels + 3 * inter::kChannelsPerOperator);
static_assert(inter::kStreams == inter::kMatrices + inter::kMatricesSize);
static_assert(inter::kTail8212 + inter::kTail8212Size <= inter::kSize);

// 0x120716: the intermediate's layout up to the group tables, whose rows have no param word;
// from block B on it is the intermediate's layout 384 bytes lower.
namespace v120716 {
constexpr std::size_t kSize = 1'463'400;
constexpr std::size_t kSameAsIntermediate = 1'237'084;  // bytes 0.. keep their offsets
constexpr std::size_t kInputRows = 1'237'084;
constexpr std::size_t kOutputRows = 1'243'228;
constexpr std::size_t kBlockBToEnd = 1'249'372;
constexpr std::size_t kBlockBToEndSize = 214'028;
}  // namespace v120716

static_assert(v120716::kBlockBToEnd + v120716::kBlockBToEndSize == v120716::kSize);
static_assert(inter::kBlockB + v120716::kBlockBToEndSize == inter::kSize);

// Per-operator tables of the layouts before 0x120716: fewer device-list entries, channels and
// stream records per operator.
namespace compact {
constexpr int kListEntries = 256;
constexpr std::size_t kListPerOperator = 512;
constexpr int kChannelEntries = 4096;
constexpr std::size_t kChannelsPerOperator = 49'152;
constexpr int kStreams = 256;
constexpr std::size_t kStreamsPerOperator = 9'216;
constexpr std::size_t kRowSize = 128;  // 64 slots, no param word
}  // namespace compact

// 0x110310 and 0x110607.
namespace v1103 {
constexpr std::size_t kSize = 1'769'656;
constexpr std::size_t kDevices = 1'216;
constexpr std::size_t kWordsA = 492'736;
constexpr std::size_t kDeviceLists = 492'796;
constexpr std::size_t kChannels = 500'476;
constexpr std::size_t kInputRows = 1'237'756;
constexpr std::size_t kOutputRows = 1'268'476;
constexpr std::size_t kBlockB = 1'299'196;
constexpr std::size_t kBlockBSize = 16'896;
constexpr std::size_t kWordsC = 1'383'676;
constexpr std::size_t kMatrices = 1'383'736;
constexpr std::size_t kStreams = 1'631'416;
}  // namespace v1103

static_assert(v1103::kStreams + 3 * compact::kStreamsPerOperator <= v1103::kSize);

// 0x120208: the layout of 0x110310 with two tail blocks after it.
namespace v120208 {
constexpr std::size_t kSize = 1'778'176;
constexpr std::size_t kDevices = v1103::kDevices;
constexpr std::size_t kWordsA = v1103::kWordsA;
constexpr std::size_t kDeviceLists = v1103::kDeviceLists;
constexpr std::size_t kChannels = v1103::kChannels;
constexpr std::size_t kInputRows = v1103::kInputRows;
constexpr std::size_t kOutputRows = v1103::kOutputRows;
constexpr std::size_t kBlockB = v1103::kBlockB;
constexpr std::size_t kBlockBSize = v1103::kBlockBSize;
constexpr std::size_t kWordsC = v1103::kWordsC;
constexpr std::size_t kMatrices = v1103::kMatrices;
constexpr std::size_t kStreams = v1103::kStreams;
constexpr std::size_t kTail272 = 1'769'660;
constexpr std::size_t kTail8212 = 1'769'932;
}  // namespace v120208

static_assert(v120208::kTail8212 + inter::kTail8212Size <= v120208::kSize);

// 0x100901: no words C, matrix or stream records of its own; its block B runs to the end of the
// file and lands over the intermediate's block B, words C, matrix records and first streams.
namespace v100901 {
constexpr std::size_t kSize = 1'383'648;
constexpr std::size_t kDevices = 1'216;
constexpr std::size_t kWordsA = 492'736;
constexpr std::size_t kDeviceLists = 492'766;
constexpr std::size_t kChannels = 500'448;
constexpr std::size_t kInputRows = 1'237'728;
constexpr std::size_t kOutputRows = 1'268'448;
constexpr std::size_t kBlockB = 1'299'168;
constexpr std::size_t kBlockBSize = 84'480;
constexpr std::uint32_t kWordC = 2;
}  // namespace v100901

static_assert(v100901::kBlockB + v100901::kBlockBSize == v100901::kSize);
static_assert(v100901::kOutputRows + inter::kRows * compact::kRowSize <= v100901::kBlockB);

constexpr std::uint32_t kGroupRowParam = 10;  // every converted group row carries it

// Device types that get a channel index base.
constexpr std::uint16_t kIndexedTypes[] = {166, 400, 501, 701, 706};

// ---- stage 1 helpers; `old` always holds the whole layout size ----

void copy(const std::uint8_t* old, std::size_t from, std::uint8_t* in, std::size_t to,
          std::size_t size) {
    std::memcpy(in + to, old + from, size);
}

// Bytes 21..23 stay zero.
void copyParameters(const std::uint8_t* old, std::uint8_t* in) {
    copy(old, params::kLead, in, params::kLead, params::kLeadSize);
    copy(old, params::kRest, in, params::kRest, params::kEnd - params::kRest);
}

void copyParameters100901(const std::uint8_t* old, std::uint8_t* in) {
    copy(old, params::kLead, in, params::kLead, params::kLeadSize);
    copy(old, params::kRest, in, params::kRest, params::kShiftedFrom + 1 - params::kRest);
    copy(old, params::kShiftedFrom, in, params::kShiftedTo, params::kShiftedSize);
    copy(old, params::kAfterShift, in, params::kAfterShift, params::kEnd - params::kAfterShift);
}

void copyOperatorsDevicesWordsA(const std::uint8_t* old, std::size_t devices, std::size_t wordsA,
                                std::uint8_t* in) {
    copy(old, kOperatorTable, in, kOperatorTable, kOperatorTableSize);
    copy(old, devices, in, inter::kDevices, inter::kDevicesSize);
    copy(old, wordsA, in, inter::kWordsA, inter::kWordsSize);
}

// Old rows are the 64 slots alone.
void copyGroupRows(const std::uint8_t* old, std::size_t inputRows, std::size_t outputRows,
                   std::uint8_t* in) {
    for (int r = 0; r < inter::kRows; ++r) {
        for (auto [from, to] :
             {std::pair{inputRows, inter::kInputRows}, std::pair{outputRows, inter::kOutputRows}}) {
            std::uint8_t* row = in + to + inter::kRowSize * r;
            putU32(row, kGroupRowParam);
            std::memcpy(row + 4, old + from + compact::kRowSize * r, compact::kRowSize);
        }
    }
}

// Before 0x120208 the outputs of a device were numbered in one range across its interfaces.
void remapOutputPort(std::uint8_t* entry) {
    struct Range {
        std::uint8_t first, last, port;
    };
    static constexpr Range kRanges[] = {
        {1, 8, kVga}, {9, 24, kBnc}, {25, 28, kHdmi}, {29, 32, kDvi}};
    const std::uint8_t number = entry[inter::kChNumber];
    for (const Range& r : kRanges) {
        if (number >= r.first && number <= r.last) {
            entry[inter::kChOutputPort] = r.port;
            entry[inter::kChPortFirst] = r.first;
            return;
        }
    }
}

enum class ChannelCopy { AsIs, UsedWithPortRemap };

// The first 4096 channels of each operator survive; the rest of the 20,480 are empty.
void copyCompactChannels(const std::uint8_t* old, std::size_t channels, ChannelCopy how,
                         std::uint8_t* in) {
    for (int op = 0; op < kOperators; ++op) {
        std::uint8_t* table = in + inter::kChannels + inter::kChannelsPerOperator * op;
        const std::uint8_t* oldTable = old + channels + compact::kChannelsPerOperator * op;
        for (int i = 0; i < inter::kChannelEntries; ++i)
            putI16(table + inter::kChannelSize * i + inter::kChDeviceSlot, -1);
        for (int i = 0; i < compact::kChannelEntries; ++i) {
            const std::uint8_t* from = oldTable + inter::kChannelSize * i;
            std::uint8_t* to = table + inter::kChannelSize * i;
            if (how == ChannelCopy::AsIs) {
                std::memcpy(to, from, inter::kChannelSize);
                continue;
            }
            if (getI16(from + inter::kChDeviceSlot) < 0) continue;
            std::memcpy(to, from, inter::kChannelSize);
            if (to[inter::kChKind] == kOutputChannel) remapOutputPort(to);
        }
    }
}

void copyCompactDeviceLists(const std::uint8_t* old, std::size_t lists, std::uint8_t* in) {
    for (int op = 0; op < kOperators; ++op) {
        std::uint8_t* list = in + inter::kUserDeviceList + inter::kListPerOperator * op;
        std::memcpy(list, old + lists + compact::kListPerOperator * op, compact::kListPerOperator);
        for (int i = compact::kListEntries; i < inter::kListEntries; ++i) putI16(list + 2 * i, -1);
    }
}

std::uint8_t* streamRecord(std::uint8_t* in, int op, int i) {
    return in + inter::kStreams + inter::kStreamsPerOperator * op + inter::kStreamSize * i;
}

void copyCompactStreams(const std::uint8_t* old, std::size_t streams, std::uint8_t* in) {
    for (int op = 0; op < kOperators; ++op) {
        std::memcpy(streamRecord(in, op, 0), old + streams + compact::kStreamsPerOperator * op,
                    compact::kStreamsPerOperator);
        for (int i = compact::kStreams; i < inter::kListEntries; ++i)
            putI32(streamRecord(in, op, i), -1);
    }
}

// Only the device slot: the rest is what block B of 0x100901 left there.
void freeAllStreams(std::uint8_t* in) {
    for (int op = 0; op < kOperators; ++op)
        for (int i = 0; i < inter::kListEntries; ++i) putI32(streamRecord(in, op, i), -1);
}

void freeAllMatrices(std::uint8_t* in) {
    for (int m = 0; m < kOperators * inter::kMatricesPerOperator; ++m)
        putI32(in + inter::kMatrices + inter::kMatrixSize * m, -1);
}

// These layouts kept other flags in the in-use byte and the byte after it.
void normaliseOperators(std::uint8_t* in) {
    for (int n = 0; n < 4; ++n) {
        std::uint8_t* record = in + kOperatorTable + kOperatorRecordSize * n;
        record[0] = record[0] != 0 ? 1 : 0;
        record[1] = 0;
    }
}

// ---- stage 1, one function per layout family ----

void convert120716(const std::uint8_t* old, std::uint8_t* in) {
    using namespace v120716;
    copy(old, 0, in, 0, kSameAsIntermediate);
    copy(old, kBlockBToEnd, in, inter::kBlockB, kBlockBToEndSize);
    copyGroupRows(old, kInputRows, kOutputRows, in);
}

void convert120208(const std::uint8_t* old, std::uint8_t* in) {
    using namespace v120208;
    copyParameters(old, in);
    copyOperatorsDevicesWordsA(old, kDevices, kWordsA, in);
    copy(old, kBlockB, in, inter::kBlockB, kBlockBSize);
    copy(old, kWordsC, in, inter::kWordsC, inter::kWordsSize);
    copy(old, kMatrices, in, inter::kMatrices, inter::kMatricesSize);
    copyGroupRows(old, kInputRows, kOutputRows, in);
    copyCompactChannels(old, kChannels, ChannelCopy::AsIs, in);
    copyCompactDeviceLists(old, kDeviceLists, in);
    copyCompactStreams(old, kStreams, in);
    copy(old, kTail272, in, inter::kTail272, inter::kTail272Size);
    copy(old, kTail8212, in, inter::kTail8212, inter::kTail8212Size);
}

void convert1103(const std::uint8_t* old, std::uint8_t* in) {
    using namespace v1103;
    copyParameters(old, in);
    copyOperatorsDevicesWordsA(old, kDevices, kWordsA, in);
    copy(old, kBlockB, in, inter::kBlockB, kBlockBSize);
    copy(old, kWordsC, in, inter::kWordsC, inter::kWordsSize);
    copy(old, kMatrices, in, inter::kMatrices, inter::kMatricesSize);
    copyGroupRows(old, kInputRows, kOutputRows, in);
    copyCompactChannels(old, kChannels, ChannelCopy::UsedWithPortRemap, in);
    copyCompactDeviceLists(old, kDeviceLists, in);
    copyCompactStreams(old, kStreams, in);
    normaliseOperators(in);
    in[inter::kTailFlag] = 1;
}

void convert100901(const std::uint8_t* old, std::uint8_t* in) {
    using namespace v100901;
    copyParameters100901(old, in);
    copyOperatorsDevicesWordsA(old, kDevices, kWordsA, in);
    copy(old, kBlockB, in, inter::kBlockB, kBlockBSize);
    copyGroupRows(old, kInputRows, kOutputRows, in);
    copyCompactChannels(old, kChannels, ChannelCopy::UsedWithPortRemap, in);
    copyCompactDeviceLists(old, kDeviceLists, in);
    freeAllStreams(in);
    for (int op = 0; op < kOperators; ++op) putU32(in + inter::kWordsC + 4 * op, kWordC);
    freeAllMatrices(in);
    normaliseOperators(in);
    in[inter::kTailFlag] = 1;
}

// Magic, checksum over the file's own length, and a length the layout can hold.
bool validOldFile(std::span<const std::uint8_t> old) {
    const std::uint32_t length = getU32(old.data() + header::kLength);
    if (getU32(old.data() + header::kMagic) != layout::kMagic) return false;
    if (length > old.size() - header::kVersion) return false;
    return imageChecksum(old, length) == getU32(old.data() + header::kChecksum);
}

// ---- stage 2 ----

constexpr std::size_t kConvertedMarker = 21;  // the keyboard's parameter byte set by conversion

void convertChannel(const std::uint8_t* from, std::uint8_t* to) {
    putU32(to + ChannelEntry::kIndex, getU32(from + inter::kChIndex));
    putI16(to + ChannelEntry::kDeviceSlot, getI16(from + inter::kChDeviceSlot));
    putU16(to + ChannelEntry::kNumber, from[inter::kChNumber]);
    to[ChannelEntry::kKind] = from[inter::kChKind];
    to[ChannelEntry::kOutputPort] = from[inter::kChOutputPort];
    to[ChannelEntry::kPortFirst] = from[inter::kChPortFirst];
    to[ChannelEntry::kMatrixLink] = from[inter::kChMatrixLink];
    to[ChannelEntry::kViaStream] = from[inter::kChViaStream];
}

static_assert(layout::kInputGroupTable + (inter::kSize - inter::kInputRows) == layout::kImageSize);
static_assert(layout::kReservedWordsA + (inter::kChannels - inter::kWordsA) ==
              layout::kChannelTable);

}  // namespace

std::size_t layoutFileSize(std::uint32_t version) {
    switch (version) {
        case kV130826:
            return inter::kSize;
        case kV120716:
            return v120716::kSize;
        case kV120208:
            return v120208::kSize;
        case kV110607:
        case kV110310:
            return v1103::kSize;
        case kV100901:
            return v100901::kSize;
        default:
            return 0;
    }
}

bool needsStageOne(std::uint32_t version) {
    return version != kV130826 && layoutFileSize(version) != 0;
}

bool convertToIntermediate(std::uint32_t version, std::span<const std::uint8_t> oldFile,
                           std::vector<std::uint8_t>& intermediate) {
    if (!needsStageOne(version)) return false;
    const std::size_t size = layoutFileSize(version);
    // A short file reads as zero-padded; one at least as long is read in place.
    std::vector<std::uint8_t> padded;
    std::span<const std::uint8_t> old = oldFile.first(std::min(oldFile.size(), size));
    if (old.size() < size) {
        padded.assign(size, 0);
        std::copy(old.begin(), old.end(), padded.begin());
        old = padded;
    }
    if (!validOldFile(old)) return false;

    // Validated: from here on the conversion cannot fail, so it may fill the caller's buffer,
    // reusing its storage.
    std::vector<std::uint8_t>& out = intermediate;
    out.assign(inter::kSize, 0);
    switch (version) {
        case kV120716:
            convert120716(old.data(), out.data());
            break;
        case kV120208:
            convert120208(old.data(), out.data());
            break;
        case kV110607:
        case kV110310:
            convert1103(old.data(), out.data());
            break;
        case kV100901:
            convert100901(old.data(), out.data());
            break;
    }
    // Stage 2 rewrites the header; a complete one keeps the intermediate a valid file of its own.
    putU32(out.data() + header::kMagic, layout::kMagic);
    putU32(out.data() + header::kLength,
           static_cast<std::uint32_t>(inter::kSize - header::kVersion));
    putU32(out.data() + header::kVersion, kV130826);
    putU32(out.data() + header::kChecksum, imageChecksum(out, inter::kSize - header::kVersion));
    return true;
}

bool takesIndexBase(std::uint16_t deviceType) {
    return std::find(std::begin(kIndexedTypes), std::end(kIndexedTypes), deviceType) !=
           std::end(kIndexedTypes);
}

bool convertIntermediate(std::span<const std::uint8_t> intermediate, ConfigImage& image) {
    IndexBaseAllocator allocator(intermediate);
    return convertIntermediate(intermediate, image, [&] { return allocator.allocateIndexBase(); });
}

bool convertIntermediate(std::span<const std::uint8_t> intermediate, ConfigImage& image,
                         const IndexBaseSource& nextBase) {
    std::vector<std::uint8_t> padded;
    const std::uint8_t* in = intermediate.data();
    if (intermediate.size() < inter::kSize) {
        padded.assign(inter::kSize, 0);
        std::copy(intermediate.begin(), intermediate.end(), padded.begin());
        in = padded.data();
    }

    image.zero();
    std::uint8_t* out = image.bytes().data();
    // Header, parameters and operators keep their offsets; from the group tables on the layout
    // is the same, only shifted.
    std::memcpy(out, in, kOperatorTable + kOperatorTableSize);
    std::memcpy(out + layout::kInputGroupTable, in + inter::kInputRows,
                inter::kSize - inter::kInputRows);
    std::memcpy(out + layout::kReservedWordsA, in + inter::kWordsA,
                inter::kChannels - inter::kWordsA);

    for (int slot = 0; slot < kDeviceSlots; ++slot) {
        std::uint8_t* record = out + layout::kDeviceTable + layout::kDeviceRecordSize * slot;
        std::memcpy(record, in + inter::kDevices + inter::kDeviceSize * slot, inter::kDeviceSize);
        record[DeviceRecord::kReserved126] = 0;
        const bool typed = takesIndexBase(getU16(record + DeviceRecord::kDeviceType));
        putU32(record + DeviceRecord::kIndexBase, typed ? nextBase() : 0);
    }

    for (int op = 0; op < kOperators; ++op) {
        for (int i = 0; i < inter::kChannelEntries; ++i) {
            convertChannel(
                in + inter::kChannels + inter::kChannelsPerOperator * op + inter::kChannelSize * i,
                out + layout::kChannelTable + layout::kChannelTablePerOperator * op +
                    layout::kChannelEntrySize * i);
        }
    }

    image.setLength(layout::kLength);
    image.setVersion(layout::kVersion);
    out[kConvertedMarker] = 1;
    image.updateChecksum();
    return true;
}

// ---- index bases ----

namespace {
constexpr std::uint32_t kThousand = 1000;
constexpr std::uint32_t kThousands = IndexBaseAllocator::kLastBase / kThousand;  // 1..999 matter
constexpr int kScanEntries = kOperators * inter::kChannelEntries;

// The thousand (1..999) of an entry that moves the candidate when it reaches it: an output of an
// in-use device; 0 for any other entry. Slots outside the device table have no record to be in
// use, so they never count.
std::uint32_t countingThousand(std::span<const std::uint8_t> in, int scanPosition) {
    const std::size_t at = inter::kChannels + inter::kChannelSize * scanPosition;
    if (at + inter::kChannelSize > in.size()) return 0;
    const std::uint8_t* entry = in.data() + at;
    if (entry[inter::kChKind] != kOutputChannel) return 0;
    const std::uint32_t thousand = getU32(entry + inter::kChIndex) / kThousand;
    if (thousand < 1 || thousand > kThousands) return 0;
    const std::int16_t slot = getI16(entry + inter::kChDeviceSlot);
    if (slot < 0 || slot >= kDeviceSlots) return 0;
    const std::size_t device = inter::kDevices + inter::kDeviceSize * slot;
    if (device + 4 > in.size() || getU32(in.data() + device) == 0) return 0;
    return thousand;
}
}  // namespace

IndexBaseAllocator::IndexBaseAllocator(std::span<const std::uint8_t> intermediate)
    : intermediate_(intermediate) {}

// Walked from the last entry back, the table always says where a scan from the current entry on
// ends: an output of thousand t met with the candidate at t sends it on to t + 1, so from here a
// scan starting at t ends where one starting at t + 1 from the next entry does.
void IndexBaseAllocator::buildTable() {
    endOf_.resize(kThousands + 2);
    for (std::uint32_t t = 0; t < endOf_.size(); ++t) endOf_[t] = static_cast<std::uint16_t>(t);
    for (int e = kScanEntries - 1; e >= 0; --e)
        if (const std::uint32_t t = countingThousand(intermediate_, e)) endOf_[t] = endOf_[t + 1];
    built_ = true;
}

std::uint32_t IndexBaseAllocator::allocateIndexBase() {
    // The candidate never goes down, so once past the last base every later call gives 0 too.
    if (counter_ > kLastBase) return 0;
    if (!built_) buildTable();
    counter_ = endOf_[counter_ / kThousand] * kThousand;
    if (counter_ > kLastBase) return 0;
    const std::uint32_t base = counter_;
    counter_ += kThousand;
    return base;
}

}  // namespace kbcfg::store::legacy
