#pragma once
// A host for tests: records every message shown or asked, answers questions and file choices
// from queues (OK and "cancelled" when a queue is empty), and runs posted work on demand.

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "store/host.h"

namespace kbcfg::testing {

class ScriptedHost : public store::Host {
  public:
    struct Shown {
        int number;
        std::string text;
        bool question;
    };

    void showMessage(int number, const std::string& text) override {
        shown.push_back({number, text, false});
    }
    store::Answer askOkCancel(int number, const std::string& text) override {
        shown.push_back({number, text, true});
        if (answers.empty()) return store::Answer::Ok;
        store::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::filesystem::path> chooseOpenFile(
        const store::FileChoiceRequest& request) override {
        lastFileRequest = request;
        if (files.empty()) return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    void setWaitCursor(bool on) override { waitDepth += on ? 1 : -1; }
    void post(std::function<void()> task) override { posted.push_back(std::move(task)); }
    int startTimer(int intervalMs, std::function<void()> tick) override {
        timers[++lastTimer] = {intervalMs, std::move(tick)};
        return lastTimer;
    }
    void killTimer(int id) override { timers.erase(id); }
    bool windowExists(const std::string& title) override { return windows.count(title) > 0; }
    bool raiseWindow(const std::string& title) override {
        if (!windows.count(title)) return false;
        raised.push_back(title);
        return true;
    }

    // Runs the posted tasks, including those they post.
    void runPosted() {
        while (!posted.empty()) {
            auto task = std::move(posted.front());
            posted.erase(posted.begin());
            task();
        }
    }
    // The catalogue messages shown so far, in order (a resource text shows as -1).
    std::vector<store::Msg> numbers() const {
        std::vector<store::Msg> out;
        for (const auto& s : shown) out.push_back(static_cast<store::Msg>(s.number));
        return out;
    }
    void clear() { shown.clear(); }

    std::vector<Shown> shown;
    std::deque<store::Answer> answers;
    std::deque<std::filesystem::path> files;
    std::optional<store::FileChoiceRequest> lastFileRequest;
    int waitDepth = 0;
    std::vector<std::function<void()>> posted;
    std::map<int, std::pair<int, std::function<void()>>> timers;
    int lastTimer = 0;
    // The titles of the open windows, and those raised, in order.
    std::set<std::string> windows;
    std::vector<std::string> raised;
};

}  // namespace kbcfg::testing
