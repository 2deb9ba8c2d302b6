#pragma once
// What every view hands on to its presenter: the host and the run's one session and image.

#include "store/config_image.h"
#include "store/host.h"
#include "store/session.h"

namespace kbcfg::gui {

struct GuiContext {
    store::Host& host;
    store::SessionState& session;
    store::ConfigImage& image;
};

}  // namespace kbcfg::gui
