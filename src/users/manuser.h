#pragma once
// The users page: operators 1..3 as a list with check boxes, and adding, deleting and changing
// passwords. An operator who is logged in sees only his own row.

#include <optional>
#include <string>
#include <vector>

#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::users {

struct UserRow {
    int position;      // the hidden column: operator record 1..3
    std::string name;  // UTF-8
    bool checked = false;
    bool selected = false;  // highlighted (not merely checked)
};

class manuser {
  public:
    manuser(store::Host& host, store::SessionState& session, store::ConfigImage& image);

    static std::vector<std::string> columnCaptions();
    static constexpr int kColumnWidths[3] = {20, 0, 218};

    bool isAdministrator() const { return session_.loggedInUser == 0; }
    bool addEnabled() const { return isAdministrator(); }
    bool deleteEnabled() const { return isAdministrator(); }

    void refreshUserList();
    void headerClicked(int column);
    store::Outcome deleteCheckedUsers();

    struct PasswordTarget {
        int position;
        std::string shownName;
    };
    // The Modify Password button: the record whose password the dialog changes, or nullopt after
    // message 35 or 36.
    std::optional<PasswordTarget> passwordTarget();
    // A double click: whose devices to open, or nullopt when no row is selected.
    std::optional<int> userDevicesTarget() const;

    std::vector<UserRow> rows;
    int checkAllToggle = 0;
    bool headerChecked = false;

  private:
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
};

}  // namespace kbcfg::users
