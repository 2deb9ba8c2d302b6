#include "channels/userchan.h"

#include <algorithm>

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::channels {

using store::Outcome;

namespace {

bool kindBelongs(std::uint8_t kind, ChannelListKind list) {
    switch (list) {
        case ChannelListKind::Input:
            return kind == store::kInputChannel;
        case ChannelListKind::Output:
            return kind == store::kOutputChannel;
        case ChannelListKind::WallScene:
            return kind == store::kScene || kind == store::kTvWall;
        default:
            return false;
    }
}

// The index-text check: not empty, digits only, value not 0.
bool indexTextValid(const std::string& text) {
    return store::checkDigits(text) == store::Check::Ok && store::readNumber(text) != 0;
}

}  // namespace

bool entryListed(const store::ConfigImage& image, const store::ChannelEntry& entry,
                 ChannelListKind kind) {
    const int slot = entry.deviceSlot();
    if (slot < 0 || slot >= store::layout::kDeviceCount) return false;
    const store::DeviceRecord dev = image.device(slot);
    return dev.inUse() == 1 && dev.ip() != 0 && entry.index() != 0xFFFFFFFFu &&
           kindBelongs(entry.kind(), kind);
}

userchan::userchan(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {
    if (session_.loggedInUser >= 1 && session_.loggedInUser <= 3) {
        userNameField = session_.currentUserName;
        userNameEnabled = false;
    }
}

std::vector<std::string> userchan::columnCaptions() {
    return {"",
            store::getMessage(store::Msg::ColumnChannelIndex),
            store::getMessage(store::Msg::ColumnPort),
            store::getMessage(store::Msg::Ip),
            store::getMessage(store::Msg::ColumnChannelNo),
            store::getMessage(store::Msg::ColumnChannelCount)};
}

void userchan::showChannelList(ChannelListKind kind) {
    listKind = kind;
    checkAllState = 0;
    fillChannelList();
}

std::optional<int> userchan::resolveListedOperator(bool clearOnAdministrator) {
    if (session_.loggedInUser >= 1 && session_.loggedInUser <= 3) return session_.loggedInUser;
    const int found = image_.lookupOperator(userNameField);
    store::Msg message{};
    bool clear = true;
    if (found == -2) {
        message = store::Msg::UserNameTooLong;
    } else if (found == -1) {
        message = store::Msg::UserNotFound;
    } else if (found == 0) {
        message = store::Msg::ErrorUser;
        clear = clearOnAdministrator;
    } else {
        return found;
    }
    if (clear) {
        userNameField.clear();
        focus = Focus::UserName;
    }
    store::showMessage(host_, message);
    return std::nullopt;
}

void userchan::fillChannelList() {
    headerMark = false;
    rows.clear();
    listedOperator = 0;
    if (userNameField.empty()) {
        store::showMessage(host_, store::Msg::EnterUserNameFirst);
        return;
    }
    const std::optional<int> op = resolveListedOperator(true);
    if (!op) return;
    listedOperator = *op;
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image_.channel(listedOperator, pos);
        if (!entryListed(image_, e, listKind)) continue;
        const store::DeviceRecord dev = image_.device(e.deviceSlot());
        ChannelRow row;
        row.position = pos;
        if (listKind == ChannelListKind::Input) row.rowNumber = std::to_string(rows.size());
        row.indexText = std::to_string(static_cast<std::int32_t>(e.index()));
        row.port = std::to_string(dev.port());
        row.ip = store::formatIp(dev.ip());
        row.name = store::channelDisplayName(e);
        rows.push_back(std::move(row));
    }
}

void userchan::onColumnHeaderClick(int column) {
    if (column != 0 || rows.empty()) return;
    const bool check = checkAllState == 0;
    for (auto& row : rows) row.checked = check;
    checkAllState = check ? 1 : 0;
    headerMark = check;
}

void userchan::onNewIndexChanged() {
    if (store::readNumber(newIndexField) > kMaxIndex) {
        store::showMessage(host_, store::Msg::ChannelIndexRange);
        newIndexField.clear();
    }
}

void userchan::untickAll() {
    for (auto& row : rows) row.checked = false;
}

Outcome userchan::changeIndexSingle() {
    ChannelRow* target = nullptr;
    for (auto& row : rows) {
        if (row.checked) {
            target = &row;
            break;
        }
    }
    if (!target) {
        store::showMessage(host_, store::Msg::ChooseChannelToModify);
        return Outcome::Refused;
    }
    if (!indexTextValid(newIndexField)) {
        store::showMessage(host_, store::Msg::ChannelIndexRange);
        newIndexField.clear();
        focus = Focus::NewIndex;
        return Outcome::Refused;
    }
    const std::int32_t value = store::readNumber(newIndexField);
    for (const auto& row : rows) {
        if (store::readNumber(row.indexText) == value) {
            store::showMessage(host_, store::Msg::ChannelIndexExists);
            newIndexField.clear();
            focus = Focus::NewIndex;
            return Outcome::Refused;
        }
    }
    target->indexText = newIndexField;
    image_.channel(listedOperator, target->position).setIndex(static_cast<std::uint32_t>(value));
    const int saved = store::saveChange(host_, session_, image_);
    untickAll();
    return saved == 0 ? Outcome::Done : Outcome::Refused;
}

std::vector<std::int32_t> renumberBatch(const std::vector<std::int32_t>& old, std::size_t start,
                                        std::size_t end, std::int32_t value, bool& nearTop) {
    const std::size_t count = old.size();
    nearTop = static_cast<std::int64_t>(count) - static_cast<std::int64_t>(start) >=
              std::int64_t{userchan::kMaxIndex} - value;
    std::vector<std::int32_t> renumbered = old;
    if (start >= count) return renumbered;
    end = std::min(end, count - 1);
    // Restarting the scan of the rows above start after every match ends on the smallest value
    // from v on that none of them shows. v grows by one per row of the run and by one per value
    // above start that it meets, so it stays below value + end + 2: a table over that window
    // answers each step.
    const std::size_t window = end + 2;
    std::vector<std::uint8_t> taken(window, 0);
    for (std::size_t k = 0; k < start; ++k) {
        const std::int64_t d = std::int64_t{old[k]} - value;
        if (d >= 0 && d < static_cast<std::int64_t>(window)) taken[static_cast<std::size_t>(d)] = 1;
    }
    std::int64_t v = value;
    for (std::size_t r = start; r <= end; ++r) {
        while (v - value < static_cast<std::int64_t>(window) &&
               taken[static_cast<std::size_t>(v - value)])
            ++v;
        if (v >= 100'000'000) break;
        renumbered[r] = static_cast<std::int32_t>(v);
        ++v;
    }
    if (nearTop && value <= userchan::kMaxIndex) {
        // A row returns to its old index when a later row shows its new one. Only rows of the run
        // can differ from their old index, and near the top their new ones lie in
        // value..kMaxIndex, a window no wider than the list.
        const auto top = static_cast<std::size_t>(userchan::kMaxIndex - value) + 1;
        std::vector<std::size_t> lastRow(top, 0);
        std::vector<std::uint8_t> seen(top, 0);
        for (std::size_t m = 0; m < count; ++m) {
            const std::int64_t d = std::int64_t{old[m]} - value;
            if (d < 0 || d >= static_cast<std::int64_t>(top)) continue;
            lastRow[static_cast<std::size_t>(d)] = m;
            seen[static_cast<std::size_t>(d)] = 1;
        }
        for (std::size_t r = start; r <= end; ++r) {
            if (renumbered[r] == old[r]) continue;
            const auto d = static_cast<std::size_t>(renumbered[r] - value);
            if (seen[d] && lastRow[d] > r) renumbered[r] = old[r];
        }
    }
    return renumbered;
}

Outcome userchan::changeIndexBatch() {
    std::optional<std::size_t> start, end;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!rows[r].checked) continue;
        if (!start) {
            start = r;
        } else {
            end = r;
            break;
        }
    }
    if (!start) {
        store::showMessage(host_, store::Msg::ChooseChannelToStart);
        return Outcome::Refused;
    }
    if (!end) end = rows.size() - 1;
    if (!indexTextValid(newIndexField)) {
        store::showMessage(host_, store::Msg::ChannelIndexRange);
        newIndexField.clear();
        focus = Focus::NewIndex;
        return Outcome::Refused;
    }
    std::vector<std::int32_t> old(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) old[r] = store::readNumber(rows[r].indexText);
    bool nearTop = false;
    const std::vector<std::int32_t> renumbered =
        renumberBatch(old, *start, *end, store::readNumber(newIndexField), nearTop);
    if (nearTop) store::showMessage(host_, store::Msg::ChannelsNotModified);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        rows[r].indexText = std::to_string(renumbered[r]);
        image_.channel(listedOperator, rows[r].position)
            .setIndex(static_cast<std::uint32_t>(renumbered[r]));
    }
    const int saved = store::saveChange(host_, session_, image_);
    untickAll();
    return saved == 0 ? Outcome::Done : Outcome::Refused;
}

Outcome userchan::deleteCheckedChannels() {
    bool any = false;
    for (const auto& row : rows) {
        if (!row.checked) continue;
        any = true;
        store::ChannelEntry e = image_.channel(listedOperator, row.position);
        e.setIndex(0xFFFFFFFFu);
        e.setDeviceSlot(-1);
        if (listKind == ChannelListKind::Input)
            image_.removeChannelFromGroups(listedOperator, row.position, store::GroupTable::Input);
        else if (listKind == ChannelListKind::Output)
            image_.removeChannelFromGroups(listedOperator, row.position, store::GroupTable::Output);
    }
    const int saved = store::saveChange(host_, session_, image_);
    if (!any) {
        store::showMessage(host_, store::Msg::ChooseChannelsToDelete);
        return Outcome::Refused;
    }
    fillChannelList();
    return saved == 0 ? Outcome::Done : Outcome::Refused;
}

}  // namespace kbcfg::channels
