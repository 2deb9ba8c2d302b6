#pragma once
// The modify dialog (devices::modifydev): one port and one set of credentials for every device
// checked on the device page. Enter moves on like Tab; leaving the password box for the Modify
// button modifies, once.

#include <QDialog>
#include <cstdint>
#include <vector>

#include "devices/modifydev.h"
#include "gui/gui_context.h"
#include "gui/language.h"

class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class Ipv4Edit;

class ModifydevView : public QDialog {
    Q_OBJECT
  public:
    // flags: one byte per device slot, 1 = modify that device.
    ModifydevView(GuiContext& context, std::vector<std::uint8_t> flags, int* refreshFlag,
                  QWidget* parent = nullptr);

    devices::modifydev& presenter() { return presenter_; }

  protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void retranslate();
    void takeFields();
    void showState();
    void modify();

    devices::modifydev presenter_;
    CatalogueTexts texts_;
    Ipv4Edit* ip_;
    QLineEdit* port_;
    QLineEdit* userName_;
    QLineEdit* password_;
    QPushButton* modify_;
    QPushButton* cancel_;
};

}  // namespace kbcfg::gui
