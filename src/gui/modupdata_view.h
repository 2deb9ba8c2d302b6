#pragma once
// The upgrade dialog (remote::modupdata): sends a firmware package or a panel program to a
// keyboard and shows the keyboard's progress, tick by tick, until it reports an end state.

#include <QDialog>
#include <memory>

#include "gui/gui_context.h"
#include "gui/language.h"
#include "remote/modupdata.h"

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kbcfg::gui {

class KeyboardBoxes;

class ModupdataView : public QDialog {
    Q_OBJECT
  public:
    explicit ModupdataView(GuiContext& context, QWidget* parent = nullptr);
    ~ModupdataView() override;

    remote::modupdata& presenter() { return *presenter_; }

    void reject() override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    class TickingHost;

    // The constructor's steps, in the order the widgets are created (the tab order).
    void setUpWindow();
    QGridLayout* buildFields();
    void buildStatusRows(QGridLayout* grid);
    QLabel* buildNotice();
    QHBoxLayout* buildButtons();
    void layOut(QGridLayout* grid, QLabel* notice, QHBoxLayout* buttons);
    void connectControls();

    void retranslate();
    void takeFields();
    void showState();
    // What a tick of the poll changes: the rows, the bar, the texts, the Update button.
    void showProgress();
    void modeChosen(int index);
    void choosePackage();
    void startUpgrade();

    std::unique_ptr<TickingHost> host_;
    // After the host: the presenter kills its timer through it when it goes.
    std::unique_ptr<remote::modupdata> presenter_;
    CatalogueTexts texts_;
    QComboBox* mode_;
    QLineEdit* path_;
    QPushButton* browse_;
    std::unique_ptr<KeyboardBoxes> boxes_;
    QWidget* firmwareRow_[4];  // label, bar, percent, "%"
    QWidget* panelRow_[2];     // label, status text
    QProgressBar* bar_;
    QLabel* percent_;
    QLabel* status_;
    QPushButton* update_;
    QPushButton* cancel_;
};

// Opens the dialog as an application-modal window of its own, centred over `over`.
ModupdataView* openUpgradeDialog(GuiContext& context, QWidget* over);

}  // namespace kbcfg::gui
