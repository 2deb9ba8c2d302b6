#pragma once
// The look the check-box lists share: their green background, fixed column widths and row height.

class QTableView;

namespace kbcfg::gui {

// widths[c] == 0 leaves column c as it is (the hidden slot column). Column 0 holds the check box
// and the row number, so it is never made narrower than those two.
void styleCheckList(QTableView* list, const int* widths, int count);

// Sets the columns to their widths, each widened where the drawn header's caption (in the language
// in use) would run into the next column. widths[c] == 0 leaves column c as it is. Called again
// after a language switch, it starts from the same widths.
void fitCaptions(QTableView* list, const int* widths, int count);

}  // namespace kbcfg::gui
