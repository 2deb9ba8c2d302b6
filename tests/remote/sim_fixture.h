#pragma once
// Tests against the simulator libraries built beside the test program: each test names its own
// installation description (or the demo) through VYXSIM_INSTALLATION.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/paths.h"
#include "support/env.h"
#include "support/temp_dir.h"

namespace kbcfg::remote {

// Sets or unsets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            kbcfg::testing::setEnv(name, value);
        else
            kbcfg::testing::unsetEnv(name);
    }
    // A path as its UTF-8 text (a wide string on Windows).
    ScopedEnv(const char* name, const std::filesystem::path& value)
        : ScopedEnv(name, platform::utf8(value).c_str()) {}
    ~ScopedEnv() {
        if (old_)
            kbcfg::testing::setEnv(name_, *old_);
        else
            kbcfg::testing::unsetEnv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class SimTest : public ::testing::Test {
  protected:
    // Writes a description into this test's folder and makes it the installation in force.
    void useInstallation(const std::string& json, const std::string& name = "site.json") {
        const auto path = dir / name;
        std::ofstream(path) << json;
        env_.emplace("VYXSIM_INSTALLATION", path);
    }
    void useDemo() { env_.emplace("VYXSIM_INSTALLATION", nullptr); }

    kbcfg::testing::TempDir dir;

  private:
    std::optional<ScopedEnv> env_;
};

}  // namespace kbcfg::remote
