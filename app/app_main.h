#pragma once
// CAppMain: the application object. It is the frame specialised for this
// program: its main window is the modal dialog 1000 (Japanese) or 1100
// (English) with the operation list, and it owns the ActionList and the
// player. Several copies of the program may run at once.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "app/row_time_codes.h"
#include "config/comm_config.h"
#include "config/command_line.h"
#include "frame/app_base.h"
#include "model/action.h"
#include "model/opfile.h"
#include "playback/player_win.h"
#include "playback/recorder_win.h"

// How an attempt to save the list ended.
enum class SaveOutcome {
    Saved,
    Cancelled,  // nothing was written: no file to write to, or the user cancelled
    Failed,     // the file could not be written (and the user was told)
    TooLarge,   // the list is too large for any one file (and the user was told)
};

// Why the unsaved-changes prompt is shown; it picks caption and text.
enum class SaveReason {
    Update,  // New, Open, Exit, closing the window
    Record,  // Start Record
};

class CAppMain : public CAppBase {
public:
    // Dialog mode, multiple instances allowed, run state Idle, an empty list
    // marked with this computer's ident.
    CAppMain();
    ~CAppMain() override;

    // Reads the command line. Without arguments, or with a file to open,
    // the frame's Run and then the stop of the player thread; otherwise
    // RunCommand. Returns the exit code.
    int Run(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) override;
    // The usage text, a wrong argument, or a /play run (command_line_win.cpp);
    // never shows the main window. Returns the exit code of
    // config/command_line.h.
    int RunCommand(HINSTANCE instance, const LaunchRequest& request);
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNotify(int id, NMHDR* header) override;
    void OnCommand(int id, int code) override;
    // New steps (prompt and reset), then the dialog ends with 1.
    void OnExit() override;
    void OnInitDialog(HWND dialog) override;
    // The frame's InitInstance, then the player thread.
    int InitInstance(HINSTANCE instance) override;
    // "App Close" to the debug channel, then the New steps; 0 (the window
    // stays) when the prompt's save failed.
    int OnClose() override;
    // 1000 when ui_language is 1, else 1100.
    LPCWSTR GetDialogId() override;

    // The unsaved-changes prompt: when the list is modified, asks whether to
    // save, and on Yes saves to filePath or, failing that, runs SaveAs. True
    // when the caller may go on and drop the list: false when the user
    // cancelled, or a save the user asked for failed and the list was not
    // saved after all.
    bool saveIfModified(SaveReason reason);
    // New: the prompt, then (unless it said to stop) an empty list with the
    // default screenshot settings; false when the list was kept.
    bool newList();
    // An empty list with the default screenshot settings, and the window's
    // list, folder and format boxes to match.
    void ResetList();
    // Shows record `row` in its row (-1: the list has grown by one record at
    // its end, which gets a new last row).
    void showRow(int row);
    // Shows the list again from record `fromRow` on: the records there have
    // changed, moved or gone. The selection is cleared, as after a rebuild;
    // the rows in view stay in view.
    void refreshRows(int fromRow = 0);

    // Commands (app/commands_win.cpp). Play runs read the list and a
    // recording appends to it; while either goes on (or a run is still to
    // begin or finish) the list and its screenshot settings must not change
    // or be replaced, so every editing and opening command refuses to act.
    bool EditsLocked() const;
    // Whether one of the program's own modal windows (a dialog, a question,
    // a file dialog) is open over the main window, which it disables.
    bool ModalOpen() const;
    // True when a recording began.
    bool StartRecord();
    void StartPlay();
    void AddRecord();
    // Modify, Delete, Up (step -1) and Down (step 1) act on the first
    // selected row.
    void ModifyRecord();
    void DeleteRecord();
    void DeleteAllRecords();
    void MoveRecord(int step);
    void ToggleRepeat();
    // The folder box lost the focus; the format box changed its selection.
    void TakeFolderBox();
    void TakeFormatBox();
    void BrowseFolder();
    // The speed box: the item just chosen (`chosen`), else the text in it,
    // becomes the configuration's play_speed, saved at once when it changed.
    // Returns the speed in hundredths, 0 when the text is not a speed (the
    // box then keeps it, and Start Play reports it).
    int32_t TakeSpeedBox(bool chosen);

    // File commands (app/file_commands_win.cpp).
    void OpenFile();
    // Open without the file dialog: the unsaved-changes prompt, then the
    // file at `path`, with the warning for a file from another computer.
    void OpenPath(const wchar_t* path);
    // Save: to filePath, else (or when that fails) Save As.
    void SaveFile();
    // Save As (file dialog, then save).
    virtual SaveOutcome SaveAs();
    // A file dropped on the window: the first one named *.mou opens as Open
    // would; other files are ignored. Returns 1 when one was opened.
    int OnDropFiles(HDROP drop, wchar_t* buffer, int size) override;
    // The recent files of the File menu (app/recent_files_win.cpp): shown
    // between Setting and Exit; an entry that is chosen opens, or, when its
    // file is gone, is taken off the list with a message.
    void ShowRecentFiles();
    void OpenRecentFile(int index);
    // `path` was opened or saved: it becomes the first recent file.
    void NoteRecentFile(const wchar_t* path);

    // The hotkeys of Start Record and Start Play (app/hotkeys_win.cpp):
    // registered from the settings, again after the settings dialog; one
    // that another program holds is reported once and stays not active.
    void RegisterHotkeys();
    void OnHotkey(int id);
    // The play hotkey's wait for its keys to be released; then Start Play.
    void OnPlayHotkeyTimer();
    enum : UINT_PTR { kPlayHotkeyTimerId = 0x7A12, kRowsTimerId = 0x7A13 };
    bool HotkeyActive(int index) const { return hotkeyActive_[index]; }

    // The end of the session (app/session_win.cpp). A recording or a run
    // ends, and a stopped run is waited for (a few seconds at most) until it
    // has let go of every key and button.
    void EndForSession();
    // A list with unsaved changes is written to a recovery copy beside the
    // settings file; false when it could not be.
    bool KeepRecoveryCopy();
    // At start: a recovery copy left by an ended session is offered back,
    // then deleted.
    void OfferRecovery();

    // The play-start check: true when the list comes from this computer or
    // the user agrees to play it all the same.
    bool ConfirmPlayStart();
    // For a list with screenshot operations: true when its folder takes new
    // files, or the user, warned that it does not, wants to play all the same
    // (without `ask`, where nobody could answer: false).
    bool ConfirmScreenshotFolder(bool ask = true);

    // The list view, folder box and format box of the main window.
    HWND ListView() const;
    HWND FolderBox() const;
    HWND FormatBox() const;
    // First selected row of the list view, -1 when none.
    int FirstSelectedRow() const;
    // Selects `row`, scrolls it into view and focuses the list view. Other
    // rows keep their selection: callers clear it first (refreshRows).
    void SelectRow(int row);
    // Enables each button, box and menu command exactly while its command can
    // act (run state, selection); cheap when nothing changed, so it is called
    // after every command, selection change and run-state change.
    void UpdateControls();
    // Ctrl+N, Ctrl+O and Ctrl+S: the main dialog runs in the platform's modal
    // loop, which knows no accelerators, so a message filter of this thread
    // offers its keys to the accelerator table.
    void InstallShortcuts();
    void RemoveShortcuts();
    // The accelerator table's reaction to `msg`; true when it was a shortcut.
    bool TranslateShortcut(MSG* msg);

    // Run state, repeat count and the player thread.
    CPlayer player;
    ActionList list;
    // Raw input into records; keeps the held-button flags and the last event
    // time. Declared after the player and the list it works on.
    CRecorder recorder{player, list};

private:
    // Closing or Exit while recording or playing: the recording or the run
    // ends first and the window is restored.
    void EndRecordingOrRun();
    // When raw input could not be registered: tells the user so, after
    // `refused` (the command that cannot run, or null), and returns true.
    bool ReportInputUnavailable(const wchar_t* refused);
    // A run ended because the system refused its input.
    void ReportRefusedInput();
    // Screenshots of a run that ended were not saved.
    void ReportLostPictures();
    // The list takes the file at `path`, after the unsaved-changes prompt;
    // a file that gave nothing leaves the list as it was. Shared by the ways
    // of opening a file.
    void LoadPath(const wchar_t* path);
    // The list takes the records, file, screenshot settings and mark of
    // `loaded` in place of its own, unmodified; ShowList then shows it in
    // the window's list, folder and format boxes.
    void TakeList(ActionList* loaded);
    void ShowList();
    // Saves to filePath; a write that fails is reported. Cancelled when
    // there is no file, or the list did not come whole from it.
    SaveOutcome SaveToFilePath();
    // Tells the user that `path` could not be written.
    void ReportSaveFailure(const wchar_t* path, OperationSave outcome);
    // Tells the user what an Open of `path` could not read.
    void ReportLoad(const wchar_t* path, const OperationFileLoad& load, bool kept);
    // Stores a folder taken from the window and sets modified when it
    // differs from the list's.
    void SetScreenshotFolder(const wchar_t* folder);
    // The folder box takes its text when it loses the focus; a command from
    // the menu leaves it the focus, so commands that save or play take the
    // text first.
    void TakeFocusedFolderBox();
    // Deselects every row of the list view and drops its focus mark.
    void ClearSelection();
    // The list view asks for the text of one cell.
    void FillCell(NMLVDISPINFOW* info);
    void SetUpListView();
    void SetUpFormatBox();
    void SetUpSpeedBox();
    HWND SpeedBox() const;

    CRowTimeCodes timeCodes_;
    // Counts the lists the window has held: a new list, a loaded file, a
    // recording each make a new one. A dialog opened on one list writes its
    // result only into that same list.
    uint32_t listGeneration_ = 0;
    // Records the recorder appended that the list view does not count yet.
    // A thousand a second arrive while the pointer moves, and growing the
    // view costs more than handling the event (under Wine it redoes the
    // scroll bars): the view grows by all of them at most every
    // kRowsDelayMs while recording, and at once when the recording ends.
    bool rowsPending_ = false;
    enum : UINT { kRowsDelayMs = 50 };
    void QueueRows();
    void ShowPendingRows();
    // The list did not come whole from filePath (the file was damaged, or
    // memory ran out): Save must not write it there without a name chosen.
    bool incompleteFromFile_ = false;
    // What UpdateControls last enabled, one bit per control.
    uint32_t enabled_ = 0;
    bool enabledKnown_ = false;
    HACCEL shortcuts_ = nullptr;
    HHOOK shortcutFilter_ = nullptr;
    // The file named on the command line, opened once the window is shown.
    const wchar_t* openAtStart_ = nullptr;
    // Record and play hotkeys: registered, and the last one reported busy.
    bool hotkeyActive_[2] = {false, false};
    int32_t hotkeyReported_[2] = {0, 0};
    // When the play hotkey was pressed, while its run waits; 0 otherwise.
    DWORD playHotkeySince_ = 0;
};

// "Ctrl+Alt+Shift+R": a hotkey (config/app_parameter.h) as the user reads it,
// into `out` of kHotkeyTextCapacity units; an empty text for none.
enum : int { kHotkeyTextCapacity = 40 };
int HotkeyText(int32_t hotkey, wchar_t* out);

// A message box of `owner` with OK, `icon` and `caption`, telling `format`
// with its one %s replaced by `argument` (null: empty); the format itself
// when memory for the text ran out.
void ShowFormatted(HWND owner, const wchar_t* caption, const wchar_t* format, const wchar_t* argument, UINT icon);

// The program's command line after the program name; a file it names is
// taken as a full path.
LaunchRequest ReadProgramCommandLine();
// `path` as a full path, put into `storage`: a path the program keeps must
// not depend on the current folder, which file dialogs change. `path`
// itself when it cannot be made full (or memory ran out).
const wchar_t* FullPathOf(const wchar_t* path, CArray<wchar_t>* storage);
// Whether `ident` is this computer's mark.
bool FromThisComputer(const MachineIdent& ident);

// The five list-view column widths at 96 dpi, the least each column gets.
extern const int kListColumnWidths[kRowColumns];
// Room a list-view cell needs beside its text, pixels at 96 dpi.
constexpr int kListCellPadding = 16;
// The width of list column `column` at `dpi` for the font selected into `dc`:
// its width at 96 dpi scaled, or more when its heading or its widest text
// (the longest time, "(x=-32768, y=-32768)", key name or operation of
// `language`) would not fit whole.
int ListColumnWidth(HDC dc, int column, int language, int dpi);

// Paths typed or chosen in the window hold at most this many characters.
constexpr int kPathCharacters = 519;
