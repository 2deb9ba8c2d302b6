#pragma once
// The look the check-box lists share: their green background, fixed column widths and row height.

class QTableView;

namespace kbcfg::gui {

// widths[c] == 0 leaves column c as it is (the hidden slot column). Column 0 holds the check box
// and the row number, so it is never made narrower than those two.
void styleCheckList(QTableView* list, const int* widths, int count);

}  // namespace kbcfg::gui
