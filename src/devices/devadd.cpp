#include "devices/devadd.h"

#include <unordered_map>

#include "store/ansi.h"
#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::devices {

using store::Outcome;

devadd::devadd(store::Host& host, store::SessionState& session, store::ConfigImage& image,
               int* refreshFlag)
    : host_(host), session_(session), image_(image), mode_(Mode::Normal) {
    if (refreshFlag) *refreshFlag = 1;
}

devadd::devadd(store::Host& host, store::SessionState& session, store::ConfigImage& image,
               int* refreshFlag, const store::Ipv4Fields& presetIp, int presetPort)
    : devadd(host, session, image, refreshFlag) {
    mode_ = Mode::Preset;
    startIp = presetIp;
    port = std::to_string(presetPort);
}

std::string devadd::title() {
    return store::getMessage(store::Msg::TitleAddDevice);
}

std::string devadd::startIpLabel() const {
    return store::getMessage(type_ == Type::SingleIp ? store::Msg::Ip : store::Msg::StartIpLabel);
}

void devadd::setType(Type type) {
    if (mode_ == Mode::Preset) return;  // the list is disabled: a found device is one address
    type_ = type;
}

Outcome devadd::add() {
    return type_ == Type::SingleIp ? addSingleDevice() : addDeviceRange();
}

bool devadd::portValid() {
    if (store::checkPort(port, store::PortKind::Device) == store::Check::Ok) return true;
    store::showMessage(host_, store::Msg::PortRange);
    port = "8000";
    password.clear();
    focus = Focus::Port;
    return false;
}

void devadd::fillSlot(int slot, std::uint32_t ip) {
    store::DeviceRecord dev = image_.device(slot);
    dev.setInUse(1);
    dev.setIp(ip);
    dev.setPort(static_cast<std::uint16_t>(store::readNumber(port)));
    dev.setUserName(store::toAnsi(userName));
    dev.setPassword(store::toAnsi(password));
}

Outcome devadd::addSingleDevice() {
    lastAdded = 0;
    tableFull = false;
    if (!startIp.complete()) {
        store::showMessage(host_, store::Msg::IpFieldBlank);
        startIp.clear();
        focus = Focus::StartIp;
        return Outcome::Refused;
    }
    if (!portValid()) return Outcome::Refused;
    if (userName.empty()) {
        store::showMessage(host_, store::Msg::UserNameBlank);
        focus = Focus::UserName;
        return Outcome::Refused;
    }
    const std::uint32_t ip = startIp.packed();
    const bool duplicate = image_.deviceIpExists(ip);
    if (duplicate) {
        store::showMessage(host_, store::Msg::DeviceAlreadyListed);
        if (mode_ == Mode::Preset) closeRequested = true;
    }
    const int slot = image_.findFreeDeviceSlot();
    if (slot < 0) {
        tableFull = true;
        store::showMessage(host_, store::Msg::DeviceListFull);
        return Outcome::Refused;
    }
    if (duplicate) {
        startIp.clear();
        password.clear();
        return Outcome::Refused;
    }
    if (const auto check = store::checkUserName(userName);
        check == store::Check::TooLong || check == store::Check::BadCharacter) {
        store::showMessage(host_, *store::userNameMessage(check));
        userName.clear();
        password.clear();
        focus = Focus::UserName;
        return Outcome::Refused;
    }
    if (const auto message = store::passwordMessage(store::checkPassword(password))) {
        store::showMessage(host_, *message);
        password.clear();
        focus = Focus::Password;
        return Outcome::Refused;
    }
    fillSlot(slot, ip);
    // A failed save has said so; the device stays in memory but is not reported as added.
    if (store::saveChange(host_, session_, image_) != 0) return Outcome::Refused;
    lastAdded = 1;
    store::showMessage(host_, store::Msg::DeviceAdded);
    userName.clear();
    password.clear();
    if (mode_ == Mode::Preset) {
        closeRequested = true;
        return Outcome::Done;
    }
    startIp.clear();
    return Outcome::Done;
}

Outcome devadd::addDeviceRange() {
    lastAdded = 0;
    tableFull = false;
    if (!rangeFieldsValid()) return Outcome::Refused;
    const RangeRun run = fillRange();
    const bool saved = store::saveChange(host_, session_, image_) == 0;
    userName.clear();
    password.clear();
    if (!saved) return Outcome::Refused;
    return reportRange(run);
}

bool devadd::rangeFieldsValid() {
    // A bad address starts the range over.
    auto refuseRange = [this](store::Msg message) {
        store::showMessage(host_, message);
        startIp.clear();
        endIp.clear();
        focus = Focus::StartIp;
        return false;
    };
    if (!startIp.complete()) return refuseRange(store::Msg::StartIpFieldBlank);
    if (!endIp.complete()) {
        store::showMessage(host_, store::Msg::EndIpFieldBlank);
        endIp.clear();
        focus = Focus::EndIp;
        return false;
    }
    const auto& s = startIp.octets;
    const auto& e = endIp.octets;
    if (s[0] != e[0] || s[1] != e[1] || s[2] != e[2])
        return refuseRange(store::Msg::StartEndIpSameNetwork);
    if (*e[3] < *s[3]) return refuseRange(store::Msg::EndIpNotAboveStart);
    if (!portValid()) return false;
    if (const auto check = store::checkUserName(userName); check != store::Check::Ok) {
        store::showMessage(host_, *store::userNameMessage(check));
        if (check != store::Check::Empty) {
            userName.clear();
            password.clear();
        }
        focus = Focus::UserName;
        return false;
    }
    if (const auto message = store::passwordMessage(store::checkPassword(password))) {
        store::showMessage(host_, *message);
        password.clear();
        focus = Focus::Password;
        return false;
    }
    return true;
}

devadd::RangeRun devadd::fillRange() {
    // One pass over the table instead of a scan per address: how many records (used or free, so
    // 0.0.0.0 counts while a record is free) hold each address, and a cursor for free slots,
    // which only fill up during the run.
    std::unordered_map<std::uint32_t, int> held;
    held.reserve(store::layout::kDeviceCount * 2);
    for (int slot = 0; slot < store::layout::kDeviceCount; ++slot) ++held[image_.device(slot).ip()];
    auto isHeld = [&](std::uint32_t ip) {
        auto it = held.find(ip);
        return it != held.end() && it->second > 0;
    };
    int freeCursor = 0;
    auto nextFreeSlot = [&] {
        while (freeCursor < store::layout::kDeviceCount && image_.device(freeCursor).inUse() != 0)
            ++freeCursor;
        return freeCursor < store::layout::kDeviceCount ? freeCursor : -1;
    };

    const auto& s = startIp.octets;
    const int first = *s[3];
    const int last = *endIp.octets[3];
    RangeRun run;
    run.total = last - first + 1;
    auto address = [&](int x) {
        return store::packIp(*s[0], *s[1], *s[2], static_cast<std::uint8_t>(x));
    };
    for (int x = first; x <= last; ++x) {
        const int slot = nextFreeSlot();
        if (slot < 0) {
            run.full = true;
            break;
        }
        while (x <= last && isHeld(address(x))) {
            ++run.duplicates;
            ++x;
        }
        if (x > last) break;
        const std::uint32_t ip = address(x);
        --held[image_.device(slot).ip()];
        fillSlot(slot, ip);
        ++held[ip];
        ++lastAdded;
    }
    return run;
}

// After a saved run: what it did, and the fields ready for the next range.
Outcome devadd::reportRange(const RangeRun& run) {
    if (run.full) {
        tableFull = true;
        store::showMessage(host_, lastAdded == 0 ? store::Msg::DeviceListFull
                                                 : store::Msg::DevicesNotAddedListFull);
        return lastAdded == 0 ? Outcome::Refused : Outcome::Done;
    }
    if (run.duplicates == 0) {
        store::showMessage(host_, store::Msg::DevicesAdded);
    } else if (run.duplicates == run.total) {
        store::showMessage(host_, store::Msg::DevicesAllListed);
    } else {
        store::showMessage(host_, store::Msg::DevicesAddedExceptRepeats);
    }
    startIp.clear();
    endIp.clear();
    return lastAdded > 0 ? Outcome::Done : Outcome::Refused;
}

}  // namespace kbcfg::devices
