#include "cli/user_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/change_summary.h"
#include "cli/device_libraries.h"
#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "cli/termination.h"
#include "cli/text_options.h"
#include "users/manuser.h"
#include "users/modifyuser.h"
#include "users/stream.h"
#include "users/udinfo.h"
#include "users/useradd.h"
#include "users/userdev.h"

namespace kbcfg::cli {

namespace {

using T = store::OwnText;

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
    if (!store::mayWorkOnRecord(ctx.session, record)) {
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
    void setup(CLI::App& app) override { addJsonFlag(app); }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (ctx.host.json()) {
            auto& rows = ctx.host.report()["users"] = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < page.rows.size(); ++i)
                rows.push_back({{"row", i + 1},
                                {"record", page.rows[i].position},
                                {"username", page.rows[i].name}});
            return kExitOk;
        }
        std::cout << "row   record  username\n";
        for (std::size_t i = 0; i < page.rows.size(); ++i)
            std::printf("%-5zu %-7d %s\n", i + 1, page.rows[i].position, page.rows[i].name.c_str());
        std::fflush(stdout);
        return kExitOk;
    }
};

class AddCommand : public LoginCommand {
  public:
    explicit AddCommand(const LoginOptions& login)
        : LoginCommand("add", "Add an operator user", login, true) {}
    void setup(CLI::App& app) override {
        app.add_option("--name", name_, "User name, as typed")->required();
        app.add_option("--password", password_, "Password (default empty)");
        app.add_option("--confirm", confirm_, "Confirmation (default: the password)");
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        users::useradd dialog(ctx.host, ctx.session, ctx.image);
        dialog.name = name_;
        dialog.password = password_;
        dialog.confirm = confirm_.value_or(password_);
        const Outcome outcome = dialog.addUser();
        const int added = counter.after().users - counter.before.users;
        ctx.host.summary(added > 0 ? say(T::AddedUser, {name_}) : say(T::AddedNoUser),
                         {{"usersAdded", added}});
        return exitFor(outcome);
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
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (const auto absent = tickRows(page.rows, records_, position))
            return fail("record " + std::to_string(*absent) + " is not in the list");
        ctx.host.setAssumeYes(yes_);
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        const Outcome outcome = page.deleteCheckedUsers();
        const ImageCounts after = counter.after();
        const int users = counter.before.users - after.users;
        const int channels = counter.before.allChannels() - after.allChannels();
        ctx.host.summary(users > 0 ? say(T::DeletedUsersWith, {counted(users, Noun::User),
                                                               counted(channels, Noun::Channel)})
                                   : say(T::DeletedNoUser),
                         {{"usersDeleted", users}, {"channelsDeleted", channels}});
        return exitFor(outcome);
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
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        users::manuser page(ctx.host, ctx.session, ctx.image);
        page.refreshUserList();
        if (ctx.session.loggedInUser == 0) {
            if (!record_) return fail("the administrator names the user with --record");
            if (const auto absent = tickRows(page.rows, {*record_}, position))
                return fail("record " + std::to_string(*absent) + " is not in the list");
        } else if (record_ && !store::mayWorkOnRecord(ctx.session, *record_)) {
            return fail("an operator may only change his own password");
        }
        const auto target = page.passwordTarget();
        if (!target) return kExitFailed;
        users::modifyuser dialog(ctx.host, ctx.session, ctx.image, target->position,
                                 target->shownName);
        dialog.newPassword = password_;
        dialog.confirm = confirm_.value_or(password_);
        const Outcome outcome = dialog.modifyPassword();
        const bool changed = outcome == Outcome::Done;
        ctx.host.summary(changed ? say(T::ChangedPassword, {std::to_string(target->position)})
                                 : say(T::ChangedNoPassword),
                         {{"record", target->position}, {"passwordChanged", changed}});
        return exitFor(outcome);
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
        addJsonFlag(app);
    }

  protected:
    int runDialog(Context& ctx, users::userdev& dialog) override {
        auto rowsJson = [](const std::vector<users::UserDeviceRow>& rows) {
            nlohmann::ordered_json out = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < rows.size(); ++i)
                out.push_back({{"row", i + 1},
                               {"slot", rows[i].slot},
                               {"ip", rows[i].ip},
                               {"port", rows[i].port}});
            return out;
        };
        if (ctx.host.json()) {
            auto& out = ctx.host.report();
            out["record"] = record_;
            out["available"] = rowsJson(dialog.left);
            out["assigned"] = rowsJson(dialog.right);
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
};

class AssignCommand : public UserDevicesBase {
  public:
    explicit AssignCommand(const LoginOptions& login)
        : UserDevicesBase("assign", "Assign devices: log in to each and create its channels", login,
                          true) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        addSlots(app);
        app.add_option("--jobs", jobs_,
                       "Devices asked at once (1.." + std::to_string(users::kMaxProbeJobs) +
                           "), the one being written included: 1 asks one after another; the "
                           "file is the same whatever the number")
            ->check(CLI::Range(1, users::kMaxProbeJobs));
        addJsonFlag(app);
        app.footer(
            "Exit status: 0 when every device given was assigned and saved; 1 when any was not\n"
            "(a failed login, counted as Error Connect or Error Password; a full device list,\n"
            "message 71; a failed save; Ctrl+C). The devices assigned before stay saved.\n");
    }

  protected:
    int runDialog(Context& ctx, users::userdev& dialog) override {
        if (!tick(dialog.left, "available")) return kExitFailed;
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        dialog.jobs = jobs_;
        dialog.sdkFactory = netSdkFactory();
        int told = -1;
        const StopOnInterrupt interrupt;
        const Outcome outcome =
            dialog.assignCheckedDevices([&](const users::userdev::RunProgress& p) {
                if (p.total > 1 && !p.ip.empty() && p.done != told) {
                    told = p.done;
                    std::cerr << "probing " << p.ip << " (" << p.done + 1 << "/" << p.total << ")"
                              << std::endl;
                }
                return !interrupt.requested();
            });
        // The result dialog's counts, also when every login succeeded (the dialog then stays
        // closed): a script has no other way to read them.
        const users::RunCounters& n = dialog.counters;
        if (!ctx.host.json()) {
            const users::udinfo result(n);
            std::cout << result.successLabel() << " " << result.successText() << "\n"
                      << result.connectLabel() << " " << result.connectText() << "\n"
                      << result.passwordLabel() << " " << result.passwordText() << std::endl;
        }
        const ImageCounts after = counter.after();
        const int assigned = after.userDevices[record_] - counter.before.userDevices[record_];
        const int channels =
            after.channels[record_].total() - counter.before.channels[record_].total();
        const int failed = n.connectError + n.passwordError;
        ctx.host.summary(
            say(T::AssignedDevices, {grouped(assigned), counted(n.checked, Noun::Device),
                                     counted(channels, Noun::Channel), grouped(failed),
                                     grouped(n.connectError), grouped(n.passwordError)}) +
                (dialog.cancelled ? say(T::StoppedByCtrlC) : ""),
            {{"record", record_},
             {"devices", n.checked},
             {"assigned", assigned},
             {"channels", channels},
             {"success", n.success},
             {"errorConnect", n.connectError},
             {"errorPassword", n.passwordError},
             {"stopped", dialog.cancelled}});
        // Done only when every device asked for was assigned and saved: a failed login, a full
        // list, a failed save or a stop each leave a device undone.
        const bool everyDevice = assigned == n.checked && failed == 0;
        return !dialog.cancelled && everyDevice ? exitFor(outcome) : kExitFailed;
    }

  private:
    int jobs_ = users::kDefaultProbeJobs;
};

class UnassignCommand : public UserDevicesBase {
  public:
    explicit UnassignCommand(const LoginOptions& login)
        : UserDevicesBase("unassign", "Take devices away from a user with their channels", login,
                          true) {}
    void setup(CLI::App& app) override {
        addRecord(app);
        addSlots(app);
        addJsonFlag(app);
    }

  protected:
    int runDialog(Context& ctx, users::userdev& dialog) override {
        if (!tick(dialog.right, "assigned")) return kExitFailed;
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        const Outcome outcome = dialog.removeCheckedDevicesFromUser();
        const ImageCounts after = counter.after();
        const int removed = counter.before.userDevices[record_] - after.userDevices[record_];
        const int channels =
            counter.before.channels[record_].total() - after.channels[record_].total();
        ctx.host.summary(
            say(T::UnassignedDevices, {counted(removed, Noun::Device), std::to_string(record_),
                                       counted(channels, Noun::Channel)}),
            {{"record", record_}, {"unassigned", removed}, {"channelsRemoved", channels}});
        return exitFor(outcome);
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
        addJsonFlag(app);
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
        const Outcome outcome = streamDialog->applyStreamBinding();
        const int devices = outcome == Outcome::Done ? static_cast<int>(slots_.size()) : 0;
        std::string line = say(T::ChangedNoStreamBinding);
        if (devices > 0 && bind_)
            line = say(T::BoundStream, {counted(devices, Noun::Device), std::to_string(record_),
                                        ip_.toString() + ":" + std::to_string(numberOf(port_)) +
                                            " " + (protocol_ == "udp" ? "UDP" : "TCP")});
        else if (devices > 0)
            line = say(T::RemovedStreamBinding,
                       {counted(devices, Noun::Device), std::to_string(record_)});
        ctx.host.summary(line, {{"record", record_}, {"devices", devices}, {"bound", bind_}});
        return exitFor(outcome);
    }

  private:
    bool bind_ = false, unbind_ = false;
    store::Ipv4Fields ip_;
    std::string port_ = "554";
    std::string protocol_ = "tcp";
};

}  // namespace

UserCommand::UserCommand() : CommandGroup("user", "Operator users and their devices") {
    add(std::make_unique<ListCommand>(login_));
    add(std::make_unique<AddCommand>(login_));
    add(std::make_unique<DeleteCommand>(login_));
    add(std::make_unique<PasswdCommand>(login_));
    add(std::make_unique<DevicesCommand>(login_));
    add(std::make_unique<AssignCommand>(login_));
    add(std::make_unique<UnassignCommand>(login_));
    add(std::make_unique<StreamCommand>(login_));
}

}  // namespace kbcfg::cli
