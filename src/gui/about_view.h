#pragma once
// The about box (shell::CAboutDlg).

#include <QDialog>

namespace kbcfg::gui {

class AboutView : public QDialog {
    Q_OBJECT
  public:
    explicit AboutView(QWidget* parent = nullptr);
};

}  // namespace kbcfg::gui
