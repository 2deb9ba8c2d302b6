#include "store/config_image.h"

#include <cstdio>
#include <cstring>

#include "store/ansi.h"
#include "store/checksum.h"

namespace kbcfg::store {

using namespace layout;

namespace {
void requireRange(int value, int lo, int hi, const char* what) {
    if (value < lo || value > hi) throw std::out_of_range(what);
}
}  // namespace

void OperatorRecord::clear() {
    std::memset(p_, 0, kOperatorRecordSize);
}
void DeviceRecord::clear() {
    std::memset(p_, 0, kDeviceRecordSize);
}

void ChannelEntry::clear() {
    std::memset(p_, 0, kChannelEntrySize);
    setDeviceSlot(-1);
}

std::int16_t GroupRow::slot(int i) const {
    requireRange(i, 0, kGroupSlots - 1, "group slot");
    return getI16(p_ + kSlots + 2 * static_cast<std::size_t>(i));
}

void GroupRow::setSlot(int i, std::int16_t v) {
    requireRange(i, 0, kGroupSlots - 1, "group slot");
    putI16(p_ + kSlots + 2 * static_cast<std::size_t>(i), v);
}

std::uint8_t* MatrixRecord::cell(int i) const {
    requireRange(i, 0, kMatrixCells - 1, "matrix cell");
    return p_ + kCells + kCellSize * static_cast<std::size_t>(i);
}

void MatrixRecord::setCell(int i, std::uint8_t row, std::uint8_t column, std::uint32_t value) {
    std::uint8_t* c = cell(i);
    putU8(c, row);
    putU8(c + 1, column);
    putU16(c + 2, 0);
    putU32(c + 4, value);
}

void StreamRecord::clear() {
    std::memset(p_, 0, kStreamRecordSize);
    setDeviceSlot(-1);
}

ConfigImage::ConfigImage() : buf_(new std::uint8_t[kImageSize]()) {}

ConfigImage& ConfigImage::instance() {
    static ConfigImage image;
    return image;
}

void ConfigImage::zero() {
    std::memset(buf_.get(), 0, kImageSize);
}

std::uint32_t ConfigImage::computeChecksum() const {
    return imageChecksum(std::span<const std::uint8_t>(buf_.get(), kImageSize), length());
}

void ConfigImage::stampCurrentHeader() {
    setMagic(layout::kMagic);
    setLength(layout::kLength);
    setVersion(layout::kVersion);
}

void ConfigImage::updateChecksum() {
    setChecksum(computeChecksum());
}

OperatorRecord ConfigImage::operatorRecord(int n) {
    requireRange(n, 0, kOperatorCount - 1, "operator record");
    return OperatorRecord(at(kOperatorTable + kOperatorRecordSize * static_cast<std::size_t>(n)));
}
const OperatorRecord ConfigImage::operatorRecord(int n) const {
    return const_cast<ConfigImage*>(this)->operatorRecord(n);
}

DeviceRecord ConfigImage::device(int slot) {
    requireRange(slot, 0, kDeviceCount - 1, "device slot");
    return DeviceRecord(at(kDeviceTable + kDeviceRecordSize * static_cast<std::size_t>(slot)));
}
const DeviceRecord ConfigImage::device(int slot) const {
    return const_cast<ConfigImage*>(this)->device(slot);
}

std::int16_t ConfigImage::userDevice(int op, int i) const {
    requireRange(op, 1, 3, "operator");
    requireRange(i, 0, kUserDeviceCount - 1, "user device entry");
    return getI16(at(kUserDeviceList + kUserDeviceListPerOperator * (op - 1) + 2 * i));
}

void ConfigImage::setUserDevice(int op, int i, std::int16_t slot) {
    requireRange(op, 1, 3, "operator");
    requireRange(i, 0, kUserDeviceCount - 1, "user device entry");
    putI16(at(kUserDeviceList + kUserDeviceListPerOperator * (op - 1) + 2 * i), slot);
}

ChannelEntry ConfigImage::channel(int op, int position) {
    requireRange(op, 1, 3, "operator");
    requireRange(position, 0, kChannelCount - 1, "channel position");
    return ChannelEntry(at(kChannelTable + kChannelTablePerOperator * (op - 1) +
                           kChannelEntrySize * static_cast<std::size_t>(position)));
}
const ChannelEntry ConfigImage::channel(int op, int position) const {
    return const_cast<ConfigImage*>(this)->channel(op, position);
}

GroupRow ConfigImage::groupRow(int op, GroupTable table, int row) {
    requireRange(op, 1, 3, "operator");
    requireRange(row, 0, kGroupRows - 1, "group row");
    const std::size_t base = table == GroupTable::Input ? kInputGroupTable : kOutputGroupTable;
    return GroupRow(at(base + kGroupTablePerOperator * (op - 1) +
                       kGroupRowSize * static_cast<std::size_t>(row)));
}
const GroupRow ConfigImage::groupRow(int op, GroupTable table, int row) const {
    return const_cast<ConfigImage*>(this)->groupRow(op, table, row);
}

MatrixRecord ConfigImage::matrix(int op, int index) {
    requireRange(op, 1, 3, "operator");
    requireRange(index, 0, kMatrixCount - 1, "matrix record");
    return MatrixRecord(at(kMatrixRecords + kMatrixPerOperator * (op - 1) +
                           kMatrixRecordSize * static_cast<std::size_t>(index)));
}
const MatrixRecord ConfigImage::matrix(int op, int index) const {
    return const_cast<ConfigImage*>(this)->matrix(op, index);
}

StreamRecord ConfigImage::stream(int op, int index) {
    requireRange(op, 1, 3, "operator");
    requireRange(index, 0, kUserDeviceCount - 1, "stream record");
    return StreamRecord(at(kStreamRecords + kStreamPerOperator * (op - 1) +
                           kStreamRecordSize * static_cast<std::size_t>(index)));
}
const StreamRecord ConfigImage::stream(int op, int index) const {
    return const_cast<ConfigImage*>(this)->stream(op, index);
}

std::uint32_t ConfigImage::reservedWordA(int op) const {
    requireRange(op, 1, 3, "operator");
    return getU32(at(kReservedWordsA + 4 * static_cast<std::size_t>(op - 1)));
}

std::uint32_t ConfigImage::reservedWordC(int op) const {
    requireRange(op, 1, 3, "operator");
    return getU32(at(kReservedWordsC + 4 * static_cast<std::size_t>(op - 1)));
}

// ---- queries ----

int ConfigImage::findFreeDeviceSlot() const {
    for (int slot = 0; slot < kDeviceCount; ++slot)
        if (device(slot).inUse() == 0) return slot;
    return -1;
}

bool ConfigImage::deviceIpExists(std::uint32_t ip) const {
    for (int slot = 0; slot < kDeviceCount; ++slot)
        if (device(slot).ip() == ip) return true;
    return false;
}

int ConfigImage::findFreeOperatorRecord() const {
    for (int n = 1; n < kOperatorCount; ++n)
        if (operatorRecord(n).inUse() == 0) return n;
    return 0;
}

int ConfigImage::findOperatorByName(std::string_view ansiName) const {
    // Bounded comparison over at most 32 bytes, stopping at the first NUL of either side.
    const std::string_view wanted = ansiName.substr(0, ansiName.find('\0'));
    const std::string_view key = wanted.substr(0, OperatorRecord::kNameWidth);
    for (int n = 0; n < kOperatorCount; ++n)
        if (operatorRecord(n).name() == key) return n;
    return -1;
}

bool ConfigImage::operatorNameExists(std::string_view ansiName) const {
    const std::string_view wanted = ansiName.substr(0, ansiName.find('\0'));
    for (int n = 0; n < kOperatorCount; ++n)
        if (operatorRecord(n).name() == wanted) return true;
    return false;
}

int ConfigImage::lookupOperator(std::string_view utf8Name) const {
    if (codePointCount(utf8Name) > 16) return -2;
    return findOperatorByName(toAnsi(utf8Name));
}

// ---- clearing and reference removal ----

int ConfigImage::clearOperatorTables(int op) {
    if (op < 1 || op > 3) return 1;
    for (int i = 0; i < kUserDeviceCount; ++i) {
        setUserDevice(op, i, -1);
        stream(op, i).clear();
    }
    for (int pos = 0; pos < kChannelCount; ++pos) channel(op, pos).clear();
    for (GroupTable table : {GroupTable::Input, GroupTable::Output}) {
        for (int row = 0; row < kGroupRows; ++row) {
            GroupRow r = groupRow(op, table, row);
            r.setParam(0);
            for (int s = 0; s < kGroupSlots; ++s) r.setSlot(s, -1);
        }
    }
    return 0;
}

void ConfigImage::resetOperatorDevices(int op) {
    for (int i = 0; i < kUserDeviceCount; ++i) setUserDevice(op, i, -1);
    for (int m = 0; m < kMatrixCount; ++m) matrix(op, m).setDeviceSlot(-1);
}

int ConfigImage::removeDeviceFromGroups(int op, int slot) {
    if (op < 1 || op > 3) return 1;
    // A slot value is a channel position of the same operator; 0 is position 0 like any other
    // value, only -1 is empty.
    auto belongsToDevice = [&](std::int16_t value) {
        return value >= 0 && value < kChannelCount && channel(op, value).deviceSlot() == slot;
    };
    for (int row = 0; row < kGroupRows; ++row) {
        GroupRow in = groupRow(op, GroupTable::Input, row);
        GroupRow out = groupRow(op, GroupTable::Output, row);
        for (int s = 0; s < kGroupSlots; ++s) {
            if (belongsToDevice(in.slot(s))) in.setSlot(s, -1);
            if (belongsToDevice(out.slot(s))) out.setSlot(s, -1);
        }
    }
    return 0;
}

int ConfigImage::removeDeviceFromUserList(int op, int slot) {
    if (op < 1 || op > 3) return 1;
    for (int i = 0; i < kUserDeviceCount; ++i) {
        if (userDevice(op, i) == slot) {
            setUserDevice(op, i, -1);
            stream(op, i).clear();
            break;
        }
    }
    return 0;
}

void ConfigImage::removeMatrixLinks(int op, int slot) {
    for (int pos = 0; pos < kChannelCount; ++pos) {
        ChannelEntry e = channel(op, pos);
        if (e.kind() != kInputChannel || (e.matrixLink() & 1) == 0) continue;
        if (matrix(op, e.matrixLink() >> 1).deviceSlot() == slot) e.setMatrixLink(0);
    }
}

void ConfigImage::removeChannelFromGroups(int op, int position, GroupTable table) {
    for (int row = 0; row < kGroupRows; ++row) {
        GroupRow r = groupRow(op, table, row);
        for (int s = 0; s < kGroupSlots; ++s) {
            if (r.slot(s) == position) {
                r.setSlot(s, -1);
                break;
            }
        }
    }
}

std::string formatIp(std::uint32_t ip) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF,
                  ip >> 24);
    return buf;
}

std::string channelDisplayName(const ChannelEntry& entry) {
    const int number = entry.number();
    char buf[32];
    switch (entry.kind()) {
        case kOutputChannel: {
            static constexpr const char* kPorts[] = {"BNC%d", "VGA%d", "HDMI%d", "DVI%d"};
            if (entry.outputPort() < 4) {
                std::snprintf(buf, sizeof buf, kPorts[entry.outputPort()],
                              number - entry.portFirst() + 1);
                return buf;
            }
            break;
        }
        case kScene:
            std::snprintf(buf, sizeof buf, "Scene %d", number);
            return buf;
        case kTvWall:
            std::snprintf(buf, sizeof buf, "TV-Wall %d", number);
            return buf;
        default:
            break;
    }
    std::snprintf(buf, sizeof buf, "%d", number);
    return buf;
}

}  // namespace kbcfg::store
