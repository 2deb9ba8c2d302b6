#pragma once

#include "remote/config.h"

namespace kbcfg::remote {

// The maintenance page itself only holds the import page.
class mankb {
  public:
    mankb(store::Host& host, const store::SessionState& session, NetSdk& sdk)
        : importPage(host, session, sdk) {}
    config importPage;
};

}  // namespace kbcfg::remote
