#pragma once
// The remote configuration dialog (remote::modconfig): fetches the keyboard's configuration file
// into a chosen file, optionally going on to the login on it, or sends the chosen file to the
// keyboard. A window of its own in the task bar; Enter moves on like Tab, Escape closes.

#include <QDialog>
#include <memory>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "remote/modconfig.h"

class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class KeyboardBoxes;

class ModconfigView : public QDialog {
    Q_OBJECT
  public:
    explicit ModconfigView(GuiContext& context, QWidget* parent = nullptr);
    ~ModconfigView() override;

    remote::modconfig& presenter() { return presenter_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void takeFields();
    void showState();
    void run(store::Outcome (remote::modconfig::*operation)());

    GuiContext& context_;
    remote::modconfig presenter_;
    CatalogueTexts texts_;
    QLineEdit* path_;
    QPushButton* browse_;
    std::unique_ptr<KeyboardBoxes> boxes_;
    QPushButton* exportLogin_;
    QPushButton* export_;
    QPushButton* import_;
    bool loginOpen_ = false;
};

// Opens the dialog as an application-modal window of its own, centred over `over`.
ModconfigView* openExportDialog(GuiContext& context, QWidget* over);

}  // namespace kbcfg::gui
