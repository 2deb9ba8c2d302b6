#pragma once
// The device page: the device table as a list with check boxes, and the commands on the checked
// rows. Deleting is carried out here; adding and modifying open their dialogs.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::devices {

struct DeviceRow {
    int slot;        // the hidden column: the only link to the record
    std::string ip;  // "a.b.c.d"
    std::uint16_t port;
    std::string userName;  // UTF-8
    bool checked = false;
};

class mandev {
  public:
    mandev(store::Host& host, store::SessionState& session, store::ConfigImage& image);

    // Column captions (column 0 is empty) and widths of the list.
    static std::vector<std::string> columnCaptions();
    static constexpr int kColumnWidths[5] = {20, 0, 150, 120, 120};

    // Rebuilds the rows from the image: records in use with an address and a port.
    void refreshDeviceList();
    // A click on a column header: column 0 ticks or unticks all rows.
    void headerClicked(int column);
    void setChecked(std::size_t row, bool checked);

    // The Delete command.
    store::Outcome deleteCheckedDevices();

    // Before a dialog opens: the refresh flag is reset; the dialog sets it when the list must be
    // rebuilt after it closes.
    void prepareDialog() { refreshFlag = 0; }
    // After the dialog closed.
    void dialogClosed();
    // Modify: the per-slot flags of the checked rows, or nullopt after message 29.
    std::optional<std::vector<std::uint8_t>> modifyFlags();

    std::vector<DeviceRow> rows;
    int selectAll = 0;
    bool headerChecked = false;  // the check mark the header shows in column 0
    int refreshFlag = 0;

  private:
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
};

// Removes every reference of operators 1..3 to the device and frees its record.
void deleteDevice(store::ConfigImage& image, int slot);

}  // namespace kbcfg::devices
