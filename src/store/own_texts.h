#pragma once
// The tool's own texts, the ones the catalogue lacks (command-line summaries, table captions,
// report lines, the desktop tool's tabs and progress), in English and Chinese. Each text is a
// pattern with numbered places {1}, {2}... so that the Chinese may put the parts in its own order.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "store/messages.h"

namespace kbcfg::store {

// Named after what the English text says.
enum class OwnText {
    // Summaries of the editing commands.
    AddedDevices,
    AddedNoDevice,
    AddedLinesOf,
    LinesRefusedNotTried,
    ModifiedDevices,
    ModifiedNoDevice,
    DeletedDevicesWith,
    DeletedNoDevice,
    SetChannelIndex,
    ChangedNoIndex,
    RenumberedChannels,
    RenumberedNoChannel,
    DeletedChannelsOfRecord,
    DeletedNoChannel,
    ReportSavedWithGaps,
    AddedUser,
    AddedNoUser,
    DeletedUsersWith,
    DeletedNoUser,
    ChangedPassword,
    ChangedNoPassword,
    AssignedDevices,
    StoppedByCtrlC,
    UnassignedDevices,
    BoundStream,
    RemovedStreamBinding,
    ChangedNoStreamBinding,
    FetchedConfiguration,
    FetchedNoConfiguration,
    LoginFailedAfter,
    LoggedInAs,
    SentFile,
    SentNothing,
    UpgradedFirmware,
    UpgradedPanel,
    UpgradedNothing,
    RestoredFrom,
    // The fleet commands: summaries, the table's captions and its states.
    FleetExported,
    FleetSent,
    FleetUpgradedFirmware,
    FleetUpgradedPanel,
    FleetFailedNamed,
    FleetName,
    FleetAddress,
    FleetState,
    FleetProgress,
    FleetMessage,
    FleetBackupCommitted,
    FleetBackupNothing,
    FleetPlanSummary,
    FleetNothingToApply,
    FleetApplyAsk,
    FleetApplyNeedsYes,
    FleetApplyCancelled,
    FleetApplySummary,
    FleetRollbackFailed,
    StateWaiting,
    StateRunning,
    StateDone,
    StateFailed,
    // The lines of `info`.
    InfoFile,
    InfoLayout,
    InfoConvertedTo,
    InfoChecksum,
    InfoOperators,
    InfoFreeRecord,
    InfoAdministrator,
    InfoDevicesInUse,
    InfoDeviceSlot,
    InfoChannels,
    InfoChannelKinds,
    InfoUnknownKind,
    InfoStreamBindings,
    InfoStreamBinding,
    InfoNone,
    // Lint findings, where they sit, and the lines of `lint`.
    LintSlotOutOfRange,
    LintDeviceNotInUse,
    LintStreamOfUnassigned,
    LintChannelOfUnassigned,
    LintMatrixOfUnassigned,
    LintAddressZero,
    LintSameEndpoint,
    LintSameAddress,
    LintFreeOperatorData,
    LintDeviceListedTwice,
    LintStreamMisplaced,
    LintUnknownKind,
    LintIndexOutOfRange,
    LintMatrixLinkOutOfRange,
    LintMatrixLinkFree,
    LintDuplicateIndex,
    LintPositionOutOfRange,
    LintGroupCellEmpty,
    LintNotInputChannel,
    LintNotOutputChannel,
    WhereDeviceSlot,
    WhereOperator,
    WhereDeviceListEntry,
    WhereStreamRecord,
    WhereChannelPosition,
    WhereInputGroupCell,
    WhereOutputGroupCell,
    WhereMatrixRecord,
    LintError,
    LintWarning,
    LintFindingLine,
    LintTotals,
    // The lines of `diff`.
    DiffOwner,
    DiffOperator,
    DiffOperatorNamed,
    DiffDevice,
    DiffChannel,
    DiffNoDevice,
    DiffInputList,
    DiffOutputList,
    DiffWallSceneList,
    DiffKindList,
    DiffMatrixRecord,
    DiffStreamRecord,
    DiffDeviceListEntry,
    DiffInputGroupRow,
    DiffOutputGroupRow,
    DiffAdded,
    DiffAddedWith,
    DiffRemoved,
    DiffRemovedWith,
    DiffPasswordChanged,
    DiffChanged,
    DiffUnknownByte,
    DiffUnknownBytes,
    // The desktop tool: the main window's tabs, and the progress of probing devices.
    TabDevices,
    TabUsers,
    TabChannels,
    TabKeyboard,
    TabOther,
    TabReturn,
    ProbeStopping,
    ProbeWaitingForOne,
    ProbeWaitingForMany,
    ProbeDone,
    ProbeAsking,
    ProbeAskingMore,
    ProbeJobsLabel,
    ProbeJobsTip,
    Count
};

// Things counted in the texts: English says "1 device", "3 devices"; Chinese "3 台设备".
enum class Noun { Device, Channel, User, UserAssignment, Keyboard, Line, Error, Warning, Count };

// The pattern of text id in a language.
std::string_view ownText(OwnText id, Language language);
// The pattern with {n} replaced by the n-th argument (from 1); places without an argument stay.
std::string fillPlaces(std::string_view pattern, std::initializer_list<std::string_view> args);
// Text id in the current language (MessageCatalogue::current()), its places filled.
std::string say(OwnText id, std::initializer_list<std::string_view> args = {});

// "20,352"
std::string grouped(long long n);
// n things in the current language: "3 devices", "3 台设备".
std::string counted(long long n, Noun noun);
std::string counted(long long n, Noun noun, Language language);

// Columns a UTF-8 text takes on a terminal: East Asian wide characters take two.
std::size_t displayWidth(std::string_view text);

}  // namespace kbcfg::store
