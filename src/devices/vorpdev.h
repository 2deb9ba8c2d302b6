#pragma once
// The discovery dialog: the devices that answer on the network, as the discovery library reports
// them, and the way to add one of them through the Add Device dialog in preset mode.
//
// The library reports on a thread of its own. Its callback copies each report into a bounded
// inbox and, when none is queued yet, posts one task to the UI thread that works through the
// inbox in order. A full inbox holds the library's thread back until the UI thread has caught
// up, so a flood of reports costs time, never memory. Closing wakes a waiting callback and turns
// it away before stopping the library, so closing cannot deadlock. Reports still queued when the
// dialog closes are dropped. Host::post must therefore be callable from any thread.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "remote/discovery.h"
#include "store/host.h"
#include "store/ipv4_fields.h"

namespace kbcfg::devices {

struct Rgb {
    std::uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// One list row: the texts of the eleven columns, UTF-8.
struct FoundRow {
    static constexpr int kColumns = 11;
    enum Column {
        kNumber,
        kDescription,
        kIp,
        kPort,
        kSerial,  // the key of a row
        kMask,
        kMac,
        kChannels,
        kSoftwareVersion,
        kDspVersion,
        kStartTime
    };
    std::array<std::string, kColumns> columns;

    const std::string& operator[](int c) const { return columns[static_cast<std::size_t>(c)]; }
    std::string& operator[](int c) { return columns[static_cast<std::size_t>(c)]; }
};

class vorpdev {
  public:
    // What the view must do to its model; `row` is the list row concerned. AboutToInsert and
    // AboutToRemove come before the rows change, the others after.
    enum class Change { AboutToInsert, Inserted, Updated, AboutToRemove, Removed, Values };
    using Observer = std::function<void(Change change, std::size_t row)>;
    // Where the diagnostic traces go (the debug output); stderr unless replaced.
    using TraceSink = std::function<void(const std::string& line)>;

    // What the Add Device dialog in preset mode is opened with.
    struct AddRequest {
        store::Ipv4Fields ip;
        int port;
        int* refreshFlag;  // the device page's
    };

    // host and discovery outlive the dialog; pageRefreshFlag may be null.
    vorpdev(store::Host& host, remote::Discovery& discovery, int* pageRefreshFlag);
    // Closes, if the view has not.
    ~vorpdev();
    vorpdev(const vorpdev&) = delete;
    vorpdev& operator=(const vorpdev&) = delete;

    static std::string title();
    static std::vector<std::string> columnCaptions();
    static constexpr std::array<int, FoundRow::kColumns> kColumnWidths = {
        30, 100, 100, 80, 270, 100, 140, 100, 140, 140, 140};
    static constexpr int kCentredColumn = 0;
    static constexpr Rgb kRowBackground{255, 192, 203};
    static constexpr Rgb kHeaderStartColour{211, 236, 245};
    static constexpr int kHeaderColourStep = 2;
    static constexpr Rgb kDialogBackground{211, 236, 245};
    // Labels of the detail controls, in the order serial, software version, subnet mask, IP,
    // port, MAC; then the captions of Add and Cancel.
    static std::vector<std::string> detailLabels();
    static std::string addCaption();
    static std::string cancelCaption();
    // The address boxes only show a selection.
    static constexpr bool kAddressBoxesEnabled = false;

    // Reports waiting for the UI thread; the library's thread waits while this many are queued
    // (the UI thread itself never waits, since that would be for itself).
    static constexpr std::size_t kInboxLimit = 1024;

    // The window is shown, on the UI thread: discovery starts; message 54 when it cannot.
    void shown();
    // The window goes: discovery stops (when it had started) and later reports are dropped.
    // Safe to call more than once.
    void close();

    // One report, on the UI thread, by its event code.
    void handleReport(const remote::DiscoveredDevice& device);
    // A click on the list; nullopt when no row is selected.
    void rowClicked(std::optional<std::size_t> row);
    // Add: nullopt after message 93 when no device is selected.
    std::optional<AddRequest> addSelected();
    // The Add Device dialog opened by addSelected() has closed.
    void addDialogClosed();
    // Enter (the dialog's OK): false, after the prompt, while the port is outside 1..65535.
    bool acceptEnter();

    std::vector<FoundRow> rows;
    int rowCounter = 1;
    bool started = false;

    // The detail controls, filled from the clicked row.
    std::string detailSerial;
    std::string detailSoftwareVersion;
    store::Ipv4Fields detailMask;
    store::Ipv4Fields detailIp;
    std::string detailMac;
    int selectedPort = 0;               // shown in the port box
    std::uint32_t selectedAddress = 0;  // first octet in the highest byte; 0 = none

    Observer observer;
    TraceSink trace;

  private:
    struct Inbox;

    void addRow(const remote::DiscoveredDevice& device);
    void updateRow(const remote::DiscoveredDevice& device);
    void removeRow(const std::string& serial);
    std::optional<std::size_t> findSerial(const std::string& serial) const;
    void notify(Change change, std::size_t row);
    void writeTrace(const std::string& line);

    store::Host& host_;
    remote::Discovery& discovery_;
    int* pageRefreshFlag_;
    std::shared_ptr<Inbox> inbox_;
};

}  // namespace kbcfg::devices
