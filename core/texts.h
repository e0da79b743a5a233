#pragma once
// The texts the program builds in code (list headings, operation names,
// message boxes, file dialogs), English and Japanese side by side in one
// table. Dialog and menu texts live in the resource templates instead.
enum class TextId : int {
    // List columns, in column order.
    ColumnTimeCode,
    ColumnInterval,
    ColumnMousePoint,
    ColumnKeycode,
    ColumnOperation,
    // Operations, in ActionKind order (1 to 20).
    KindMouseLeftPush,
    KindMouseLeftRelease,
    KindMouseLeftClick,
    KindMouseLeftDoubleClick,
    KindMouseRightPush,
    KindMouseRightRelease,
    KindMouseRightClick,
    KindMouseRightDoubleClick,
    KindPushKey,
    KindReleaseKey,
    KindScreenshot,
    KindMouseMove,
    KindMouseMiddlePush,
    KindMouseMiddleRelease,
    KindMouseX1Push,
    KindMouseX1Release,
    KindMouseX2Push,
    KindMouseX2Release,
    KindMouseWheel,
    KindMouseHWheel,
    // Devices, in ActionDevice order (0 to 2).
    DeviceMouse,
    DeviceKeyboard,
    DeviceDisplay,
    // The one kind of the Display device in the operation edit dialog.
    DesktopScreenshot,
    // The language dialog's list: item 0 English, item 1 Japanese.
    LanguageEnglish,
    LanguageJapanese,
    // Unsaved-changes prompts.
    RecordPromptCaption,
    RecordPromptText,
    UpdatePromptCaption,
    UpdatePromptText,
    DeletePromptCaption,
    DeletePromptText,
    // The offer of the list kept when a session ended.
    RecoveryCaption,
    RecoveryText,
    // Operation files.
    FileFilter,  // filter pairs, each text and the list ending in a zero
    OpenFileTitle,
    SaveFileTitle,
    OperationFileCaption,
    ForeignFileText,
    SaveFailedFormat,  // one %s: the path
    SaveTooLargeFormat,  // %s: the path, then %d: the operations in the list
    PlayStartCaption,
    ForeignPlayText,
    SpeedInvalidText,
    // What an Open could not read: the first line names the file (%s) and
    // what went wrong (%d: the byte), then "\n\n" and what became of the list.
    LoadUnreadableFormat,
    LoadNotOperationFileFormat,
    LoadNotOperationFileAtFormat,
    LoadDamagedFormat,
    LoadOutOfMemoryFormat,
    LoadOutOfMemoryAtFormat,
    LoadNothingReadText,
    LoadPartFormat,  // one %d: the operations read
    ScreenshotFolderFormat,  // one %s: the folder
    // Help and language commands.
    HelpCaption,
    HelpMissingFormat,  // one %s: the path looked for
    HelpOpenFailedFormat,  // one %s: the page
    LanguageCaption,
    LanguageNextStartText,
    // Input the system refuses.
    InputCaption,
    InputUnavailableText,
    RecordRefusedText,  // goes before InputUnavailableText
    PlayRefusedText,    // likewise
    PlayStoppedCaption,
    InjectionRefusedText,
    PicturesLostCaption,
    PicturesLostFormat,  // one %s: the screenshot folder
    // Recent files of the File menu.
    RecentMissingFormat,  // one %s: the path
    // The command line (config/command_line.h); the errors have one %s.
    Usage,
    PlayFileUnreadableFormat,
    ErrorUnknownSwitch,
    ErrorMissingValue,
    ErrorBadRepeat,
    ErrorBadSpeed,
    ErrorMissingFile,
    ErrorExtraArgument,
    // Hotkeys: the report of one that another program holds (one %s: the
    // hotkey), and the settings dialog's mark of such a hotkey.
    HotkeyCaption,
    // A hotkey without Ctrl or Alt that is no function key, refused.
    RecordHotkeyTypingText,
    PlayHotkeyTypingText,
    RecordHotkeyBusyFormat,
    PlayHotkeyBusyFormat,
    HotkeyInactive,
    Count
};

// The text in `language`: 1 Japanese, any other value English. Null for an id
// outside the table.
const wchar_t* TextFor(TextId id, int language);
