#pragma once
// A configuration file on disk with the administrator and three operator records, and the
// session pointing at it, for the shell presenters.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "store/ansi.h"
#include "store/config_image.h"
#include "store/files.h"
#include "store/session.h"
#include "support/scripted_host.h"
#include "support/temp_dir.h"

namespace kbcfg::shell {

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store::setConfigPaths(session, dir / "kbCfg.bin");
        file->stampCurrentHeader();
        setOperator(0, "admin", "secret");
        setOperator(1, "op_1", "");
        // Sixteen bytes exactly: the field holds no terminating NUL.
        setOperator(2, "op2", "0123456789abcdef");
        // Record 3 is deleted: all zero.
        writeFile();
        host.clear();
    }

    void setOperator(int n, const std::string& name, const std::string& password) {
        store::OperatorRecord rec = file->operatorRecord(n);
        rec.setInUse(1);
        rec.setName(store::toAnsi(name));
        rec.setPassword(store::toAnsi(password));
    }

    // Saves `file` as the scrambled configuration file.
    void writeFile() { ASSERT_EQ(store::saveChange(host, session, *file), 0); }

    kbcfg::testing::TempDir dir;
    kbcfg::testing::ScriptedHost host;
    store::SessionState session;
    // What is written to disk, and the process image a login loads into.
    std::unique_ptr<store::ConfigImage> file = std::make_unique<store::ConfigImage>();
    std::unique_ptr<store::ConfigImage> image = std::make_unique<store::ConfigImage>();
};

}  // namespace kbcfg::shell
