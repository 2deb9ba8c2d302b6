#include "cli/device_command.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>
#include <set>

#include "cli/change_summary.h"
#include "cli/csv.h"
#include "cli/json_output.h"
#include "cli/terminal_host.h"
#include "cli/text_options.h"
#include "devices/devadd.h"
#include "devices/mandev.h"
#include "devices/modifydev.h"
#include "store/csv.h"
#include "store/messages.h"

namespace kbcfg::cli {

namespace {

using T = store::OwnText;

using store::Outcome;

// The boxes the add dialogs share, with the dialog's defaults.
struct Credentials {
    std::string port = "8000";
    std::string userName = "admin";
    std::string password;

    void declare(CLI::App& app) {
        app.add_option("--port", port, "Device port, as typed (default 8000)");
        app.add_option("--username", userName, "User name for the device (default admin)");
        app.add_option("--password", password, "Password for the device (default empty)");
    }
    void fill(devices::devadd& dialog) const {
        dialog.port = port;
        dialog.userName = userName;
        dialog.password = password;
    }
};

class ListCommand : public LoginCommand {
  public:
    explicit ListCommand(const LoginOptions& login)
        : LoginCommand("list", "List the devices as the device page shows them", login, true) {}
    void setup(CLI::App& app) override { addJsonFlag(app); }

  protected:
    int runLoggedIn(Context& ctx) override {
        devices::mandev page(ctx.host, ctx.session, ctx.image);
        page.refreshDeviceList();
        if (ctx.host.json()) {
            auto& rows = ctx.host.report()["devices"] = nlohmann::ordered_json::array();
            for (std::size_t i = 0; i < page.rows.size(); ++i) {
                const auto& r = page.rows[i];
                rows.push_back({{"row", i + 1},
                                {"slot", r.slot},
                                {"ip", r.ip},
                                {"port", r.port},
                                {"username", r.userName}});
            }
            return kExitOk;
        }
        std::printf("%-5s %-5s %-16s %-6s %s\n", "row", "slot", "ip", "port", "username");
        for (std::size_t i = 0; i < page.rows.size(); ++i) {
            const auto& r = page.rows[i];
            std::printf("%-5zu %-5d %-16s %-6u %s\n", i + 1, r.slot, r.ip.c_str(), r.port,
                        r.userName.c_str());
        }
        std::fflush(stdout);
        return kExitOk;
    }
};

// The summary of a command that adds devices, from the devices in use before and after.
void summarizeAdded(Context& ctx, const ChangeCounter& counter) {
    const int added = counter.after().devices - counter.before.devices;
    ctx.host.summary(
        added > 0 ? say(T::AddedDevices, {counted(added, Noun::Device)}) : say(T::AddedNoDevice),
        {{"devicesAdded", added}});
}

class AddCommand : public LoginCommand {
  public:
    explicit AddCommand(const LoginOptions& login)
        : LoginCommand("add", "Add one device (the Single IP add)", login, true) {}
    void setup(CLI::App& app) override {
        addAddressOption(app, "--ip", ip_, "Device address")->required();
        credentials_.declare(app);
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        int refresh = 0;
        devices::devadd dialog(ctx.host, ctx.session, ctx.image, &refresh);
        dialog.setType(devices::devadd::Type::SingleIp);
        dialog.startIp = ip_;
        credentials_.fill(dialog);
        const Outcome outcome = dialog.addSingleDevice();
        summarizeAdded(ctx, counter);
        return exitFor(outcome);
    }

  private:
    store::Ipv4Fields ip_;
    Credentials credentials_;
};

class AddRangeCommand : public LoginCommand {
  public:
    explicit AddRangeCommand(const LoginOptions& login)
        : LoginCommand("add-range", "Add a run of addresses (the Batch IP add)", login, true) {}
    void setup(CLI::App& app) override {
        addAddressOption(app, "--start", start_, "First address")->required();
        addAddressOption(app, "--end", end_, "Last address (same first three octets)")->required();
        credentials_.declare(app);
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        int refresh = 0;
        devices::devadd dialog(ctx.host, ctx.session, ctx.image, &refresh);
        dialog.setType(devices::devadd::Type::BatchIp);
        dialog.startIp = start_;
        dialog.endIp = end_;
        credentials_.fill(dialog);
        const Outcome outcome = dialog.addDeviceRange();
        summarizeAdded(ctx, counter);
        return exitFor(outcome);
    }

  private:
    store::Ipv4Fields start_, end_;
    Credentials credentials_;
};

// Ticks the rows of the given slots on a freshly listed page; a slot that is not listed is an
// error, as no such row could be ticked on the page.
bool tickSlots(devices::mandev& page, const std::vector<int>& slots, std::string& missing) {
    page.refreshDeviceList();
    const auto absent =
        tickRows(page.rows, slots, [](const devices::DeviceRow& row) { return row.slot; });
    if (absent) missing = std::to_string(*absent);
    return !absent;
}

class ModifyCommand : public LoginCommand {
  public:
    explicit ModifyCommand(const LoginOptions& login)
        : LoginCommand("modify", "Give the devices of the slots one port and credentials", login,
                       true) {}
    void setup(CLI::App& app) override {
        app.add_option("--slot", slots_, "Device slot (repeatable)")->required();
        app.add_option("--port", port_,
                       "Port, as typed (default: the port of the lowest slot given, as the "
                       "dialog shows it)");
        app.add_option("--username", userName_,
                       "User name (default: the user name of the lowest slot given)");
        app.add_option("--password", password_,
                       "Password, written with the port and user name (required; '' clears it)");
        // The dialog writes its password box with the rest, and the box starts empty: a modify
        // that only meant the port would blank every device's password.
        app.callback([this] {
            if (!password_)
                throw CLI::ValidationError(
                    "--password is required: device modify writes the password together with "
                    "the port and user name (--password '' clears it)");
        });
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        devices::mandev page(ctx.host, ctx.session, ctx.image);
        std::string missing;
        if (!tickSlots(page, slots_, missing))
            return fail("slot " + missing + " is not a device of the list");
        auto flags = page.modifyFlags();
        if (!flags) return kExitFailed;
        devices::modifydev dialog(ctx.host, ctx.session, ctx.image, *flags, &page.refreshFlag);
        if (port_) dialog.port = *port_;
        if (userName_) dialog.userName = *userName_;
        dialog.password = *password_;
        const Outcome outcome = dialog.modify();
        const int modified = outcome == Outcome::Done ? static_cast<int>(slots_.size()) : 0;
        ctx.host.summary(modified > 0 ? say(T::ModifiedDevices, {counted(modified, Noun::Device)})
                                      : say(T::ModifiedNoDevice),
                         {{"devicesModified", modified}});
        return exitFor(outcome);
    }

  private:
    std::vector<int> slots_;
    std::optional<std::string> port_, userName_, password_;
};

class DeleteCommand : public LoginCommand {
  public:
    explicit DeleteCommand(const LoginOptions& login)
        : LoginCommand("delete", "Delete the devices of the slots and every reference to them",
                       login, true) {}
    void setup(CLI::App& app) override {
        app.add_option("--slot", slots_, "Device slot (repeatable)")->required();
        app.add_flag("--yes", yes_, "Confirm without asking");
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        devices::mandev page(ctx.host, ctx.session, ctx.image);
        std::string missing;
        if (!tickSlots(page, slots_, missing))
            return fail("slot " + missing + " is not a device of the list");
        ctx.host.setAssumeYes(yes_);
        const ChangeCounter counter(ctx.image, ctx.session.configPath);
        const Outcome outcome = page.deleteCheckedDevices();
        const ImageCounts after = counter.after();
        const int devices = counter.before.devices - after.devices;
        const int assignments = counter.before.allUserDevices() - after.allUserDevices();
        const int channels = counter.before.allChannels() - after.allChannels();
        ctx.host.summary(
            devices > 0 ? say(T::DeletedDevicesWith, {counted(devices, Noun::Device),
                                                      counted(assignments, Noun::UserAssignment),
                                                      counted(channels, Noun::Channel)})
                        : say(T::DeletedNoDevice),
            {{"devicesDeleted", devices},
             {"assignmentsRemoved", assignments},
             {"channelsDeleted", channels}});
        return exitFor(outcome);
    }

  private:
    std::vector<int> slots_;
    bool yes_ = false;
};

// Captures the messages of one add, so each input line gets one result line.
class LineHost : public store::ForwardingHost {
  public:
    using ForwardingHost::ForwardingHost;
    void showMessage(int number, const std::string& text) override {
        last = number;
        lastText = text;
    }

    int last = 0;
    std::string lastText;
};

class ImportCsvCommand : public LoginCommand {
  public:
    explicit ImportCsvCommand(const LoginOptions& login)
        : LoginCommand("import-csv",
                       "Add devices from CSV lines ip,port,username,password (one Single IP add "
                       "per line)",
                       login, true) {}
    void setup(CLI::App& app) override {
        app.add_option("CSV", csv_, "CSV file ('-' for standard input); # starts a comment")
            ->required();
        addJsonFlag(app);
    }

  protected:
    int runLoggedIn(Context& ctx) override {
        std::string readError;
        const auto lines = readCsvLines(csv_, readError);
        if (!lines) return fail(readError);
        // Every line that names a device counts: added, refused (malformed or refused by the
        // add), or not tried once the table is full.
        int total = 0, added = 0, refused = 0, notTried = 0;
        bool full = false;
        nlohmann::ordered_json results = nlohmann::ordered_json::array();
        // One result per line tried: a line on stdout (added) or stderr, or an entry of the JSON.
        auto note = [&](std::size_t i, const std::string& ip, bool wasAdded, int message,
                        const std::string& text) {
            if (ctx.host.json()) {
                results.push_back(
                    {{"line", i + 1},
                     {"ip", ip.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(ip)},
                     {"added", wasAdded},
                     {"message",
                      message ? nlohmann::ordered_json(message) : nlohmann::ordered_json()},
                     {"text", text}});
                return;
            }
            std::ostream& out = wasAdded ? std::cout : std::cerr;
            out << csv_ << ":" << i + 1 << ": " << (ip.empty() ? "" : ip + ": ") << text
                << std::endl;
        };
        for (std::size_t i = 0; i < lines->size(); ++i) {
            std::vector<std::string> fields;
            std::string error;
            const bool parsed = store::parseCsvLine((*lines)[i], fields, error);
            if (parsed && fields.empty()) continue;  // blank line or comment
            ++total;
            if (full) {
                ++notTried;
                continue;
            }
            std::optional<store::Ipv4Fields> ip;
            if (parsed && fields.size() == 4) ip = store::Ipv4Fields::parse(fields[0]);
            if (!ip) {
                note(i, "", false, 0, parsed ? "expected ip,port,username,password" : error);
                ++refused;
                continue;
            }
            if (!ip->hostFirstOctet()) {
                note(i, "", false, 0, hostAddressProblem("address", fields[0]));
                ++refused;
                continue;
            }
            LineHost lineHost(ctx.host);
            int refresh = 0;
            devices::devadd dialog(lineHost, ctx.session, ctx.image, &refresh);
            dialog.startIp = *ip;
            dialog.port = fields[1];
            dialog.userName = fields[2];
            dialog.password = fields[3];
            const bool wasAdded = dialog.addSingleDevice() == Outcome::Done;
            note(i, fields[0], wasAdded, lineHost.last, lineHost.lastText);
            ++(wasAdded ? added : refused);
            full = dialog.tableFull;
        }
        if (total == 0)
            return fail(csv_ + ": no device lines (the file is empty or holds only comments)");
        const bool all = added == total;
        std::string line = say(T::AddedLinesOf, {std::to_string(added), std::to_string(total)});
        if (!all)
            line +=
                say(T::LinesRefusedNotTried, {std::to_string(refused), std::to_string(notTried)});
        ctx.host.summary(line, {{"lines", total},
                                {"added", added},
                                {"refused", refused},
                                {"notTried", notTried},
                                {"results", results}});
        return all ? kExitOk : kExitFailed;
    }

  private:
    std::string csv_;
};

}  // namespace

DeviceCommand::DeviceCommand() : CommandGroup("device", "The device table (administrator only)") {
    add(std::make_unique<ListCommand>(login_));
    add(std::make_unique<AddCommand>(login_));
    add(std::make_unique<AddRangeCommand>(login_));
    add(std::make_unique<ModifyCommand>(login_));
    add(std::make_unique<DeleteCommand>(login_));
    add(std::make_unique<ImportCsvCommand>(login_));
}

}  // namespace kbcfg::cli
