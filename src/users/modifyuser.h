#pragma once
// The Modify Password dialog for one operator record. The old password is not asked for.

#include <string>

#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::users {

class modifyuser {
  public:
    modifyuser(store::Host& host, store::SessionState& session, store::ConfigImage& image,
               int position, std::string shownName);
    static std::string title();

    store::Outcome modifyPassword();

    const std::string shownName;  // fixed text
    std::string newPassword;
    std::string confirm;
    bool closeRequested = false;

  private:
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
    int position_;
};

}  // namespace kbcfg::users
