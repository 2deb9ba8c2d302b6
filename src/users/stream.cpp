#include "users/stream.h"

#include "store/files.h"
#include "store/messages.h"
#include "store/validators.h"

namespace kbcfg::users {

using store::Outcome;

int findStreamRecord(const store::ConfigImage& image, int op, int slot) {
    for (int i = 0; i < store::layout::kUserDeviceCount; ++i)
        if (image.stream(op, i).deviceSlot() == slot) return i;
    return -1;
}

stream::stream(store::Host& host, store::SessionState& session, store::ConfigImage& image, int op,
               int slot)
    : host_(host),
      session_(session),
      image_(image),
      op_(op),
      mode_(StreamBindingMode::Single),
      slots_{slot} {
    loadStreamBinding();
}

stream::stream(store::Host& host, store::SessionState& session, store::ConfigImage& image, int op,
               std::vector<int> slots)
    : host_(host),
      session_(session),
      image_(image),
      op_(op),
      mode_(StreamBindingMode::Batch),
      slots_(std::move(slots)) {
    if (slots_.size() > kBatchSize) slots_.resize(kBatchSize);
    loadStreamBinding();
}

std::string stream::title() {
    return store::getMessage(store::Msg::StreamSetting);
}

void stream::loadStreamBinding() {
    port = "554";
    if (mode_ == StreamBindingMode::Batch) {
        enabled = true;
        protocol = 0;
        address.clear();
        return;
    }
    const int record = findStreamRecord(image_, op_, slots_.front());
    if (record >= 0 && image_.stream(op_, record).enabled() == 1) {
        const store::StreamRecord r = image_.stream(op_, record);
        enabled = true;
        port = std::to_string(r.serverPort());
        protocol = r.protocol();
        address = store::Ipv4Fields::fromPacked(r.serverIp());
        return;
    }
    enabled = false;
    protocol = -1;
    address.clear();
    protocolEnabled = portEnabled = addressEnabled = okEnabled = false;
}

void stream::toggleStreamEnable() {
    enabled = !enabled;
    if (enabled) {
        protocolEnabled = portEnabled = addressEnabled = okEnabled = true;
        protocol = 0;
    } else {
        // OK stays usable, so the binding can be removed.
        protocolEnabled = portEnabled = addressEnabled = false;
    }
}

void stream::setBinding(int slot, bool bind, std::uint32_t ip, std::uint16_t serverPort,
                        int proto) {
    if (slot < 0 || slot >= store::layout::kDeviceCount) return;
    const int record = findStreamRecord(image_, op_, slot);
    if (record < 0) return;
    store::StreamRecord r = image_.stream(op_, record);
    r.setEnabled(bind ? 1 : 0);
    if (bind) {
        r.setServerPort(serverPort);
        r.setProtocol(static_cast<std::uint8_t>(proto));
        r.setServerIp(ip);
    }
    for (int pos = 0; pos < store::layout::kChannelCount; ++pos) {
        store::ChannelEntry e = image_.channel(op_, pos);
        if (e.deviceSlot() == slot && e.kind() == store::kInputChannel)
            e.setViaStream(bind ? 1 : 0);
    }
}

Outcome stream::applyStreamBinding() {
    const bool batch = mode_ == StreamBindingMode::Batch;
    if (enabled) {
        if (address.blank() || (address.complete() && address.packed() == 0)) {
            store::showMessage(host_, store::Msg::IpBlank);
            focus = Focus::Address;
            return Outcome::Refused;
        }
        if (!address.complete()) {
            store::showMessage(host_, store::Msg::IpFieldBlank);
            address.clear();
            focus = Focus::Address;
            return Outcome::Refused;
        }
        if (store::checkPort(port, store::PortKind::Stream) != store::Check::Ok) {
            store::showMessage(host_, store::Msg::StreamPortRange);
            port = "8000";
            return Outcome::Refused;
        }
        const auto serverPort = static_cast<std::uint16_t>(store::readNumber(port));
        const int proto = protocol == 1 ? 1 : 0;
        for (int slot : slots_) setBinding(slot, true, address.packed(), serverPort, proto);
        if (store::saveChange(host_, session_, image_) != 0) return Outcome::Refused;
        store::showMessage(host_, batch ? store::Msg::StreamBoundBatch : store::Msg::StreamBound);
        return Outcome::Done;
    }
    for (int slot : slots_) setBinding(slot, false, 0, 0, 0);
    if (store::saveChange(host_, session_, image_) != 0) return Outcome::Refused;
    store::showMessage(host_, batch ? store::Msg::StreamRemovedBatch : store::Msg::StreamRemoved);
    return Outcome::Done;
}

}  // namespace kbcfg::users
