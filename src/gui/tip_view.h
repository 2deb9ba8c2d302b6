#pragma once
// The message box every catalogue message is shown in (shell::tip).

#include <QDialog>
#include <functional>

#include "gui/language.h"
#include "shell/tip.h"
#include "store/host.h"

class QLabel;
class QPushButton;

namespace kbcfg::gui {

class TipView : public QDialog {
    Q_OBJECT
  public:
    TipView(const std::string& text, bool withCancel, QWidget* parent = nullptr);

    // Runs the box modally. Escape and the close box give Closed. `answered`, if given, runs on
    // OK or Cancel before the box closes.
    store::Answer run(const std::function<void(store::Answer)>& answered = {});

    QLabel* textLabel() const { return text_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void retranslate();
    static constexpr int kCancelled = 2;
    void finish(store::Answer answer);

    std::function<void(store::Answer)> answered_;
    bool finishing_ = false;
    shell::tip tip_;
    CatalogueTexts texts_;
    QLabel* text_;
    QPushButton* ok_;
    QPushButton* cancel_ = nullptr;
};

}  // namespace kbcfg::gui
