#include "devices/vorpdev.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>
#include <utility>

#include "store/ansi.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::devices {

namespace {
using store::Msg;
constexpr Msg kColumnCaptions[] = {Msg::ColumnDeviceType, Msg::Ip,
                                   Msg::ColumnPort,       Msg::ColumnDeviceSeries,
                                   Msg::ColumnSubnetMask, Msg::ColumnMac,
                                   Msg::ColumnChannel,    Msg::ColumnSoftVersion,
                                   Msg::ColumnDspVersion, Msg::ColumnStartTime};
constexpr Msg kDetailLabels[] = {Msg::DeviceSeriesCaption, Msg::SoftVersionCaption,
                                 Msg::SubnetMaskCaption,   Msg::Ip,
                                 Msg::ColumnPort,          Msg::MacCaption};
}  // namespace

namespace trace {
constexpr const char* kRepeatedInsert = "worng 003(重复插入了!!!)\n";
constexpr const char* kUpdateUnknown = "worng 002\n";
constexpr const char* kRemoveUnknown = "Delete item failed\n";
}  // namespace trace

// The meeting point of the library thread and the UI thread. It outlives the dialog for as long
// as a posted task still refers to it; `target` is touched only on the UI thread.
struct vorpdev::Inbox : std::enable_shared_from_this<Inbox> {
    // How long one posted task hands reports to the dialog before it lets the UI thread do
    // other work (paint, input, the close button) and carries on in a new task.
    static constexpr std::chrono::milliseconds kSlice{4};

    Inbox(vorpdev* t, store::Host& h) : target(t), host(h) {}

    // Any thread: queues a copy, waiting for room unless this is the UI thread.
    void put(remote::DiscoveredDevice device);
    // UI thread: hands queued reports to the dialog in order.
    void drain();
    // UI thread: drops what is queued and turns away callbacks waiting and to come.
    void shut();

    vorpdev* target;
    store::Host& host;
    std::thread::id uiThread;  // set before the library starts

    std::mutex lock;
    std::condition_variable room;
    std::deque<remote::DiscoveredDevice> queue;  // the rest guarded by lock too
    bool open = true;
    bool drainPosted = false;  // a drain task is queued or running
    int waiting = 0;           // callbacks waiting for room
};

void vorpdev::Inbox::put(remote::DiscoveredDevice device) {
    std::unique_lock lk(lock);
    if (queue.size() >= kInboxLimit && std::this_thread::get_id() != uiThread) {
        ++waiting;
        // Resume at half full, so the two threads do not take turns report by report.
        room.wait(lk, [this] { return !open || queue.size() <= kInboxLimit / 2; });
        --waiting;
    }
    if (!open) return;
    queue.push_back(std::move(device));
    if (std::exchange(drainPosted, true)) return;
    lk.unlock();
    host.post([self = shared_from_this()] { self->drain(); });
}

void vorpdev::Inbox::drain() {
    const auto until = std::chrono::steady_clock::now() + kSlice;
    for (;;) {
        remote::DiscoveredDevice next;
        {
            std::lock_guard g(lock);
            if (queue.empty()) {
                drainPosted = false;
                return;
            }
            next = std::move(queue.front());
            queue.pop_front();
            if (waiting > 0 && queue.size() <= kInboxLimit / 2) room.notify_all();
        }
        if (target) target->handleReport(next);
        if (std::chrono::steady_clock::now() >= until) break;
    }
    host.post([self = shared_from_this()] { self->drain(); });  // drainPosted stays set
}

void vorpdev::Inbox::shut() {
    {
        std::lock_guard g(lock);
        open = false;
        queue.clear();
    }
    room.notify_all();
}

vorpdev::vorpdev(store::Host& host, remote::Discovery& discovery, int* pageRefreshFlag)
    : host_(host),
      discovery_(discovery),
      pageRefreshFlag_(pageRefreshFlag),
      inbox_(std::make_shared<Inbox>(this, host)) {}

vorpdev::~vorpdev() {
    close();
}

std::string vorpdev::title() {
    return store::getMessage(store::Msg::SearchingDevices);
}

std::vector<std::string> vorpdev::columnCaptions() {
    std::vector<std::string> captions{""};
    for (Msg n : kColumnCaptions) captions.push_back(store::getMessage(n));
    return captions;
}

std::vector<std::string> vorpdev::detailLabels() {
    std::vector<std::string> labels;
    for (Msg n : kDetailLabels) labels.push_back(store::getMessage(n));
    return labels;
}

std::string vorpdev::addCaption() {
    return store::getMessage(store::Msg::AddButton);
}

std::string vorpdev::cancelCaption() {
    return store::getMessage(store::Msg::CancelButton);
}

void vorpdev::shown() {
    if (started || !inbox_->target) return;
    inbox_->uiThread = std::this_thread::get_id();
    // Library thread: copy and queue; waits only while the inbox is full and the dialog open.
    auto onReport = [inbox = inbox_](const std::uint8_t* record) {
        std::optional<remote::DiscoveredDevice> copy = remote::copyFoundRecord(record);
        if (copy) inbox->put(std::move(*copy));
    };
    started = discovery_.start(onReport);
    if (!started) store::showMessage(host_, store::Msg::StartVorpFailed);
}

void vorpdev::close() {
    if (!inbox_->target) return;
    // Before the stop: a callback waiting for room must return for the library to stop.
    inbox_->shut();
    if (started) discovery_.stop();
    started = false;
    inbox_->target = nullptr;
}

void vorpdev::notify(Change change, std::size_t row) {
    if (observer) observer(change, row);
}

void vorpdev::writeTrace(const std::string& line) {
    if (trace)
        trace(line);
    else
        std::cerr << line << std::flush;
}

std::optional<std::size_t> vorpdev::findSerial(const std::string& serial) const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i][FoundRow::kSerial] == serial) return i;
    return std::nullopt;
}

void vorpdev::handleReport(const remote::DiscoveredDevice& device) {
    switch (device.event) {
        case VORP_EVENT_ADD:
        case VORP_EVENT_BACK_ONLINE:
            addRow(device);
            break;
        case VORP_EVENT_UPDATE:
            updateRow(device);
            break;
        case VORP_EVENT_REMOVE:
            removeRow(store::fromAnsi(device.serial));
            break;
        case VORP_EVENT_REFRESH:
            notify(Change::Values, 0);
            break;
        default:
            break;
    }
}

void vorpdev::addRow(const remote::DiscoveredDevice& device) {
    FoundRow row;
    char number[16];
    std::snprintf(number, sizeof number, "%03d", rowCounter);
    row[FoundRow::kNumber] = number;
    row[FoundRow::kDescription] = store::fromAnsi(device.description);
    row[FoundRow::kIp] = store::fromAnsi(device.ip);
    row[FoundRow::kPort] = std::to_string(device.port);
    row[FoundRow::kSerial] = store::fromAnsi(device.serial);
    row[FoundRow::kMask] = store::fromAnsi(device.mask);
    row[FoundRow::kMac] = store::fromAnsi(device.mac);
    // Shown as a signed count, as the list always has: 0xFFFFFFFF reads -1.
    row[FoundRow::kChannels] = std::to_string(static_cast<std::int32_t>(device.channels));
    row[FoundRow::kSoftwareVersion] = store::fromAnsi(device.softwareVersion);
    row[FoundRow::kDspVersion] = store::fromAnsi(device.dspVersion);
    row[FoundRow::kStartTime] = store::fromAnsi(device.startTime);

    // A second report of a listed device is shown all the same; only the trace notes it.
    if (findSerial(row[FoundRow::kSerial])) writeTrace(trace::kRepeatedInsert);
    notify(Change::AboutToInsert, rows.size());
    rows.push_back(std::move(row));
    notify(Change::Inserted, rows.size() - 1);
    ++rowCounter;  // never reused, also after removals
}

void vorpdev::updateRow(const remote::DiscoveredDevice& device) {
    const auto found = findSerial(store::fromAnsi(device.serial));
    if (!found) {
        writeTrace(trace::kUpdateUnknown);
        return;
    }
    FoundRow& row = rows[*found];
    // Channels, DSP version and start time keep what the first report said.
    row[FoundRow::kDescription] = store::fromAnsi(device.description);
    row[FoundRow::kIp] = store::fromAnsi(device.ip);
    row[FoundRow::kPort] = std::to_string(device.port);
    row[FoundRow::kMask] = store::fromAnsi(device.mask);
    row[FoundRow::kMac] = store::fromAnsi(device.mac);
    row[FoundRow::kSoftwareVersion] = store::fromAnsi(device.softwareVersion);
    notify(Change::Updated, *found);
}

void vorpdev::removeRow(const std::string& serial) {
    const auto found = findSerial(serial);
    if (!found) {
        writeTrace(trace::kRemoveUnknown);
        return;
    }
    notify(Change::AboutToRemove, *found);
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(*found));
    notify(Change::Removed, *found);
}

void vorpdev::rowClicked(std::optional<std::size_t> row) {
    if (!row || *row >= rows.size()) return;
    const FoundRow& r = rows[*row];
    detailIp = store::Ipv4Fields::parse(r[FoundRow::kIp]).value_or(store::Ipv4Fields{});
    selectedPort = store::readNumber(r[FoundRow::kPort]);
    detailSerial = r[FoundRow::kSerial];
    detailMask = store::Ipv4Fields::parse(r[FoundRow::kMask]).value_or(store::Ipv4Fields{});
    detailMac = r[FoundRow::kMac];
    detailSoftwareVersion = r[FoundRow::kSoftwareVersion];

    // The address as the box holds it: first octet highest, blank octets 0, a blank box none.
    selectedAddress = 0;
    if (!detailIp.blank())
        for (const auto& octet : detailIp.octets)
            selectedAddress = selectedAddress << 8 | octet.value_or(0);
    notify(Change::Values, *row);
}

std::optional<vorpdev::AddRequest> vorpdev::addSelected() {
    if (selectedAddress == 0) {
        store::showMessage(host_, store::Msg::ChooseDeviceToAdd);
        return std::nullopt;
    }
    const auto octet = [this](int shift) {
        return static_cast<std::uint8_t>(selectedAddress >> shift);
    };
    return AddRequest{store::Ipv4Fields::of(octet(24), octet(16), octet(8), octet(0)), selectedPort,
                      pageRefreshFlag_};
}

void vorpdev::addDialogClosed() {
    if (pageRefreshFlag_) *pageRefreshFlag_ = 1;
}

bool vorpdev::acceptEnter() {
    if (selectedPort >= 1 && selectedPort <= 65535) return true;
    host_.showResourceText("Please enter an integer between 1 and 65535.");
    return false;
}

}  // namespace kbcfg::devices
