#include "devices/mandev.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::devices {

using store::Outcome;

mandev::mandev(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {}

std::vector<std::string> mandev::columnCaptions() {
    return {"", store::getMessage(store::Msg::ColumnDeviceIndex), store::getMessage(store::Msg::Ip),
            store::getMessage(store::Msg::ColumnPort),
            store::getMessage(store::Msg::ColumnUserName)};
}

void mandev::refreshDeviceList() {
    rows.clear();
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot) {
        const store::DeviceRecord dev = image_.device(slot);
        if (dev.inUse() != 1 || dev.ip() == 0 || dev.port() == 0) continue;
        rows.push_back(
            {slot, store::formatIp(dev.ip()), dev.port(), store::fromAnsi(dev.userName()), false});
    }
    // The header's mark stays as it was.
    selectAll = 0;
}

void mandev::headerClicked(int column) {
    if (column != 0 || rows.empty()) return;
    const bool check = selectAll == 0;
    for (auto& row : rows) row.checked = check;
    selectAll = check ? 1 : 0;
    headerChecked = check;
}

void mandev::setChecked(std::size_t row, bool checked) {
    if (row < rows.size()) rows[row].checked = checked;
}

void deleteDevice(store::ConfigImage& image, int slot) {
    for (int op = 1; op <= 3; ++op) {
        image.removeDeviceFromGroups(op, slot);
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            store::ChannelEntry entry = image.channel(op, pos);
            if (entry.deviceSlot() == slot) entry.clear();
        }
        image.removeDeviceFromUserList(op, slot);
    }
    image.device(slot).clear();
}

Outcome mandev::deleteCheckedDevices() {
    bool any = false;
    for (const auto& row : rows) any = any || row.checked;
    if (!any) {
        store::showMessage(host_, store::Msg::ChooseDevicesToDelete);
        return Outcome::Refused;
    }
    store::askMessage(host_, session_, store::Msg::ConfirmDeleteDevices, "", store::kTipConfirm);
    if (session_.confirmAnswer != 1) {
        refreshDeviceList();
        return Outcome::Refused;
    }
    session_.confirmAnswer = 0;
    for (const auto& row : rows)
        if (row.checked) deleteDevice(image_, row.slot);
    const int saved = store::saveChange(host_, session_, image_);
    refreshDeviceList();
    return saved == 0 ? Outcome::Done : Outcome::Refused;
}

void mandev::dialogClosed() {
    if (refreshFlag == 1) refreshDeviceList();
}

std::optional<std::vector<std::uint8_t>> mandev::modifyFlags() {
    std::vector<std::uint8_t> flags(store::layout::kDeviceCount, 0);
    bool any = false;
    for (const auto& row : rows) {
        if (!row.checked) continue;
        flags[static_cast<std::size_t>(row.slot)] = 1;
        any = true;
    }
    if (!any) {
        store::showMessage(host_, store::Msg::ChooseDeviceToModify);
        return std::nullopt;
    }
    refreshFlag = 0;
    return flags;
}

}  // namespace kbcfg::devices
