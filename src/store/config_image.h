#pragma once
// The configuration image of layout 0x150420: one fixed 1,724,904-byte buffer, and typed,
// bounds-checked accessors over its records. The keyboard reads the very same bytes, so every
// field keeps its offset and width, and regions the tool does not interpret are carried as they
// are.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/bytes.h"

namespace kbcfg::store {

namespace layout {
inline constexpr std::size_t kImageSize = 1'724'904;
inline constexpr std::uint32_t kMagic = 0x514D5A52;
inline constexpr std::uint32_t kVersion = 0x150420;
inline constexpr std::uint32_t kLength = kImageSize - 12;

// ConfigHeader
inline constexpr std::size_t kMagicOffset = 0;
inline constexpr std::size_t kChecksumOffset = 4;
inline constexpr std::size_t kLengthOffset = 8;
inline constexpr std::size_t kVersionOffset = 12;
inline constexpr std::size_t kChecksumStart = 12;

inline constexpr std::size_t kKeyboardParams = 16;
inline constexpr std::size_t kKeyboardParamsSize = 368;

inline constexpr int kOperatorCount = 4;  // record 0 is the administrator
inline constexpr std::size_t kOperatorTable = 384;
inline constexpr std::size_t kOperatorRecordSize = 52;

inline constexpr int kDeviceCount = 3840;
inline constexpr std::size_t kDeviceTable = 592;
inline constexpr std::size_t kDeviceRecordSize = 132;

inline constexpr std::size_t kReservedWordsA = 507'472;  // one u32 per operator 1..3

inline constexpr int kUserDeviceCount = 1280;
inline constexpr std::size_t kUserDeviceList = 507'484;
inline constexpr std::size_t kUserDeviceListPerOperator = kUserDeviceCount * 2;

inline constexpr int kChannelCount = 20'480;
inline constexpr std::size_t kChannelTable = 515'164;
inline constexpr std::size_t kChannelEntrySize = 16;
inline constexpr std::size_t kChannelTablePerOperator = kChannelCount * kChannelEntrySize;

inline constexpr int kGroupRows = 16;
inline constexpr int kGroupSlots = 64;
inline constexpr std::size_t kGroupRowSize = 132;
inline constexpr std::size_t kGroupTablePerOperator = kGroupRows * kGroupRowSize;
inline constexpr std::size_t kInputGroupTable = 1'498'204;
inline constexpr std::size_t kOutputGroupTable = 1'504'540;

inline constexpr std::size_t kReservedBlockB = 1'510'876;
inline constexpr std::size_t kReservedBlockBSize = 16'896;
inline constexpr std::size_t kReservedWordsC = 1'527'772;

inline constexpr int kMatrixCount = 32;
inline constexpr int kMatrixCells = 64;
inline constexpr std::size_t kMatrixRecords = 1'527'784;
inline constexpr std::size_t kMatrixRecordSize = 516;
inline constexpr std::size_t kMatrixPerOperator = kMatrixCount * kMatrixRecordSize;

inline constexpr std::size_t kStreamRecords = 1'577'320;
inline constexpr std::size_t kStreamRecordSize = 36;
inline constexpr std::size_t kStreamPerOperator = kUserDeviceCount * kStreamRecordSize;

inline constexpr std::size_t kReservedTail = 1'715'560;
inline constexpr std::size_t kTailFlag = 1'716'352;
inline constexpr std::size_t kTailBlock272 = 1'716'356;
inline constexpr std::size_t kTailBlock8212 = 1'716'660;
}  // namespace layout

// Channel kinds as stored in ChannelEntry.kind.
enum ChannelKind : std::uint8_t { kInputChannel = 0, kOutputChannel = 1, kScene = 3, kTvWall = 4 };
// Output interfaces as stored in ChannelEntry.outputPort.
enum OutputPort : std::uint8_t { kBnc = 0, kVga = 1, kHdmi = 2, kDvi = 3 };
enum class GroupTable { Input, Output };

// Base of the record accessors: a pointer to the record's first byte. A const accessor (as the
// const image hands out) only offers the readers.
class RecordRef {
  public:
    explicit RecordRef(std::uint8_t* p) : p_(p) {}
    const std::uint8_t* data() const { return p_; }
    std::uint8_t* data() { return p_; }

  protected:
    std::uint8_t* p_;
};

class OperatorRecord : public RecordRef {
  public:
    static constexpr std::size_t kInUse = 0, kName = 4, kNameWidth = 32, kPassword = 36,
                                 kPasswordWidth = 16;
    using RecordRef::RecordRef;
    std::uint8_t inUse() const { return getU8(p_ + kInUse); }
    void setInUse(std::uint8_t v) { putU8(p_ + kInUse, v); }
    std::string name() const { return getText(p_ + kName, kNameWidth); }
    void setName(std::string_view ansi) { putText(p_ + kName, kNameWidth, ansi); }
    std::string password() const { return getText(p_ + kPassword, kPasswordWidth); }
    void setPassword(std::string_view ansi) { putText(p_ + kPassword, kPasswordWidth, ansi); }
    void clear();
};

class DeviceRecord : public RecordRef {
  public:
    static constexpr std::size_t kInUse = 0, kIp = 4, kPort = 72, kUserName = 76,
                                 kUserNameWidth = 32, kPassword = 108, kPasswordWidth = 16,
                                 kDeviceType = 124, kReserved126 = 126, kIndexBase = 128;
    using RecordRef::RecordRef;
    std::uint32_t inUse() const { return getU32(p_ + kInUse); }
    void setInUse(std::uint32_t v) { putU32(p_ + kInUse, v); }
    std::uint32_t ip() const { return getU32(p_ + kIp); }
    void setIp(std::uint32_t v) { putU32(p_ + kIp, v); }
    std::uint16_t port() const { return getU16(p_ + kPort); }
    void setPort(std::uint16_t v) { putU16(p_ + kPort, v); }
    std::string userName() const { return getText(p_ + kUserName, kUserNameWidth); }
    void setUserName(std::string_view ansi) { putText(p_ + kUserName, kUserNameWidth, ansi); }
    std::string password() const { return getText(p_ + kPassword, kPasswordWidth); }
    void setPassword(std::string_view ansi) { putText(p_ + kPassword, kPasswordWidth, ansi); }
    std::uint16_t deviceType() const { return getU16(p_ + kDeviceType); }
    void setDeviceType(std::uint16_t v) { putU16(p_ + kDeviceType, v); }
    std::uint32_t indexBase() const { return getU32(p_ + kIndexBase); }
    void setIndexBase(std::uint32_t v) { putU32(p_ + kIndexBase, v); }
    void clear();
};

class ChannelEntry : public RecordRef {
  public:
    static constexpr std::size_t kIndex = 0, kDeviceSlot = 4, kNumber = 6, kKind = 8,
                                 kOutputPort = 9, kPortFirst = 10, kMatrixLink = 11,
                                 kViaStream = 12;
    using RecordRef::RecordRef;
    std::uint32_t index() const { return getU32(p_ + kIndex); }
    void setIndex(std::uint32_t v) { putU32(p_ + kIndex, v); }
    std::int16_t deviceSlot() const { return getI16(p_ + kDeviceSlot); }
    void setDeviceSlot(std::int16_t v) { putI16(p_ + kDeviceSlot, v); }
    std::uint16_t number() const { return getU16(p_ + kNumber); }
    void setNumber(std::uint16_t v) { putU16(p_ + kNumber, v); }
    std::uint8_t kind() const { return getU8(p_ + kKind); }
    void setKind(std::uint8_t v) { putU8(p_ + kKind, v); }
    std::uint8_t outputPort() const { return getU8(p_ + kOutputPort); }
    void setOutputPort(std::uint8_t v) { putU8(p_ + kOutputPort, v); }
    std::uint8_t portFirst() const { return getU8(p_ + kPortFirst); }
    void setPortFirst(std::uint8_t v) { putU8(p_ + kPortFirst, v); }
    std::uint8_t matrixLink() const { return getU8(p_ + kMatrixLink); }
    void setMatrixLink(std::uint8_t v) { putU8(p_ + kMatrixLink, v); }
    std::uint8_t viaStream() const { return getU8(p_ + kViaStream); }
    void setViaStream(std::uint8_t v) { putU8(p_ + kViaStream, v); }
    bool empty() const { return deviceSlot() == -1; }
    // Empties the entry: all 16 bytes zero, then deviceSlot = -1.
    void clear();
};

class GroupRow : public RecordRef {
  public:
    static constexpr std::size_t kParam = 0, kSlots = 4;
    using RecordRef::RecordRef;
    std::uint32_t param() const { return getU32(p_ + kParam); }
    void setParam(std::uint32_t v) { putU32(p_ + kParam, v); }
    std::int16_t slot(int i) const;
    void setSlot(int i, std::int16_t v);
};

class MatrixRecord : public RecordRef {
  public:
    static constexpr std::size_t kDeviceSlot = 0, kCells = 4, kCellSize = 8;
    using RecordRef::RecordRef;
    std::int32_t deviceSlot() const { return getI32(p_ + kDeviceSlot); }
    void setDeviceSlot(std::int32_t v) { putI32(p_ + kDeviceSlot, v); }
    std::uint8_t cellRow(int i) const { return getU8(cell(i)); }
    std::uint8_t cellColumn(int i) const { return getU8(cell(i) + 1); }
    std::uint32_t cellValue(int i) const { return getU32(cell(i) + 4); }
    void setCell(int i, std::uint8_t row, std::uint8_t column, std::uint32_t value);

  private:
    std::uint8_t* cell(int i) const;
};

class StreamRecord : public RecordRef {
  public:
    static constexpr std::size_t kDeviceSlot = 0, kEnabled = 4, kServerIp = 8, kServerPort = 32,
                                 kProtocol = 34;
    using RecordRef::RecordRef;
    std::int32_t deviceSlot() const { return getI32(p_ + kDeviceSlot); }
    void setDeviceSlot(std::int32_t v) { putI32(p_ + kDeviceSlot, v); }
    std::uint8_t enabled() const { return getU8(p_ + kEnabled); }
    void setEnabled(std::uint8_t v) { putU8(p_ + kEnabled, v); }
    std::uint32_t serverIp() const { return getU32(p_ + kServerIp); }
    void setServerIp(std::uint32_t v) { putU32(p_ + kServerIp, v); }
    std::uint16_t serverPort() const { return getU16(p_ + kServerPort); }
    void setServerPort(std::uint16_t v) { putU16(p_ + kServerPort, v); }
    std::uint8_t protocol() const { return getU8(p_ + kProtocol); }
    void setProtocol(std::uint8_t v) { putU8(p_ + kProtocol, v); }
    // Frees the record: deviceSlot = -1 and its other 32 bytes zero.
    void clear();
};

// The image. There is one per process (instance()); tests build their own.
class ConfigImage {
  public:
    ConfigImage();
    ConfigImage(const ConfigImage&) = delete;
    ConfigImage& operator=(const ConfigImage&) = delete;

    static ConfigImage& instance();

    std::span<std::uint8_t> bytes() { return {buf_.get(), layout::kImageSize}; }
    std::span<const std::uint8_t> bytes() const { return {buf_.get(), layout::kImageSize}; }
    void zero();
    // Exchanges the contents of two images (a load fills a scratch image first).
    void swap(ConfigImage& other) noexcept { buf_.swap(other.buf_); }

    // Header
    std::uint32_t magic() const { return getU32(buf_.get() + layout::kMagicOffset); }
    std::uint32_t checksum() const { return getU32(buf_.get() + layout::kChecksumOffset); }
    std::uint32_t length() const { return getU32(buf_.get() + layout::kLengthOffset); }
    std::uint32_t version() const { return getU32(buf_.get() + layout::kVersionOffset); }
    void setMagic(std::uint32_t v) { putU32(buf_.get() + layout::kMagicOffset, v); }
    void setChecksum(std::uint32_t v) { putU32(buf_.get() + layout::kChecksumOffset, v); }
    void setLength(std::uint32_t v) { putU32(buf_.get() + layout::kLengthOffset, v); }
    void setVersion(std::uint32_t v) { putU32(buf_.get() + layout::kVersionOffset, v); }
    // Magic, length and version of the current layout. The checksum is left to updateChecksum,
    // once the contents are in place.
    void stampCurrentHeader();
    // The checksum over the header's own length, never reading past the image.
    std::uint32_t computeChecksum() const;
    // Recomputes and stores the checksum; every change does this before it is saved.
    void updateChecksum();

    // Records. Out-of-range numbers throw std::out_of_range: they are programming errors.
    OperatorRecord operatorRecord(int n);
    const OperatorRecord operatorRecord(int n) const;
    DeviceRecord device(int slot);
    const DeviceRecord device(int slot) const;
    std::int16_t userDevice(int op, int i) const;
    void setUserDevice(int op, int i, std::int16_t slot);
    ChannelEntry channel(int op, int position);
    const ChannelEntry channel(int op, int position) const;
    GroupRow groupRow(int op, GroupTable table, int row);
    const GroupRow groupRow(int op, GroupTable table, int row) const;
    MatrixRecord matrix(int op, int index);
    const MatrixRecord matrix(int op, int index) const;
    StreamRecord stream(int op, int index);
    const StreamRecord stream(int op, int index) const;
    std::uint32_t reservedWordA(int op) const;
    std::uint32_t reservedWordC(int op) const;

    // Queries (linear scans, ascending, first match wins)
    int findFreeDeviceSlot() const;
    bool deviceIpExists(std::uint32_t ip) const;
    int findFreeOperatorRecord() const;
    int findOperatorByName(std::string_view ansiName) const;
    bool operatorNameExists(std::string_view ansiName) const;
    // For a user name typed in a page (UTF-8): -2 when longer than 16 characters, else the
    // record number or -1.
    int lookupOperator(std::string_view utf8Name) const;

    // Clearing and reference removal, for operators 1..3.
    int clearOperatorTables(int op);
    void resetOperatorDevices(int op);
    int removeDeviceFromGroups(int op, int slot);
    int removeDeviceFromUserList(int op, int slot);
    void removeMatrixLinks(int op, int slot);
    void removeChannelFromGroups(int op, int position, GroupTable table);

  private:
    std::uint8_t* at(std::size_t offset) const { return buf_.get() + offset; }
    std::unique_ptr<std::uint8_t[]> buf_;
};

// An IPv4 address as the image stores it: a.b.c.d = a + b*2^8 + c*2^16 + d*2^24.
inline constexpr std::uint32_t packIp(std::uint8_t a, std::uint8_t b, std::uint8_t c,
                                      std::uint8_t d) {
    return std::uint32_t{a} | (std::uint32_t{b} << 8) | (std::uint32_t{c} << 16) |
           (std::uint32_t{d} << 24);
}
std::string formatIp(std::uint32_t ip);

// The name a channel is listed under: inputs by their number, outputs by interface and number
// within it ("BNC2"; the bare number for an unknown interface), "Scene 3", "TV-Wall 1".
std::string channelDisplayName(const ChannelEntry& entry);

}  // namespace kbcfg::store
