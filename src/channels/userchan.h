#pragma once
// The channel page: one operator's input channels, output channels, or scenes and TV walls, with
// index editing (single and batch), deletion and the text report.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "remote/netsdk.h"
#include "store/config_image.h"
#include "store/host.h"
#include "store/outcome.h"
#include "store/session.h"

namespace kbcfg::channels {

enum class ChannelListKind { None, Input, Output, WallScene };

struct ChannelRow {
    int position;           // the hidden column: channel position in the operator's table
    std::string rowNumber;  // column 0: the 0-based row number in the input list, else empty
    std::string indexText;  // column 1, as shown (a single change shows the text as typed)
    std::string port;
    std::string ip;
    std::string name;
    bool checked = false;
};

// Whether an entry is listed in a list of that kind: a live device with an address, an index
// other than -1, and a kind of the list.
bool entryListed(const store::ConfigImage& image, const store::ChannelEntry& entry,
                 ChannelListKind kind);

class userchan {
  public:
    enum class Focus { Unchanged, UserName, NewIndex };

    // Sets up the page; an operator who is logged in gets his name in the disabled name field.
    userchan(store::Host& host, store::SessionState& session, store::ConfigImage& image);

    static std::vector<std::string> columnCaptions();
    static constexpr int kColumnWidths[6] = {20, 140, 140, 180, 150, 0};
    static constexpr std::int32_t kMaxIndex = 99'999'999;

    // The three list buttons.
    void showChannelList(ChannelListKind kind);
    void fillChannelList();
    void onColumnHeaderClick(int column);
    // After every change of the new-index field's text.
    void onNewIndexChanged();

    store::Outcome changeIndexSingle();
    store::Outcome changeIndexBatch();
    store::Outcome deleteCheckedChannels();
    // A device the report could not log in to, and how many channels it cost the report: its own
    // and, in the output and wall/scene sections, the rest of the section after it.
    struct ReportGap {
        int slot = 0;
        std::string ip;
        int port = 0;
        int channelsLeftOut = 0;
    };
    // Writes the operator's channels to "<name>.txt" beside the configuration file, logging in
    // once to each of their devices for its names. reportPath tells where it went, reportGaps
    // which devices failed (in the order they failed), each shown once by message 149.
    store::Outcome writeChannelReport(remote::NetSdk& sdk);
    std::filesystem::path reportPath;
    std::vector<ReportGap> reportGaps;

    // The operator named in the name field (or the logged-in operator), or nullopt after its
    // message. clearOnAdministrator: whether the administrator's name also clears the field.
    std::optional<int> resolveListedOperator(bool clearOnAdministrator);

    std::string userNameField;
    bool userNameEnabled = true;
    std::string newIndexField;
    Focus focus = Focus::Unchanged;

    ChannelListKind listKind = ChannelListKind::None;
    int listedOperator = 0;  // 1..3, 0 while no list was filled
    std::vector<ChannelRow> rows;
    int checkAllState = 0;
    bool headerMark = false;

  private:
    void untickAll();
    // The operator a report is about: the logged-in one, else the one named in the name field;
    // nullopt after its message.
    std::optional<int> reportOperator();
    store::Host& host_;
    store::SessionState& session_;
    store::ConfigImage& image_;
};

// The batch renumbering on the shown indexes: rows start..end get consecutive new indexes from
// value on, skipping the indexes shown above start, with the rule near the top of the range.
// Returns the new index of every row; nearTop tells whether message 66 is due.
std::vector<std::int32_t> renumberBatch(const std::vector<std::int32_t>& old, std::size_t start,
                                        std::size_t end, std::int32_t value, bool& nearTop);

}  // namespace kbcfg::channels
