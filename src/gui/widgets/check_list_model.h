#pragma once
// The base of every list with check boxes: rows built by a presenter, each with a hidden slot
// column and a check mark in column 0; a click on the header of column 0 ticks or unticks all
// rows (the presenter decides), other headers do nothing, and nothing is sorted.

#include <QAbstractTableModel>
#include <QString>

class QTableView;

namespace kbcfg::gui {

class CHeaderCtrlCl;

class CheckListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // What a list supplies from its presenter.
    virtual int rows() const = 0;
    virtual int columns() const = 0;
    virtual QString cell(int row, int column) const = 0;
    // Read whenever the header is drawn, so it follows the language.
    virtual QString caption(int column) const = 0;
    virtual bool isChecked(int row) const = 0;
    virtual void setChecked(int row, bool checked) = 0;
    // The presenter's select-all rule, and the mark the header shows afterwards.
    virtual void headerClicked(int column) = 0;
    virtual bool headerChecked() const = 0;
    virtual int hiddenColumn() const { return 1; }

    // After the presenter rebuilt its rows.
    void rebuilt();
    // After the presenter changed check marks in bulk: one change over column 0.
    void checksChanged();
    // After a language switch: the captions, and the cells, which may show catalogue texts.
    void textsChanged();

    // Puts the model into a table with the drawn header, the hidden column hidden, grid lines and
    // no sorting; the header's clicks go to headerClicked. Returns the header.
    CHeaderCtrlCl* attach(QTableView* view);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
};

}  // namespace kbcfg::gui
