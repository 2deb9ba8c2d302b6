#include "store/lint.h"

#include <algorithm>
#include <array>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "store/own_texts.h"

namespace kbcfg::store {

using namespace layout;

namespace {

using T = OwnText;

constexpr std::uint32_t kMaxChannelIndex = 99'999'999;
constexpr int kNone = -1;

// Index groups within which an operator's channel indexes must be unique: inputs, outputs, and
// scenes together with TV walls.
int indexGroup(std::uint8_t kind) {
    switch (kind) {
        case kInputChannel:
            return 0;
        case kOutputChannel:
            return 1;
        case kScene:
        case kTvWall:
            return 2;
        default:
            return -1;
    }
}

bool slotInRange(std::int64_t slot) {
    return slot >= 0 && slot < kDeviceCount;
}

class Linter {
  public:
    explicit Linter(const ConfigImage& image) : image_(image) {}

    std::vector<LintFinding> run() {
        checkDevices();
        for (int op = 1; op < kOperatorCount; ++op) {
            if (image_.operatorRecord(op).inUse())
                checkOperator(op);
            else
                checkFreeOperator(op);
        }
        std::stable_sort(found_.begin(), found_.end(), [](const auto& a, const auto& b) {
            return std::tie(a.op, a.table, a.index, a.cell) <
                   std::tie(b.op, b.table, b.index, b.cell);
        });
        return std::move(found_);
    }

  private:
    void add(LintSeverity severity, const char* code, LintTable table, int op, int index,
             std::string text, std::optional<std::int64_t> value = std::nullopt,
             int related = kNone, int cell = kNone) {
        found_.push_back({severity, code, table, op, index, cell, related, value, std::move(text)});
    }
    void error(const char* code, LintTable table, int op, int index, std::string text,
               std::optional<std::int64_t> value = std::nullopt, int related = kNone,
               int cell = kNone) {
        add(LintSeverity::Error, code, table, op, index, std::move(text), value, related, cell);
    }
    void warning(const char* code, LintTable table, int op, int index, std::string text,
                 std::optional<std::int64_t> value = std::nullopt, int related = kNone,
                 int cell = kNone) {
        add(LintSeverity::Warning, code, table, op, index, std::move(text), value, related, cell);
    }

    // A device slot that a per-operator table names: in range and in use, or a finding. True
    // when the slot names a used device.
    bool checkDeviceRef(LintTable table, int op, int index, std::int64_t slot) {
        if (!slotInRange(slot)) {
            error("slot-out-of-range", table, op, index,
                  say(T::LintSlotOutOfRange,
                      {std::to_string(slot), std::to_string(kDeviceCount - 1)}),
                  slot);
            return false;
        }
        if (!used_[slot]) {
            error("device-not-in-use", table, op, index,
                  say(T::LintDeviceNotInUse, {std::to_string(slot)}), slot);
            return false;
        }
        return true;
    }

    // `what`: the text for the kind of record that names the device.
    void notAssigned(LintTable table, int op, int index, int slot, OwnText what) {
        warning("device-not-assigned", table, op, index, say(what, {std::to_string(slot)}), slot);
    }

    void checkDevices() {
        // Same address and port: the keyboard cannot tell the two apart. Same address with
        // another port may be meant (one box, two services), but the pages never create it.
        std::unordered_map<std::uint64_t, int> byEndpoint;
        std::unordered_map<std::uint32_t, int> byAddress;
        for (int slot = 0; slot < kDeviceCount; ++slot) {
            const DeviceRecord d = image_.device(slot);
            used_[slot] = d.inUse() != 0;
            if (!used_[slot]) continue;
            if (d.ip() == 0) {
                warning("address-zero", LintTable::Devices, 0, slot, say(T::LintAddressZero));
                continue;
            }
            const std::uint64_t endpoint = (std::uint64_t{d.ip()} << 16) | d.port();
            const auto [sameEndpoint, newEndpoint] = byEndpoint.emplace(endpoint, slot);
            const auto [sameAddress, newAddress] = byAddress.emplace(d.ip(), slot);
            if (!newEndpoint)
                error("duplicate-address", LintTable::Devices, 0, slot,
                      say(T::LintSameEndpoint, {formatIp(d.ip()) + ":" + std::to_string(d.port()),
                                                std::to_string(sameEndpoint->second)}),
                      std::nullopt, sameEndpoint->second);
            else if (!newAddress)
                warning("duplicate-address", LintTable::Devices, 0, slot,
                        say(T::LintSameAddress,
                            {formatIp(d.ip()), std::to_string(sameAddress->second)}),
                        std::nullopt, sameAddress->second);
        }
    }

    // A user created at a free position gets a fresh device list and matrix records, but keeps
    // whatever channel entries and stream records the position still holds.
    void checkFreeOperator(int op) {
        int channels = 0, streams = 0;
        for (int pos = 0; pos < kChannelCount; ++pos)
            if (!image_.channel(op, pos).empty()) ++channels;
        for (int i = 0; i < kUserDeviceCount; ++i)
            if (image_.stream(op, i).deviceSlot() != -1) ++streams;
        if (channels + streams > 0)
            warning(
                "free-operator-data", LintTable::Operators, op, op,
                say(T::LintFreeOperatorData, {std::to_string(channels), std::to_string(streams)}),
                channels + streams);
    }

    void checkOperator(int op) {
        // First list entry of each device, or kNone.
        std::array<int, kDeviceCount> listed;
        listed.fill(kNone);
        checkDeviceList(op, listed);
        checkStreams(op, listed);
        checkChannels(op, listed);
        checkGroups(op, GroupTable::Input);
        checkGroups(op, GroupTable::Output);
        checkMatrix(op, listed);
    }

    void checkDeviceList(int op, std::array<int, kDeviceCount>& listed) {
        for (int i = 0; i < kUserDeviceCount; ++i) {
            const int slot = image_.userDevice(op, i);
            if (slot == -1) continue;
            if (!checkDeviceRef(LintTable::DeviceList, op, i, slot)) continue;
            if (listed[slot] != kNone)
                warning("device-listed-twice", LintTable::DeviceList, op, i,
                        say(T::LintDeviceListedTwice,
                            {std::to_string(slot), std::to_string(listed[slot])}),
                        slot, listed[slot]);
            else
                listed[slot] = i;
        }
    }

    void checkStreams(int op, const std::array<int, kDeviceCount>& listed) {
        for (int i = 0; i < kUserDeviceCount; ++i) {
            const std::int32_t slot = image_.stream(op, i).deviceSlot();
            if (slot == -1 || slot == image_.userDevice(op, i)) continue;
            if (!checkDeviceRef(LintTable::Streams, op, i, slot)) continue;
            if (listed[slot] == kNone)
                notAssigned(LintTable::Streams, op, i, slot, T::LintStreamOfUnassigned);
            else
                warning("stream-misplaced", LintTable::Streams, op, i,
                        say(T::LintStreamMisplaced,
                            {std::to_string(slot), std::to_string(listed[slot])}),
                        slot, listed[slot]);
        }
    }

    void checkChannels(int op, const std::array<int, kDeviceCount>& listed) {
        std::array<std::vector<std::pair<std::uint32_t, int>>, 3> byGroup;
        for (int pos = 0; pos < kChannelCount; ++pos) {
            const ChannelEntry e = image_.channel(op, pos);
            const int slot = e.deviceSlot();
            if (slot == -1) continue;
            if (!checkDeviceRef(LintTable::Channels, op, pos, slot)) continue;
            const int group = indexGroup(e.kind());
            if (group < 0) {
                warning("unknown-kind", LintTable::Channels, op, pos,
                        say(T::LintUnknownKind, {std::to_string(e.kind())}), e.kind());
                continue;
            }
            if (listed[slot] == kNone)
                notAssigned(LintTable::Channels, op, pos, slot, T::LintChannelOfUnassigned);
            if (e.index() == 0 || e.index() > kMaxChannelIndex)
                error("index-out-of-range", LintTable::Channels, op, pos,
                      say(T::LintIndexOutOfRange,
                          {std::to_string(e.index()), std::to_string(kMaxChannelIndex)}),
                      e.index());
            else
                byGroup[group].emplace_back(e.index(), pos);
            if (e.kind() == kInputChannel && (e.matrixLink() & 1)) checkMatrixLink(op, pos, e);
        }
        for (auto& entries : byGroup) reportDuplicateIndexes(op, entries);
    }

    void checkMatrixLink(int op, int pos, const ChannelEntry& e) {
        const int record = e.matrixLink() >> 1;
        if (record >= kMatrixCount) {
            error("matrix-link-out-of-range", LintTable::Channels, op, pos,
                  say(T::LintMatrixLinkOutOfRange,
                      {std::to_string(record), std::to_string(kMatrixCount - 1)}),
                  record);
        } else if (image_.matrix(op, record).deviceSlot() == -1) {
            warning("matrix-link-free", LintTable::Channels, op, pos,
                    say(T::LintMatrixLinkFree, {std::to_string(record)}), record);
        }
    }

    void reportDuplicateIndexes(int op, std::vector<std::pair<std::uint32_t, int>>& entries) {
        std::sort(entries.begin(), entries.end());
        std::size_t first = 0;
        for (std::size_t i = 1; i < entries.size(); ++i) {
            if (entries[i].first != entries[first].first) {
                first = i;
                continue;
            }
            const auto [index, pos] = entries[i];
            error("duplicate-index", LintTable::Channels, op, pos,
                  say(T::LintDuplicateIndex,
                      {std::to_string(index), std::to_string(entries[first].second)}),
                  index, entries[first].second);
        }
    }

    void checkGroups(int op, GroupTable table) {
        const bool input = table == GroupTable::Input;
        const LintTable where = input ? LintTable::InputGroups : LintTable::OutputGroups;
        const std::uint8_t expected = input ? kInputChannel : kOutputChannel;
        for (int row = 0; row < kGroupRows; ++row) {
            const GroupRow r = image_.groupRow(op, table, row);
            for (int cell = 0; cell < kGroupSlots; ++cell) {
                const int pos = r.slot(cell);
                // 0 may stand for an unused cell as well as for position 0; it is not judged.
                if (pos == -1 || pos == 0) continue;
                if (pos < 0 || pos >= kChannelCount) {
                    error("position-out-of-range", where, op, row,
                          say(T::LintPositionOutOfRange,
                              {std::to_string(pos), std::to_string(kChannelCount - 1)}),
                          pos, kNone, cell);
                    continue;
                }
                const ChannelEntry e = image_.channel(op, pos);
                if (e.empty())
                    error("group-cell-empty", where, op, row,
                          say(T::LintGroupCellEmpty, {std::to_string(pos)}), pos, kNone, cell);
                else if (e.kind() != expected)
                    warning("group-cell-wrong-kind", where, op, row,
                            say(input ? T::LintNotInputChannel : T::LintNotOutputChannel,
                                {std::to_string(pos)}),
                            pos, kNone, cell);
            }
        }
    }

    void checkMatrix(int op, const std::array<int, kDeviceCount>& listed) {
        for (int i = 0; i < kMatrixCount; ++i) {
            const std::int32_t slot = image_.matrix(op, i).deviceSlot();
            if (slot == -1) continue;
            if (!checkDeviceRef(LintTable::Matrix, op, i, slot)) continue;
            if (listed[slot] == kNone)
                notAssigned(LintTable::Matrix, op, i, slot, T::LintMatrixOfUnassigned);
        }
    }

    const ConfigImage& image_;
    std::array<bool, kDeviceCount> used_{};
    std::vector<LintFinding> found_;
};

}  // namespace

std::vector<LintFinding> lintImage(const ConfigImage& image) {
    return Linter(image).run();
}

std::string lintLocation(const LintFinding& f) {
    const std::string op = std::to_string(f.op);
    const std::string index = std::to_string(f.index);
    const std::string cell = std::to_string(f.cell);
    switch (f.table) {
        case LintTable::Devices:
            return say(T::WhereDeviceSlot, {index});
        case LintTable::Operators:
            return say(T::WhereOperator, {index});
        case LintTable::DeviceList:
            return say(T::WhereDeviceListEntry, {op, index});
        case LintTable::Streams:
            return say(T::WhereStreamRecord, {op, index});
        case LintTable::Channels:
            return say(T::WhereChannelPosition, {op, index});
        case LintTable::InputGroups:
            return say(T::WhereInputGroupCell, {op, index, cell});
        case LintTable::OutputGroups:
            return say(T::WhereOutputGroupCell, {op, index, cell});
        case LintTable::Matrix:
            return say(T::WhereMatrixRecord, {op, index});
    }
    return {};
}

}  // namespace kbcfg::store
