#pragma once
// The host of the command line: messages become lines on stdout (successes) or stderr (everything
// else), questions are asked on the terminal, posted work and timers run after the command.
// In JSON mode the messages are collected instead and the run ends with one object on stdout.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "store/host.h"

namespace kbcfg::cli {

class TerminalHost : public store::Host {
  public:
    // interactive: stdin is a terminal, so questions can be asked there.
    TerminalHost(std::istream& in, std::ostream& out, std::ostream& err, bool interactive);

    // OK to every question without asking.
    void setAssumeYes(bool on) { assumeYes_ = on; }
    // A question of the tool's own, answered y or n on the terminal: true for yes, and for
    // --yes. Without a terminal nobody can answer: false.
    bool confirm(const std::string& question);
    // The catalogue number of the last message shown or asked, 0 for none.
    int lastMessage() const { return lastMessage_; }

    void showMessage(int number, const std::string& text) override;
    store::Answer askOkCancel(int number, const std::string& text) override;
    std::optional<std::filesystem::path> chooseOpenFile(
        const store::FileChoiceRequest& request) override;
    void setWaitCursor(bool) override {}
    void post(std::function<void()> task) override;
    int startTimer(int intervalMs, std::function<void()> tick) override;
    void killTimer(int id) override;

    // Runs the posted tasks, including those they post in turn.
    void runPosted();
    // Waits for the timer due next and runs it (and the posted tasks); false when none is left.
    bool runNextTimer();
    // Runs posted tasks and timers until no timer is left.
    void runUntilIdle();

    // Keeps the messages shown from now on until releaseMessages(), which shows them: a timer
    // tick's message then comes after the progress lines printed for that tick.
    void holdMessages() { holding_ = true; }
    void releaseMessages();

    // The messages that report success and so belong on stdout.
    static bool isSuccessMessage(int number);

    // JSON mode for the command named (its path, "user assign"): messages and the summary are
    // collected and finish() writes them with the command's own keys.
    void setJson(std::string command);
    bool json() const { return json_; }
    // The command's own keys of the JSON object, in the order set.
    nlohmann::ordered_json& report() { return report_; }
    // The one line saying what an editing command changed: on stdout, or the "summary" key with
    // the counts behind it as the command's keys.
    void summary(const std::string& line, const nlohmann::ordered_json& counts = {});
    // A failure no catalogue message covers, said on stderr already: in JSON mode it is kept for
    // the "errors" key.
    void failure(const std::string& what);
    // Ends the run; in JSON mode writes {"command", the command's keys, "summary", "errors" (when
    // there are any), "messages", "status"} on stdout.
    void finish(int status);

  private:
    struct Timer {
        std::chrono::milliseconds interval;
        std::chrono::steady_clock::time_point due;
        std::function<void()> tick;
    };

    static std::string lineFor(int number, const std::string& text);
    store::Answer ask(int number, const std::string& text);
    bool readYes();

    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool interactive_;
    bool assumeYes_ = false;
    int lastMessage_ = 0;
    bool holding_ = false;
    std::vector<std::pair<int, std::string>> held_;
    bool json_ = false;
    std::string command_;
    nlohmann::ordered_json report_ = nlohmann::ordered_json::object();
    nlohmann::ordered_json messages_ = nlohmann::ordered_json::array();
    nlohmann::ordered_json errors_ = nlohmann::ordered_json::array();
    std::optional<std::string> summary_;
    std::vector<std::function<void()>> posted_;
    std::map<int, Timer> timers_;
    int lastTimer_ = 0;
};

}  // namespace kbcfg::cli
