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
#include "users/probe_pool.h"
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

    // How far an "Add>>" run is: told before each device is written (ip: its address), once at
    // the end (ip empty), and every tenth of a second while the run waits for a device's
    // answers. The desktop tool shows a progress window with it. Returning false stops the run
    // before the next device is written; everything written so far stays saved.
    struct RunProgress {
        int done = 0;   // devices written (or counted as failed)
        int total = 0;  // devices in the run
        std::string ip;
        int asking = 0;  // devices being asked right now (parallel runs)
    };
    using Progress = std::function<bool(const RunProgress&)>;
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
    // With a factory, a run asks up to `jobs` devices at once, each worker on its own handle,
    // and writes their answers in the run's order: the file is the same as with one job. The
    // device being written counts among the `jobs`, so one job asks one device after another and
    // a run that stops waits for no device beyond them.
    // Without one, the run asks one device after another on the dialog's handle.
    remote::NetSdkFactory sdkFactory;
    int jobs = kDefaultProbeJobs;

    // Every failed login is counted, in a single-device run too (which shows message 69 or 70
    // instead of the result dialog).
    RunCounters counters;
    // Set when the progress callback stopped the run.
    bool cancelled = false;
    // Set by a run of several devices with login failures: the result dialog is to be shown with
    // the counters.
    bool showResult = false;

  private:
    bool hasInputs(int slot) const;

    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    remote::NetSdk& sdk_;
    int op_;
};

}  // namespace kbcfg::users
