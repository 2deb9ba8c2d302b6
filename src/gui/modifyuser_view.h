#pragma once
// The Modify Password dialog (users::modifyuser) for one operator record. Enter moves on like Tab.

#include <QDialog>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "users/modifyuser.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class ModifyuserView : public QDialog {
    Q_OBJECT
  public:
    ModifyuserView(GuiContext& context, int position, const std::string& shownName,
                   QWidget* parent = nullptr);
    users::modifyuser& presenter() { return presenter_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void modify();
    void showState();

    users::modifyuser presenter_;
    CatalogueTexts texts_;
    QLabel* name_;
    QLineEdit* password_;
    QLineEdit* confirm_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace kbcfg::gui
