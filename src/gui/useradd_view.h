#pragma once
// The Add User dialog (users::useradd). Enter moves on like Tab; leaving the confirmation field
// for the Add button by keyboard adds at once.

#include <QDialog>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "users/useradd.h"

class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class UseraddView : public QDialog {
    Q_OBJECT
  public:
    explicit UseraddView(GuiContext& context, QWidget* parent = nullptr);
    users::useradd& presenter() { return presenter_; }

  protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void retranslate();
    void add();
    void takeFields();
    void showState();

    users::useradd presenter_;
    CatalogueTexts texts_;
    QLineEdit* name_;
    QLineEdit* password_;
    QLineEdit* confirm_;
    QPushButton* add_;
    QPushButton* cancel_;
};

}  // namespace kbcfg::gui
