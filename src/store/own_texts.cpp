#include "store/own_texts.h"

#include <array>

namespace kbcfg::store {

namespace {

struct Entry {
    OwnText id;
    std::string_view english, chinese;
};

using T = OwnText;

// In the order of OwnText; the test walks both columns for the same places.
constexpr Entry kTexts[] = {
    {T::AddedDevices, "added {1}", "已添加 {1}"},
    {T::AddedNoDevice, "added no device", "未添加设备"},
    {T::AddedLinesOf, "added {1} of {2} lines", "已添加 {2} 行中的 {1} 行"},
    {T::LinesRefusedNotTried, "; {1} refused, {2} not tried", "；{1} 行被拒绝，{2} 行未尝试"},
    {T::ModifiedDevices, "modified {1}", "已修改 {1}"},
    {T::ModifiedNoDevice, "modified no device", "未修改设备"},
    {T::DeletedDevicesWith, "deleted {1} with {2} and {3}", "已删除 {1}，连同 {2}和 {3}"},
    {T::DeletedNoDevice, "deleted no device", "未删除设备"},
    {T::SetChannelIndex, "set the index of the channel at position {1} to {2}",
     "已将位置 {1} 的通道编号设为 {2}"},
    {T::ChangedNoIndex, "changed no index", "未修改通道编号"},
    {T::RenumberedChannels, "renumbered {1} from index {2}", "已从编号 {2} 起重新编号 {1}"},
    {T::RenumberedNoChannel, "renumbered no channel", "未重新编号通道"},
    {T::DeletedChannelsOfRecord, "deleted {1} of record {2}", "已删除记录 {2} 的 {1}"},
    {T::DeletedNoChannel, "deleted no channel", "未删除通道"},
    {T::ReportSavedWithGaps, "report saved to {1}; {2} left out (login failed on {3})",
     "报告已保存到 {1}；遗漏 {2}（{3}登录失败）"},
    {T::AddedUser, "added user {1}", "已添加用户 {1}"},
    {T::AddedNoUser, "added no user", "未添加用户"},
    {T::DeletedUsersWith, "deleted {1} with {2}", "已删除 {1}，连同 {2}"},
    {T::DeletedNoUser, "deleted no user", "未删除用户"},
    {T::ChangedPassword, "changed the password of record {1}", "已修改记录 {1} 的密码"},
    {T::ChangedNoPassword, "changed no password", "未修改密码"},
    {T::AssignedDevices,
     "assigned {1} of {2}: {3}, {4} failed (Error Connect {5}, Error Password {6})",
     "已分配 {2}中的 {1} 台：{3}，{4} 台失败（连接错误 {5}，密码错误 {6}）"},
    {T::StoppedByCtrlC, "; stopped by Ctrl+C", "；已被 Ctrl+C 中止"},
    {T::UnassignedDevices, "unassigned {1} of record {2}: {3} removed",
     "已取消记录 {2} 的 {1}的分配：移除 {3}"},
    {T::BoundStream, "bound {1} of record {2} to {3}", "已将记录 {2} 的 {1}绑定到 {3}"},
    {T::RemovedStreamBinding, "removed the stream binding of {1} of record {2}",
     "已移除记录 {2} 的 {1}的流媒体绑定"},
    {T::ChangedNoStreamBinding, "changed no stream binding", "未修改流媒体绑定"},
    {T::FetchedConfiguration, "fetched the configuration of {1} into {2}",
     "已将 {1} 的配置导出到 {2}"},
    {T::FetchedNoConfiguration, "fetched no configuration", "未导出配置"},
    {T::LoginFailedAfter, "; the login failed", "；登录失败"},
    {T::LoggedInAs, "; logged in as {1} (record {2})", "；已以 {1} 身份登录（记录 {2}）"},
    {T::SentFile, "sent {1} to {2}", "已将 {1} 导入到 {2}"},
    {T::SentNothing, "sent nothing", "未导入配置文件"},
    {T::UpgradedFirmware, "upgraded the firmware of {1} with {2}", "已用 {2} 升级 {1} 的固件"},
    {T::UpgradedPanel, "upgraded the panel of {1} with {2}", "已用 {2} 升级 {1} 的面板程序"},
    {T::UpgradedNothing, "upgraded nothing", "未升级"},
    {T::RestoredFrom, "restored {1} from {2}", "已从 {2} 恢复 {1}"},
    {T::FleetExported, "exported {1} of {2} into {3}", "已将 {2}中 {1} 台的配置导出到 {3}"},
    {T::FleetSent, "sent {1} to {2} of {3}", "已将 {1} 导入到 {3}中的 {2} 台"},
    {T::FleetUpgradedFirmware, "upgraded the firmware of {1} of {2} with {3}",
     "已用 {3} 升级 {2}中 {1} 台的固件"},
    {T::FleetUpgradedPanel, "upgraded the panel of {1} of {2} with {3}",
     "已用 {3} 升级 {2}中 {1} 台的面板程序"},
    {T::FleetFailedNamed, "; {1} failed: {2}", "；{1} 台失败：{2}"},
    {T::FleetName, "NAME", "名称"},
    {T::FleetAddress, "ADDRESS", "地址"},
    {T::FleetState, "STATE", "状态"},
    {T::FleetProgress, "PROGRESS", "进度"},
    {T::FleetMessage, "MESSAGE", "消息"},
    {T::FleetBackupCommitted, "committed {1} into {2}: {3} changed, {4} not reached",
     "已提交 {1} 到 {2}：{3} 台有变化，{4} 台未连接"},
    {T::FleetBackupNothing, "nothing changed, no commit in {1}; {2} not reached",
     "无变化，未在 {1} 中提交；{2} 台未连接"},
    {T::FleetPlanSummary, "{1} to change, {2} unchanged, {3} not managed, {4} failed",
     "{1} 台将变更，{2} 台无变化，{3} 台未纳管，{4} 台失败"},
    {T::FleetNothingToApply, "no changes; nothing to apply", "无变更，无需应用"},
    {T::FleetApplyAsk, "Apply these changes to {1}?", "将这些变更应用到 {1}？"},
    {T::FleetApplyNeedsYes, "no terminal to ask on: give --yes to apply the plan",
     "没有可询问的终端：请给出 --yes 以应用该计划"},
    {T::FleetApplyCancelled, "nothing applied", "未应用任何变更"},
    {T::FleetApplySummary,
     "{1} applied, {2} unchanged, {3} rolled back, {4} rollback failed, {5} not started, {6} "
     "failed",
     "{1} 台已应用，{2} 台无变化，{3} 台已回滚，{4} 台回滚失败，{5} 台未开始，{6} 台失败"},
    {T::FleetRollbackFailed, "ROLLBACK FAILED on {1}: {2}. Its former configuration is kept in {3}",
     "{1} 回滚失败：{2}。其原配置保存在 {3}"},
    {T::StateWaiting, "waiting", "等待"},
    {T::StateRunning, "running", "进行中"},
    {T::StateDone, "done", "成功"},
    {T::StateFailed, "failed", "失败"},
    {T::InfoFile, "File: {1}", "文件：{1}"},
    {T::InfoLayout, "Layout: {1}", "格式版本：{1}"},
    {T::InfoConvertedTo, " (converted to {1})", "（已转换为 {1}）"},
    {T::InfoChecksum, "Checksum: {1} valid over {2} bytes", "校验和：{1}，覆盖 {2} 字节，有效"},
    {T::InfoOperators, "Operators:", "操作员："},
    {T::InfoFreeRecord, "{1} (free)", "{1}（空闲）"},
    {T::InfoAdministrator, " (administrator)", "（管理员）"},
    {T::InfoDevicesInUse, "Devices in use: {1} of {2}", "已用设备：{1}/{2}"},
    {T::InfoDeviceSlot, "  slot {1}: {2} user {3} type {4}", "  槽位 {1}：{2}，用户 {3}，类型 {4}"},
    {T::InfoChannels, "Channels:", "通道："},
    {T::InfoChannelKinds, "  operator {1}: {2} input, {3} output, {4} scene, {5} TV wall",
     "  操作员 {1}：输入 {2}，输出 {3}，场景 {4}，电视墙 {5}"},
    {T::InfoUnknownKind, ", {1} of unknown kind", "，未知类型 {1}"},
    {T::InfoStreamBindings, "Stream bindings:", "流媒体绑定："},
    {T::InfoStreamBinding, "  operator {1}, device slot {2}: {3}",
     "  操作员 {1}，设备槽位 {2}：{3}"},
    {T::InfoNone, "  none", "  无"},
    {T::LintSlotOutOfRange, "device slot {1} is outside 0..{2}", "设备槽位 {1} 超出 0..{2}"},
    {T::LintDeviceNotInUse, "device slot {1} is not in use", "设备槽位 {1} 未使用"},
    {T::LintStreamOfUnassigned,
     "stream record of device slot {1}, which the operator does not have",
     "设备槽位 {1} 的流媒体记录，而该操作员没有此设备"},
    {T::LintChannelOfUnassigned, "channel of device slot {1}, which the operator does not have",
     "设备槽位 {1} 的通道，而该操作员没有此设备"},
    {T::LintMatrixOfUnassigned,
     "matrix record of device slot {1}, which the operator does not have",
     "设备槽位 {1} 的矩阵记录，而该操作员没有此设备"},
    {T::LintAddressZero, "device has the address 0.0.0.0; the channel lists leave out its channels",
     "设备地址为 0.0.0.0；通道列表不显示其通道"},
    {T::LintSameEndpoint, "{1} is also the address of slot {2}", "{1} 也是槽位 {2} 的地址"},
    {T::LintSameAddress, "{1} is also the address of slot {2} (another port)",
     "{1} 也是槽位 {2} 的地址（端口不同）"},
    {T::LintFreeOperatorData,
     "the operator record is free but still holds {1} channel entries and {2} stream records; a "
     "user created here inherits them",
     "该操作员记录空闲，但仍保存着 {1} 个通道条目和 {2} 条流媒体记录；在此新建的用户将继承它们"},
    {T::LintDeviceListedTwice, "device slot {1} is already listed in entry {2}",
     "设备槽位 {1} 已在条目 {2} 中列出"},
    {T::LintStreamMisplaced,
     "stream record of device slot {1}, which is listed in entry {2}; removing the device leaves "
     "this record behind",
     "设备槽位 {1} 的流媒体记录，而该设备列在条目 {2}；删除该设备时此记录会被遗留"},
    {T::LintUnknownKind, "channel kind {1} appears in no list", "通道类型 {1} 不属于任何列表"},
    {T::LintIndexOutOfRange, "channel index {1} is outside 1..{2}", "通道编号 {1} 超出 1..{2}"},
    {T::LintMatrixLinkOutOfRange, "linked to matrix record {1}, outside 0..{2}",
     "关联的矩阵记录 {1} 超出 0..{2}"},
    {T::LintMatrixLinkFree, "linked to matrix record {1}, which is free",
     "关联的矩阵记录 {1} 为空闲"},
    {T::LintDuplicateIndex, "channel index {1} is also used by position {2} of the same list",
     "通道编号 {1} 也被同一列表中位置 {2} 使用"},
    {T::LintPositionOutOfRange, "channel position {1} is outside 0..{2}",
     "通道位置 {1} 超出 0..{2}"},
    {T::LintGroupCellEmpty, "channel position {1} is empty", "通道位置 {1} 为空"},
    {T::LintNotInputChannel, "channel position {1} is not an input channel",
     "通道位置 {1} 不是输入通道"},
    {T::LintNotOutputChannel, "channel position {1} is not an output channel",
     "通道位置 {1} 不是输出通道"},
    {T::WhereDeviceSlot, "device slot {1}", "设备槽位 {1}"},
    {T::WhereOperator, "operator {1}", "操作员 {1}"},
    {T::WhereDeviceListEntry, "operator {1}, device list entry {2}",
     "操作员 {1}，设备列表条目 {2}"},
    {T::WhereStreamRecord, "operator {1}, stream record {2}", "操作员 {1}，流媒体记录 {2}"},
    {T::WhereChannelPosition, "operator {1}, channel position {2}", "操作员 {1}，通道位置 {2}"},
    {T::WhereInputGroupCell, "operator {1}, input group row {2} cell {3}",
     "操作员 {1}，输入分组第 {2} 行第 {3} 格"},
    {T::WhereOutputGroupCell, "operator {1}, output group row {2} cell {3}",
     "操作员 {1}，输出分组第 {2} 行第 {3} 格"},
    {T::WhereMatrixRecord, "operator {1}, matrix record {2}", "操作员 {1}，矩阵记录 {2}"},
    {T::LintError, "error", "错误"},
    {T::LintWarning, "warning", "警告"},
    {T::LintFindingLine, "{1}: {2}: {3} [{4}]", "{1}：{2}：{3} [{4}]"},
    {T::LintTotals, "{1}, {2}", "{1}，{2}"},
    {T::DiffOwner, "operator {1} ", "操作员 {1} "},
    {T::DiffOperator, "operator {1}", "操作员 {1}"},
    {T::DiffOperatorNamed, "operator {1} ({2})", "操作员 {1}（{2}）"},
    {T::DiffDevice, "device {1} ({2})", "设备 {1}（{2}）"},
    {T::DiffChannel, "{1}{2} channel {3} (index {4}, {5}, {6})",
     "{1}{2}通道 {3}（编号 {4}，{5}，{6}）"},
    {T::DiffNoDevice, "no device", "无设备"},
    {T::DiffInputList, "input", "输入"},
    {T::DiffOutputList, "output", "输出"},
    {T::DiffWallSceneList, "wall/scene", "电视墙/场景"},
    {T::DiffKindList, "kind {1}", "类型 {1}"},
    {T::DiffMatrixRecord, "{1}matrix record {2} (device {3})", "{1}矩阵记录 {2}（设备 {3}）"},
    {T::DiffStreamRecord, "{1}stream record {2} (device {3})", "{1}流媒体记录 {2}（设备 {3}）"},
    {T::DiffDeviceListEntry, "{1}device list entry {2}", "{1}设备列表条目 {2}"},
    {T::DiffInputGroupRow, "{1}input group row {2}", "{1}输入分组第 {2} 行"},
    {T::DiffOutputGroupRow, "{1}output group row {2}", "{1}输出分组第 {2} 行"},
    {T::DiffAdded, "{1}: added", "{1}：已添加"},
    {T::DiffAddedWith, "{1}: added ({2})", "{1}：已添加（{2}）"},
    {T::DiffRemoved, "{1}: removed", "{1}：已删除"},
    {T::DiffRemovedWith, "{1}: removed ({2})", "{1}：已删除（{2}）"},
    {T::DiffPasswordChanged, "{1}: password changed", "{1}：密码已修改"},
    {T::DiffChanged, "{1}: {2} {3} -> {4}", "{1}：{2} {3} -> {4}"},
    {T::DiffUnknownByte, "{1}: {2} unknown byte differs", "{1}：{2} 个未知字节不同"},
    {T::DiffUnknownBytes, "{1}: {2} unknown bytes differ", "{1}：{2} 个未知字节不同"},
    {T::TabDevices, "Devices", "设备"},
    {T::TabUsers, "Users", "用户"},
    {T::TabChannels, "Channels", "通道"},
    {T::TabKeyboard, "Keyboard", "键盘"},
    {T::TabOther, "Other", "其他"},
    {T::TabReturn, "Return", "返回"},
    {T::ProbeStopping, "Stopping: {1} of {2} devices done, kept in the file.",
     "正在停止：已完成 {1} / {2} 台设备，已保存到文件。"},
    {T::ProbeWaitingForOne, "Waiting for the device being asked to log out; it is not added.",
     "等待正在查询的 1 台设备退出登录，该设备不会被添加。"},
    {T::ProbeWaitingForMany,
     "Waiting for the {1} devices being asked to log out; they are not added.",
     "等待正在查询的 {1} 台设备退出登录，这些设备不会被添加。"},
    {T::ProbeDone, "{1} of {2} devices done", "已完成 {1} / {2} 台设备"},
    {T::ProbeAsking, "Probing {1}", "正在探测 {1}"},
    {T::ProbeAskingMore, "Probing {1} and {2} more", "正在探测 {1} 及另外 {2} 台设备"},
    {T::ProbeJobsLabel, "Devices at once:", "同时连接设备数："},
    {T::ProbeJobsTip, "How many devices \"Add>>\" logs in to and asks at the same time",
     "\"添加\"时同时登录并查询的设备数"},
};
static_assert(std::size(kTexts) == static_cast<std::size_t>(OwnText::Count));

struct NounForms {
    std::string_view one, many, chinese;  // chinese: measure word and noun
};

constexpr std::array<NounForms, static_cast<std::size_t>(Noun::Count)> kNouns = {{
    {"device", "devices", "台设备"},
    {"channel", "channels", "个通道"},
    {"user", "users", "个用户"},
    {"user assignment", "user assignments", "项用户分配"},
    {"keyboard", "keyboards", "台键盘"},
    {"line", "lines", "行"},
    {"error", "errors", "个错误"},
    {"warning", "warnings", "个警告"},
}};

}  // namespace

std::string_view ownText(OwnText id, Language language) {
    const auto n = static_cast<std::size_t>(id);
    if (n >= std::size(kTexts)) return {};
    return language == Language::Chinese ? kTexts[n].chinese : kTexts[n].english;
}

std::string fillPlaces(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        // "{n}" with n one digit 1..9: ten places are more than any text needs.
        if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
            pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out += *(args.begin() + n);
                i += 2;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::string say(OwnText id, std::initializer_list<std::string_view> args) {
    return fillPlaces(ownText(id, MessageCatalogue::current().language()), args);
}

std::string grouped(long long n) {
    std::string digits = std::to_string(n);
    const std::size_t sign = n < 0 ? 1 : 0;
    for (auto at = static_cast<long long>(digits.size()) - 3; at > static_cast<long long>(sign);
         at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::string counted(long long n, Noun noun, Language language) {
    const NounForms& forms = kNouns[static_cast<std::size_t>(noun)];
    if (language == Language::Chinese) return grouped(n) + " " + std::string(forms.chinese);
    return grouped(n) + " " + std::string(n == 1 ? forms.one : forms.many);
}

std::string counted(long long n, Noun noun) {
    return counted(n, noun, MessageCatalogue::current().language());
}

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        // Hangul, CJK, their punctuation and the full-width forms take two columns.
        const bool wide =
            (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
            (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
            (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
            (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
        width += wide ? 2 : 1;
        i += length;
    }
    return width;
}

}  // namespace kbcfg::store
