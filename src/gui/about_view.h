#pragma once
// The about box (shell::CAboutDlg).

#include <QDialog>

#include "gui/language.h"

namespace kbcfg::gui {

class AboutView : public QDialog {
    Q_OBJECT
  public:
    explicit AboutView(QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();

    CatalogueTexts texts_;
};

}  // namespace kbcfg::gui
