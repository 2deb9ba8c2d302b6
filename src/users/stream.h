#pragma once
// The stream media dialog: binds devices of one operator to a stream-media relay (address, port,
// protocol), or removes the binding. The binding lives in the StreamRecord beside the device's
// list entry and is mirrored into the device's input channels of that operator.

#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/host.h"
#include "store/ipv4_fields.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::users {

enum class StreamBindingMode { Single, Batch };

class stream {
  public:
    static constexpr int kBatchSize = 100;
    enum class Focus { Unchanged, Address };

    // Single mode for device `slot` of operator `op`.
    stream(store::Host& host, store::SessionState& session, store::ConfigImage& image, int op,
           int slot);
    // Batch mode for up to 100 devices (further slots are ignored, -1 are empty places).
    stream(store::Host& host, store::SessionState& session, store::ConfigImage& image, int op,
           std::vector<int> slots);

    static std::string title();
    StreamBindingMode mode() const { return mode_; }

    // A click on the enable check box.
    void toggleStreamEnable();
    store::Outcome applyStreamBinding();

    // The dialog's values as the user sees them.
    bool enabled = false;
    store::Ipv4Fields address;
    std::string port = "554";
    int protocol = -1;  // 0 TCP, 1 UDP, -1 none chosen
    bool protocolEnabled = true;
    bool portEnabled = true;
    bool addressEnabled = true;
    bool okEnabled = true;
    Focus focus = Focus::Unchanged;

  private:
    void loadStreamBinding();
    void setBinding(int slot, bool bind, std::uint32_t ip, std::uint16_t port, int protocol);

    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    int op_;
    StreamBindingMode mode_;
    std::vector<int> slots_;
};

// The first StreamRecord of operator op for the device, or -1.
int findStreamRecord(const store::ConfigImage& image, int op, int slot);

}  // namespace kbcfg::users
