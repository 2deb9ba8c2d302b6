#pragma once
// The channel page (channels::userchan): one operator's input channels, output channels or
// scenes and TV walls, up to 20,480 rows, with index editing, deletion and the text report.

#include <QWidget>
#include <initializer_list>

#include "channels/userchan.h"
#include "gui/gui_context.h"
#include "gui/language.h"
#include "gui/widgets/check_list_model.h"

class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTableView;

namespace kbcfg::gui {

class CHeaderCtrlCl;

// The presenter's rows as they are; a cell's text is made only when the row is shown.
class ChannelListModel : public CheckListModel {
    Q_OBJECT
  public:
    explicit ChannelListModel(channels::userchan& page, QObject* parent = nullptr);

    int rows() const override;
    int columns() const override { return kColumns; }
    QString cell(int row, int column) const override;
    QString caption(int column) const override;
    bool isChecked(int row) const override;
    void setChecked(int row, bool checked) override;
    void headerClicked(int column) override;
    bool headerChecked() const override;
    int hiddenColumn() const override { return kPositionColumn; }

    // After the presenter changed index texts or check marks in place: one change over all rows.
    void rowsChanged();

    static constexpr int kColumns = 6;
    static constexpr int kPositionColumn = 5;

  private:
    channels::userchan& page_;
};

class UserchanView : public QWidget {
    Q_OBJECT
  public:
    explicit UserchanView(GuiContext& context, QWidget* parent = nullptr);

    channels::userchan& presenter() { return presenter_; }
    ChannelListModel* model() const { return model_; }
    QTableView* list() const { return list_; }
    CHeaderCtrlCl* header() const { return header_; }

    // The three list buttons.
    void showList(channels::ChannelListKind kind);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The constructor's steps, in the order the widgets are created (the tab order).
    void setUpPage();
    void buildList();
    QHBoxLayout* buildNameRow();
    QGroupBox* buildTypeGroup();
    QGroupBox* buildModifyGroup();
    QGroupBox* buildButtonGroup(store::Msg caption, const char* name, store::Msg buttonCaption,
                                const char* buttonName, void (UserchanView::*action)());
    void layOut(QHBoxLayout* nameRow, std::initializer_list<QGroupBox*> groups);

    void retranslate();
    void takeFields();
    void showState();
    void newIndexChanged(const QString& text);
    void changeSingle();
    void changeBatch();
    void deleteChecked();
    void writeReport();

    GuiContext& context_;
    channels::userchan presenter_;
    CatalogueTexts texts_;
    ChannelListModel* model_;
    QTableView* list_;
    CHeaderCtrlCl* header_;
    QLineEdit* userName_;
    QLineEdit* newIndex_;
    int numberWidth_ = 0;  // column 0 of the input list: the check box and a five-digit number
};

}  // namespace kbcfg::gui
