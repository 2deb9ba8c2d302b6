#pragma once
// Dialogs and pages where a key (Enter in the small dialogs, Esc on the pages) moves the focus on
// like Tab instead of pressing the default button or closing the window.

#include <QObject>

class QWidget;

namespace kbcfg::gui {

class KeyAsTab : public QObject {
    Q_OBJECT
  public:
    // Watches `root` and every widget inside it at the time of the call.
    KeyAsTab(QWidget* root, Qt::Key key);

    // Enter and the keypad's Enter count as one key.
    static KeyAsTab* enter(QWidget* root);
    static KeyAsTab* escape(QWidget* root);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool matches(int key) const;
    QWidget* root_;
    Qt::Key key_;
};

}  // namespace kbcfg::gui
