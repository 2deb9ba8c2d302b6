#pragma once
// The user's device management: the devices an operator does not have (left) and has (right).
// "Add>>" probes and assigns the ticked devices, "<<Delete" takes devices away with everything of
// the operator that refers to them, "Stream" hands devices to the stream media binding.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "remote/netsdk.h"
#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"
#include "users/probe.h"
#include "users/stream.h"

namespace kbcfg::users {

struct UserDeviceRow {
    int slot;  // hidden column
    std::string ip;
    std::uint16_t port;
    bool checked = false;
};

// The lists' check-all state and header mark.
struct CheckAll {
    int toggle = 0;
    bool headerMark = false;
};

class userdev {
  public:
    userdev(store::Host& host, store::SessionState& session, store::ConfigImage& image,
            remote::NetSdk& sdk, int op);

    static std::string title();
    static std::vector<std::string> columnCaptions();
    static constexpr int kColumnWidths[4] = {20, 0, 135, 80};

    int op() const { return op_; }
    // Operators may look at their devices and use "Stream", but not assign or remove.
    bool assignEnabled() const { return session_.loggedInUser == 0; }

    void refreshUserDeviceLists();
    void headerClicked(bool rightList, int column);

    // Called before each device of an "Add>>" run is probed: (devices done, devices in the run,
    // the address being probed). The desktop tool shows a progress window with it.
    using Progress = std::function<void(int done, int total, const std::string& ip)>;
    store::Outcome assignCheckedDevices(const Progress& progress = {});
    store::Outcome removeCheckedDevicesFromUser();

    struct StreamRequest {
        StreamBindingMode mode;
        int slot = -1;  // single mode
        // Batch mode: 100 places, empty ones -1. (Not "slots": Qt defines that word as a macro.)
        std::vector<int> batch;
    };
    // "Stream": what the stream media dialog is to open for, or nullopt after message 97 (the
    // lists are then refreshed). After the dialog closed, call refreshUserDeviceLists.
    std::optional<StreamRequest> openStreamBinding();

    std::vector<UserDeviceRow> left;
    std::vector<UserDeviceRow> right;
    CheckAll leftCheck;
    CheckAll rightCheck;
    RunCounters counters;
    // Set by a run with login failures: the result dialog is to be shown with the counters.
    bool showResult = false;

  private:
    bool hasInputs(int slot) const;

    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    remote::NetSdk& sdk_;
    int op_;
};

// The result dialog of an "Add>>" run.
class udinfo {
  public:
    explicit udinfo(const RunCounters& counters) : counters_(counters) {}
    static std::string title();
    static std::string successLabel();
    static std::string connectLabel();
    static std::string passwordLabel();
    std::string successText() const { return std::to_string(counters_.success); }
    std::string connectText() const { return std::to_string(counters_.connectError); }
    std::string passwordText() const { return std::to_string(counters_.passwordError); }

  private:
    RunCounters counters_;
};

}  // namespace kbcfg::users
