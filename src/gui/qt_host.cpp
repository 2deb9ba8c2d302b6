#include "gui/qt_host.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "gui/text.h"
#include "gui/tip_view.h"

namespace kbcfg::gui {

QtHost::~QtHost() {
    for (auto& [id, timer] : timers_) delete timer;
}

QWidget* QtHost::dialogParent() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return QApplication::activeWindow();
}

void QtHost::showMessage(int number, const std::string& text) {
    if (script.active) {
        script.shown.emplace_back(number, text);
        return;
    }
    TipView box(text, false, dialogParent());
    box.run();
}

store::Answer QtHost::askOkCancel(int number, const std::string& text) {
    if (script.active) {
        script.shown.emplace_back(number, text);
        if (script.answers.empty()) return store::Answer::Ok;
        const store::Answer answer = script.answers.front();
        script.answers.pop_front();
        return answer;
    }
    TipView box(text, true, dialogParent());
    return box.run();
}

store::Answer QtHost::askOkCancelThen(int number, const std::string& text,
                                      const std::function<void(store::Answer)>& answered) {
    if (script.active) return Host::askOkCancelThen(number, text, answered);
    TipView box(text, true, dialogParent());
    return box.run(answered);
}

std::optional<std::filesystem::path> QtHost::chooseOpenFile(
    const store::FileChoiceRequest& request) {
    if (script.active) {
        if (script.files.empty()) return std::nullopt;
        auto file = script.files.front();
        script.files.pop_front();
        return file;
    }
    QFileDialog dialog(dialogParent());
    // Qt's own dialog speaks the tool's language; a desktop's native one follows the locale.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (request.forSaving) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    dialog.setNameFilter(qs(request.filter));
    dialog.setDirectory(QDir::currentPath());
    dialog.selectFile(qs(request.proposedName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

void QtHost::setWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void QtHost::post(std::function<void()> task) {
    QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
}

int QtHost::startTimer(int intervalMs, std::function<void()> tick) {
    auto* timer = new QTimer;
    timer->setInterval(intervalMs);
    QObject::connect(timer, &QTimer::timeout, timer, std::move(tick));
    timer->start();
    timers_[++lastTimer_] = timer;
    return lastTimer_;
}

void QtHost::killTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    // The tick may be what kills its own timer.
    it->second->stop();
    it->second->deleteLater();
    timers_.erase(it);
}

QWidget* QtHost::findWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

bool QtHost::windowExists(const std::string& title) {
    return findWindow(qs(title)) != nullptr;
}

bool QtHost::raiseWindow(const std::string& title) {
    QWidget* w = findWindow(qs(title));
    if (!w) return false;
    if (w->isMinimized()) w->showNormal();
    w->raise();
    // Wayland lets a window take the focus only with the token of the start that asked.
    if (!activationToken_.isEmpty()) {
        qputenv("XDG_ACTIVATION_TOKEN", activationToken_.toUtf8());
        activationToken_.clear();
    }
    w->activateWindow();
    return true;
}

void QtHost::showResourceText(const std::string& text) {
    if (script.active) {
        script.shown.emplace_back(-1, text);
        return;
    }
    QMessageBox::warning(dialogParent(), QString(), qs(text));
}

void deleteParentlessWindows(QWidget* except) {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != except && !w->parentWidget()) windows.append(w);
    for (const QPointer<QWidget>& w : windows) delete w.data();
}

}  // namespace kbcfg::gui
