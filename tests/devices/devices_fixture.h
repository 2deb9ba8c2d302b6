#pragma once
// An image with an administrator, saved in a temp folder, for the device presenters.

#include <gtest/gtest.h>

#include <memory>

#include "store/config_image.h"
#include "store/files.h"
#include "store/session.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::devices {

class DevicesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store::setConfigPaths(session, dir / "kbCfg.bin");
        image->stampCurrentHeader();
        image->operatorRecord(0).setInUse(1);
        image->operatorRecord(0).setName("admin");
        for (int op = 1; op <= 3; ++op) image->clearOperatorTables(op);
        ASSERT_EQ(store::saveChange(host, session, *image), 0);
    }

    void addDevice(int slot, std::uint32_t ip, std::uint16_t port = 8000) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(ip);
        dev.setPort(port);
        dev.setUserName("admin");
    }

    // What the file on disk holds now.
    std::unique_ptr<store::ConfigImage> reload() {
        auto loaded = std::make_unique<store::ConfigImage>();
        EXPECT_EQ(store::loadImage(host, session, *loaded), 0);
        return loaded;
    }

    kbcfg::testing::TempDir dir;
    kbcfg::testing::ScriptedHost host;
    store::SessionState session;
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();
};

}  // namespace kbcfg::devices
