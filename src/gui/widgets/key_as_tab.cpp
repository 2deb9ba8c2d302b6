#include "gui/widgets/key_as_tab.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace kbcfg::gui {

KeyAsTab::KeyAsTab(QWidget* root, Qt::Key key) : QObject(root), root_(root), key_(key) {
    root->installEventFilter(this);
    for (QWidget* w : root->findChildren<QWidget*>()) w->installEventFilter(this);
}

KeyAsTab* KeyAsTab::enter(QWidget* root) {
    return new KeyAsTab(root, Qt::Key_Return);
}

KeyAsTab* KeyAsTab::escape(QWidget* root) {
    return new KeyAsTab(root, Qt::Key_Escape);
}

bool KeyAsTab::matches(int key) const {
    if (key_ == Qt::Key_Return) return key == Qt::Key_Return || key == Qt::Key_Enter;
    return key == key_;
}

bool KeyAsTab::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (!matches(key->key()) || (key->modifiers() & ~Qt::KeypadModifier)) return false;
    if (type == QEvent::ShortcutOverride) {
        // Claimed here, so no shortcut or default button sees the key first.
        event->accept();
        return true;
    }
    QWidget* focus = QApplication::focusWidget();
    if (!focus || (focus != root_ && !root_->isAncestorOf(focus))) return false;
    // The focus widget handles Tab itself, so the focus moves as far as a real Tab would.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(focus, &tab);
    return true;
}

}  // namespace kbcfg::gui
