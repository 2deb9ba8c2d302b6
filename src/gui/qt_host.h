#pragma once
// The host port with Qt: message boxes, the file-open dialog, the wait cursor, posted work,
// timers and the search for the program's own windows by title. Tests script it: with
// `script.active` set, no box or file dialog opens and the answers come from queues.

#include <QString>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "store/host.h"

class QTimer;
class QWidget;

namespace kbcfg::gui {

class QtHost : public store::Host {
  public:
    ~QtHost() override;

    void showMessage(int number, const std::string& text) override;
    store::Answer askOkCancel(int number, const std::string& text) override;
    store::Answer askOkCancelThen(int number, const std::string& text,
                                  const std::function<void(store::Answer)>& answered) override;
    std::optional<std::filesystem::path> chooseOpenFile(
        const store::FileChoiceRequest& request) override;
    void setWaitCursor(bool on) override;
    void post(std::function<void()> task) override;
    int startTimer(int intervalMs, std::function<void()> tick) override;
    void killTimer(int id) override;
    bool windowExists(const std::string& title) override;
    bool raiseWindow(const std::string& title) override;
    void showResourceText(const std::string& text) override;

    // The activation token a second start handed over, used by the next raise (Wayland).
    void setActivationToken(const QString& token) { activationToken_ = token; }

    // The program's visible top-level window with this exact title, if any.
    static QWidget* findWindow(const QString& title);

    struct Script {
        bool active = false;
        std::deque<store::Answer> answers;                       // empty: Ok
        std::deque<std::optional<std::filesystem::path>> files;  // empty: cancelled
        std::vector<std::pair<int, std::string>> shown;          // every box, in order
    };
    Script script;

  private:
    static QWidget* dialogParent();

    QString activationToken_;
    std::map<int, QTimer*> timers_;
    int lastTimer_ = 0;
};

// Deletes every window without a parent but `except`. Deleting one window may delete others (its
// child dialogs), so each is held by a guarded pointer until its turn.
void deleteParentlessWindows(QWidget* except = nullptr);

}  // namespace kbcfg::gui
