#pragma once
// The stream media dialog (users::stream): binds devices of one operator to a stream-media relay
// or removes the binding. It stays open after OK; Cancel closes it.

#include <QDialog>
#include <vector>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "users/stream.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class Ipv4Edit;

class StreamView : public QDialog {
    Q_OBJECT
  public:
    // One device of operator `op`.
    StreamView(GuiContext& context, int op, int slot, QWidget* parent = nullptr);
    // Several devices at once (100 places, empty ones -1).
    StreamView(GuiContext& context, int op, std::vector<int> batch, QWidget* parent = nullptr);

    users::stream& presenter() { return presenter_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    StreamView(users::stream presenter, QWidget* parent);
    void takeFields();
    void showState();
    void toggle();
    void apply();

    users::stream presenter_;
    CatalogueTexts texts_;
    QCheckBox* enabled_;
    Ipv4Edit* address_;
    QLineEdit* port_;
    QComboBox* protocol_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace kbcfg::gui
