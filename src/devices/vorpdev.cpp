#include "devices/vorpdev.h"

#include <atomic>
#include <cstdio>
#include <iostream>

#include "store/ansi.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::devices {

namespace msg {
constexpr int kStartFailed = 54, kChooseDevice = 93;
constexpr int kTitle = 136, kAdd = 107, kCancel = 99;
constexpr int kColumnCaptions[] = {85, 76, 77, 86, 87, 88, 89, 90, 91, 92};
constexpr int kDetailLabels[] = {137, 138, 139, 76, 77, 140};
}  // namespace msg

namespace trace {
constexpr const char* kRepeatedInsert = "worng 003(重复插入了!!!)\n";
constexpr const char* kUpdateUnknown = "worng 002\n";
constexpr const char* kRemoveUnknown = "Delete item failed\n";
}  // namespace trace

// The meeting point of the library thread and the UI thread. It outlives the dialog for as long
// as a posted report still refers to it; `target` is touched only on the UI thread.
struct vorpdev::Inbox {
    explicit Inbox(vorpdev* t) : target(t) {}
    std::atomic<bool> open{true};
    vorpdev* target;
};

vorpdev::vorpdev(store::Host& host, remote::Discovery& discovery, int* pageRefreshFlag)
    : host_(host),
      discovery_(discovery),
      pageRefreshFlag_(pageRefreshFlag),
      inbox_(std::make_shared<Inbox>(this)) {}

vorpdev::~vorpdev() {
    close();
}

std::string vorpdev::title() {
    return store::getMessage(msg::kTitle);
}

std::vector<std::string> vorpdev::columnCaptions() {
    std::vector<std::string> captions{""};
    for (int n : msg::kColumnCaptions) captions.push_back(store::getMessage(n));
    return captions;
}

std::vector<std::string> vorpdev::detailLabels() {
    std::vector<std::string> labels;
    for (int n : msg::kDetailLabels) labels.push_back(store::getMessage(n));
    return labels;
}

std::string vorpdev::addCaption() {
    return store::getMessage(msg::kAdd);
}

std::string vorpdev::cancelCaption() {
    return store::getMessage(msg::kCancel);
}

void vorpdev::shown() {
    if (started || !inbox_->target) return;
    std::shared_ptr<Inbox> inbox = inbox_;
    store::Host* host = &host_;
    // Library thread: copy, hand over, return. Nothing here waits for the UI thread.
    auto onReport = [inbox, host](const std::uint8_t* record) {
        if (!inbox->open.load(std::memory_order_acquire)) return;
        std::optional<remote::DiscoveredDevice> copy = remote::copyFoundRecord(record);
        if (!copy) return;
        host->post([inbox, device = std::move(*copy)] {
            if (inbox->target) inbox->target->handleReport(device);
        });
    };
    started = discovery_.start(onReport);
    if (!started) store::showMessage(host_, msg::kStartFailed);
}

void vorpdev::close() {
    if (!inbox_->target) return;
    inbox_->open.store(false, std::memory_order_release);
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
    row[FoundRow::kChannels] = std::to_string(device.channels);
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
        store::showMessage(host_, msg::kChooseDevice);
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
