#pragma once
// The discovery dialog (devices::vorpdev): the devices the discovery library reports, as they
// come and go, with the details of the clicked one and Add, which opens the Add Device dialog in
// preset mode. Reports reach the list through the host's post to the UI thread.

#include <QAbstractTableModel>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <vector>

#include "devices/vorpdev.h"
#include "gui/gui_context.h"
#include "gui/language.h"

class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kbcfg::gui {

class CHeaderCtrlCl;
class DevaddView;
class Ipv4Edit;

// The found devices over the presenter's rows. Reports can come a thousand a second, and a
// repaint per report would swamp the UI thread, so rows appended within half a frame are
// announced together: a frame never shows the list more than that behind. Other changes go
// through at once.
class FoundListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kBatchMs = 8;

    FoundListModel(const devices::vorpdev& presenter, QObject* parent);

    // The presenter's notice of a change to its rows.
    void change(devices::vorpdev::Change change, std::size_t row);
    // Announces the rows appended since the last time.
    void flush();
    // After a language switch.
    void captionsChanged();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const devices::vorpdev& presenter_;
    int shown_ = 0;  // the presenter's first rows, as far as the list knows them
    QTimer batch_;
    QElapsedTimer sinceFlush_;
};

class VorpdevView : public QDialog {
    Q_OBJECT
  public:
    // pageRefreshFlag: the device page's, set when a device may have been added.
    VorpdevView(GuiContext& context, int* pageRefreshFlag, QWidget* parent = nullptr);
    ~VorpdevView() override;

    devices::vorpdev& presenter() { return presenter_; }
    FoundListModel* model() const { return model_; }
    QTableView* list() const { return list_; }
    // The Add Device dialog opened by Add, while it is open.
    DevaddView* addDialog() const { return addDialog_; }

    void accept() override;
    void done(int result) override;

  protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The constructor's steps, in the order the widgets are created (the tab order).
    void setUpWindow();
    void buildList();
    QGridLayout* buildDetails();
    QHBoxLayout* buildButtons();
    void layOut(QGridLayout* details, QHBoxLayout* buttons);
    void connectPresenter();

    void retranslate();
    void showState();
    void add();

    GuiContext& context_;
    devices::vorpdev presenter_;
    CatalogueTexts texts_;
    FoundListModel* model_;
    QTableView* list_;
    CHeaderCtrlCl* header_;
    QLineEdit* serial_;
    QLineEdit* software_;
    Ipv4Edit* mask_;
    Ipv4Edit* ip_;
    QLineEdit* port_;
    QLineEdit* mac_;
    QPushButton* add_;
    QPushButton* cancel_;
    QPointer<DevaddView> addDialog_;
    bool startQueued_ = false;
};

}  // namespace kbcfg::gui
