#include "store/image_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "store/ansi.h"

namespace kbcfg::store {

namespace {

using textform::DumpAs;
using textform::Field;
using textform::Json;
using textform::RecordType;
using textform::Region;
using FK = textform::FieldKind;

// "0x" and `digits` lower-case hex digits, the way versions and checksums are printed.
std::string hex(std::uint32_t value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x", digits, static_cast<unsigned>(value));
    return buf;
}

Json header(const ConfigImage& image, std::uint32_t fileVersion) {
    return {{"fileVersion", hex(fileVersion, 6)},
            {"magic", hex(image.magic(), 8)},
            {"checksum", hex(image.checksum(), 8)},
            {"length", image.length()},
            {"version", hex(image.version(), 6)}};
}

std::uint32_t unsignedAt(const std::uint8_t* p, std::size_t width) {
    return width == 1 ? getU8(p) : width == 2 ? getU16(p) : getU32(p);
}

Json value(const Field& f, const std::uint8_t* p) {
    switch (f.kind) {
        case FK::U8:
        case FK::U16:
        case FK::U32:
            return unsignedAt(p, f.width);
        case FK::I16:
            return getI16(p);
        case FK::I32:
            return getI32(p);
        case FK::Text:
            return fromAnsi(getText(p, f.width));
        case FK::Ipv4:
            return formatIp(getU32(p));
        case FK::ChannelKind:
            return textform::kindLabel(*p);
        case FK::OutputPort: {
            const std::string name = textform::outputPortName(*p);
            return name.empty() ? Json(*p) : Json(name);
        }
        case FK::Protocol:
            return textform::protocolLabel(*p);
        case FK::Bytes:
            return textform::toHex(p, f.width);
        case FK::SlotArray: {
            // The channels only, each with the place it holds in the row.
            Json slots = Json::array();
            for (int i = 0; i < static_cast<int>(f.width / 2); ++i)
                if (const int position = getI16(p + 2 * i); position != -1)
                    slots.push_back({{"slot", i}, {"position", position}});
            return slots;
        }
        case FK::MatrixCells: {
            Json cells = Json::array();
            for (std::size_t i = 0; i < f.width; i += MatrixRecord::kCellSize)
                cells.push_back({getU8(p + i), getU8(p + i + 1), getU32(p + i + 4)});
            return cells;
        }
    }
    return nullptr;
}

const Field* findField(const RecordType& type, auto&& match) {
    const auto it = std::find_if(type.fields.begin(), type.fields.end(), match);
    return it == type.fields.end() ? nullptr : &*it;
}

Json record(const RecordType& type, const std::uint8_t* rec, int key, bool withPasswords) {
    const Field* kindField =
        findField(type, [](const Field& f) { return f.kind == FK::ChannelKind; });
    Json o;
    o[std::string(type.key)] = key;
    for (const Field& f : type.fields) {
        if (f.dump == DumpAs::Hidden || f.kind == FK::Bytes || (f.secret && !withPasswords))
            continue;
        if (f.dumpOnlyFor != -1 && (!kindField || rec[kindField->offset] != f.dumpOnlyFor))
            continue;
        const std::uint8_t* p = rec + f.offset;
        const std::string name(f.name);
        switch (f.dump) {
            case DumpAs::Value:
                o[name] = value(f, p);
                break;
            case DumpAs::Number:
                o[name] = unsignedAt(p, f.width);
                break;
            case DumpAs::Flag:
                o[name] = unsignedAt(p, f.width) != 0;
                break;
            case DumpAs::Hidden:
                break;
            case DumpAs::MatrixRecord:
                if (*p & 1) o["matrixRecord"] = *p >> 1;
                break;
            case DumpAs::NumberAndName:
                o[name] = value(f, p);
                // The entry is only read here; the accessor merely wants a mutable pointer.
                o["name"] = channelDisplayName(ChannelEntry(const_cast<std::uint8_t*>(rec)));
                break;
        }
    }
    return o;
}

Json records(const Region& region, const std::uint8_t* table, bool withPasswords) {
    const RecordType& type = *region.type;
    std::vector<std::uint8_t> empty(type.size, 0);
    type.makeEmpty(empty.data());
    const Field* inUse = findField(type, [&](const Field& f) { return f.name == type.inUseField; });
    Json list = Json::array();
    for (int i = 0; i < region.count; ++i) {
        const std::uint8_t* rec = table + static_cast<std::size_t>(i) * type.size;
        if (inUse &&
            std::memcmp(rec + inUse->offset, empty.data() + inUse->offset, inUse->width) == 0)
            continue;
        list.push_back(record(type, rec, i, withPasswords));
    }
    return list;
}

// The regions of the image (perOperator) or of each operator's tables, in dump order.
std::vector<const Region*> dumped(bool perOperator) {
    std::vector<const Region*> list;
    for (const Region& r : textform::regions())
        if (r.type && r.dumpOrder > 0 && r.perOperator == perOperator) list.push_back(&r);
    std::sort(list.begin(), list.end(),
              [](const Region* a, const Region* b) { return a->dumpOrder < b->dumpOrder; });
    return list;
}

std::string keyOf(const Region& r) {
    return std::string(r.dumpName.empty() ? r.name : r.dumpName);
}

}  // namespace

Json dumpImage(const ConfigImage& image, std::uint32_t fileVersion, bool withPasswords) {
    const std::uint8_t* bytes = image.bytes().data();
    Json doc;
    doc["header"] = header(image, fileVersion);
    for (const Region* r : dumped(false))
        doc[keyOf(*r)] = records(*r, bytes + r->offset, withPasswords);
    Json tables = Json::array();
    for (int op = 1; op < layout::kOperatorCount; ++op) {
        Json t;
        t["operator"] = op;
        for (const Region* r : dumped(true)) {
            const std::size_t at =
                r->offset + static_cast<std::size_t>(op - 1) * textform::regionSize(*r);
            t[keyOf(*r)] = records(*r, bytes + at, withPasswords);
        }
        tables.push_back(std::move(t));
    }
    doc["operatorTables"] = std::move(tables);
    return doc;
}

}  // namespace kbcfg::store
