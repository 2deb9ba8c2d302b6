#pragma once
// The language page of the main window (shell::other).

#include <QWidget>

#include "shell/other.h"

namespace kbcfg::gui {

class OtherView : public QWidget {
    Q_OBJECT
  public:
    explicit OtherView(QWidget* parent = nullptr);
    shell::other& presenter() { return presenter_; }

  private:
    shell::other presenter_;
};

}  // namespace kbcfg::gui
