#pragma once
// The Add User dialog: a new operator in the first free record 1..3.

#include <string>

#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::users {

class useradd {
  public:
    enum class Focus { Unchanged, Name };

    useradd(store::Host& host, store::SessionState& session, store::ConfigImage& image);
    static std::string title();

    store::Outcome addUser();

    std::string name;
    std::string password;
    std::string confirm;
    Focus focus = Focus::Name;
    bool closeRequested = false;
    int addedPosition = 0;  // the record the last successful add used

  private:
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
};

}  // namespace kbcfg::users
