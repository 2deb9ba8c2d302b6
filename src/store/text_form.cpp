#include "store/text_form.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "store/ansi.h"
#include "store/json_errors.h"
#include "store/printable.h"

namespace kbcfg::store::textform {

namespace {

using FK = FieldKind;
using R = Refers;

void emptyZero(std::uint8_t*) {}
void emptyDeviceList(std::uint8_t* p) {
    putI16(p, -1);
}
void emptyChannel(std::uint8_t* p) {
    putI16(p + ChannelEntry::kDeviceSlot, -1);
}
void emptyGroupRow(std::uint8_t* p) {
    std::memset(p + GroupRow::kSlots, 0xFF, layout::kGroupSlots * 2);
}
void emptyBySlot32(std::uint8_t* p) {
    putI32(p, -1);
}

// Record types. The field order is the order of the JSON keys, in the text form and the dump.
constexpr Field kOperatorFields[] = {
    {"inUse", FK::U8, OperatorRecord::kInUse, 1, R::Nothing, false, false, DumpAs::Flag},
    {"reserved1", FK::Bytes, 1, 3, R::Nothing, false, true},
    {"name", FK::Text, OperatorRecord::kName, OperatorRecord::kNameWidth},
    {"password", FK::Text, OperatorRecord::kPassword, OperatorRecord::kPasswordWidth, R::Nothing,
     true, true},
};
// The dump lists the devices in use only, so their flag tells nothing there.
constexpr Field kDeviceFields[] = {
    {"inUse", FK::U32, DeviceRecord::kInUse, 4, R::Nothing, false, false, DumpAs::Hidden},
    {"ip", FK::Ipv4, DeviceRecord::kIp, 4},
    {"port", FK::U16, DeviceRecord::kPort, 2},
    {"userName", FK::Text, DeviceRecord::kUserName, DeviceRecord::kUserNameWidth},
    {"password", FK::Text, DeviceRecord::kPassword, DeviceRecord::kPasswordWidth, R::Nothing, true,
     true},
    {"deviceType", FK::U16, DeviceRecord::kDeviceType, 2, R::Nothing, false, true},
    {"indexBase", FK::U32, DeviceRecord::kIndexBase, 4, R::Nothing, false, true},
    {"reserved8", FK::Bytes, 8, 64, R::Nothing, false, true},
    {"reserved74", FK::Bytes, 74, 2, R::Nothing, false, true},
    {"reserved126", FK::Bytes, DeviceRecord::kReserved126, 2, R::Nothing, false, true},
};
constexpr Field kListEntryFields[] = {
    {"deviceSlot", FK::I16, 0, 2, R::DeviceSlot},
};
constexpr Field kChannelFields[] = {
    {"index", FK::U32, ChannelEntry::kIndex, 4},
    {"deviceSlot", FK::I16, ChannelEntry::kDeviceSlot, 2, R::DeviceSlot},
    {"kind", FK::ChannelKind, ChannelEntry::kKind, 1},
    {"number", FK::U16, ChannelEntry::kNumber, 2, R::Nothing, false, false, DumpAs::NumberAndName},
    {"outputPort", FK::OutputPort, ChannelEntry::kOutputPort, 1, R::Nothing, false, true,
     DumpAs::Number, kOutputChannel},
    {"portFirst", FK::U8, ChannelEntry::kPortFirst, 1, R::Nothing, false, true, DumpAs::Value,
     kOutputChannel},
    {"matrixLink", FK::U8, ChannelEntry::kMatrixLink, 1, R::Nothing, false, true,
     DumpAs::MatrixRecord, kInputChannel},
    {"viaStream", FK::U8, ChannelEntry::kViaStream, 1, R::Nothing, false, true, DumpAs::Flag,
     kInputChannel},
    {"reserved13", FK::Bytes, 13, 3, R::Nothing, false, true},
};
constexpr Field kGroupFields[] = {
    {"param", FK::U32, GroupRow::kParam, 4},
    {"slots", FK::SlotArray, GroupRow::kSlots, layout::kGroupSlots * 2, R::ChannelPosition},
};
constexpr Field kMatrixFields[] = {
    {"deviceSlot", FK::I32, MatrixRecord::kDeviceSlot, 4, R::DeviceSlot},
    {"cells", FK::MatrixCells, MatrixRecord::kCells, layout::kMatrixCells* MatrixRecord::kCellSize},
};
constexpr Field kStreamFields[] = {
    {"deviceSlot", FK::I32, StreamRecord::kDeviceSlot, 4, R::DeviceSlot},
    {"enabled", FK::U8, StreamRecord::kEnabled, 1, R::Nothing, false, false, DumpAs::Flag},
    {"serverIp", FK::Ipv4, StreamRecord::kServerIp, 4},
    {"serverPort", FK::U16, StreamRecord::kServerPort, 2},
    {"protocol", FK::Protocol, StreamRecord::kProtocol, 1},
    {"reserved5", FK::Bytes, 5, 3, R::Nothing, false, true},
    {"reserved12", FK::Bytes, 12, 20, R::Nothing, false, true},
    {"reserved35", FK::Bytes, 35, 1, R::Nothing, false, true},
};

// The dump lists all four operator records, each with its flag.
constexpr RecordType kOperatorType{"record", layout::kOperatorRecordSize, kOperatorFields,
                                   emptyZero};
constexpr RecordType kDeviceType{"slot", layout::kDeviceRecordSize, kDeviceFields, emptyZero,
                                 "inUse"};
constexpr RecordType kListEntryType{"entry", 2, kListEntryFields, emptyDeviceList, "deviceSlot"};
constexpr RecordType kChannelType{"position", layout::kChannelEntrySize, kChannelFields,
                                  emptyChannel, "deviceSlot"};
// A row counts while it holds a channel, whatever its parameter.
constexpr RecordType kGroupType{"row", layout::kGroupRowSize, kGroupFields, emptyGroupRow, "slots"};
constexpr RecordType kMatrixType{"record", layout::kMatrixRecordSize, kMatrixFields, emptyBySlot32,
                                 "deviceSlot"};
constexpr RecordType kStreamType{"record", layout::kStreamRecordSize, kStreamFields, emptyBySlot32,
                                 "deviceSlot"};

namespace L = layout;
// The dump lists an operator's stream records right after the device list: stream record n
// belongs to entry n of the list.
constexpr Region kRegions[] = {
    {"keyboardParams", nullptr, L::kKeyboardParams, L::kKeyboardParamsSize, false, ""},
    {"operators", &kOperatorType, L::kOperatorTable, L::kOperatorCount, false, "", 1},
    {"devices", &kDeviceType, L::kDeviceTable, L::kDeviceCount, false, "", 2},
    {"reservedWordA", nullptr, L::kReservedWordsA, 4, true, "reserved word A"},
    {"deviceList", &kListEntryType, L::kUserDeviceList, L::kUserDeviceCount, true, "device list", 1,
     "devices"},
    {"channels", &kChannelType, L::kChannelTable, L::kChannelCount, true, "channel", 3},
    {"inputGroups", &kGroupType, L::kInputGroupTable, L::kGroupRows, true, "input group", 4},
    {"outputGroups", &kGroupType, L::kOutputGroupTable, L::kGroupRows, true, "output group", 5},
    {"reservedBlockB", nullptr, L::kReservedBlockB, L::kReservedBlockBSize, false, ""},
    {"reservedWordC", nullptr, L::kReservedWordsC, 4, true, "reserved word C"},
    {"matrix", &kMatrixType, L::kMatrixRecords, L::kMatrixCount, true, "matrix record", 6},
    {"streams", &kStreamType, L::kStreamRecords, L::kUserDeviceCount, true, "stream record", 2},
    {"reservedTail", nullptr, L::kReservedTail, L::kImageSize - L::kReservedTail, false, ""},
};

constexpr bool inUseFieldsExist() {
    for (const Region& r : kRegions) {
        if (!r.type || r.type->inUseField.empty()) continue;
        if (std::none_of(r.type->fields.begin(), r.type->fields.end(),
                         [&](const Field& f) { return f.name == r.type->inUseField; }))
            return false;
    }
    return true;
}
static_assert(inUseFieldsExist());

constexpr std::string_view kOperatorTables = "operatorTables";
constexpr int kMaxDeviceSlot = L::kDeviceCount - 1;
constexpr int kMaxChannelPosition = L::kChannelCount - 1;
// Zero bytes that end a run of an opaque region: shorter gaps stay inside the run.
constexpr std::size_t kRunGap = 8;

std::string versionText() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06x", static_cast<unsigned>(L::kVersion));
    return buf;
}

bool allZero(const std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

std::uint32_t readUnsigned(const std::uint8_t* p, std::size_t width) {
    return width == 1 ? getU8(p) : width == 2 ? getU16(p) : getU32(p);
}

// The text of a field when the code page round trip gives its very bytes back (padding zero).
bool readableText(const std::uint8_t* p, std::size_t width, std::string* utf8) {
    const std::string ansi = getText(p, width);
    if (!allZero(p + ansi.size(), width - ansi.size())) return false;
    std::string text = fromAnsi(ansi);
    if (toAnsi(text) != ansi) return false;
    *utf8 = std::move(text);
    return true;
}

bool slotInRange(std::int32_t v, Refers refers) {
    const int max = refers == Refers::DeviceSlot ? kMaxDeviceSlot : kMaxChannelPosition;
    return v >= -1 && v <= max;
}

// Whether every field of the record can be written by name and read back to the same bytes.
bool namedFormFits(const RecordType& type, const std::uint8_t* rec, bool withPasswords) {
    for (const Field& f : type.fields) {
        const std::uint8_t* p = rec + f.offset;
        std::string text;
        switch (f.kind) {
            case FK::Text:
                if ((withPasswords || !f.secret) && !readableText(p, f.width, &text)) return false;
                break;
            case FK::I16:
                if (f.refers != R::Nothing && !slotInRange(getI16(p), f.refers)) return false;
                break;
            case FK::I32:
                if (f.refers != R::Nothing && !slotInRange(getI32(p), f.refers)) return false;
                break;
            case FK::SlotArray:
                for (std::size_t i = 0; i < f.width; i += 2)
                    if (!slotInRange(getI16(p + i), f.refers)) return false;
                break;
            default:
                break;
        }
    }
    return true;
}

// ---- Export: written straight into the text, one record per line, so that a change of one
// record is one changed line in a review ----

void appendNumber(std::string& out, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendString(std::string& out, std::string_view s) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}

void appendHex(std::string& out, const std::uint8_t* p, std::size_t n) {
    out += '"';
    out += toHex(p, n);
    out += '"';
}

void appendEnum(std::string& out, std::uint8_t v, const std::string& name) {
    if (name.empty())
        appendNumber(out, v);
    else
        appendString(out, name);
}

void appendValue(std::string& out, const Field& f, const std::uint8_t* p) {
    switch (f.kind) {
        case FK::U8:
        case FK::U16:
        case FK::U32:
            appendNumber(out, readUnsigned(p, f.width));
            break;
        case FK::I16:
            appendNumber(out, getI16(p));
            break;
        case FK::I32:
            appendNumber(out, getI32(p));
            break;
        case FK::Text: {
            std::string text;
            readableText(p, f.width, &text);
            appendString(out, text);
            break;
        }
        case FK::Ipv4:
            appendString(out, formatIp(getU32(p)));
            break;
        case FK::ChannelKind:
            appendEnum(out, *p, kindName(*p));
            break;
        case FK::OutputPort:
            appendEnum(out, *p, outputPortName(*p));
            break;
        case FK::Protocol:
            appendEnum(out, *p, protocolName(*p));
            break;
        case FK::Bytes:
            appendHex(out, p, f.width);
            break;
        case FK::SlotArray:
            out += '[';
            for (std::size_t i = 0; i < f.width; i += 2) {
                if (i) out += ',';
                appendNumber(out, getI16(p + i));
            }
            out += ']';
            break;
        case FK::MatrixCells:
            out += '[';
            for (std::size_t i = 0; i < f.width; i += MatrixRecord::kCellSize) {
                const std::uint8_t* c = p + i;
                out += i ? ",[" : "[";
                appendNumber(out, getU8(c));
                out += ',';
                appendNumber(out, getU8(c + 1));
                out += ',';
                appendNumber(out, getU32(c + 4));
                if (c[2] || c[3]) {
                    out += ',';
                    appendHex(out, c + 2, 2);
                }
                out += ']';
            }
            out += ']';
            break;
    }
}

void appendKey(std::string& out, std::string_view name) {
    out += ",\"";
    out += name;
    out += "\":";
}

void appendRecord(std::string& out, const RecordType& type, const std::uint8_t* rec,
                  const std::uint8_t* empty, int key, bool withPasswords) {
    out += "{\"";
    out += type.key;
    out += "\":";
    appendNumber(out, key);
    if (!namedFormFits(type, rec, withPasswords)) {
        std::vector<std::uint8_t> bytes(rec, rec + type.size);
        if (!withPasswords)
            for (const Field& f : type.fields)
                if (f.secret) std::memset(bytes.data() + f.offset, 0, f.width);
        appendKey(out, "hex");
        appendHex(out, bytes.data(), bytes.size());
        out += '}';
        return;
    }
    for (const Field& f : type.fields) {
        if (f.secret && !withPasswords) continue;
        if (f.optional && std::memcmp(rec + f.offset, empty + f.offset, f.width) == 0) continue;
        appendKey(out, f.name);
        appendValue(out, f, rec + f.offset);
    }
    out += '}';
}

// Appends `,"name": [ ...one item a line... ]` at the indentation given; nothing for no items.
void appendRegion(std::string& out, const Region& region, const std::uint8_t* table,
                  bool withPasswords, int indent) {
    const std::size_t mark = out.size();
    const std::string pad(static_cast<std::size_t>(indent), ' ');
    out += ",\n" + pad + "\"" + std::string(region.name) + "\": [";
    bool any = false;
    auto next = [&] {
        out += any ? ",\n  " : "\n  ";
        out += pad;
        any = true;
    };
    if (region.type) {
        const RecordType& type = *region.type;
        std::vector<std::uint8_t> empty(type.size, 0);
        type.makeEmpty(empty.data());
        for (int i = 0; i < region.count; ++i) {
            const std::uint8_t* rec = table + static_cast<std::size_t>(i) * type.size;
            if (std::memcmp(rec, empty.data(), type.size) == 0) continue;
            next();
            appendRecord(out, type, rec, empty.data(), i, withPasswords);
        }
    } else {
        // Nonzero stretches; zero gaps shorter than kRunGap stay inside a run.
        const auto size = static_cast<std::size_t>(region.count);
        std::size_t i = 0;
        while (i < size) {
            if (!table[i]) {
                ++i;
                continue;
            }
            std::size_t end = i + 1, zeros = 0;
            for (std::size_t j = i + 1; j < size && zeros < kRunGap; ++j) {
                if (table[j]) {
                    end = j + 1;
                    zeros = 0;
                } else {
                    ++zeros;
                }
            }
            next();
            out += "{\"offset\":";
            appendNumber(out, static_cast<long long>(i));
            appendKey(out, "hex");
            appendHex(out, table + i, end - i);
            out += '}';
            i = end;
        }
    }
    if (!any) {
        out.resize(mark);
        return;
    }
    out += "\n" + pad + "]";
}

void appendOperatorTables(std::string& out, const std::uint8_t* bytes, bool withPasswords) {
    out += ",\n  \"";
    out += kOperatorTables;
    out += "\": [";
    for (int op = 1; op <= 3; ++op) {
        out += op == 1 ? "\n    {\n      \"operator\": " : ",\n    {\n      \"operator\": ";
        appendNumber(out, op);
        for (const Region& r : kRegions)
            if (r.perOperator)
                appendRegion(out, r, bytes + r.offset + (op - 1) * regionSize(r), withPasswords, 6);
        out += "\n    }";
    }
    out += "\n  ]";
}

// ---- Building ----

struct BuildError {
    std::string path;
    std::string message;
};

// Input text as a message may quote it: control characters escaped, so that no terminal escape
// sequence in a key or value reaches the terminal, and long text cut short.
std::string shown(std::string_view text) {
    constexpr std::size_t kLongest = 64;
    if (text.size() <= kLongest) return printable(text);
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return printable(text.substr(0, cut)) + "...";
}

// Where in the document the builder is; spelled out only for an error.
// The start of a path that is spelled out only when an error needs it.
struct PathRoot {
    virtual std::string str() const = 0;

  protected:
    ~PathRoot() = default;
};

struct Path {
    const Path* parent = nullptr;
    std::string_view key{};
    std::size_t index = 0;
    bool isIndex = false;
    const PathRoot* root = nullptr;  // of a path without a parent; none: "$"

    std::string str() const {
        if (!parent) return root ? root->str() : "$";
        return parent->str() + (isIndex ? "[" + std::to_string(index) + "]" : "." + shown(key));
    }
};

[[noreturn]] void refuse(const Path& path, std::string message) {
    throw BuildError{path.str(), std::move(message)};
}

Path member(const Path& path, std::string_view key) {
    return {&path, key};
}
Path item(const Path& path, std::size_t i) {
    return {&path, {}, i, true};
}

const char* typeName(const Json& j) {
    return j.type_name();
}

// An integer in [min, max]; booleans and fractions are the wrong type.
long long integer(const Json& j, const Path& path, long long min, long long max) {
    long long v = 0;
    if (j.is_number_unsigned()) {
        const auto u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(max))
            v = max + 1;
        else
            v = static_cast<long long>(u);
    } else if (j.is_number_integer()) {
        v = j.get<long long>();
    } else {
        refuse(path, std::string("expected an integer, found ") + typeName(j));
    }
    if (v < min || v > max)
        refuse(path,
               "out of range: expected " + std::to_string(min) + " to " + std::to_string(max));
    return v;
}

const std::string& string(const Json& j, const Path& path) {
    if (!j.is_string()) refuse(path, std::string("expected a string, found ") + typeName(j));
    return j.get_ref<const std::string&>();
}

const Json::array_t& array(const Json& j, const Path& path) {
    if (!j.is_array()) refuse(path, std::string("expected an array, found ") + typeName(j));
    return j.get_ref<const Json::array_t&>();
}

void requireObject(const Json& j, const Path& path) {
    if (!j.is_object()) refuse(path, std::string("expected an object, found ") + typeName(j));
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<std::uint8_t> fromHex(const Json& j, const Path& path) {
    const std::string& s = string(j, path);
    if (s.size() % 2) refuse(path, "hex text of odd length");
    std::vector<std::uint8_t> bytes(s.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = hexDigit(s[2 * i]), lo = hexDigit(s[2 * i + 1]);
        if (hi < 0 || lo < 0) refuse(path, "not a hex digit at character " + std::to_string(2 * i));
        bytes[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return bytes;
}

void putHex(const Json& j, const Path& path, std::uint8_t* p, std::size_t width) {
    // The length first: a long text is refused without a copy of it.
    if (const std::string& s = string(j, path); s.size() % 2 == 0 && s.size() / 2 != width)
        refuse(path, "expected " + std::to_string(width) + " bytes, found " +
                         std::to_string(s.size() / 2));
    const std::vector<std::uint8_t> bytes = fromHex(j, path);
    if (bytes.size() != width)
        refuse(path, "expected " + std::to_string(width) + " bytes, found " +
                         std::to_string(bytes.size()));
    std::memcpy(p, bytes.data(), width);
}

std::uint32_t parseIpv4(const Json& j, const Path& path) {
    const std::string& s = string(j, path);
    std::uint32_t ip = 0;
    std::size_t pos = 0;
    for (int octet = 0; octet < 4; ++octet) {
        std::size_t digits = 0;
        unsigned value = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(s[pos++] - '0');
            ++digits;
        }
        const bool separatorOk = octet == 3 ? pos == s.size() : pos < s.size() && s[pos] == '.';
        if (digits == 0 || digits > 3 || value > 255 || !separatorOk)
            refuse(path, "not an IPv4 address a.b.c.d: \"" + shown(s) + "\"");
        ++pos;
        ip |= value << (8 * octet);
    }
    return ip;
}

std::uint8_t enumByte(const Json& j, const Path& path, std::string (*nameOf)(std::uint8_t),
                      const char* what) {
    if (j.is_string()) {
        for (int v = 0; v < 256; ++v) {
            const std::string name = nameOf(static_cast<std::uint8_t>(v));
            if (!name.empty() && name == j.get_ref<const std::string&>())
                return static_cast<std::uint8_t>(v);
        }
        refuse(path, std::string("unknown ") + what + " \"" +
                         shown(j.get_ref<const std::string&>()) + "\"");
    }
    return static_cast<std::uint8_t>(integer(j, path, 0, 255));
}

void putTextField(const Json& j, const Path& path, std::uint8_t* p, std::size_t width) {
    const std::string& utf8 = string(j, path);
    // No code page gives a character for more than 8 bytes of UTF-8: a long text is refused
    // before it is converted.
    if (utf8.size() > 8 * width)
        refuse(path, "too long: the field holds " + std::to_string(width) + " bytes");
    const std::string ansi = toAnsi(utf8);
    if (ansi.find('\0') != std::string::npos || fromAnsi(ansi) != utf8)
        refuse(path, "not encodable in code page " + codePage());
    if (ansi.size() > width)
        refuse(path, "too long: " + std::to_string(ansi.size()) + " bytes, the field holds " +
                         std::to_string(width));
    putText(p, width, ansi);
}

std::int32_t slotValue(const Json& j, const Path& path, Refers refers) {
    const long long max = refers == R::DeviceSlot        ? kMaxDeviceSlot
                          : refers == R::ChannelPosition ? kMaxChannelPosition
                                                         : 0x7FFFFFFF;
    const long long min = refers == R::Nothing ? -0x80000000LL : -1;
    return static_cast<std::int32_t>(integer(j, path, min, max));
}

void putField(const Field& f, const Json& j, const Path& path, std::uint8_t* p) {
    switch (f.kind) {
        case FK::U8:
            putU8(p, static_cast<std::uint8_t>(integer(j, path, 0, 0xFF)));
            break;
        case FK::U16:
            putU16(p, static_cast<std::uint16_t>(integer(j, path, 0, 0xFFFF)));
            break;
        case FK::U32:
            putU32(p, static_cast<std::uint32_t>(integer(j, path, 0, 0xFFFFFFFFLL)));
            break;
        case FK::I16:
            putI16(p, static_cast<std::int16_t>(slotValue(j, path, f.refers)));
            break;
        case FK::I32:
            putI32(p, slotValue(j, path, f.refers));
            break;
        case FK::Text:
            putTextField(j, path, p, f.width);
            break;
        case FK::Ipv4:
            putU32(p, parseIpv4(j, path));
            break;
        case FK::ChannelKind:
            putU8(p, enumByte(j, path, kindName, "channel kind"));
            break;
        case FK::OutputPort:
            putU8(p, enumByte(j, path, outputPortName, "output port"));
            break;
        case FK::Protocol:
            putU8(p, enumByte(j, path, protocolName, "protocol"));
            break;
        case FK::Bytes:
            putHex(j, path, p, f.width);
            break;
        case FK::SlotArray: {
            const auto& slots = array(j, path);
            if (slots.size() * 2 != f.width)
                refuse(path, "expected " + std::to_string(f.width / 2) + " slots, found " +
                                 std::to_string(slots.size()));
            for (std::size_t i = 0; i < slots.size(); ++i)
                putI16(p + 2 * i,
                       static_cast<std::int16_t>(slotValue(slots[i], item(path, i), f.refers)));
            break;
        }
        case FK::MatrixCells: {
            const auto& cells = array(j, path);
            const std::size_t count = f.width / MatrixRecord::kCellSize;
            if (cells.size() != count)
                refuse(path, "expected " + std::to_string(count) + " cells, found " +
                                 std::to_string(cells.size()));
            for (std::size_t i = 0; i < count; ++i) {
                const Path cellPath = item(path, i);
                const auto& cell = array(cells[i], cellPath);
                if (cell.size() != 3 && cell.size() != 4)
                    refuse(cellPath, "expected [row, column, value] or [row, column, value, hex]");
                std::uint8_t* c = p + i * MatrixRecord::kCellSize;
                putU8(c, static_cast<std::uint8_t>(integer(cell[0], item(cellPath, 0), 0, 0xFF)));
                putU8(c + 1,
                      static_cast<std::uint8_t>(integer(cell[1], item(cellPath, 1), 0, 0xFF)));
                putU32(c + 4, static_cast<std::uint32_t>(
                                  integer(cell[2], item(cellPath, 2), 0, 0xFFFFFFFFLL)));
                if (cell.size() == 4) putHex(cell[3], item(cellPath, 3), c + 2, 2);
            }
            break;
        }
    }
}

const Field* findField(const RecordType& type, std::string_view name) {
    for (const Field& f : type.fields)
        if (f.name == name) return &f;
    return nullptr;
}

void applyRecord(const Region& region, std::uint8_t* table, std::vector<bool>& seen,
                 const Json& rec, const Path& recPath) {
    const RecordType& type = *region.type;
    const std::string key(type.key);
    requireObject(rec, recPath);
    const auto k = rec.find(key);
    if (k == rec.end()) refuse(recPath, "missing \"" + key + "\"");
    const int at = static_cast<int>(integer(*k, member(recPath, key), 0, region.count - 1));
    if (seen[at]) refuse(member(recPath, key), "duplicate " + key + " " + std::to_string(at));
    seen[at] = true;
    std::uint8_t* p = table + static_cast<std::size_t>(at) * type.size;
    if (const auto hex = rec.find("hex"); hex != rec.end()) {
        if (rec.size() != 2) refuse(recPath, "a record given as \"hex\" has no other fields");
        putHex(*hex, member(recPath, "hex"), p, type.size);
        return;
    }
    for (const auto& [name, value] : rec.items()) {
        if (name == key) continue;
        const Field* f = findField(type, name);
        if (!f) refuse(member(recPath, name), "unknown key");
        putField(*f, value, member(recPath, name), p + f->offset);
    }
}

// One run of an opaque region; `next` is where the run before it ended.
void applyRun(const Json& run, const Path& runPath, std::uint8_t* p, std::size_t size,
              std::size_t& next) {
    requireObject(run, runPath);
    const auto offset = run.find("offset");
    const auto hex = run.find("hex");
    if (offset == run.end()) refuse(runPath, "missing \"offset\"");
    if (hex == run.end()) refuse(runPath, "missing \"hex\"");
    const auto at = static_cast<std::size_t>(
        integer(*offset, member(runPath, "offset"), 0, static_cast<long long>(size) - 1));
    if (at < next)
        refuse(member(runPath, "offset"), "runs must be in ascending order without overlap");
    // An empty run says nothing; refused, a region holds no more runs than bytes.
    if (string(*hex, member(runPath, "hex")).empty())
        refuse(member(runPath, "hex"), "a run holds at least one byte");
    if (string(*hex, member(runPath, "hex")).size() / 2 > size - at)
        refuse(member(runPath, "hex"), "run reaches past the region");
    const std::vector<std::uint8_t> bytes = fromHex(*hex, member(runPath, "hex"));
    std::memcpy(p + at, bytes.data(), bytes.size());
    next = at + bytes.size();
}

// What a container of the document is, known as it opens.
enum class Ctx : std::uint8_t {
    Root,
    Tables,
    Table,
    Records,
    Runs,
    Record,
    Run,
    Slots,
    Cells,
    Cell
};

const char* expectedFor(FieldKind kind) {
    switch (kind) {
        case FK::Text:
        case FK::Ipv4:
        case FK::Bytes:
            return "a string";
        case FK::ChannelKind:
        case FK::OutputPort:
        case FK::Protocol:
            return "a name or an integer";
        case FK::SlotArray:
        case FK::MatrixCells:
            return "an array";
        default:
            return "an integer";
    }
}

// Builds while the parser reads. Each record and run is written into the image as soon as it is
// read and then dropped, so a full file never stands in memory as a tree. A key the form does
// not know, a container where a value belongs or an array longer than its field is refused the
// moment it is read: whatever the input, the builder holds no more than one record of it, and
// its work grows with the input's length alone. What is left of the tree (the header keys, the
// operators' numbers) is checked at the end.
class Builder {
  public:
    explicit Builder(ConfigImage& image) : image_(image) {
        // A copy of the empty image: record by record it cost more than most documents.
        static const std::vector<std::uint8_t> empty = [] {
            std::vector<std::uint8_t> bytes(L::kImageSize, 0);
            for (const Region& r : kRegions)
                if (r.type)
                    for (int op = 1; op <= (r.perOperator ? 3 : 1); ++op)
                        for (int i = 0; i < r.count; ++i)
                            r.type->makeEmpty(bytes.data() + r.offset +
                                              static_cast<std::size_t>(op - 1) * regionSize(r) +
                                              static_cast<std::size_t>(i) * r.type->size);
            return bytes;
        }();
        std::memcpy(image_.bytes().data(), empty.data(), L::kImageSize);
        for (const Region& r : kRegions)
            if (r.type)
                for (int op = 1; op <= (r.perOperator ? 3 : 1); ++op)
                    seen_[&r - kRegions][op - 1].assign(static_cast<std::size_t>(r.count), false);
    }

    // The parser's callback; false drops the value just read.
    bool onEvent(int depth, Json::parse_event_t event, Json& parsed) {
        using E = Json::parse_event_t;
        switch (event) {
            case E::object_start:
            case E::array_start:
                open(depth, event == E::array_start);
                return true;
            case E::key:
                key(depth, parsed.get_ref<const std::string&>());
                return true;
            case E::value:
                return value(depth, parsed);
            case E::object_end:
            case E::array_end:
                return close(depth, parsed);
        }
        return true;
    }

    // The path of the value being read, for an error the parser raises.
    std::string valuePath() const { return pathTo(open_); }
    // The path of the innermost container being read.
    std::string containerPath() const { return pathTo(open_ > 0 ? open_ - 1 : 0); }

    void finish(const Json& doc, BuildResult& result) {
        const Path root;
        requireObject(doc, root);
        const auto format = doc.find("format");
        if (format == doc.end()) refuse(root, "missing \"format\"");
        if (string(*format, member(root, "format")) != kFormatName)
            refuse(member(root, "format"), "expected \"" + std::string(kFormatName) + "\"");
        const auto version = doc.find("version");
        if (version == doc.end()) refuse(root, "missing \"version\"");
        if (string(*version, member(root, "version")) != versionText())
            refuse(member(root, "version"),
                   "expected \"" + versionText() + "\": the only layout this form describes");
        for (const auto& [name, value] : doc.items()) {
            const Path path = member(root, name);
            if (name == "withPasswords") {
                if (!value.is_boolean())
                    refuse(path, std::string("expected true or false, found ") + typeName(value));
                result.withPasswords = value.get<bool>();
            } else if (name == kOperatorTables) {
                operatorTables(value, path);
            } else if (name != "format" && name != "version") {
                array(value, path);  // its records and runs were placed while reading
            }
        }
        image_.stampCurrentHeader();
        image_.updateChecksum();
    }

  private:
    // The path of the item being read at a depth, spelled out only for an error.
    struct ItemPath final : PathRoot {
        ItemPath(const Builder& builder, int depth) : builder(builder), depth(depth) {}
        std::string str() const override { return builder.pathTo(depth); }
        const Builder& builder;
        int depth;
    };

    // Root, operator tables, a table, a record list, a record, a cell list, a cell: 7 levels.
    static constexpr int kDepths = 8;

    std::uint8_t* tableOf(const Region& r, int op) {
        return image_.bytes().data() + r.offset + static_cast<std::size_t>(op - 1) * regionSize(r);
    }

    // The path of the value at this depth: the key just read, or the item being read.
    std::string pathTo(int depth) const {
        std::string path = "$";
        for (int k = 1; k <= depth; ++k)
            path += isArray_[k - 1] ? "[" + std::to_string(counters_[k - 1]) + "]"
                                    : "." + shown(keys_[k]);
        return path;
    }

    void open(int depth, bool isArray) {
        if (depth >= kDepths - 1) throw BuildError{pathTo(depth), "nested too deeply"};
        const Ctx ctx = contextOf(depth, isArray);
        ctx_[depth] = ctx;
        isArray_[depth] = isArray;
        counters_[depth] = 0;
        objectKeys_[depth + 1] = 0;
        open_ = depth + 1;
        if (ctx == Ctx::Table) op_ = 0;
        if (depth == 0) return;
        // Arrays of fixed length, refused at the first item too many.
        const Ctx parent = ctx_[depth - 1];
        const std::size_t index = counters_[depth - 1];
        if (parent == Ctx::Cells && index >= L::kMatrixCells)
            throw BuildError{pathTo(depth - 1),
                             "expected " + std::to_string(L::kMatrixCells) + " cells, found more"};
    }

    // What the container opening at this depth is; refuses one the form has no place for.
    Ctx contextOf(int depth, bool isArray) {
        const char* found = isArray ? "array" : "object";
        auto expect = [&](const char* what) {
            throw BuildError{pathTo(depth), std::string("expected ") + what + ", found " + found};
        };
        if (depth == 0) {
            if (isArray) expect("an object");
            return Ctx::Root;
        }
        const Ctx parent = ctx_[depth - 1];
        const std::string& name = keys_[depth];
        switch (parent) {
            case Ctx::Root:
            case Ctx::Table: {
                if (name == "format" || name == "version") expect("a string");
                if (name == "withPasswords") expect("true or false");
                if (name == "operator") expect("an integer");
                if (!isArray) expect("an array");
                if (name == kOperatorTables) return Ctx::Tables;
                region_[depth] = findRegion(name);
                return region_[depth]->type ? Ctx::Records : Ctx::Runs;
            }
            case Ctx::Tables:
                if (isArray) expect("an object");
                return Ctx::Table;
            case Ctx::Records:
            case Ctx::Runs:
                if (isArray) expect("an object");
                region_[depth] = region_[depth - 1];
                return parent == Ctx::Records ? Ctx::Record : Ctx::Run;
            case Ctx::Record: {
                const RecordType& type = *region_[depth - 1]->type;
                if (name == type.key) expect("an integer");
                if (name == "hex") expect("a string");
                const Field* f = findField(type, name);
                if (!isArray || (f->kind != FK::SlotArray && f->kind != FK::MatrixCells))
                    expect(expectedFor(f->kind));
                return f->kind == FK::SlotArray ? Ctx::Slots : Ctx::Cells;
            }
            case Ctx::Run:
                expect(name == "offset" ? "an integer" : "a string");
                break;
            case Ctx::Cells:
                if (!isArray) expect("an array");
                return Ctx::Cell;
            case Ctx::Cell:
                expect(counters_[depth - 1] == 3 ? "a string" : "an integer");
                break;
            case Ctx::Slots:
                expect("an integer");
                break;
        }
        return Ctx::Root;  // not reached: every case above returns or refuses
    }

    static_assert(4 + std::size(kRegions) <= 64 && 2 + std::size(kDeviceFields) <= 64);

    // The number of a key the object may hold (below 64), or -1 for a key it may not.
    int keyNumber(Ctx ctx, int container, const std::string& name) const {
        switch (ctx) {
            case Ctx::Root:
            case Ctx::Table: {
                const bool table = ctx == Ctx::Table;
                if (name == (table ? "operator" : "format")) return 0;
                if (!table && name == "version") return 1;
                if (!table && name == "withPasswords") return 2;
                if (!table && name == kOperatorTables) return 3;
                const Region* r = findRegion(name);
                return r && r->perOperator == table ? 4 + static_cast<int>(r - kRegions) : -1;
            }
            case Ctx::Record: {
                const RecordType& type = *region_[container]->type;
                if (name == type.key) return 0;
                if (name == "hex") return 1;
                const Field* f = findField(type, name);
                return f ? 2 + static_cast<int>(f - type.fields.data()) : -1;
            }
            case Ctx::Run:
                return name == "offset" ? 0 : name == "hex" ? 1 : -1;
            default:
                return -1;
        }
    }

    void key(int depth, const std::string& name) {
        const int container = depth - 1;
        const int number = keyNumber(ctx_[container], container, name);
        if (number < 0) throw BuildError{pathTo(container) + "." + shown(name), "unknown key"};
        // The parser would keep the last of two equal keys without a word. Only known keys get
        // here, a few to an object: a set of their numbers is a bit mask.
        const std::uint64_t bit = std::uint64_t{1} << number;
        if (objectKeys_[depth] & bit)
            throw BuildError{pathTo(container) + "." + shown(name), "duplicate key"};
        objectKeys_[depth] |= bit;
        keys_[depth] = name;
        if (ctx_[container] == Ctx::Table && op_ == 0 && name != "operator")
            throw BuildError{pathTo(depth), "\"operator\" must come first"};
    }

    bool value(int depth, Json& parsed) {
        if (depth == 0) return true;
        const int container = depth - 1;
        switch (ctx_[container]) {
            case Ctx::Tables:
                throw BuildError{pathTo(depth),
                                 std::string("expected an object, found ") + typeName(parsed)};
            case Ctx::Table:
                if (keys_[depth] == "operator") operatorNumber(parsed, depth);
                break;
            case Ctx::Slots:
                if (counters_[container] >= L::kGroupSlots)
                    throw BuildError{
                        pathTo(container),
                        "expected " + std::to_string(L::kGroupSlots) + " slots, found more"};
                break;
            case Ctx::Cells:
                throw BuildError{pathTo(depth),
                                 std::string("expected an array, found ") + typeName(parsed)};
            case Ctx::Cell:
                if (counters_[container] >= 4)
                    throw BuildError{pathTo(container),
                                     "expected [row, column, value] or [row, column, value, hex]"};
                break;
            default:
                break;
        }
        return element(depth, parsed);
    }

    bool close(int depth, Json& parsed) {
        open_ = depth;
        if (ctx_[depth] == Ctx::Table && op_ == 0)
            throw BuildError{pathTo(depth), "missing \"operator\""};
        return depth == 0 || element(depth, parsed);
    }

    // An item of an array is complete: a record or run is placed and dropped.
    bool element(int depth, const Json& parsed) {
        const int container = depth - 1;
        if (!isArray_[container]) return true;
        const Ctx ctx = ctx_[container];
        bool keep = true;
        if (ctx == Ctx::Records || ctx == Ctx::Runs) {
            const ItemPath at(*this, depth);
            const Path path{nullptr, {}, 0, false, &at};
            const Region& r = *region_[container];
            const int op = container == 1 ? 1 : op_;
            if (ctx == Ctx::Records)
                applyRecord(r, tableOf(r, op), seen_[&r - kRegions][op - 1], parsed, path);
            else
                applyRun(parsed, path, tableOf(r, op), static_cast<std::size_t>(r.count),
                         next_[&r - kRegions][op - 1]);
            keep = false;
        }
        ++counters_[container];
        return keep;
    }

    void operatorNumber(const Json& parsed, int depth) {
        const ItemPath at(*this, depth);
        const Path path{nullptr, {}, 0, false, &at};
        const int op = static_cast<int>(integer(parsed, path, 1, 3));
        if (opSeen_[op - 1]) refuse(path, "duplicate operator " + std::to_string(op));
        opSeen_[op - 1] = true;
        op_ = op;
    }

    void operatorTables(const Json& value, const Path& path) {
        const auto& list = array(value, path);
        for (std::size_t n = 0; n < list.size(); ++n) {
            const Path tPath = item(path, n);
            for (const auto& [name, v] : list[n].items())
                if (name != "operator") array(v, member(tPath, name));
        }
    }

    ConfigImage& image_;
    std::array<std::string, kDepths> keys_{};
    std::array<bool, kDepths> isArray_{};
    std::array<Ctx, kDepths> ctx_{};
    std::array<const Region*, kDepths> region_{};
    std::array<std::uint64_t, kDepths> objectKeys_{};  // keys read, by number
    std::array<std::size_t, kDepths> counters_{};
    std::array<std::array<std::vector<bool>, 3>, std::size(kRegions)> seen_{};
    std::array<std::array<std::size_t, 3>, std::size(kRegions)> next_{};
    std::array<bool, 3> opSeen_{};
    int op_ = 0;    // the operator whose tables are being read, 0 before its "operator" key
    int open_ = 0;  // containers open
};
// The longest string or number the form has a use for is the hex of a region's run, some 34,000
// characters. The parser holds a token whole, and more than once; longer ones are refused
// before it reads them.
constexpr std::size_t kLongestToken = 1 << 16;

struct LongToken {
    std::size_t at;  // offset of its first character
    bool isKey;      // a string followed by ':'
    bool isNumber;
};

// The first string or number longer than kLongestToken. Strings are delimited as the parser
// does, so for any text the parser reads up to that point, this is the token it would read.
std::optional<LongToken> firstLongToken(std::string_view text) {
    auto inNumber = [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"') {
            // The closing quote is the first one after an even number of backslashes.
            std::size_t end = i;
            for (;;) {
                end = std::min(text.find('"', end + 1), text.size());
                std::size_t backslashes = 0;
                while (text[end - 1 - backslashes] == '\\') ++backslashes;
                if (end == text.size() || backslashes % 2 == 0) break;
            }
            if (end - i - 1 > kLongestToken) {
                const auto next = text.find_first_not_of(" \t\r\n", end + 1);
                return LongToken{i, next != std::string_view::npos && text[next] == ':', false};
            }
            i = end + 1;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t end = i + 1;
            while (end < text.size() && inNumber(text[end])) ++end;
            if (end - i > kLongestToken) return LongToken{i, false, true};
            i = end;
        } else {
            ++i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::span<const Region> regions() {
    return kRegions;
}

std::size_t regionSize(const Region& region) {
    return region.type ? region.type->size * static_cast<std::size_t>(region.count)
                       : static_cast<std::size_t>(region.count);
}

const Region* findRegion(std::string_view name) {
    for (const Region& r : kRegions)
        if (r.name == name) return &r;
    return nullptr;
}

bool isEmptyRecord(const RecordType& type, const std::uint8_t* record) {
    std::uint8_t empty[layout::kMatrixRecordSize] = {};
    type.makeEmpty(empty);
    return std::memcmp(record, empty, type.size) == 0;
}

std::string kindName(std::uint8_t kind) {
    switch (kind) {
        case kInputChannel:
            return "input";
        case kOutputChannel:
            return "output";
        case kScene:
            return "scene";
        case kTvWall:
            return "tv-wall";
        default:
            return "";
    }
}

std::string outputPortName(std::uint8_t port) {
    static constexpr const char* kNames[] = {"BNC", "VGA", "HDMI", "DVI"};
    return port < 4 ? kNames[port] : "";
}

std::string protocolName(std::uint8_t protocol) {
    return protocol == 0 ? "TCP" : protocol == 1 ? "UDP" : "";
}

std::string kindLabel(std::uint8_t kind) {
    const std::string name = kindName(kind);
    return name.empty() ? "kind " + std::to_string(kind) : name;
}

std::string protocolLabel(std::uint8_t protocol) {
    const std::string name = protocolName(protocol);
    return name.empty() ? "protocol " + std::to_string(protocol) : name;
}

std::string toHex(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s(size * 2, '0');
    for (std::size_t i = 0; i < size; ++i) {
        s[2 * i] = kDigits[data[i] >> 4];
        s[2 * i + 1] = kDigits[data[i] & 15];
    }
    return s;
}

std::string exportText(const ConfigImage& image, bool withPasswords) {
    const std::uint8_t* bytes = image.bytes().data();
    std::string out;
    out.reserve(1 << 16);
    out += "{\n  \"format\": ";
    appendString(out, kFormatName);
    out += ",\n  \"version\": ";
    appendString(out, versionText());
    out += ",\n  \"withPasswords\": ";
    out += withPasswords ? "true" : "false";
    for (const Region& r : kRegions) {
        if (r.perOperator) continue;
        appendRegion(out, r, bytes + r.offset, withPasswords, 2);
        // The per-operator tables follow the device table, as in the image.
        if (r.name == "devices") appendOperatorTables(out, bytes, withPasswords);
    }
    out += "\n}\n";
    return out;
}

Json exportImage(const ConfigImage& image, bool withPasswords) {
    return Json::parse(exportText(image, withPasswords));
}

BuildResult buildText(std::string_view text, ConfigImage& image) {
    ConfigImage scratch;
    return buildText(text, image, scratch);
}

BuildResult buildText(std::string_view text, ConfigImage& image, ConfigImage& scratch) {
    BuildResult result;
    Builder builder(scratch);
    // A token too long for any field is refused where it starts: the text before it is read for
    // an earlier error and for the path to give.
    const std::optional<LongToken> tooLong = firstLongToken(text);
    const std::string_view read = tooLong ? text.substr(0, tooLong->at) : text;
    // No message quotes the text near an error: it can be part of a password.
    try {
        const Json doc = Json::parse(read, [&](int depth, Json::parse_event_t event, Json& parsed) {
            return builder.onEvent(depth, event, parsed);
        });
        if (tooLong) {
            result.path = "$";
            result.message = "syntax error at " + describePosition(text, tooLong->at) +
                             ": more text after the document";
            return result;
        }
        builder.finish(doc, result);
    } catch (const BuildError& e) {
        result.path = e.path;
        result.message = e.message;
        return result;
    } catch (const Json::parse_error& e) {
        if (tooLong && e.byte > read.size()) {
            // Only the long token stood in the way.
            result.path = tooLong->isKey ? builder.containerPath() : builder.valuePath();
            result.message = std::string(tooLong->isKey      ? "key"
                                         : tooLong->isNumber ? "number"
                                                             : "text") +
                             " longer than " + std::to_string(kLongestToken) + " characters";
            return result;
        }
        result.path = "$";
        result.message = "syntax error at " + describeParseError(e, text);
        return result;
    } catch (const Json::out_of_range&) {
        // The parser's only one: a number beyond what a double holds.
        result.path = builder.valuePath();
        result.message = "number out of range";
        return result;
    } catch (const Json::exception& e) {
        // A value of a shape no check foresaw: refused, never a crash.
        result.path = builder.valuePath();
        result.message = "not readable (JSON error " + std::to_string(e.id) + ")";
        return result;
    }
    image.swap(scratch);
    result.ok = true;
    return result;
}

BuildResult buildImage(const Json& doc, ConfigImage& image) {
    return buildText(doc.dump(-1, ' ', false, Json::error_handler_t::replace), image);
}

EmptyPasswords carryPasswords(const ConfigImage& base, ConfigImage& image) {
    // By position alone: a name or an address is what a review changes, the record's number
    // is what the form keeps.
    EmptyPasswords empty;
    auto carry = [](bool newRecord, std::uint8_t* to, const std::uint8_t* from, std::size_t width) {
        if (newRecord)
            std::memset(to, 0, width);
        else
            std::memcpy(to, from, width);
    };
    for (int n = 0; n < layout::kOperatorCount; ++n) {
        OperatorRecord rec = image.operatorRecord(n);
        const OperatorRecord from = base.operatorRecord(n);
        const bool newRecord = rec.inUse() != 0 && from.inUse() == 0;
        if (newRecord) empty.operators.push_back(n);
        carry(newRecord, rec.data() + OperatorRecord::kPassword,
              from.data() + OperatorRecord::kPassword, OperatorRecord::kPasswordWidth);
    }
    for (int slot = 0; slot < layout::kDeviceCount; ++slot) {
        DeviceRecord d = image.device(slot);
        const DeviceRecord from = base.device(slot);
        const bool newRecord = d.inUse() != 0 && from.inUse() == 0;
        if (newRecord) empty.deviceSlots.push_back(slot);
        carry(newRecord, d.data() + DeviceRecord::kPassword, from.data() + DeviceRecord::kPassword,
              DeviceRecord::kPasswordWidth);
    }
    image.updateChecksum();
    return empty;
}

}  // namespace kbcfg::store::textform
