#include "gui/widgets/check_list_model.h"

#include <QTableView>

#include "gui/widgets/header_ctrl.h"

namespace kbcfg::gui {

void CheckListModel::rebuilt() {
    beginResetModel();
    endResetModel();
}

void CheckListModel::checksChanged() {
    if (rows() == 0) return;
    emit dataChanged(index(0, 0), index(rows() - 1, 0), {Qt::CheckStateRole});
}

void CheckListModel::textsChanged() {
    if (columns() > 0) emit headerDataChanged(Qt::Horizontal, 0, columns() - 1);
    if (rows() > 0)
        emit dataChanged(index(0, 0), index(rows() - 1, columns() - 1), {Qt::DisplayRole});
}

CHeaderCtrlCl* CheckListModel::attach(QTableView* view) {
    auto* header = new CHeaderCtrlCl(view);
    view->setHorizontalHeader(header);
    view->setModel(this);
    header->usePageColours();
    view->setSortingEnabled(false);
    view->setShowGrid(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    if (hiddenColumn() >= 0) view->setColumnHidden(hiddenColumn(), true);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int column) {
        headerClicked(column);
        checksChanged();
        header->setCheckState(headerChecked() ? 1 : 0);
    });
    return header;
}

int CheckListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int CheckListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant CheckListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows()) return {};
    if (role == Qt::DisplayRole) return cell(index.row(), index.column());
    if (role == Qt::CheckStateRole && index.column() == 0)
        return isChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool CheckListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags CheckListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant CheckListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return caption(section);
    return {};
}

}  // namespace kbcfg::gui
