#pragma once
// A fresh configuration saved in a temp folder, the session pointing at it: the base of the
// presenter tests. Tests that want operators or devices before the first save override seed().

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "store/ansi.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/fresh_image.h"
#include "store/session.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {

// A temp folder, the scripted host, an empty image and the session pointing at dir/kbCfg.bin,
// where no file is yet: the base of the file tests.
class ConfigFolder : public ::testing::Test {
  protected:
    ConfigFolder() { store::setConfigPaths(session, file()); }
    std::filesystem::path file() const { return dir / "kbCfg.bin"; }

    TempDir dir;
    ScriptedHost host;
    store::SessionState session;
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();
};

class FreshConfig : public ConfigFolder {
  protected:
    void SetUp() override {
        store::makeFreshImage(*image, "admin", "");
        seed();
        save();
    }
    virtual void seed() {}

    void addOperator(int record, const std::string& name, const std::string& password = "") {
        store::OperatorRecord rec = image->operatorRecord(record);
        rec.setInUse(1);
        rec.setName(store::toAnsi(name));
        rec.setPassword(store::toAnsi(password));
    }
    // A device in `slot` whose user name is "admin".
    store::DeviceRecord addDevice(int slot, std::uint32_t ip, std::uint16_t port = 8000) {
        store::DeviceRecord dev = image->device(slot);
        dev.setInUse(1);
        dev.setIp(ip);
        dev.setPort(port);
        dev.setUserName("admin");
        return dev;
    }
    void save() { ASSERT_EQ(store::saveChange(host, session, *image), 0); }
    // What the file on disk holds now.
    std::unique_ptr<store::ConfigImage> reload() {
        auto loaded = std::make_unique<store::ConfigImage>();
        EXPECT_EQ(store::loadImage(host, session, *loaded), 0);
        return loaded;
    }
};

}  // namespace kbcfg::testing
