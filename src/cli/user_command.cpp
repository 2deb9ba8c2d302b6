#include "cli/user_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/device_libraries.h"
#include "cli/terminal_host.h"
#include "cli/text_options.h"
#include "users/manuser.h"
#include "users/modifyuser.h"
#include "users/stream.h"
#include "users/useradd.h"
#include "users/userdev.h"

namespace kbcfg::cli {

namespace {

using store::Outcome;

int position(const users::UserRow& row) {
    return row.position;
}

// The record an operator command is for: any listed operator for the administrator, only his own
// record for an operator.
bool recordAllowed(Context& ctx, int record, std::string& why) {
    if (record < 1 || record > 3) {
        why = "record " + std::to_string(record) + " is not an operator record (1..3)";
        return false;
    }
    if (ctx.session.loggedInUser != 0 && record != ctx.session.loggedInUser) {
        why = "an operator may only work on his own record";
        return false;
    }
    if (ctx.image.operatorRecord(record).inUse() != 1) {
        why = "record " + std::to_string(record) + " holds no user";
        return false;
    }
    return true;
}

class ListCommand : public LoginCommand {
  public:
    explicit ListCommand(const LoginOptions& login)
        : LoginCommand("list", "List the users as the users page shows them", login, false) {}
    void setup(CLI::App& app) override { app.add_flag("--json", json_, "JSON output"); }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (json_) {
            nlohmann::ordered_json rows = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < page.rows.size(); ++i)
                rows.push_back({{"row", i + 1},
                                {"record", page.rows[i].position},
                                {"username", page.rows[i].name}});
            std::cout << rows.dump(2) << std::endl;
            return kExitOk;
        }
        std::cout << "row   record  username\n";
        for (std::size_t i = 0; i < page.rows.size(); ++i)
            std::printf("%-5zu %-7d %s\n", i + 1, page.rows[i].position, page.rows[i].name.c_str());
        std::fflush(stdout);
        return kExitOk;
    }

  private:
    bool json_ = false;
};

class AddCommand : public LoginCommand {
  public:
    explicit AddCommand(const LoginOptions& login)
        : LoginCommand("add", "Add an operator user", login, true) {}
    void setup(CLI::App& app) override {
        app.add_option("--name", name_, "User name, as typed")->required();
        app.add_option("--password", password_, "Password (default empty)");
        app.add_option("--confirm", confirm_, "Confirmation (default: the password)");
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::useradd dialog(ctx.host, ctx.session, ctx.image);
        dialog.name = name_;
        dialog.password = password_;
        dialog.confirm = confirm_.value_or(password_);
        return exitFor(dialog.addUser());
    }

  private:
    std::string name_, password_;
    std::optional<std::string> confirm_;
};

class DeleteCommand : public LoginCommand {
  public:
    explicit DeleteCommand(const LoginOptions& login)
        : LoginCommand("delete", "Delete operator users with all their tables", login, true) {}
    void setup(CLI::App& app) override {
        app.add_option("--record", records_, "Operator record 1..3 (repeatable)")->required();
        app.add_flag("--yes", yes_, "Confirm without asking");
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (const auto absent = tickRows(page.rows, records_, position))
            return fail("record " + std::to_string(*absent) + " is not in the list");
        ctx.host.setAssumeYes(yes_);
        return exitFor(page.deleteCheckedUsers());
    }

  private:
    std::vector<int> records_;
    bool yes_ = false;
};

class PasswdCommand : public LoginCommand {
  public:
    explicit PasswdCommand(const LoginOptions& login)
        : LoginCommand("passwd", "Change a user's password", login, false) {}
    void setup(CLI::App& app) override {
        app.add_option("--record", record_, "Operator record 1..3 (operators: their own)");
        app.add_option("--password", password_, "New password, as typed")->required();
        app.add_option("--confirm", confirm_, "Confirmation (default: the password)");
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (ctx.session.loggedInUser == 0) {
            if (!record_) return fail("the administrator names the user with --record");
            if (const auto absent = tickRows(page.rows, {*record_}, position))
                return fail("record " + std::to_string(*absent) + " is not in the list");
        } else if (record_ && *record_ != ctx.session.loggedInUser) {
            return fail("an operator may only change his own password");
        }
        const auto target = page.passwordTarget();
        if (!target) return kExitFailed;
        users::modifyuser dialog(ctx.host, ctx.session, ctx.image, target->position,
                                 target->shownName);
        dialog.newPassword = password_;
        dialog.confirm = confirm_.value_or(password_);
        return exitFor(dialog.modifyPassword());
    }

  private:
    std::optional<int> record_;
    std::string password_;
    std::optional<std::string> confirm_;
};

// Base of the commands on one user's device management.
class UserDevicesBase : public LoginCommand {
  public:
    UserDevicesBase(std::string name, std::string description, const LoginOptions& login,
                    bool administratorOnly)
        : LoginCommand(std::move(name), std::move(description), login, administratorOnly) {}

  protected:
    void addRecord(CLI::App& app) {
        app.add_option("--record", record_, "Operator record 1..3")->required();
    }
    void addSlots(CLI::App& app) {
        app.add_option("--slot", slots_, "Device slot (repeatable)")->required();
    }
    // Ticks the rows of the slots in one list; false (after saying so) for a slot not in it.
    bool tick(std::vector<users::UserDeviceRow>& rows, const char* listName) {
        const auto absent =
            tickRows(rows, slots_, [](const users::UserDeviceRow& row) { return row.slot; });
        if (absent)
            fail("slot " + std::to_string(*absent) + " is not in the " + listName + " list");
        return !absent;
    }
    int runLoggedIn(Context& ctx) final {
        std::string why;
        if (!recordAllowed(ctx, record_, why)) return fail(why);
        users::userdev dialog(ctx.host, ctx.session, ctx.image, netSdk(), record_);
        dialog.refreshUserDeviceLists();
        return runDialog(ctx, dialog);
    }
    virtual int runDialog(Context& ctx, users::userdev& dialog) = 0;

    int record_ = 0;
    std::vector<int> slots_;
};

class DevicesCommand : public UserDevicesBase {
  public:
    explicit DevicesCommand(const LoginOptions& login)
        : UserDevicesBase("devices", "The devices a user has and may get", login, false) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        app.add_flag("--json", json_, "JSON output");
    }

  protected:
    int runDialog(Context&, users::userdev& dialog) override {
        auto rowsJson = [](const std::vector<users::UserDeviceRow>& rows) {
            nlohmann::ordered_json out = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < rows.size(); ++i)
                out.push_back({{"row", i + 1},
                               {"slot", rows[i].slot},
                               {"ip", rows[i].ip},
                               {"port", rows[i].port}});
            return out;
        };
        if (json_) {
            nlohmann::ordered_json out;
            out["available"] = rowsJson(dialog.left);
            out["assigned"] = rowsJson(dialog.right);
            std::cout << out.dump(2) << std::endl;
            return kExitOk;
        }
        for (const auto* list : {&dialog.left, &dialog.right}) {
            std::cout << (list == &dialog.left ? "available:\n" : "assigned:\n");
            for (std::size_t i = 0; i < list->size(); ++i)
                std::printf("  %-5zu slot %-5d %-16s %u\n", i + 1, (*list)[i].slot,
                            (*list)[i].ip.c_str(), (*list)[i].port);
            std::fflush(stdout);
        }
        return kExitOk;
    }

  private:
    bool json_ = false;
};

class AssignCommand : public UserDevicesBase {
  public:
    explicit AssignCommand(const LoginOptions& login)
        : UserDevicesBase("assign", "Assign devices: log in to each and create its channels", login,
                          true) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        addSlots(app);
    }

  protected:
    int runDialog(Context&, users::userdev& dialog) override {
        if (!tick(dialog.left, "available")) return kExitFailed;
        const Outcome outcome =
            dialog.assignCheckedDevices([](int done, int total, const std::string& ip) {
                if (total > 1 && !ip.empty())
                    std::cerr << "probing " << ip << " (" << done + 1 << "/" << total << ")"
                              << std::endl;
            });
        if (dialog.showResult) {
            const users::udinfo result(dialog.counters);
            std::cout << result.successLabel() << " " << result.successText() << "\n"
                      << result.connectLabel() << " " << result.connectText() << "\n"
                      << result.passwordLabel() << " " << result.passwordText() << std::endl;
        }
        return exitFor(outcome);
    }
};

class UnassignCommand : public UserDevicesBase {
  public:
    explicit UnassignCommand(const LoginOptions& login)
        : UserDevicesBase("unassign", "Take devices away from a user with their channels", login,
                          true) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        addSlots(app);
    }

  protected:
    int runDialog(Context&, users::userdev& dialog) override {
        if (!tick(dialog.right, "assigned")) return kExitFailed;
        return exitFor(dialog.removeCheckedDevicesFromUser());
    }
};

class StreamCommand : public UserDevicesBase {
  public:
    explicit StreamCommand(const LoginOptions& login)
        : UserDevicesBase("stream", "Bind devices to a stream media server, or remove it", login,
                          false) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        addSlots(app);
        auto* bind = app.add_flag("--bind", bind_, "Bind to the server given");
        auto* unbind = app.add_flag("--unbind", unbind_, "Remove the binding");
        bind->excludes(unbind);
        addAddressOption(app, "--ip", ip_, "Stream media server address");
        app.add_option("--port", port_, "Server port, as typed (default 554)");
        app.add_option("--protocol", protocol_, "tcp or udp (default tcp)")
            ->check(CLI::IsMember({"tcp", "udp"}));
    }

  protected:
    int runDialog(Context& ctx, users::userdev& dialog) override {
        if (bind_ == unbind_) return fail("say --bind or --unbind");
        if (!tick(dialog.right, "assigned")) return kExitFailed;
        auto request = dialog.openStreamBinding();
        if (!request) return kExitFailed;
        std::unique_ptr<users::stream> streamDialog;
        if (request->mode == users::StreamBindingMode::Single)
            streamDialog = std::make_unique<users::stream>(ctx.host, ctx.session, ctx.image,
                                                           record_, request->slot);
        else
            streamDialog = std::make_unique<users::stream>(ctx.host, ctx.session, ctx.image,
                                                           record_, request->batch);
        // The check box as the user leaves it, then the boxes.
        if (streamDialog->enabled != bind_) streamDialog->toggleStreamEnable();
        if (bind_) {
            streamDialog->address = ip_;
            streamDialog->port = port_;
            streamDialog->protocol = protocol_ == "udp" ? 1 : 0;
        }
        return exitFor(streamDialog->applyStreamBinding());
    }

  private:
    bool bind_ = false, unbind_ = false;
    store::Ipv4Fields ip_;
    std::string port_ = "554";
    std::string protocol_ = "tcp";
};

}  // namespace

UserCommand::UserCommand() : CommandGroup("user", "Operator users and their devices") {
    add(std::make_unique<ListCommand>(login));
    add(std::make_unique<AddCommand>(login));
    add(std::make_unique<DeleteCommand>(login));
    add(std::make_unique<PasswdCommand>(login));
    add(std::make_unique<DevicesCommand>(login));
    add(std::make_unique<AssignCommand>(login));
    add(std::make_unique<UnassignCommand>(login));
    add(std::make_unique<StreamCommand>(login));
}

}  // namespace kbcfg::cli
