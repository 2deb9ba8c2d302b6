#pragma once
// The result dialog of an "Add>>" run: how many devices were assigned, and how many could not be
// reached or refused the password.

#include <string>

#include "users/probe.h"

namespace kbcfg::users {

class udinfo {
  public:
    explicit udinfo(const RunCounters& counters) : counters_(counters) {}
    static std::string title();
    static std::string successLabel();
    static std::string connectLabel();
    static std::string passwordLabel();
    std::string successText() const { return std::to_string(counters_.success); }
    std::string connectText() const { return std::to_string(counters_.connectError); }
    std::string passwordText() const { return std::to_string(counters_.passwordError); }

  private:
    RunCounters counters_;
};

}  // namespace kbcfg::users
