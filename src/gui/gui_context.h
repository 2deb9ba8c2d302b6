#pragma once
// What every view hands on to its presenter: the host, the run's one session and image, and the
// device libraries.

#include "remote/discovery.h"
#include "remote/netsdk.h"
#include "store/config_image.h"
#include "store/host.h"
#include "store/session.h"

namespace kbcfg::gui {

struct GuiContext {
    store::Host& host;
    store::SessionState& session;
    store::ConfigImage& image;
    // The device libraries; null: the ones loaded from the tool's folder (tests give fakes).
    remote::NetSdk* netSdk = nullptr;
    remote::Discovery* discovery = nullptr;

    // Handles of their own for threads that ask devices beside the first (tests give fakes).
    remote::NetSdkFactory netSdkFactory = {};

    remote::NetSdk& sdk();
    // The factory for parallel work: the given one, else handles over the loaded library; empty
    // when a test gave a handle but no factory, so its work runs on that handle alone.
    remote::NetSdkFactory sdkFactory();
    remote::Discovery& vorp();
};

}  // namespace kbcfg::gui
