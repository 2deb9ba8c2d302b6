#include "gui/widgets/list_style.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <algorithm>

#include "gui/widgets/header_ctrl.h"

namespace kbcfg::gui {

void styleCheckList(QTableView* list, const int* widths, int count) {
    QPalette pal = list->palette();
    pal.setColor(QPalette::Base, QColor(204, 232, 207));
    list->setPalette(pal);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->horizontalHeader()->setStretchLastSection(false);
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 8);
    const int indicator = list->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, list);
    const int firstColumn =
        indicator + list->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 14;
    for (int c = 0; c < count; ++c) {
        if (widths[c] == 0) continue;
        list->setColumnWidth(c, c == 0 ? std::max(widths[c], firstColumn) : widths[c]);
    }
}

void fitCaptions(QTableView* list, const int* widths, int count) {
    const auto* header = qobject_cast<const CHeaderCtrlCl*>(list->horizontalHeader());
    for (int c = 0; c < count; ++c) {
        if (widths[c] == 0) continue;
        list->setColumnWidth(c, header ? std::max(widths[c], header->captionWidth(c)) : widths[c]);
    }
}

}  // namespace kbcfg::gui
