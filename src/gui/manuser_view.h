#pragma once
// The users page (users::manuser): the operator list with its drawn header, and the buttons that
// add, delete and re-password users. A double click opens the user's device management.

#include <QFrame>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "users/manuser.h"

class QLabel;
class QPushButton;
class QTableView;

namespace kbcfg::gui {

class CHeaderCtrlCl;
class UserListModel;

class ManuserView : public QFrame {
    Q_OBJECT
  public:
    explicit ManuserView(GuiContext& context, QWidget* parent = nullptr);
    ~ManuserView() override;

    users::manuser& presenter() { return presenter_; }
    QTableView* list() const { return list_; }
    CHeaderCtrlCl* header() const { return header_; }

    // Rebuilds the list from the image (the Users tab button does this too).
    void refresh();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void showState();
    void addUser();
    void deleteUsers();
    void modifyPassword();
    void openUserDevices();

    GuiContext& context_;
    users::manuser presenter_;
    CatalogueTexts texts_;
    UserListModel* model_;
    QTableView* list_;
    CHeaderCtrlCl* header_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* modify_;
};

}  // namespace kbcfg::gui
