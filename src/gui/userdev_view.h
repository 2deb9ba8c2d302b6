#pragma once
// The user's device management (users::userdev): the devices an operator does not have on the
// left, his devices on the right, and the buttons between them. A run of "Add>>" asks several
// devices at once (how many is a setting kept between runs) while the window stays responsive;
// over several devices it shows a progress window whose Cancel stops the run between two devices.
// A run with failures ends with the result dialog.

#include <QDialog>

#include "gui/gui_context.h"
#include "users/userdev.h"

class QProgressDialog;
class QPushButton;
class QSpinBox;
class QTableView;
class QVBoxLayout;

namespace kbcfg::gui {

class CHeaderCtrlCl;
class UserDeviceListModel;

// The progress window's text in the language in use: how far an "Add>>" run is or, once it is
// being stopped, what becomes of the devices done and of those still being asked.
QString probeProgressText(const users::userdev::RunProgress& progress, bool stopping);

class UserdevView : public QDialog {
    Q_OBJECT
  public:
    UserdevView(GuiContext& context, int op, QWidget* parent = nullptr);
    ~UserdevView() override;

    users::userdev& presenter() { return presenter_; }
    QTableView* list(bool right) const { return right ? right_ : left_; }
    CHeaderCtrlCl* header(bool right) const { return right ? rightHeader_ : leftHeader_; }
    QSpinBox* jobsBox() const { return jobs_; }

  private:
    // The constructor's steps.
    void setUpWindow();
    QTableView* buildList(bool right, const char* name, UserDeviceListModel*& model,
                          CHeaderCtrlCl*& header);
    QVBoxLayout* buildButtons();
    void addJobsBox(QVBoxLayout* buttons);
    void layOut(QVBoxLayout* buttons);

    void showState();
    void assign();
    void remove();
    void openStream();

    GuiContext& context_;
    users::userdev presenter_;
    UserDeviceListModel* leftModel_;
    UserDeviceListModel* rightModel_;
    QTableView* left_;
    QTableView* right_;
    CHeaderCtrlCl* leftHeader_;
    CHeaderCtrlCl* rightHeader_;
    QPushButton* add_;
    QPushButton* delete_;
    QPushButton* stream_;
    QSpinBox* jobs_;
};

}  // namespace kbcfg::gui
