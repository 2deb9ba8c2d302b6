#pragma once
// The Add Device dialog (devices::devadd), in normal mode from the device page and in preset
// mode from the discovery dialog. Enter moves on like Tab; leaving the password box for the Add
// button adds, once.

#include <QDialog>

#include "devices/devadd.h"
#include "gui/gui_context.h"
#include "gui/language.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kbcfg::gui {

class Ipv4Edit;

class DevaddView : public QDialog {
    Q_OBJECT
  public:
    // Normal mode.
    DevaddView(GuiContext& context, int* refreshFlag, QWidget* parent = nullptr);
    // Preset mode: a found device's address and port, locked.
    DevaddView(GuiContext& context, int* refreshFlag, const store::Ipv4Fields& ip, int port,
               QWidget* parent = nullptr);

    devices::devadd& presenter() { return presenter_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Both constructors' set-up, in steps that create the widgets in tab order.
    void build();
    void setUpWindow();
    void buildFields();
    void buildButtons();
    QGridLayout* buildGrid();
    void layOut(QGridLayout* grid);
    void retranslate();
    void takeFields();
    void showState();
    void typeChosen(int index);
    void add();

    devices::devadd presenter_;
    CatalogueTexts texts_;
    QComboBox* type_ = nullptr;
    QLabel* startLabel_ = nullptr;
    Ipv4Edit* startIp_ = nullptr;
    Ipv4Edit* endIp_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool typeChosen_ = false;  // the start label reads "IP:" until the type is first chosen
};

}  // namespace kbcfg::gui
