#pragma once
// The language page of the main window (shell::other): its radio buttons switch every open
// window to Chinese or English at once.

#include <QWidget>

#include "gui/language.h"
#include "shell/other.h"

class QRadioButton;

namespace kbcfg::gui {

class OtherView : public QWidget {
    Q_OBJECT
  public:
    explicit OtherView(QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();

    CatalogueTexts texts_;
    QRadioButton* chinese_;
    QRadioButton* english_;
};

}  // namespace kbcfg::gui
