#pragma once
// The modify dialog: one port, user name and password for all devices checked on the device
// page. Addresses are shown, never changed.

#include <cstdint>
#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/host.h"
#include "store/ipv4_fields.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::devices {

class modifydev {
  public:
    enum class Focus { Unchanged, Port, UserName, Password };

    // flags: one byte per slot, 1 = modify this record (at least one set). The boxes start with
    // the address, port and user name of the lowest flagged slot; the password is never shown.
    modifydev(store::Host& host, store::SessionState& session, store::ConfigImage& image,
              std::vector<std::uint8_t> flags, int* refreshFlag);

    static std::string title();

    store::Outcome modify();

    store::Ipv4Fields ip;  // read-only
    std::string port;
    std::string userName;
    std::string password;
    Focus focus = Focus::UserName;
    bool closeRequested = false;

  private:
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    std::vector<std::uint8_t> flags_;
    int* refreshFlag_;
};

}  // namespace kbcfg::devices
