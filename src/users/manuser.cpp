#include "users/manuser.h"

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"

namespace kbcfg::users {

using store::Outcome;

manuser::manuser(store::Host& host, store::SessionState& session, store::ConfigImage& image)
    : host_(host), session_(session), image_(image) {}

std::vector<std::string> manuser::columnCaptions() {
    return {"", store::getMessage(store::Msg::ColumnUserIndex),
            store::getMessage(store::Msg::ColumnOperatorName)};
}

void manuser::refreshUserList() {
    rows.clear();
    auto addRow = [&](int position) {
        const store::OperatorRecord op = image_.operatorRecord(position);
        if (op.inUse() == 1) rows.push_back({position, store::fromAnsi(op.name())});
    };
    if (isAdministrator()) {
        for (int position = 1; position <= 3; ++position) addRow(position);
    } else if (session_.loggedInUser >= 1 && session_.loggedInUser <= 3) {
        addRow(session_.loggedInUser);
    }
    checkAllToggle = 0;
}

void manuser::headerClicked(int column) {
    if (column != 0 || rows.empty()) return;
    const bool check = checkAllToggle == 0;
    for (auto& row : rows) row.checked = check;
    checkAllToggle = check ? 1 : 0;
    headerChecked = check;
}

Outcome manuser::deleteCheckedUsers() {
    bool any = false;
    for (const auto& row : rows) any = any || row.checked;
    if (!any) {
        store::showMessage(host_, store::Msg::ChooseUsersToDelete);
        refreshUserList();
        return Outcome::Refused;
    }
    store::askMessage(host_, session_, store::Msg::ConfirmDeleteUsers, "", store::kTipConfirm);
    if (session_.confirmAnswer != 1) {
        refreshUserList();
        return Outcome::Refused;
    }
    session_.confirmAnswer = 0;
    Outcome outcome = Outcome::Done;
    // Saved once per user, so a failure part-way leaves the earlier deletions on disk.
    for (const auto& row : rows) {
        if (!row.checked) continue;
        image_.operatorRecord(row.position).clear();
        image_.clearOperatorTables(row.position);
        if (store::saveChange(host_, session_, image_) != 0) {
            outcome = Outcome::Refused;
            break;
        }
    }
    refreshUserList();
    return outcome;
}

std::optional<manuser::PasswordTarget> manuser::passwordTarget() {
    if (!isAdministrator()) return PasswordTarget{session_.loggedInUser, session_.currentUserName};
    const UserRow* chosen = nullptr;
    int count = 0;
    for (const auto& row : rows) {
        if (!row.checked) continue;
        ++count;
        chosen = &row;
    }
    if (count > 1) {
        store::showMessage(host_, store::Msg::ChooseOneUserToModify);
        refreshUserList();
        return std::nullopt;
    }
    if (count == 0) {
        store::showMessage(host_, store::Msg::ChooseUserToModify);
        return std::nullopt;
    }
    return PasswordTarget{chosen->position, chosen->name};
}

std::optional<int> manuser::userDevicesTarget() const {
    if (!isAdministrator()) return session_.loggedInUser;
    std::optional<int> position;
    for (const auto& row : rows)
        if (row.selected) position = row.position;  // the last selected row
    return position;
}

}  // namespace kbcfg::users
