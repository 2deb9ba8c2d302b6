#pragma once
// The port through which the core reaches the outside: message boxes, questions, the file-open
// dialog, the wait cursor, timers and posted work. The desktop tool implements it with Qt, the
// command line with the terminal, the tests with a scripted host.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "store/message_id.h"

namespace kbcfg::store {

// How an OK/Cancel box was left. Closed is the title-bar close box or Escape.
enum class Answer { Ok, Cancel, Closed };

struct FileChoiceRequest {
    std::string filter;            // e.g. "All File (*)"
    std::string proposedName;      // e.g. "kbCfg.bin"
    std::string defaultExtension;  // e.g. "*.*"
    // A file to be written (an export): it need not exist, and replacing one is confirmed.
    bool forSaving = false;
};

class Host {
  public:
    virtual ~Host() = default;

    // A message box with one OK button (the catalogue number, and its text in the current
    // language); returns when it is closed.
    virtual void showMessage(int number, const std::string& text) = 0;
    // A message box with OK and Cancel.
    virtual Answer askOkCancel(int number, const std::string& text) = 0;
    // The same box, where `answered` runs on OK or Cancel while the box is still on screen (a
    // box it shows comes up over the question, and both close together). Closing the box runs
    // nothing.
    virtual Answer askOkCancelThen(int number, const std::string& text,
                                   const std::function<void(Answer)>& answered) {
        const Answer answer = askOkCancel(number, text);
        if (answer != Answer::Closed) answered(answer);
        return answer;
    }
    // The platform's file-open dialog; nullopt when the user cancels.
    virtual std::optional<std::filesystem::path> chooseOpenFile(
        const FileChoiceRequest& request) = 0;
    virtual void setWaitCursor(bool on) = 0;
    // Runs task on the UI thread once the current handler has returned.
    virtual void post(std::function<void()> task) = 0;
    // A repeating timer on the UI thread; returns its id (> 0).
    virtual int startTimer(int intervalMs, std::function<void()> tick) = 0;
    virtual void killTimer(int id) = 0;

    // Window search by exact title over this program's own open top-level windows ("Menu",
    // "Login", "Modes", ...). Hosts without windows have none.
    virtual bool windowExists(const std::string& /*title*/) { return false; }
    // Restores the window with this title (also from minimised) and brings it to the front;
    // false when there is none.
    virtual bool raiseWindow(const std::string& /*title*/) { return false; }
    // A fixed text outside the catalogue, in the platform's standard message box.
    virtual void showResourceText(const std::string& text) { showMessage(-1, text); }
};

// A host that hands everything on to another: a decorator derives from it and overrides only
// what it changes, so that nothing is dropped on the way (a question's follow-up, a window).
class ForwardingHost : public Host {
  public:
    explicit ForwardingHost(Host& inner) : inner_(inner) {}

    void showMessage(int number, const std::string& text) override {
        inner_.showMessage(number, text);
    }
    Answer askOkCancel(int number, const std::string& text) override {
        return inner_.askOkCancel(number, text);
    }
    Answer askOkCancelThen(int number, const std::string& text,
                           const std::function<void(Answer)>& answered) override {
        return inner_.askOkCancelThen(number, text, answered);
    }
    std::optional<std::filesystem::path> chooseOpenFile(const FileChoiceRequest& request) override {
        return inner_.chooseOpenFile(request);
    }
    void setWaitCursor(bool on) override { inner_.setWaitCursor(on); }
    void post(std::function<void()> task) override { inner_.post(std::move(task)); }
    int startTimer(int intervalMs, std::function<void()> tick) override {
        return inner_.startTimer(intervalMs, std::move(tick));
    }
    void killTimer(int id) override { inner_.killTimer(id); }
    bool windowExists(const std::string& title) override { return inner_.windowExists(title); }
    bool raiseWindow(const std::string& title) override { return inner_.raiseWindow(title); }
    void showResourceText(const std::string& text) override { inner_.showResourceText(text); }

  protected:
    Host& inner() { return inner_; }

  private:
    Host& inner_;
};

// A host nobody sits in front of: it shows nothing, answers every question with Cancel, chooses
// no file and runs nothing it is given. Work done for a count or a check uses it.
class SilentHost : public Host {
  public:
    void showMessage(int, const std::string&) override {}
    Answer askOkCancel(int, const std::string&) override { return Answer::Cancel; }
    std::optional<std::filesystem::path> chooseOpenFile(const FileChoiceRequest&) override {
        return std::nullopt;
    }
    void setWaitCursor(bool) override {}
    void post(std::function<void()>) override {}
    int startTimer(int, std::function<void()>) override { return 0; }
    void killTimer(int) override {}
};

// Shows the wait cursor for the lifetime of the guard.
class WaitCursor {
  public:
    explicit WaitCursor(Host& host) : host_(host) { host_.setWaitCursor(true); }
    ~WaitCursor() { host_.setWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    Host& host_;
};

}  // namespace kbcfg::store
