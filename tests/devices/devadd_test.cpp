#include "devices/devadd.h"

#include <gmock/gmock.h>

#include <random>

#include "support/fresh_config.h"

namespace kbcfg::devices {
namespace {

using store::Msg;

using store::Ipv4Fields;
using store::Outcome;
using store::packIp;
using ::testing::ElementsAre;

class DevaddTest : public testing::FreshConfig {
  protected:
    int refresh = 0;
    devadd dialog{host, session, *image, &refresh};

    void fillTable(int except = -1) {
        for (int s = 0; s < store::layout::kDeviceCount; ++s)
            if (s != except)
                addDevice(s, packIp(172, 16, static_cast<std::uint8_t>(s >> 8), s & 255));
    }
};

TEST_F(DevaddTest, OpeningSetsTheRefreshFlagAndDefaults) {
    EXPECT_EQ(refresh, 1);
    EXPECT_EQ(dialog.port, "8000");
    EXPECT_EQ(dialog.userName, "admin");
    EXPECT_EQ(dialog.startIpLabel(), "IP");
    EXPECT_FALSE(dialog.endIpEnabled());
    dialog.setType(devadd::Type::BatchIp);
    EXPECT_EQ(dialog.startIpLabel(), "Start IP:");
    EXPECT_TRUE(dialog.endIpEnabled());
}

TEST_F(DevaddTest, SingleAddChecksInOrder) {
    dialog.startIp.octets = {10, 0, std::nullopt, 5};
    dialog.port = "";
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    EXPECT_TRUE(dialog.startIp.blank());
    EXPECT_EQ(dialog.focus, devadd::Focus::StartIp);

    dialog.startIp = Ipv4Fields::of(10, 0, 0, 5);
    dialog.password = "secret";
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);  // a blank port is a range error
    EXPECT_EQ(dialog.port, "8000");
    EXPECT_EQ(dialog.password, "");
    EXPECT_EQ(dialog.focus, devadd::Focus::Port);

    for (const char* bad : {"1999", "65536", "abc"}) {
        dialog.port = bad;
        dialog.addSingleDevice();
    }
    dialog.userName = "";
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    dialog.userName = std::string(17, 'u');
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    EXPECT_EQ(dialog.userName, "");
    dialog.userName = "a-b";
    dialog.addSingleDevice();
    dialog.userName = "admin";
    dialog.password = std::string(17, 'p');
    dialog.addSingleDevice();
    dialog.password = "tab\t";
    dialog.addSingleDevice();
    EXPECT_EQ(dialog.focus, devadd::Focus::Password);
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::IpFieldBlank, Msg::PortRange, Msg::PortRange, Msg::PortRange,
                            Msg::PortRange, Msg::UserNameBlank, Msg::UserNameTooLong,
                            Msg::UserNameChars, Msg::PasswordTooLong, Msg::PasswordChars));
    EXPECT_EQ(image->findFreeDeviceSlot(), 0);
}

TEST_F(DevaddTest, SingleAddWritesTheRecordAndSaves) {
    dialog.startIp = Ipv4Fields::of(198, 51, 100, 7);
    dialog.port = "8000abc";
    dialog.userName = std::string(16, 'u');
    dialog.password = "0123456789abcdef";
    ASSERT_EQ(dialog.addSingleDevice(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceAdded));
    EXPECT_TRUE(dialog.startIp.blank());
    EXPECT_EQ(dialog.userName, "");
    EXPECT_EQ(dialog.port, "8000abc");  // the port is kept for the next add
    EXPECT_FALSE(dialog.closeRequested);

    auto saved = reload();
    const store::DeviceRecord dev = saved->device(0);
    EXPECT_EQ(dev.inUse(), 1u);
    EXPECT_EQ(dev.ip(), packIp(198, 51, 100, 7));
    EXPECT_EQ(dev.port(), 8000);
    EXPECT_EQ(dev.userName(), std::string(16, 'u'));
    EXPECT_EQ(dev.password(), "0123456789abcdef");

    // An empty password is 16 zero bytes.
    dialog.startIp = Ipv4Fields::of(198, 51, 100, 8);
    dialog.userName = "admin";
    ASSERT_EQ(dialog.addSingleDevice(), Outcome::Done);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(image->device(1).data()[store::DeviceRecord::kPassword + i], 0);
}

TEST_F(DevaddTest, DuplicatesAndAFullTable) {
    addDevice(0, packIp(10, 0, 0, 1));
    dialog.startIp = Ipv4Fields::of(10, 0, 0, 1);
    dialog.password = "pw";
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceAlreadyListed));
    EXPECT_TRUE(dialog.startIp.blank());
    EXPECT_EQ(dialog.password, "");

    // With a full table the table-full message follows the duplicate message.
    fillTable();
    host.clear();
    dialog.startIp = Ipv4Fields::of(172, 16, 0, 3);
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceAlreadyListed, Msg::DeviceListFull));
    EXPECT_FALSE(dialog.startIp.blank());
    host.clear();
    dialog.startIp = Ipv4Fields::of(9, 9, 9, 9);
    EXPECT_EQ(dialog.addSingleDevice(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceListFull));
}

TEST_F(DevaddTest, PresetModeClosesAfterAddOrDuplicate) {
    addDevice(3, packIp(10, 0, 0, 1));
    devadd found(host, session, *image, &refresh, Ipv4Fields::of(10, 0, 0, 1), 37777);
    EXPECT_EQ(found.port, "37777");
    EXPECT_FALSE(found.typeEnabled());
    found.setType(devadd::Type::BatchIp);
    EXPECT_EQ(found.type(), devadd::Type::SingleIp);
    EXPECT_EQ(found.add(), Outcome::Refused);
    EXPECT_TRUE(found.closeRequested);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceAlreadyListed));

    devadd fresh(host, session, *image, &refresh, Ipv4Fields::of(10, 0, 0, 2), 8000);
    EXPECT_EQ(fresh.add(), Outcome::Done);
    EXPECT_TRUE(fresh.closeRequested);
    EXPECT_EQ(image->device(0).ip(), packIp(10, 0, 0, 2));
}

TEST_F(DevaddTest, RangeChecksInOrder) {
    dialog.setType(devadd::Type::BatchIp);
    dialog.startIp.octets = {10, 0, 0, std::nullopt};
    dialog.endIp = Ipv4Fields::of(10, 0, 0, 9);
    dialog.addDeviceRange();
    EXPECT_TRUE(dialog.endIp.blank());
    dialog.startIp = Ipv4Fields::of(10, 0, 0, 1);
    dialog.addDeviceRange();
    EXPECT_FALSE(dialog.startIp.blank());
    dialog.endIp = Ipv4Fields::of(10, 0, 1, 9);
    dialog.addDeviceRange();
    dialog.startIp = Ipv4Fields::of(10, 0, 0, 9);
    dialog.endIp = Ipv4Fields::of(10, 0, 0, 8);
    dialog.addDeviceRange();
    dialog.startIp = Ipv4Fields::of(10, 0, 0, 1);
    dialog.endIp = Ipv4Fields::of(10, 0, 0, 2);
    dialog.port = "1";
    dialog.addDeviceRange();
    dialog.userName = "";
    dialog.addDeviceRange();
    dialog.userName = "bad name";
    dialog.addDeviceRange();
    dialog.userName = "admin";
    dialog.password = "\x7F";
    dialog.addDeviceRange();
    EXPECT_THAT(host.numbers(),
                ElementsAre(Msg::StartIpFieldBlank, Msg::EndIpFieldBlank,
                            Msg::StartEndIpSameNetwork, Msg::EndIpNotAboveStart, Msg::PortRange,
                            Msg::UserNameBlank, Msg::UserNameChars, Msg::PasswordChars));
    EXPECT_EQ(image->findFreeDeviceSlot(), 0);
}

struct RangeCase {
    std::vector<int> present;  // last octets already in the table
    int first, last;
    Msg message;
    std::vector<int> added;
};

TEST_F(DevaddTest, RangeMessagesByDuplicates) {
    const RangeCase cases[] = {
        {{}, 5, 5, Msg::DevicesAdded, {5}},
        {{2}, 1, 3, Msg::DevicesAddedExceptRepeats, {1, 3}},
        {{1, 2, 3}, 1, 3, Msg::DevicesAllListed, {}},
        {{3}, 1, 3, Msg::DevicesAddedExceptRepeats, {1, 2}},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(store::messageNumber(c.message));
        image->zero();
        for (std::size_t i = 0; i < c.present.size(); ++i)
            addDevice(static_cast<int>(i),
                      packIp(192, 168, 1, static_cast<std::uint8_t>(c.present[i])));
        host.clear();
        devadd range(host, session, *image, &refresh);
        range.setType(devadd::Type::BatchIp);
        range.startIp = Ipv4Fields::of(192, 168, 1, static_cast<std::uint8_t>(c.first));
        range.endIp = Ipv4Fields::of(192, 168, 1, static_cast<std::uint8_t>(c.last));
        range.add();
        EXPECT_THAT(host.numbers(), ElementsAre(c.message));
        EXPECT_EQ(range.lastAdded, static_cast<int>(c.added.size()));
        for (std::size_t i = 0; i < c.added.size(); ++i)
            EXPECT_EQ(image->device(static_cast<int>(c.present.size() + i)).ip(),
                      packIp(192, 168, 1, static_cast<std::uint8_t>(c.added[i])));
        EXPECT_TRUE(range.startIp.blank());
    }
}

TEST_F(DevaddTest, WholeLastOctetRange) {
    dialog.setType(devadd::Type::BatchIp);
    dialog.startIp = Ipv4Fields::of(10, 1, 1, 0);
    dialog.endIp = Ipv4Fields::of(10, 1, 1, 255);
    ASSERT_EQ(dialog.add(), Outcome::Done);
    EXPECT_EQ(dialog.lastAdded, 256);
    EXPECT_EQ(image->device(0).ip(), packIp(10, 1, 1, 0));
    EXPECT_EQ(image->device(255).ip(), packIp(10, 1, 1, 255));
    EXPECT_EQ(reload()->device(255).inUse(), 1u);
}

TEST_F(DevaddTest, RangeMeetingTheEndOfTheTable) {
    fillTable();
    for (int s : {10, 20}) image->device(s).clear();
    dialog.setType(devadd::Type::BatchIp);
    dialog.startIp = Ipv4Fields::of(10, 2, 2, 1);
    dialog.endIp = Ipv4Fields::of(10, 2, 2, 9);
    EXPECT_EQ(dialog.add(), Outcome::Done);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DevicesNotAddedListFull));
    EXPECT_EQ(dialog.lastAdded, 2);
    EXPECT_EQ(dialog.startIp, Ipv4Fields::of(10, 2, 2, 1));  // the boxes stay for the user
    EXPECT_EQ(reload()->device(20).ip(), packIp(10, 2, 2, 2));

    host.clear();
    EXPECT_EQ(dialog.userName, "");  // cleared after every run
    dialog.userName = "admin";
    dialog.startIp = Ipv4Fields::of(10, 2, 2, 100);
    dialog.endIp = Ipv4Fields::of(10, 2, 2, 101);
    EXPECT_EQ(dialog.add(), Outcome::Refused);
    EXPECT_THAT(host.numbers(), ElementsAre(Msg::DeviceListFull));
}

// The range add as the procedure reads: a free-slot scan and a duplicate scan from slot 0 for
// every address.
int literalRange(store::ConfigImage& image, std::uint32_t prefix, int first, int last, int& dups) {
    int added = 0;
    dups = 0;
    for (int x = first; x <= last; ++x) {
        const int slot = image.findFreeDeviceSlot();
        if (slot < 0) return added;
        while (x <= last && image.deviceIpExists(prefix | (std::uint32_t(x) << 24))) {
            ++dups;
            ++x;
        }
        if (x <= last) {
            store::DeviceRecord dev = image.device(slot);
            dev.setInUse(1);
            dev.setIp(prefix | (std::uint32_t(x) << 24));
            dev.setPort(8000);
            dev.setUserName("admin");
            dev.setPassword("");
            ++added;
        }
    }
    return added;
}

TEST_F(DevaddTest, RangeMatchesTheLiteralProcedureOnRandomTables) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        image->zero();
        auto expected = std::make_unique<store::ConfigImage>();
        const int used = std::uniform_int_distribution<int>(3500, 3840)(rng);
        for (int s = 0; s < used; ++s) {
            const int slot = std::uniform_int_distribution<int>(0, 3839)(rng);
            const auto last = static_cast<std::uint8_t>(rng() % 256);
            addDevice(slot, packIp(10, 9, static_cast<std::uint8_t>(rng() % 2), last));
            if (rng() % 50 == 0) image->device(slot).setInUse(0);  // a stale free record
        }
        std::copy(image->bytes().begin(), image->bytes().end(), expected->bytes().begin());
        const int first = static_cast<int>(rng() % 128);
        const int last = first + static_cast<int>(rng() % 128);
        int dups = 0;
        const int want = literalRange(*expected, packIp(10, 9, 0, 0), first, last, dups);

        devadd range(host, session, *image, &refresh);
        range.setType(devadd::Type::BatchIp);
        range.startIp = Ipv4Fields::of(10, 9, 0, static_cast<std::uint8_t>(first));
        range.endIp = Ipv4Fields::of(10, 9, 0, static_cast<std::uint8_t>(last));
        range.password = "";
        range.add();
        EXPECT_EQ(range.lastAdded, want);
        expected->setChecksum(image->checksum());
        EXPECT_TRUE(
            std::equal(image->bytes().begin(), image->bytes().end(), expected->bytes().begin()))
            << "round " << round;
    }
}

}  // namespace
}  // namespace kbcfg::devices
