#pragma once
// The import page (remote::config) that the keyboard maintenance page carries, and the keyboard
// boxes (address, port, user name, password) every keyboard dialog shares.

#include <QWidget>
#include <memory>

#include "gui/language.h"
#include "remote/config.h"
#include "remote/keyboard_fields.h"

class QGridLayout;
class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class Ipv4Edit;

// The four keyboard boxes with their labels, laid out in two grid columns from `row` on.
class KeyboardBoxes {
  public:
    // The labels' texts join `texts`, those of the dialog that holds the boxes.
    KeyboardBoxes(QWidget* parent, QGridLayout* grid, int row, int fieldWidth,
                  CatalogueTexts& texts);

    void take(remote::KeyboardFields& fields) const;
    // Shows the fields and moves the focus where the presenter asked.
    void show(remote::KeyboardFields& fields);

    Ipv4Edit* address;
    QLineEdit* port;
    QLineEdit* userName;
    QLineEdit* password;
};

// The colour the keyboard dialogs and the import page are drawn in.
void paintKeyboardDialog(QWidget* w);

// Shows a keyboard dialog as a work window: no parent, so it has a task bar entry of its own,
// modal over the whole program, centred over `over` when given, deleted when closed.
void showWorkDialog(QWidget* dialog, QWidget* over);

class ConfigView : public QWidget {
    Q_OBJECT
  public:
    explicit ConfigView(remote::config& presenter, QWidget* parent = nullptr);
    ~ConfigView() override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void takeFields();
    void showState();
    void choosePath();
    void importFile();

    remote::config& presenter_;
    CatalogueTexts texts_;
    QLineEdit* path_;
    QPushButton* browse_;
    std::unique_ptr<KeyboardBoxes> boxes_;
    QPushButton* import_;
};

}  // namespace kbcfg::gui
