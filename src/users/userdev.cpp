#include "users/userdev.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <unordered_set>

#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::users {

using store::Outcome;

userdev::userdev(store::Host& host, store::SessionState& session, store::ConfigImage& image,
                 remote::NetSdk& sdk, int op)
    : host_(host), session_(session), image_(image), sdk_(sdk), op_(op) {}

std::string userdev::title() {
    return store::getMessage(store::Msg::TitleUserDevices);
}

std::vector<std::string> userdev::columnCaptions() {
    return {"", store::getMessage(store::Msg::ColumnDeviceIndex), store::getMessage(store::Msg::Ip),
            store::getMessage(store::Msg::ColumnPort)};
}

void userdev::refreshUserDeviceLists() {
    left.clear();
    right.clear();
    leftCheck = {};
    rightCheck = {};
    if (op_ < 1 || op_ > 3) return;
    std::vector<bool> listed(store::layout::kDeviceCount, false);
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i) {
        const int slot = image_.userDevice(op_, i);
        if (slot < 0 || slot >= store::layout::kDeviceCount) continue;
        listed[static_cast<std::size_t>(slot)] = true;
        const store::DeviceRecord dev = image_.device(slot);
        if (dev.inUse() != 0) right.push_back({slot, store::formatIp(dev.ip()), dev.port()});
    }
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot) {
        const store::DeviceRecord dev = image_.device(slot);
        if (!listed[static_cast<std::size_t>(slot)] && dev.inUse() != 0)
            left.push_back({slot, store::formatIp(dev.ip()), dev.port()});
    }
}

void userdev::headerClicked(bool rightList, int column) {
    auto& rows = rightList ? right : left;
    auto& check = rightList ? rightCheck : leftCheck;
    if (column != 0 || rows.empty()) return;
    const bool tick = check.toggle == 0;
    for (auto& row : rows) row.checked = tick;
    check.toggle = tick ? 1 : 0;
    check.headerMark = tick;
}

Outcome userdev::assignCheckedDevices(const Progress& progress) {
    showResult = false;
    cancelled = false;
    counters = {};
    for (const auto& row : left) counters.checked += row.checked ? 1 : 0;
    if (left.empty() || counters.checked == 0) {
        store::showMessage(host_, store::Msg::ChooseDeviceFirst);
        return Outcome::Refused;
    }
    // The rows are read from a copy: nothing in the run changes them, but the progress callback
    // may let the window repaint.
    std::vector<UserDeviceRow> rows;
    for (const auto& row : left)
        if (row.checked) rows.push_back(row);
    const int total = static_cast<int>(rows.size());

    std::unique_ptr<ProbePool> pool;
    if (sdkFactory) {
        std::vector<DeviceTarget> targets;
        for (const auto& row : rows) targets.push_back(deviceTarget(image_, row.slot));
        // A missing library is told here, once, on this thread; the workers' handles fail quietly.
        sdk_.init();
        pool = std::make_unique<ProbePool>(std::move(targets), jobs, sdkFactory);
    }
    auto tell = [&](int done, const std::string& ip) {
        return !progress || progress({done, total, ip, pool ? pool->busy() : 0});
    };
    // One allocator for the run: the table is read once, not once per channel.
    ChannelAllocator channels;
    ProbeResult result = ProbeResult::GoOn;
    int done = 0;
    for (; done < total && result == ProbeResult::GoOn; ++done) {
        const UserDeviceRow& row = rows[static_cast<std::size_t>(done)];
        if (!tell(done, row.ip)) {
            cancelled = true;
            break;
        }
        if (!pool) {
            result = probeAndAssignDevice(host_, session_, image_, sdk_, op_, row.slot, counters,
                                          channels);
            continue;
        }
        const DeviceAnswers* answers = nullptr;
        while (!(answers = pool->answers(static_cast<std::size_t>(done),
                                         std::chrono::milliseconds(100)))) {
            if (!tell(done, row.ip)) {
                cancelled = true;
                break;
            }
        }
        if (!answers) break;
        result = applyDeviceAnswers(host_, session_, image_, op_, row.slot, *answers, counters,
                                    channels);
    }
    if (pool) {
        // Devices being asked are finished and logged out; nothing of them is written.
        pool->stop();
        while (pool->busy() > 0) {
            tell(done, "");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        pool.reset();
    }
    refreshUserDeviceLists();
    if (result == ProbeResult::StopRun) {
        // The device that met the full list logged in but was not recorded.
        return counters.success > 1 ? Outcome::Done : Outcome::Refused;
    }
    if (result == ProbeResult::SaveFailed) {
        // Message 2 has said why. The run ends as failed, without a result dialog that would
        // count the device as a success.
        return Outcome::Refused;
    }
    if (!cancelled) tell(done, "");
    // A single device's failure was told by its message (69 or 70) instead.
    showResult =
        counters.checked > 1 && (counters.connectError != 0 || counters.passwordError != 0);
    return counters.success > 0 ? Outcome::Done : Outcome::Refused;
}

Outcome userdev::removeCheckedDevicesFromUser() {
    bool any = false;
    for (const auto& row : right) {
        if (!row.checked) continue;
        any = true;
        const int slot = row.slot;
        image_.removeDeviceFromGroups(op_, slot);
        image_.removeDeviceFromUserList(op_, slot);
        if (op_ >= 1 && op_ <= 3) {
            for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
                store::ChannelEntry e = image_.channel(op_, pos);
                if (e.deviceSlot() == slot) e.clear();
            }
        }
        image_.removeMatrixLinks(op_, slot);
        for (int w = 0; w < store::layout::kMatrixCount; ++w) {
            store::MatrixRecord m = image_.matrix(op_, w);
            if (m.deviceSlot() != slot) continue;
            std::memset(m.data(), 0, store::layout::kMatrixRecordSize);
            m.setDeviceSlot(-1);
            break;
        }
    }
    const int saved = store::saveChange(host_, session_, image_);
    if (!any) {
        store::showMessage(host_, store::Msg::ChooseDevicesToDelete);
        return Outcome::Refused;
    }
    refreshUserDeviceLists();
    return saved == 0 ? Outcome::Done : Outcome::Refused;
}

bool userdev::hasInputs(int slot) const {
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        const store::ChannelEntry e = image_.channel(op_, pos);
        if (e.deviceSlot() == slot && e.kind() == store::kInputChannel) return true;
    }
    return false;
}

std::optional<userdev::StreamRequest> userdev::openStreamBinding() {
    int checkedCount = 0;
    const UserDeviceRow* only = nullptr;
    for (const auto& row : right) {
        if (!row.checked) continue;
        ++checkedCount;
        only = &row;
    }
    if (checkedCount == 1) {
        if (hasInputs(only->slot)) return StreamRequest{StreamBindingMode::Single, only->slot, {}};
    } else {
        // One pass over the table for all ticked devices: which of them have inputs.
        std::unordered_set<int> withInputs;
        for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
            const store::ChannelEntry e = image_.channel(op_, pos);
            if (e.kind() == store::kInputChannel && e.deviceSlot() >= 0)
                withInputs.insert(e.deviceSlot());
        }
        StreamRequest request{StreamBindingMode::Batch, -1,
                              std::vector<int>(stream::kBatchSize, -1)};
        std::size_t collected = 0;
        for (const auto& row : right) {
            if (!row.checked || collected == request.batch.size()) continue;
            if (withInputs.count(row.slot)) request.batch[collected++] = row.slot;
        }
        if (collected > 0) return request;
    }
    store::showMessage(host_, store::Msg::NoStreamDevice);
    refreshUserDeviceLists();
    return std::nullopt;
}

}  // namespace kbcfg::users
