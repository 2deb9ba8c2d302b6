#pragma once
// The text form of a configuration: every byte of the current layout as JSON, named fields as
// readable values and the bytes nobody names as hex runs, so that a file can be reviewed, kept
// under version control and built again byte for byte.
//
// One table of fields per record type and one table of regions drive the export, the build and
// the semantic diff alike.

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/config_image.h"

namespace kbcfg::store::textform {

using Json = nlohmann::ordered_json;

enum class FieldKind : std::uint8_t {
    U8,
    U16,
    U32,
    I16,
    I32,
    Text,         // 8-bit text in the code page, NUL padded
    Ipv4,         // dotted, first octet in the lowest byte
    ChannelKind,  // "input", "output", "scene", "tv-wall", or the number
    OutputPort,   // "BNC", "VGA", "HDMI", "DVI", or the number
    Protocol,     // "TCP", "UDP", or the number
    Bytes,        // reserved bytes: a hex string
    SlotArray,    // group row: 64 x i16 channel positions, -1 empty
    MatrixCells,  // 64 x [row, column, value] (a fourth item: the reserved bytes in hex)
};

// What a number field refers to, for its range check and the diff's labels.
enum class Refers : std::uint8_t { Nothing, DeviceSlot, ChannelPosition };

// How the dump shows a field. The dump is for reading the records in use, not for building
// again: flags read true or false, and reserved bytes (FieldKind::Bytes) always stay out.
enum class DumpAs : std::uint8_t {
    Value,   // decoded; a code without a name as "kind 9"
    Number,  // the plain number, also of a coded field
    Flag,    // true or false
    Hidden,
    // A channel's matrix link: "matrixRecord", the bits above bit 0, only while bit 0 is set.
    MatrixRecord,
    // A channel's number, then "name": the channel's name as the lists show it.
    NumberAndName,
};

struct Field {
    std::string_view name;
    FieldKind kind;
    std::uint16_t offset;
    std::uint16_t width;  // in bytes
    Refers refers = Refers::Nothing;
    bool secret = false;    // a password: exported only when asked for
    bool optional = false;  // left out while it holds the empty record's bytes
    DumpAs dump = DumpAs::Value;
    // A field that means something for one kind of channel only: the dump shows it only while
    // the record's ChannelKind field holds this kind. -1: always.
    std::int16_t dumpOnlyFor = -1;
};

struct RecordType {
    std::string_view key;  // the JSON key of the record's number ("slot", "position", ...)
    std::size_t size;
    std::span<const Field> fields;
    // Writes the bytes of an empty record (omitted from the text form).
    void (*makeEmpty)(std::uint8_t* record);
    // The field that tells the dump a record is in use: while it holds the empty record's bytes
    // the record is left out, whatever the other fields hold. "": every record is listed.
    std::string_view inUseField = {};
};

// One region of the image. Opaque regions (no record type) are carried as hex runs.
struct Region {
    std::string_view name;  // the JSON key
    const RecordType* type;
    std::size_t offset;
    int count;                       // records per table; bytes for an opaque region
    bool perOperator;                // three consecutive tables, operators 1..3
    std::string_view operatorOf;     // ""; for per-operator regions the table's meaning in labels
    int dumpOrder = 0;               // where the dump lists the region, 1 first; 0: left out
    std::string_view dumpName = {};  // the dump's key when it is not `name`
};

// The regions of the image after the header, in image order.
std::span<const Region> regions();
std::size_t regionSize(const Region& region);  // of one table
const Region* findRegion(std::string_view name);

bool isEmptyRecord(const RecordType& type, const std::uint8_t* record);

// Names of the coded values, as exported and as the diff prints them.
std::string kindName(std::uint8_t kind);
std::string outputPortName(std::uint8_t port);
std::string protocolName(std::uint8_t protocol);
// The same for a reader: a code without a name as "kind 9", "protocol 7".
std::string kindLabel(std::uint8_t kind);
std::string protocolLabel(std::uint8_t protocol);

std::string toHex(const std::uint8_t* data, std::size_t size);

inline constexpr std::string_view kFormatName = "kbcfg-configuration";

// The text form of the image, one record a line so that a changed record is one changed line.
// Passwords are left out unless asked for.
std::string exportText(const ConfigImage& image, bool withPasswords);
// The same as a JSON value.
Json exportImage(const ConfigImage& image, bool withPasswords);

// The text form of a file with every record in use and every field at its longest is 14.2 MB
// (a file full of devices and channels some 6 MB); 32 MB leaves room for any indentation a tool
// may add, and bounds the time and memory a build spends on input that is not a text form.
inline constexpr std::size_t kMaxTextFormBytes = 32u << 20;

struct BuildResult {
    bool ok = false;
    std::string path;     // JSON path of the first error, "$.devices[2].port"
    std::string message;  // what is wrong there
    bool withPasswords = false;
};

// Builds a current-layout image (header and checksum included) from the text form, record by
// record as it is read. On failure the image is left as it was.
BuildResult buildText(std::string_view text, ConfigImage& image);
// The same with the caller's scratch image, for a caller that builds many: on success it holds
// the image's former content.
BuildResult buildText(std::string_view text, ConfigImage& image, ConfigImage& scratch);
BuildResult buildImage(const Json& doc, ConfigImage& image);

// The records of a build that the base had no password for.
struct EmptyPasswords {
    std::vector<int> operators;    // record numbers
    std::vector<int> deviceSlots;  // slots
    bool empty() const { return operators.empty() && deviceSlots.empty(); }
};

// For a document built without passwords: each operator record and each device slot gets the
// password of the base's record at the same position, whatever else changed, so that renaming
// an operator or moving a device to a new address keeps its password. A record in use in the
// image whose position the base does not use has no password to take: it is left empty and
// returned. Recomputes the checksum.
EmptyPasswords carryPasswords(const ConfigImage& base, ConfigImage& image);

}  // namespace kbcfg::store::textform
