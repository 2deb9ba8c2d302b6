#include "store/config_diff.h"

#include <cstring>
#include <map>

#include "store/ansi.h"
#include "store/own_texts.h"
#include "store/text_form.h"

namespace kbcfg::store::textform {

namespace {

using T = OwnText;

std::string deviceRef(const ConfigImage& image, std::int32_t slot) {
    std::string s = std::to_string(slot);
    if (slot >= 0 && slot < layout::kDeviceCount && image.device(slot).inUse())
        s += " (" + formatIp(image.device(slot).ip()) + ")";
    return s;
}

std::string quoted(const std::uint8_t* p, std::size_t width) {
    const std::string ansi = getText(p, width);
    return Json(fromAnsi(ansi)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string named(std::uint8_t v, const std::string& name) {
    return name.empty() ? std::to_string(v) : name;
}

std::string cellText(const std::uint8_t* c) {
    return "[" + std::to_string(getU8(c)) + ", " + std::to_string(getU8(c + 1)) + ", " +
           std::to_string(getU32(c + 4)) + "]";
}

// A field's value as a reviewer reads it, refs resolved in the image the value comes from.
std::string valueText(const Field& f, const std::uint8_t* p, const ConfigImage& image) {
    switch (f.kind) {
        case FieldKind::U8:
            return std::to_string(getU8(p));
        case FieldKind::U16:
            return std::to_string(getU16(p));
        case FieldKind::U32:
            return std::to_string(getU32(p));
        case FieldKind::I16:
            return f.refers == Refers::DeviceSlot ? deviceRef(image, getI16(p))
                                                  : std::to_string(getI16(p));
        case FieldKind::I32:
            return f.refers == Refers::DeviceSlot ? deviceRef(image, getI32(p))
                                                  : std::to_string(getI32(p));
        case FieldKind::Text:
            return quoted(p, f.width);
        case FieldKind::Ipv4:
            return formatIp(getU32(p));
        case FieldKind::ChannelKind:
            return named(*p, kindName(*p));
        case FieldKind::OutputPort:
            return named(*p, outputPortName(*p));
        case FieldKind::Protocol:
            return named(*p, protocolName(*p));
        default:
            return toHex(p, f.width);
    }
}

// The list of the channel page that shows an entry of this kind.
std::string listName(std::uint8_t kind) {
    switch (kind) {
        case kInputChannel:
            return say(T::DiffInputList);
        case kOutputChannel:
            return say(T::DiffOutputList);
        case kScene:
        case kTvWall:
            return say(T::DiffWallSceneList);
        default:
            return say(T::DiffKindList, {std::to_string(kind)});
    }
}

// The label of a record, taken from the side where it is in use (b first).
std::string label(const Region& r, int op, int key, const ConfigImage& image,
                  const std::uint8_t* rec) {
    const std::string owner = r.perOperator ? say(T::DiffOwner, {std::to_string(op)}) : "";
    const std::string n = std::to_string(key);
    if (r.name == "operators") {
        const std::string name = getText(rec + OperatorRecord::kName, OperatorRecord::kNameWidth);
        // A control character in a name must not break the line a reviewer reads.
        std::string shown = fromAnsi(name);
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20) c = '?';
        return shown.empty() ? say(T::DiffOperator, {n}) : say(T::DiffOperatorNamed, {n, shown});
    }
    if (r.name == "devices") return say(T::DiffDevice, {n, formatIp(getU32(rec + 4))});
    if (r.name == "channels") {
        const ChannelEntry e(const_cast<std::uint8_t*>(rec));
        std::string address = say(T::DiffNoDevice);
        if (e.deviceSlot() >= 0 && e.deviceSlot() < layout::kDeviceCount) {
            const DeviceRecord d = image.device(e.deviceSlot());
            address = formatIp(d.ip()) + ":" + std::to_string(d.port());
        }
        return say(T::DiffChannel, {owner, listName(e.kind()), n, std::to_string(e.index()),
                                    address, channelDisplayName(e)});
    }
    if (r.name == "matrix")
        return say(T::DiffMatrixRecord, {owner, n, deviceRef(image, getI32(rec))});
    if (r.name == "streams")
        return say(T::DiffStreamRecord, {owner, n, deviceRef(image, getI32(rec))});
    if (r.name == "deviceList") return say(T::DiffDeviceListEntry, {owner, n});
    if (r.name == "inputGroups") return say(T::DiffInputGroupRow, {owner, n});
    if (r.name == "outputGroups") return say(T::DiffOutputGroupRow, {owner, n});
    return owner + std::string(r.operatorOf) + " row " + n;
}

// The fields of a record that is added or removed, as one line.
std::string summary(const RecordType& type, const std::uint8_t* rec, const ConfigImage& image) {
    std::uint8_t empty[layout::kMatrixRecordSize] = {};
    type.makeEmpty(empty);
    std::string s;
    for (const Field& f : type.fields) {
        if (f.secret || f.kind == FieldKind::Bytes || f.kind == FieldKind::SlotArray ||
            f.kind == FieldKind::MatrixCells)
            continue;
        if (f.optional && std::memcmp(rec + f.offset, empty + f.offset, f.width) == 0) continue;
        if (!s.empty()) s += ", ";
        s += std::string(f.name) + " " + valueText(f, rec + f.offset, image);
    }
    return s;
}

struct Differ {
    const ConfigImage& a;
    const ConfigImage& b;
    DiffResult result;
    std::map<std::string, std::size_t> unknown;

    void countUnknown(std::string_view region, const std::uint8_t* pa, const std::uint8_t* pb,
                      std::size_t size) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < size; ++i) n += pa[i] != pb[i];
        if (n) unknown[std::string(region)] += n;
    }

    void add(const Region& r, int op, int key, std::string where, std::string change,
             std::string before = {}, std::string after = {}) {
        result.differences.push_back({std::string(r.name), op, key, std::move(where),
                                      std::move(change), std::move(before), std::move(after)});
    }

    void compareRecord(const Region& r, int op, int key, const std::uint8_t* pa,
                       const std::uint8_t* pb) {
        const RecordType& type = *r.type;
        const bool emptyA = isEmptyRecord(type, pa), emptyB = isEmptyRecord(type, pb);
        const std::string where = emptyB ? label(r, op, key, a, pa) : label(r, op, key, b, pb);
        if (emptyA || emptyB) {
            if (emptyA)
                add(r, op, key, where, "added", {}, summary(type, pb, b));
            else
                add(r, op, key, where, "removed", summary(type, pa, a));
            return;
        }
        for (const Field& f : type.fields) {
            const std::uint8_t* fa = pa + f.offset;
            const std::uint8_t* fb = pb + f.offset;
            if (std::memcmp(fa, fb, f.width) == 0) continue;
            if (f.kind == FieldKind::Bytes) {
                countUnknown(r.name, fa, fb, f.width);
            } else if (f.secret) {
                add(r, op, key, where, "password");
            } else if (f.kind == FieldKind::SlotArray) {
                for (std::size_t i = 0; i < f.width; i += 2)
                    if (getI16(fa + i) != getI16(fb + i))
                        add(r, op, key, where, "slot " + std::to_string(i / 2),
                            std::to_string(getI16(fa + i)), std::to_string(getI16(fb + i)));
            } else if (f.kind == FieldKind::MatrixCells) {
                for (std::size_t i = 0; i < f.width; i += MatrixRecord::kCellSize) {
                    if (std::memcmp(fa + i, fb + i, MatrixRecord::kCellSize) == 0) continue;
                    if (getU8(fa + i) != getU8(fb + i) || getU8(fa + i + 1) != getU8(fb + i + 1) ||
                        getU32(fa + i + 4) != getU32(fb + i + 4))
                        add(r, op, key, where,
                            "cell " + std::to_string(i / MatrixRecord::kCellSize), cellText(fa + i),
                            cellText(fb + i));
                    countUnknown(r.name, fa + i + 2, fb + i + 2, 2);
                }
            } else {
                const bool renamed = r.name == "operators" && f.name == "name";
                add(r, op, key, where, renamed ? "renamed" : std::string(f.name),
                    valueText(f, fa, a), valueText(f, fb, b));
            }
        }
    }

    void compareTable(const Region& r, int op, std::size_t offset) {
        const std::uint8_t* ta = a.bytes().data() + offset;
        const std::uint8_t* tb = b.bytes().data() + offset;
        if (!r.type) {
            countUnknown(r.name, ta, tb, regionSize(r));
            return;
        }
        const std::size_t size = r.type->size;
        for (int i = 0; i < r.count; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * size;
            if (std::memcmp(ta + at, tb + at, size) != 0) compareRecord(r, op, i, ta + at, tb + at);
        }
    }
};

}  // namespace

DiffResult diffImages(const ConfigImage& a, const ConfigImage& b) {
    Differ d{a, b, {}, {}};
    for (const Region& r : regions()) {
        if (!r.perOperator) {
            d.compareTable(r, 0, r.offset);
            continue;
        }
        for (int op = 1; op <= 3; ++op)
            d.compareTable(r, op, r.offset + static_cast<std::size_t>(op - 1) * regionSize(r));
    }
    for (const Region& r : regions())
        if (auto it = d.unknown.find(std::string(r.name)); it != d.unknown.end())
            d.result.unknown.push_back({it->first, it->second});
    return std::move(d.result);
}

std::string formatDifference(const Difference& d) {
    using T = OwnText;
    if (d.change == "added")
        return d.after.empty() ? say(T::DiffAdded, {d.where})
                               : say(T::DiffAddedWith, {d.where, d.after});
    if (d.change == "removed")
        return d.before.empty() ? say(T::DiffRemoved, {d.where})
                                : say(T::DiffRemovedWith, {d.where, d.before});
    if (d.change == "password") return say(T::DiffPasswordChanged, {d.where});
    return say(T::DiffChanged, {d.where, d.change, d.before, d.after});
}

std::vector<std::string> formatDiff(const DiffResult& diff) {
    std::vector<std::string> lines;
    for (const Difference& d : diff.differences) lines.push_back(formatDifference(d));
    for (const UnknownBytes& u : diff.unknown)
        lines.push_back(say(u.count == 1 ? OwnText::DiffUnknownByte : OwnText::DiffUnknownBytes,
                            {u.region, std::to_string(u.count)}));
    return lines;
}

}  // namespace kbcfg::store::textform
