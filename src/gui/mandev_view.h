#pragma once
// The device page (devices::mandev) inside the main window: the device list with check boxes
// and the four commands on it. The dialogs it opens are window-modal and tell the page through
// its refresh flag whether the list is to be rebuilt when they close.

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "devices/mandev.h"
#include "gui/gui_context.h"
#include "gui/language.h"
#include "gui/widgets/check_list_model.h"

class QPushButton;
class QTableView;

namespace kbcfg::gui {

class CHeaderCtrlCl;

// The device list over the presenter's rows: row number and check box, hidden slot, address,
// port and user name.
class DeviceListModel : public CheckListModel {
    Q_OBJECT
  public:
    DeviceListModel(devices::mandev& presenter, QObject* parent);

    int rows() const override { return static_cast<int>(presenter_.rows.size()); }
    int columns() const override { return 5; }
    QString cell(int row, int column) const override;
    QString caption(int column) const override;
    bool isChecked(int row) const override;
    void setChecked(int row, bool checked) override;
    void headerClicked(int column) override { presenter_.headerClicked(column); }
    bool headerChecked() const override { return presenter_.headerChecked; }
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    devices::mandev& presenter_;
};

class MandevView : public QWidget {
    Q_OBJECT
  public:
    MandevView(GuiContext& context, QWidget* parent = nullptr);
    ~MandevView() override;

    devices::mandev& presenter() { return presenter_; }
    DeviceListModel* model() const { return model_; }
    QTableView* list() const { return list_; }
    CHeaderCtrlCl* header() const { return header_; }
    // The dialog the page has open, if any.
    QDialog* openDialog() const { return dialog_; }

    // Rebuilds the list from the image.
    void refresh();

    void normalAdd();
    void vorpAdd();
    void modify();
    void deleteChecked();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    void openModal(QDialog* dialog);
    void fitNumberColumn();

    GuiContext& context_;
    devices::mandev presenter_;
    CatalogueTexts texts_;
    DeviceListModel* model_;
    QTableView* list_;
    CHeaderCtrlCl* header_;
    QPointer<QDialog> dialog_;
};

}  // namespace kbcfg::gui
