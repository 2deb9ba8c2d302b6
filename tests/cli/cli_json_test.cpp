// --json of every command that reports something, parsed back: one object with the command's
// keys, its summary and messages, against the simulated installation.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>

#include "support/cli_runner.h"
#include "support/temp_dir.h"

namespace kbcfg::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using Json = nlohmann::json;

class CliJsonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetEnv("VYXSIM_INSTALLATION");
        unsetEnv("KBCFG_PASSWORD");
        ASSERT_EQ(kbcfg({"new", file(), "--admin", "boss", "--password", "pw"}).status, 0);
        // Slots 0..3: one that logs in, one unreachable, one with the wrong password, one more
        // that logs in; and one operator.
        for (const char* ip : {"198.51.100.20", "198.51.100.30", "198.51.100.50", "198.51.100.51"})
            ASSERT_EQ(kbcfg(login({"device", "add", "--ip", ip, "--password", "12345"})).status, 0);
        ASSERT_EQ(kbcfg(login({"user", "add", "--name", "night", "--password", "pw1"})).status, 0);
    }
    std::string file() const { return (dir / "kb.bin").string(); }
    std::string path(const char* name) const { return (dir / name).string(); }
    std::vector<std::string> login(std::vector<std::string> args) const {
        for (const std::string& a : {std::string("-f"), file(), std::string("-u"),
                                     std::string("boss"), std::string("-p"), std::string("pw")})
            args.push_back(a);
        return args;
    }

    TempDir dir;
};

// Every key of the object, at any depth, is camelCase.
void expectCamelCase(const Json& value, const std::string& where) {
    static const std::regex camel("[a-z][a-zA-Z0-9]*");
    if (value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            EXPECT_TRUE(std::regex_match(key, camel)) << where << "." << key;
            expectCamelCase(item, where + "." + key);
        }
    } else if (value.is_array()) {
        for (const auto& item : value) expectCamelCase(item, where);
    }
}

TEST_F(CliJsonTest, EveryCommandGivesOneObjectWithItsKeys) {
    std::ofstream(dir / "devices.csv") << "198.51.100.60,8000,admin,x\nnot an address,1,2,3\n";
    std::ofstream(dir / "fw.dav") << std::string(4096, '\0');
    struct Case {
        std::vector<std::string> args;  // login options are added where `withLogin`
        bool withLogin;
        int status;
        std::vector<std::string> keys;  // besides command, messages and status
        bool summary;                   // an editing command: its summary line is there
        std::function<void(const Json&)> check;
    };
    const Case cases[] = {
        {{"check", file()},
         false,
         0,
         {"file", "version", "versionText"},
         false,
         [](const Json& j) { EXPECT_EQ(j["versionText"], "0x150420"); }},
        {{"info", file()},
         false,
         0,
         {"operators", "devices", "deviceCapacity", "channels", "streamBindings", "checksum"},
         false,
         [](const Json& j) {
             EXPECT_EQ(j["devices"].size(), 4u);
             EXPECT_EQ(j["devices"][3]["port"], 8000);
             EXPECT_EQ(j["operators"][1]["name"], "night");
         }},
        {{"device", "list"},
         true,
         0,
         {"devices"},
         false,
         [](const Json& j) { EXPECT_EQ(j["devices"][1]["ip"], "198.51.100.30"); }},
        {{"device", "add", "--ip", "198.51.100.20"},
         true,
         1,
         {"devicesAdded"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["devicesAdded"], 0);
             EXPECT_EQ(j["summary"], "added no device");
             EXPECT_EQ(
                 j["messages"],
                 Json::parse(R"([{"message":21,"text":"The device is already in the list!"}])"));
         }},
        {{"device", "add-range", "--start", "198.51.100.70", "--end", "198.51.100.72"},
         true,
         0,
         {"devicesAdded"},
         true,
         [](const Json& j) { EXPECT_EQ(j["devicesAdded"], 3); }},
        {{"device", "modify", "--slot", "4", "--slot", "5", "--username", "viewer", "--password",
          "12345"},
         true,
         0,
         {"devicesModified"},
         true,
         [](const Json& j) { EXPECT_EQ(j["devicesModified"], 2); }},
        {{"device", "delete", "--slot", "4", "--slot", "5", "--slot", "6", "--yes"},
         true,
         0,
         {"devicesDeleted", "assignmentsRemoved", "channelsDeleted"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["devicesDeleted"], 3);
             // The question is in the messages with the answer it got.
             EXPECT_EQ(j["messages"][0]["answer"], "OK");
         }},
        {{"device", "import-csv", path("devices.csv")},
         true,
         1,
         {"lines", "added", "refused", "notTried", "results"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["summary"], "added 1 of 2 lines; 1 refused, 0 not tried");
             EXPECT_EQ(j["results"][0]["message"], 23);
             EXPECT_EQ(j["results"][1]["line"], 2);
             EXPECT_TRUE(j["results"][1]["ip"].is_null());
         }},
        {{"user", "list"},
         true,
         0,
         {"users"},
         false,
         [](const Json& j) { EXPECT_EQ(j["users"][0]["username"], "night"); }},
        {{"user", "devices", "--record", "1"},
         true,
         0,
         {"record", "available", "assigned"},
         false,
         [](const Json& j) { EXPECT_EQ(j["available"].size(), 5u); }},
        {{"user", "assign", "--record", "1", "--slot", "0", "--slot", "1", "--slot", "2", "--slot",
          "3"},
         true,
         1,  // two devices failed
         {"record", "devices", "assigned", "channels", "success", "errorConnect", "errorPassword"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["devices"], 4);
             EXPECT_EQ(j["assigned"], 2);
             EXPECT_EQ(j["errorConnect"], 1);
             EXPECT_EQ(j["errorPassword"], 1);
             EXPECT_GT(j["channels"].get<int>(), 0);
             EXPECT_THAT(j["summary"].get<std::string>(), StartsWith("assigned 2 of 4 devices: "));
             EXPECT_THAT(j["summary"].get<std::string>(),
                         HasSubstr(", 2 failed (Error Connect 1, Error Password 1)"));
         }},
        {{"channel", "list", "--user", "night", "--kind", "input"},
         true,
         0,
         {"record", "kind", "channels"},
         false,
         [](const Json& j) {
             EXPECT_EQ(j["channels"][0]["position"], 0);
             EXPECT_EQ(j["channels"][0]["index"], 1);
             EXPECT_EQ(j["channels"][0]["port"], 8000);
         }},
        {{"channel", "set-index", "--user", "night", "--kind", "input", "--position", "0",
          "--index", "00000500"},
         true,
         0,
         {"record", "position", "index"},
         true,
         [](const Json& j) { EXPECT_EQ(j["index"], 500); }},
        {{"channel", "renumber", "--user", "night", "--kind", "input", "--from", "1", "--to", "3",
          "--index", "700"},
         true,
         0,
         {"record", "renumbered", "firstIndex"},
         true,
         [](const Json& j) { EXPECT_EQ(j["renumbered"], 3); }},
        {{"channel", "delete", "--user", "night", "--kind", "input", "--position", "0"},
         true,
         0,
         {"record", "channelsDeleted"},
         true,
         [](const Json& j) { EXPECT_EQ(j["channelsDeleted"], 1); }},
        {{"channel", "report", "--user", "night"},
         true,
         0,
         {"report"},
         true,
         [](const Json& j) {
             EXPECT_TRUE(std::filesystem::exists(j["report"].get<std::string>()));
         }},
        {{"user", "stream", "--record", "1", "--slot", "0", "--bind", "--ip", "203.0.113.5",
          "--port", "8554"},
         true,
         0,
         {"record", "devices", "bound"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["summary"], "bound 1 device of record 1 to 203.0.113.5:8554 TCP");
         }},
        {{"user", "unassign", "--record", "1", "--slot", "0"},
         true,
         0,
         {"record", "unassigned", "channelsRemoved"},
         true,
         [](const Json& j) {
             EXPECT_EQ(j["unassigned"], 1);
             EXPECT_GT(j["channelsRemoved"].get<int>(), 0);
         }},
        {{"user", "passwd", "--record", "1", "--password", "new"},
         true,
         0,
         {"record", "passwordChanged"},
         true,
         [](const Json& j) { EXPECT_EQ(j["passwordChanged"], true); }},
        {{"user", "add", "--name", "day"},
         true,
         0,
         {"usersAdded"},
         true,
         [](const Json& j) { EXPECT_EQ(j["summary"], "added user day"); }},
        {{"user", "delete", "--record", "2", "--yes"},
         true,
         0,
         {"usersDeleted", "channelsDeleted"},
         true,
         [](const Json& j) { EXPECT_EQ(j["usersDeleted"], 1); }},
        {{"keyboard", "export", "--ip", "198.51.100.2", "-p", "12345", "--output", path("k.bin")},
         false,
         0,
         {"ip", "port", "output", "exported"},
         true,
         [](const Json& j) { EXPECT_EQ(j["exported"], true); }},
        {{"keyboard", "import", "--ip", "198.51.100.2", "-p", "12345", "--file", path("k.bin")},
         false,
         0,
         {"ip", "port", "file", "imported"},
         true,
         [](const Json& j) { EXPECT_EQ(j["messages"][0]["message"], 178); }},
        {{"keyboard", "upgrade", "--ip", "198.51.100.2", "-p", "12345", "--file", path("fw.dav")},
         false,
         0,
         {"ip", "port", "file", "panel", "upgraded", "progress"},
         true,
         [](const Json& j) { EXPECT_EQ(j["progress"], 100); }},
        {{"discover", "--seconds", "1"},
         false,
         0,
         {"seconds", "devices", "events", "eventsLeftOut"},
         false,
         [](const Json& j) {
             ASSERT_FALSE(j["devices"].empty());
             EXPECT_EQ(j["devices"][0]["row"], 1);
             EXPECT_TRUE(j["devices"][0]["channels"].is_number());
             EXPECT_EQ(j["events"][0]["event"], "add");
         }},
        // A refused login still ends with the object: its message and the status.
        {{"device", "list", "-f", file(), "-u", "boss", "-p", "wrong"},
         false,
         1,
         {},
         false,
         [](const Json& j) {
             EXPECT_FALSE(j.contains("devices"));
             EXPECT_FALSE(j["messages"].empty());
         }},
    };
    for (const Case& c : cases) {
        auto args = c.withLogin ? login(c.args) : c.args;
        args.push_back("--json");
        std::string command;
        for (const auto& a : c.args) {
            if (a.empty() || a[0] == '-' || a.find_first_of("/\\") != std::string::npos ||
                std::isdigit(static_cast<unsigned char>(a[0])))
                break;
            command += (command.empty() ? "" : " ") + a;
        }
        SCOPED_TRACE(command);
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        Json j;
        ASSERT_NO_THROW(j = Json::parse(r.out)) << r.out;
        ASSERT_TRUE(j.is_object());
        EXPECT_EQ(j["command"], command);
        EXPECT_EQ(j["status"], r.status);
        ASSERT_TRUE(j["messages"].is_array());
        for (const auto& m : j["messages"]) {
            EXPECT_TRUE(m["message"].is_number_integer()) << m;
            EXPECT_TRUE(m["text"].is_string()) << m;
        }
        for (const auto& key : c.keys) EXPECT_TRUE(j.contains(key)) << key;
        EXPECT_EQ(j.contains("summary"), c.summary);
        expectCamelCase(j, command);
        if (c.check) c.check(j);
    }
}

// The result dialog's three counts are printed after an assignment whether or not a login failed,
// and the summary line ends the output.
TEST_F(CliJsonTest, AssignAlwaysPrintsTheThreeCountsAndASummary) {
    const Result r = kbcfg(login({"user", "assign", "--record", "1", "--slot", "0"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Success: 1\nError Connect: 0\nError Password: 0\n"));
    // std::regex: GoogleTest's own on Windows knows no groups, classes nor alternatives.
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("\nassigned 1 of 1 device: [0-9,]+ channels?, 0 failed "
                                            "\\(Error Connect 0, Error Password 0\\)\n$")))
        << r.out;
}

TEST_F(CliJsonTest, LanguageChangesTheTextsOnly) {
    const auto refuse = [this](const char* language, bool json) {
        setEnv("KBCFG_LANG", language);
        std::vector<std::string> args =
            login({"device", "add", "--ip", "203.0.113.9", "--port", "1999"});
        if (json) args.push_back("--json");
        const Result r = kbcfg(args);
        setEnv("KBCFG_LANG", "en");
        return r;
    };
    const Result en = refuse("en", false), zh = refuse("zh", false);
    EXPECT_EQ(en.status, 1);
    EXPECT_EQ(zh.status, 1);
    EXPECT_EQ(en.err, "Legal port ranges from 2000 to 65535!\n");
    EXPECT_EQ(zh.err, "合法端口范围为2000到65535！\n");
    const Result enJson = refuse("en", true), zhJson = refuse("zh", true);
    EXPECT_EQ(enJson.status, zhJson.status);
    const Json a = Json::parse(enJson.out), b = Json::parse(zhJson.out);
    EXPECT_EQ(a["messages"][0]["message"], 31);
    EXPECT_EQ(b["messages"][0]["message"], 31);
    EXPECT_EQ(b["messages"][0]["text"], "合法端口范围为2000到65535！");
}

// A failure no catalogue message covers still gives the one object, its reason under "errors"
// as stderr says it.
TEST_F(CliJsonTest, FailuresWithoutAMessageAreInTheObject) {
    const std::vector<std::vector<std::string>> failing = {
        {"user", "assign", "--record", "1", "--slot", "999"},
        {"user", "assign", "--record", "3", "--slot", "0"},
        {"device", "modify", "--slot", "3000", "--port", "9000", "--password", ""},
        {"device", "delete", "--slot", "3001", "--yes"},
    };
    for (auto args : failing) {
        args = login(args);
        args.push_back("--json");
        SCOPED_TRACE(args[6] + " " + args[7]);
        const Result r = kbcfg(args);
        EXPECT_EQ(r.status, 1);
        const Json doc = Json::parse(r.out);
        EXPECT_EQ(doc["status"], 1);
        ASSERT_EQ(doc["errors"].size(), 1u) << r.out;
        EXPECT_EQ(r.err, "kbcfg: " + doc["errors"][0].get<std::string>() + "\n");
    }
    // A command that went well has no "errors".
    const Result ok = kbcfg(login({"user", "list", "--json"}));
    EXPECT_FALSE(Json::parse(ok.out).contains("errors"));
}

}  // namespace
}  // namespace kbcfg::testing
