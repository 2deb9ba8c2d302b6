#pragma once
// The result dialog of an "Add>>" run (users::udinfo): how many devices were assigned and how
// many failed, by cause.

#include <QDialog>

#include "users/udinfo.h"
#include "users/userdev.h"

class QLabel;
class QPushButton;

namespace kbcfg::gui {

class UdinfoView : public QDialog {
    Q_OBJECT
  public:
    explicit UdinfoView(const users::RunCounters& counters, QWidget* parent = nullptr);

    // The three counts as shown: success, connection errors, password errors.
    QLabel* count(int which) const { return counts_[which]; }

  private:
    users::udinfo presenter_;
    QLabel* counts_[3];
    QPushButton* ok_;
};

}  // namespace kbcfg::gui
