#include "cli/terminal_host.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <istream>
#include <ostream>
#include <string>
#include <thread>

namespace kbcfg::cli {

TerminalHost::TerminalHost(std::istream& in, std::ostream& out, std::ostream& err, bool interactive)
    : in_(in), out_(out), err_(err), interactive_(interactive) {}

bool TerminalHost::isSuccessMessage(int number) {
    static constexpr std::array kSuccess = {19, 23, 24,  25,  39,  56,  57, 58,
                                            59, 94, 178, 180, 182, 188, 206};
    return std::find(kSuccess.begin(), kSuccess.end(), number) != kSuccess.end();
}

// A text missing from the catalogue must still leave a trace a script can match.
std::string TerminalHost::lineFor(int number, const std::string& text) {
    return text.empty() ? "message " + std::to_string(number) : text;
}

void TerminalHost::showMessage(int number, const std::string& text) {
    lastMessage_ = number;
    if (holding_) {
        held_.emplace_back(number, text);
        return;
    }
    if (json_) {
        messages_.push_back({{"message", number}, {"text", text}});
        return;
    }
    std::ostream& os = isSuccessMessage(number) ? out_ : err_;
    os << lineFor(number, text) << std::endl;
}

void TerminalHost::releaseMessages() {
    holding_ = false;
    auto held = std::move(held_);
    held_.clear();
    for (const auto& [number, text] : held) showMessage(number, text);
}

store::Answer TerminalHost::askOkCancel(int number, const std::string& text) {
    const store::Answer answer = ask(number, text);
    if (json_)
        messages_.push_back({{"message", number},
                             {"text", text},
                             {"answer", answer == store::Answer::Ok ? "OK" : "Cancel"}});
    return answer;
}

store::Answer TerminalHost::ask(int number, const std::string& text) {
    lastMessage_ = number;
    const std::string prompt = lineFor(number, text) + " [OK/Cancel] ";
    if (assumeYes_) {
        err_ << prompt << "OK" << std::endl;
        return store::Answer::Ok;
    }
    if (!interactive_) {
        // Nobody to ask: say what was asked and take the safe answer.
        err_ << prompt << "Cancel" << std::endl;
        return store::Answer::Cancel;
    }
    err_ << prompt << std::flush;
    return readYes() ? store::Answer::Ok : store::Answer::Cancel;
}

bool TerminalHost::readYes() {
    std::string reply;
    if (!std::getline(in_, reply)) return false;
    const auto first = reply.find_first_not_of(" \t");
    const auto last = reply.find_last_not_of(" \t\r");
    reply = first == std::string::npos ? "" : reply.substr(first, last - first + 1);
    std::transform(reply.begin(), reply.end(), reply.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return reply == "y" || reply == "yes" || reply == "ok";
}

bool TerminalHost::confirm(const std::string& question) {
    if (assumeYes_) return true;
    if (!interactive_) return false;
    err_ << question << " [y/N] " << std::flush;
    return readYes();
}

void TerminalHost::setJson(std::string command) {
    json_ = true;
    command_ = std::move(command);
}

void TerminalHost::summary(const std::string& line, const nlohmann::ordered_json& counts) {
    if (!json_) {
        out_ << line << std::endl;
        return;
    }
    summary_ = line;
    if (counts.is_object())
        for (const auto& [key, value] : counts.items()) report_[key] = value;
}

void TerminalHost::failure(const std::string& what) {
    if (json_) errors_.push_back(what);
}

void TerminalHost::finish(int status) {
    if (!json_) return;
    nlohmann::ordered_json doc = {{"command", command_}};
    for (const auto& [key, value] : report_.items()) doc[key] = value;
    if (summary_) doc["summary"] = *summary_;
    if (!errors_.empty()) doc["errors"] = errors_;
    doc["messages"] = messages_;
    doc["status"] = status;
    // Names and texts from a file need not be UTF-8; they must not end the run.
    out_ << doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
}

std::optional<std::filesystem::path> TerminalHost::chooseOpenFile(const store::FileChoiceRequest&) {
    // Files are named on the command line; there is no dialog to show.
    return std::nullopt;
}

void TerminalHost::post(std::function<void()> task) {
    posted_.push_back(std::move(task));
}

int TerminalHost::startTimer(int intervalMs, std::function<void()> tick) {
    const std::chrono::milliseconds interval(std::max(intervalMs, 1));
    timers_[++lastTimer_] = {interval, std::chrono::steady_clock::now() + interval,
                             std::move(tick)};
    return lastTimer_;
}

void TerminalHost::killTimer(int id) {
    timers_.erase(id);
}

void TerminalHost::runPosted() {
    while (!posted_.empty()) {
        auto task = std::move(posted_.front());
        posted_.erase(posted_.begin());
        task();
    }
}

bool TerminalHost::runNextTimer() {
    runPosted();
    if (timers_.empty()) return false;
    auto next = std::min_element(timers_.begin(), timers_.end(), [](const auto& a, const auto& b) {
        return a.second.due < b.second.due;
    });
    std::this_thread::sleep_until(next->second.due);
    next->second.due += next->second.interval;
    // A copy: the tick may kill its own timer.
    auto tick = next->second.tick;
    tick();
    runPosted();
    return true;
}

void TerminalHost::runUntilIdle() {
    while (runNextTimer()) {
    }
}

}  // namespace kbcfg::cli
