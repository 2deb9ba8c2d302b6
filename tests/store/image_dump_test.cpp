#include "store/image_dump.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "store/fresh_image.h"

namespace kbcfg::store {
namespace {

using Json = textform::Json;

// What the dump makes of the odd records: codes without a name, fields that mean something for
// one kind of channel only, records whose in-use field says free whatever else they hold.
TEST(ImageDump, ShowsWhatTheRecordsMeanNotTheirBytes) {
    struct Case {
        const char* what;
        std::function<void(ConfigImage&)> set;
        const char* pointer;
        Json expected;  // null: the key is absent
    };
    auto channel = [](int kind, int port, int link) {
        return [=](ConfigImage& image) {
            ChannelEntry e = image.channel(1, 0);
            e.setDeviceSlot(0);
            e.setKind(static_cast<std::uint8_t>(kind));
            e.setNumber(3);
            e.setPortFirst(1);
            e.setOutputPort(static_cast<std::uint8_t>(port));
            e.setMatrixLink(static_cast<std::uint8_t>(link));
        };
    };
    const Case cases[] = {
        {"unnamed kind", channel(9, 2, 5), "/operatorTables/0/channels/0/kind", "kind 9"},
        {"unnamed kind: no port", channel(9, 2, 5), "/operatorTables/0/channels/0/outputPort", {}},
        {"output port as number", channel(kOutputChannel, 2, 5),
         "/operatorTables/0/channels/0/outputPort", 2},
        {"output: no link",
         channel(kOutputChannel, 2, 5),
         "/operatorTables/0/channels/0/matrixRecord",
         {}},
        {"output: name", channel(kOutputChannel, 2, 5), "/operatorTables/0/channels/0/name",
         "HDMI3"},
        {"input: linked record", channel(kInputChannel, 2, 5),
         "/operatorTables/0/channels/0/matrixRecord", 2},
        {"input: no link bit",
         channel(kInputChannel, 2, 4),
         "/operatorTables/0/channels/0/matrixRecord",
         {}},
        {"input: stream flag", channel(kInputChannel, 2, 4),
         "/operatorTables/0/channels/0/viaStream", false},
        {"free device with bytes",
         [](ConfigImage& i) { i.device(4).setPort(80); },
         "/devices/1",
         {}},
        {"reserved bytes",
         [](ConfigImage& i) { i.device(0).data()[126] = 1; },
         "/devices/0/reserved126",
         {}},
        {"row without channels",
         [](ConfigImage& i) { i.groupRow(1, GroupTable::Input, 0).setParam(3); },
         "/operatorTables/0/inputGroups/0",
         {}},
        {"unnamed protocol",
         [](ConfigImage& i) {
             i.stream(2, 7).setDeviceSlot(0);
             i.stream(2, 7).setProtocol(7);
         },
         "/operatorTables/1/streams/0/protocol", "protocol 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = std::make_unique<ConfigImage>();
        makeFreshImage(*image, "admin", "");
        image->device(0).setInUse(1);
        c.set(*image);
        const Json doc = dumpImage(*image, layout::kVersion, false);
        const Json::json_pointer at(c.pointer);
        if (c.expected.is_null())
            EXPECT_FALSE(doc.contains(at));
        else
            EXPECT_EQ(doc.value(at, Json()), c.expected);
    }
}

}  // namespace
}  // namespace kbcfg::store
