// Every language-dependent text of the program, in one place. Each row holds the text
// in every interface language (UTF-8 for the screen); adding a language means adding a
// column here, not editing handlers.
//
// Captions are applied by control name (ApplyCaptionTexts in Captions.h): every control's
// objectName is its name (`Button1`, `RadioGroup5`, ...). Item >= 0 addresses an item of a
// radio group.
#pragma once

#include "config/Messages.h"

#include <span>

namespace halvex {

enum class TLanguage : unsigned char { English = 0, Polish = 1 };
constexpr int kLanguageCount = 2;

// Item of a caption row that sets the control's tooltip instead of its caption.
constexpr int kToolTipItem = -2;

struct TCaptionText {
    const char* Control; // objectName of the control; the form's own name for its caption
    int Item;            // -1: the control's caption; >= 0: item of a radio group;
                         // kToolTipItem: the control's tooltip
    const char* Text[kLanguageCount];
};

// Texts the language switch sets on the main window. `Button6` takes its row only while
// the port is closed.
std::span<const TCaptionText> MainWindowTexts();
// Texts of the settings dialog (set by the switch, at each show and on Restore).
std::span<const TCaptionText> SettingsDialogTexts();
// Texts of the import options dialog (set each time it opens).
std::span<const TCaptionText> ImportDialogTexts();

// Texts of the OSD preview window's controls (its menu entries, file filters and formats
// are TUiText rows).
std::span<const TCaptionText> PreviewTexts();

// Tooltips of the main window's controls (rows with Item kToolTipItem), the grid's with
// its colour key.
std::span<const TCaptionText> MainWindowToolTips();
// Tooltips of the settings and import dialogs' controls, applied with their captions.
std::span<const TCaptionText> SettingsDialogToolTips();
std::span<const TCaptionText> ImportDialogToolTips();
// Texts of the layout preset chooser (captions and tooltips).
std::span<const TCaptionText> PresetDialogTexts();

// Texts of the edit history, the unwritten-change question, the grid's menu and the status
// line. "%1" and "%2" stand for names and numbers filled in when shown.
enum class TUiText {
    DiscardChanges,     // the question before Read, Close, Import and quitting
    QuitDuringTransfer, // the question when quitting during a write, Apply or upload
    UndoAction,         // "Undo %1"
    RedoAction,         // "Redo %1"
    StepMove,           // step names: %1 the item's name
    StepChange,
    StepNtsc,
    StepPal,
    StepImport,
    StepSettings,
    StepCopyLayout, // %1 the layout mode
    StepRestoreLayout,
    CopyLayoutTo,  // menu: %1 the layout mode
    RestoreLayout, // menu
    // Layout studio: the grid's menu, its steps, the overlap hint and the preset chooser.
    PlaceAt, // submenu of the nine anchors, in TAnchor order:
    AnchorTopLeft,
    AnchorTop,
    AnchorTopRight,
    AnchorLeft,
    AnchorCentre,
    AnchorRight,
    AnchorBottomLeft,
    AnchorBottom,
    AnchorBottomRight,
    CopyPositionTo,   // menu: %1 the layout mode
    StepPlace,        // %1 the item's name
    StepCopyPosition, // %1 the item's name, %2 the layout mode
    StepPreset,       // %1 the preset's name
    StatusOverlaps,   // %1 the names of the other items
    // The status line after a step of the layout studio or the video standard switch.
    StatusPresetApplied,    // %1 the preset's name, %2 the layout mode
    StatusPresetAppliedAll, // %1 the preset's name
    StatusPlaced,           // %1 the item's name, %2 the anchor (its menu text)
    StatusPlacedWide,       // the same within the 16:9 area of the guides
    StatusPositionCopied,   // %1 the item's name, %2 the layout mode
    StatusNtscMovedOne,     // %1 the count (1)
    StatusNtscMovedFew,     // 2, 3, 4, 22, 23, ... (Polish plural)
    StatusNtscMovedMany,    // the other counts
    PresetRace,             // names of the shipped presets
    PresetFreestyle,
    PresetLongRange,
    PresetEverything,
    PresetToCurrent, // %1 the layout mode
    PresetToAll,
    PresetNamePrompt,
    PresetBadName,
    PresetReplace,  // %1 the preset's name
    PresetDelete,   // %1 the preset's name
    PresetsMissing, // the chooser without shipped presets: %1 their folder
    StatusPortOpen, // %1 the port
    StatusPortClosed,
    StatusOsdReady,
    StatusOsdReply,    // %1 the letter of another answer
    StatusOsdNoLetter, // an answer without a letter
    StatusChecking,    // %1 the try, %2 the tries the check has
    StatusNoAnswer,
    StatusRead, // %1 seconds
    StatusReadBad,
    StatusReadNoAnswer,
    StatusWritten,          // %1 blocks, %2 seconds
    StatusVerified,         // added to the status of a write or Apply the read-back confirmed
    StatusWriteNotVerified, // %1 blocks; all acknowledged, the read-back got no answer
    StatusWriteStopped,     // %1 block, %2 blocks
    StatusApplied,          // %1 seconds
    StatusApplyNotVerified,
    StatusApplyStopped, // %1 block, %2 blocks
    StatusFontDone,     // %1 characters, %2 seconds
    StatusFontStopped,  // %1 character, %2 characters
    StatusInterrupted,
    StatusPortError,
    CauseNoAnswer,      // why an exchange gave up: %1 tries
    CauseNoDump,        // %1 tries
    CauseBlockLost,     // %1 the block, %2 tries
    CauseCharacterLost, // %1 the character, %2 tries
    CauseBadCheckByte,  // a read's dump failed its check byte
    StatusExported,     // %1 the file name
    StatusImportedLayouts,
    StatusImportedSettings,
    StatusImportedAll,
    StatusImportedIgnoredOne,  // %1 the file name, %2 the count (1)
    StatusImportedIgnoredFew,  // 2, 3, 4, 22, 23, ... (Polish plural)
    StatusImportedIgnoredMany, // the other counts
    StatusImportFailed,
    StatusUndone, // %1 the step's name
    StatusRedone,
    PreviewBuiltInFont, // the preview's font label without a character set file
    PreviewSaveActualSize,
    PreviewSaveCurrentZoom, // %1 the zoom
    PreviewCharacterIndex,  // %1 the character's number, %2 in hexadecimal
    PreviewPictureFilter,
    PreviewPngFilter,
    PreviewBadPicture,
    FileIsFolder, // a file error: %1 the quoted path
};
const char* UiText(TUiText text, TLanguage language);
// The text of `count` in the plural form the count takes, of the three rows that start at
// `one` (one, few, many: 1; 2-4, 22-24, ...; the other counts, Polish rules). English
// needs two forms: its few and many rows are the same.
TUiText PluralText(TUiText one, int count);

// Message box texts.
const char* MessageText(TMessage message, TLanguage language);
// Caption of RadioGroup3 when the temperature item is selected: "Sensor" / "Czujnik".
const char* SensorCaption(TLanguage language);

// Findings and fixes of the connection doctor (halvexctl doctor, and the second line of the
// window's message when Open fails). "%1" to "%5" stand for paths, names and numbers.
enum class TDoctorText {
    None,
    DeviceUsb,           // %1 the device, %2 vendor:product, %3 the driver
    DeviceSerial,        // %1 the device, %2 the driver
    DevicePty,           // %1 the device
    DeviceTerminal,      // %1 the device
    DeviceAbsent,        // %1 the device
    DeviceTakenByBrltty, // %1 the device, %2 vendor:product
    DeviceNoUart,        // %1 the device
    DeviceNotSerial,     // %1 the device
    FixPlugIn,
    FixChoosePort,      // %1 the ports present
    WindowAbsent,       // %1 the device
    PermissionOk,       // %1 the device
    PermissionDenied,   // %1 the user, %2 the device, %3 its mode, %4 owner, %5 group
    FixRelogin,         // %1 the group
    FixUdevRule,        // %1 the group
    FixJoinGroup,       // %1 the group
    FixOwnerOnly,       // %1 the owner, %2 the user, %3 the device
    WindowNoPermission, // %1 the device; the fix follows
    SkipNoDevice,
    SkipEarlierFailure,
    InUseFree, // %1 the device
    InUseNoneSeen,
    InUseBy,        // %1 the programs: "minicom (PID 4242)"
    FixCloseHolder, // %1 the programs' names, %2 their PIDs
    InUseUnseen,
    FixFindHolder, // %1 the device
    OpenFails,     // %1 the device, %2 the system's reason
    ModemManagerNotRunning,
    ModemManagerNotHardware, // %1 the device
    ModemManagerIgnores,
    ModemManagerProbes,
    FixModemManager,
    WindowModemManager,
    BrlttyAbsent,
    BrlttyNoClaim,
    BrlttyClaims, // %1 vendor:product, %2 the rules file
    BrlttyNoneTaken,
    BrlttyTook, // %1 vendor:product, %2 the rules file
    FixBrltty,  // %1 the rules file
    WindowBrltty,
    BoardReady,     // %1 milliseconds
    BoardNotReady,  // %1 the letter
    BoardNoAnswer,  // %1 how the check ended (ExchangeText), %2 seconds
    BoardOpenFails, // %1 the port's error
    BoardInterrupted,
    FixBoardWiring,
    FixBoardWait,
    WindowNoAnswer, // the second line of "Communication ERROR !" after a check
    GroupsRoot,
    GroupsNone,
    GroupsMember,       // %1 the user, %2 the group
    GroupsNotThisLogin, // %1 the user, %2 the group
    GroupsNotMember,    // %1 the user, %2 the group
    ModemManagerProbesAny,
    ModemManagerRuleInstalled,
    PortsFound, // %1 the ports: "COM1 /dev/ttyUSB0 (available), ..."
    PortsNone,
};
const char* DoctorText(TDoctorText text, TLanguage language);

// Texts that are the same in every language.
namespace fixed_text {
constexpr const char* AppTitle = "HalvexCfg_KT";
constexpr const char* MainCaption = "Halvex Brenn for Torvik HW Configurator v1.05";
constexpr const char* ProgressCaption = "Wysyłanie danych...";
constexpr const char* PortGroup = "Port COM";
constexpr const char* LanguageGroup = "Language :  ";
constexpr const char* Close = "Close";
constexpr const char* Open = "Open";
constexpr const char* ImportCaption = "Import";
constexpr const char* McmFilter = "MAX7456 Chars Files (*.mcm)";
constexpr const char* SetFilter = "Exported Settings (*.set)";
} // namespace fixed_text

} // namespace halvex
