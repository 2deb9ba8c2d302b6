#include "installation.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "codepage.h"
#include "keyboard_file.h"
#include "sim_system.h"

namespace vyxsim {

namespace {

using nlohmann::json;

// A fault in the description, with where it was found ("devices[2].port").
struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Reads the members of one object and refuses keys it does not know, so a typo is caught
// instead of silently giving a default.
class Reader {
  public:
    Reader(const json& obj, std::string where) : obj_(obj), where_(std::move(where)) {
        if (!obj_.is_object()) throw Fault(where_ + ": must be an object");
    }
    ~Reader() = default;

    bool has(const char* key) {
        known_.insert(key);
        return obj_.contains(key);
    }
    const json& raw(const char* key) {
        known_.insert(key);
        return obj_.at(key);
    }
    std::string path(const char* key) const { return where_ + "." + key; }

    int integer(const char* key, int fallback, long long lo, long long hi) {
        if (!has(key)) return fallback;
        const json& v = obj_.at(key);
        if (!v.is_number_integer()) throw Fault(path(key) + ": must be a whole number");
        const long long n = v.get<long long>();
        if (n < lo || n > hi)
            throw Fault(path(key) + ": must lie in " + std::to_string(lo) + ".." +
                        std::to_string(hi));
        return static_cast<int>(n);
    }
    long long bigInteger(const char* key, long long fallback, long long lo) {
        if (!has(key)) return fallback;
        const json& v = obj_.at(key);
        if (!v.is_number_integer() || v.get<long long>() < lo)
            throw Fault(path(key) + ": must be a whole number from " + std::to_string(lo));
        return v.get<long long>();
    }
    bool boolean(const char* key, bool fallback) {
        if (!has(key)) return fallback;
        const json& v = obj_.at(key);
        if (!v.is_boolean()) throw Fault(path(key) + ": must be true or false");
        return v.get<bool>();
    }
    std::string text(const char* key, const std::string& fallback) {
        if (!has(key)) return fallback;
        const json& v = obj_.at(key);
        if (!v.is_string()) throw Fault(path(key) + ": must be a string");
        return v.get<std::string>();
    }
    // Text as the libraries hand it over: in the tool's code page.
    std::string text8(const char* key, const std::string& fallback = "") {
        return toCodePage(text(key, fallback));
    }
    std::string address(const char* key) {
        if (!has(key)) throw Fault(path(key) + ": missing");
        const std::string t = text(key, "");
        unsigned a[4];
        char tail;
        if (std::sscanf(t.c_str(), "%u.%u.%u.%u%c", &a[0], &a[1], &a[2], &a[3], &tail) != 4 ||
            *std::max_element(a, a + 4) > 255)
            throw Fault(path(key) + ": \"" + t + "\" is not an IPv4 address");
        // The tool always formats "%d.%d.%d.%d"; compare in that form.
        return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) +
               "." + std::to_string(a[3]);
    }
    void finish() const {
        for (auto it = obj_.begin(); it != obj_.end(); ++it)
            if (!known_.count(it.key())) throw Fault(where_ + ": unknown key \"" + it.key() + "\"");
    }

  private:
    const json& obj_;
    std::string where_;
    std::set<std::string> known_;
};

const json& arrayAt(Reader& r, const char* key) {
    const json& v = r.raw(key);
    if (!v.is_array()) throw Fault(r.path(key) + ": must be an array");
    return v;
}

PortGroup readGroup(Reader& parent, const char* key) {
    PortGroup g;
    if (!parent.has(key)) return g;
    Reader r(parent.raw(key), parent.path(key));
    g.count = r.integer("count", 0, 0, 255);
    g.first = r.integer("first", g.count ? 1 : 0, 0, 255);
    r.finish();
    return g;
}

// A description larger than this is not a description.
constexpr std::size_t kMaxDescriptionBytes = 16u << 20;

std::vector<std::uint8_t> readFile(const std::string& path, const std::string& where) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!sys::readRegularFile(path, kMaxKeyboardFileBytes, sys::Links::Follow, bytes, error))
        throw Fault(where + ": cannot read \"" + path + "\": " + error);
    if (bytes.empty()) throw Fault(where + ": \"" + path + "\" is empty");
    return bytes;
}

constexpr int kMaxDelayMs = 600'000;

// A node's own latency keys, each falling back to the installation's default. Without either,
// the login takes as long as any other call.
Latency readLatency(Reader& r, const Latency& defaults, bool defaultLogin) {
    Latency l;
    l.latencyMs = r.integer("latencyMs", defaults.latencyMs, 0, kMaxDelayMs);
    l.loginMs = r.integer("loginMs", defaultLogin ? defaults.loginMs : l.latencyMs, 0, kMaxDelayMs);
    l.timeoutMs = r.integer("timeoutMs", defaults.timeoutMs, 0, kMaxDelayMs);
    return l;
}

// The installation's defaults; defaultLogin tells whether it gave a login time of its own.
struct LatencyDefaults {
    Latency latency;
    bool loginGiven = false;
};

// The files the keyboards of one description hold, by full name: read once however many name
// them.
using StoredFiles = std::map<std::string, std::shared_ptr<const std::vector<std::uint8_t>>>;

Keyboard readKeyboard(const json& j, const std::string& where, const std::string& baseDir,
                      const LatencyDefaults& defaults, StoredFiles& files, bool& generate) {
    Reader r(j, where);
    Keyboard k;
    k.address = r.address("address");
    k.port = r.integer("port", 8000, 1, 65535);
    k.password = r.text8("password");
    k.name = r.text8("name", "Keyboard");
    k.serial = r.text8("serial");
    k.typeCode = r.integer("type", 0, 0, 65535);
    k.reachable = r.boolean("reachable", true);
    k.latency = readLatency(r, defaults.latency, defaults.loginGiven);
    k.refuseImport = r.boolean("refuseImport", false);
    k.forgetImport = r.boolean("forgetImport", false);
    k.refuseRollback = r.boolean("refuseRollback", false);
    const std::string file = r.text("configFile", "generated");
    if (file.empty()) throw Fault(r.path("configFile") + ": empty");
    generate = file == "generated";
    if (!generate) {
        // Relative to the description, so an installation folder can be moved as a whole.
        const std::string full =
            file.front() == '/' || baseDir.empty() ? file : baseDir + "/" + file;
        auto& stored = files[full];
        if (!stored)
            stored = std::make_shared<const std::vector<std::uint8_t>>(
                readFile(full, r.path("configFile")));
        k.storedFile = stored;
    }
    if (r.has("upgrade")) {
        Reader u(r.raw("upgrade"), r.path("upgrade"));
        k.upgrade.ticks = u.integer("ticks", 6, 0, 1'000'000);
        k.upgrade.finalState = u.integer("finalState", 1, -1'000'000, 1'000'000);
        k.upgrade.refuse = u.boolean("refuse", false);
        k.upgrade.encryptRefuses = u.boolean("encryptRefuses", false);
        if (u.has("panelSteps")) {
            k.upgrade.panelSteps.clear();
            for (const json& s : arrayAt(u, "panelSteps")) {
                if (!s.is_number_integer()) throw Fault(u.path("panelSteps") + ": whole numbers");
                k.upgrade.panelSteps.push_back(s.get<int>());
            }
            if (k.upgrade.panelSteps.empty()) throw Fault(u.path("panelSteps") + ": empty");
        }
        u.finish();
    }
    r.finish();
    return k;
}

Device readDevice(const json& j, const std::string& where, const LatencyDefaults& defaults) {
    Reader r(j, where);
    Device d;
    d.address = r.address("address");
    d.port = r.integer("port", 8000, 1, 65535);
    d.userName = r.text8("userName", "admin");
    d.password = r.text8("password");
    d.storedPassword = r.has("storedPassword") ? r.text8("storedPassword") : d.password;
    d.inConfigFile = r.boolean("inConfigFile", true);
    d.reachable = r.boolean("reachable", true);
    d.latency = readLatency(r, defaults.latency, defaults.loginGiven);
    d.typeCode = r.integer("type", 0, 0, 65535);
    d.name = r.text8("name");
    d.serial = r.text8("serial");
    d.analogChannels = r.integer("analogChannels", 0, 0, 255);
    d.firstChannel = r.integer("firstChannel", 1, 0, 255);
    if (r.has("ipChannels")) {
        for (const json& c : arrayAt(r, "ipChannels")) {
            if (!c.is_number_integer() || c.get<long long>() < 0 || c.get<long long>() > 31)
                throw Fault(r.path("ipChannels") + ": entries are IP channel numbers 0..31");
            d.ipChannels[static_cast<std::size_t>(c.get<int>())] = true;
        }
    }
    if (r.has("outputs")) {
        Reader o(r.raw("outputs"), r.path("outputs"));
        d.vga = readGroup(o, "vga");
        d.bnc = readGroup(o, "bnc");
        d.hdmi = readGroup(o, "hdmi");
        d.dvi = readGroup(o, "dvi");
        o.finish();
    }
    d.tvWalls = readGroup(r, "tvWalls");
    d.sceneXml = r.text("sceneXml", "");
    if (r.has("channelNames")) {
        const json& names = r.raw("channelNames");
        if (!names.is_object()) throw Fault(r.path("channelNames") + ": must be an object");
        for (auto it = names.begin(); it != names.end(); ++it) {
            char* end = nullptr;
            const long n = std::strtol(it.key().c_str(), &end, 10);
            if (it.key().empty() || *end || n < 0 || n > 65535 || !it.value().is_string())
                throw Fault(r.path("channelNames") + ": \"" + it.key() +
                            "\" must be a channel number with a string");
            d.channelNames[static_cast<int>(n)] = toCodePage(it.value().get<std::string>());
        }
    }
    r.finish();
    return d;
}

FoundEvent readEvent(const json& j, const std::string& where) {
    Reader r(j, where);
    FoundEvent e;
    e.atMs = r.integer("atMs", 0, 0, 86'400'000);
    e.code = r.integer("code", 1, -1'000'000, 1'000'000);
    e.serial = r.text8("serial");
    e.mac = r.text8("mac");
    e.ip = r.text8("ip");
    e.mask = r.text8("mask", "255.255.255.0");
    e.softwareVersion = r.text8("softwareVersion");
    e.dspVersion = r.text8("dspVersion");
    e.startTime = r.text8("startTime");
    e.description = r.text8("description");
    e.port = static_cast<std::uint32_t>(r.bigInteger("port", 8000, 0));
    e.channels = static_cast<std::uint32_t>(r.bigInteger("channels", 0, 0));
    r.finish();
    return e;
}

}  // namespace

int Device::ipChannelCount() const {
    return static_cast<int>(std::count(ipChannels.begin(), ipChannels.end(), true));
}

std::unique_ptr<Installation> parseInstallation(const std::string& text, const std::string& baseDir,
                                                std::string& error) {
    try {
        const json doc = json::parse(text);
        Reader top(doc, "installation");
        auto inst = std::make_unique<Installation>();
        LatencyDefaults defaults;
        defaults.loginGiven = top.has("loginMs");
        defaults.latency = readLatency(top, Latency{}, false);
        std::vector<bool> generate;
        StoredFiles files;
        if (top.has("keyboards")) {
            const json& list = arrayAt(top, "keyboards");
            for (std::size_t i = 0; i < list.size(); ++i) {
                bool gen = false;
                inst->keyboards.push_back(readKeyboard(list[i],
                                                       "keyboards[" + std::to_string(i) + "]",
                                                       baseDir, defaults, files, gen));
                generate.push_back(gen);
            }
        }
        if (top.has("devices")) {
            const json& list = arrayAt(top, "devices");
            for (std::size_t i = 0; i < list.size(); ++i)
                inst->devices.push_back(
                    readDevice(list[i], "devices[" + std::to_string(i) + "]", defaults));
        }
        if (top.has("discovery")) {
            Reader d(top.raw("discovery"), "discovery");
            DiscoveryScript& s = inst->discovery;
            s.startFails = d.boolean("startFails", false);
            s.repeatMs = d.integer("repeatMs", 0, 0, 86'400'000);
            if (d.has("events")) {
                const json& list = arrayAt(d, "events");
                for (std::size_t i = 0; i < list.size(); ++i)
                    s.events.push_back(
                        readEvent(list[i], "discovery.events[" + std::to_string(i) + "]"));
                std::stable_sort(
                    s.events.begin(), s.events.end(),
                    [](const FoundEvent& a, const FoundEvent& b) { return a.atMs < b.atMs; });
            }
            if (d.has("burst")) {
                Reader b(d.raw("burst"), d.path("burst"));
                s.hasBurst = true;
                s.burst.rate = b.integer("rate", 0, 0, 10'000'000);
                s.burst.devices = b.integer("devices", 16, 1, 65'000);
                s.burst.count = b.bigInteger("count", 0, 0);
                b.finish();
            }
            d.finish();
        }
        top.finish();

        std::set<std::pair<std::string, int>> endpoints;
        auto claim = [&](const std::string& address, int port, const std::string& where) {
            if (!endpoints.insert({address, port}).second)
                throw Fault(where + ": " + address + ":" + std::to_string(port) +
                            " is described twice");
        };
        for (std::size_t i = 0; i < inst->keyboards.size(); ++i)
            claim(inst->keyboards[i].address, inst->keyboards[i].port,
                  "keyboards[" + std::to_string(i) + "]");
        for (std::size_t i = 0; i < inst->devices.size(); ++i)
            claim(inst->devices[i].address, inst->devices[i].port,
                  "devices[" + std::to_string(i) + "]");

        // Generated from the devices alike for every keyboard: once.
        std::shared_ptr<const std::vector<std::uint8_t>> generated;
        for (std::size_t i = 0; i < inst->keyboards.size(); ++i) {
            if (!generate[i]) continue;
            if (!generated)
                generated = std::make_shared<const std::vector<std::uint8_t>>(
                    generateKeyboardFile(inst->devices));
            inst->keyboards[i].storedFile = generated;
        }
        return inst;
    } catch (const Fault& f) {
        error = f.what();
    } catch (const json::parse_error& e) {
        error = e.what();  // names the line and column
    } catch (const json::exception& e) {
        // A number beyond what a double holds, or a value of a shape no check foresaw.
        error = std::string("installation: ") + e.what();
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

const Installation& currentInstallation(bool& reloaded) {
    // Never destroyed: a library thread may still read it while the process exits.
    struct Cache {
        std::unique_ptr<Installation> inst;
        bool loaded = false;
        std::string path;
        sys::Stamp stamp;
    };
    static Cache& cache = *new Cache;

    reloaded = false;
    const std::string path = sys::environment("VYXSIM_INSTALLATION");
    const sys::Stamp stamp = sys::stampOf(path);
    if (cache.loaded && path == cache.path && (path.empty() || stamp == cache.stamp))
        return *cache.inst;

    cache.loaded = true;
    cache.path = path;
    cache.stamp = stamp;
    reloaded = true;

    std::string error;
    std::string text;
    if (path.empty()) {
        text = demoInstallationJson();
    } else {
        std::vector<std::uint8_t> bytes;
        if (sys::readRegularFile(path, kMaxDescriptionBytes, sys::Links::Follow, bytes, error))
            text.assign(bytes.begin(), bytes.end());
        else
            error = "cannot read the file: " + error;
    }
    std::unique_ptr<Installation> inst;
    if (error.empty()) {
        const auto slash = path.find_last_of(sys::kSeparators);
        inst =
            parseInstallation(text, slash == std::string::npos ? "" : path.substr(0, slash), error);
    }
    if (!inst) {
        std::fprintf(stderr, "vyxsim: %s: %s; the simulated installation is empty\n",
                     path.empty() ? "built-in demo" : path.c_str(), error.c_str());
        inst = std::make_unique<Installation>();
    }
    cache.inst = std::move(inst);
    return *cache.inst;
}

}  // namespace vyxsim
