#pragma once
// CAppMain: the application object. It is the frame specialised for this
// program: its main window is the modal dialog 1000 (Japanese) or 1100
// (English) with the operation list, and it owns the ActionList and the
// player. Several copies of the program may run at once.
#include <windows.h>

#include <cstdint>

#include "frame/app_base.h"
#include "model/action.h"
#include "playback/player_win.h"
#include "playback/recorder_win.h"

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

    // The frame's Run, then the stop of the player thread.
    int Run(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) override;
    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnNotify(int id, NMHDR* header) override;
    void OnCommand(int id, int code) override;
    // New steps (prompt and reset), then the dialog ends with 1.
    void OnExit() override;
    void OnInitDialog(HWND dialog) override;
    // The frame's InitInstance, then the player thread.
    int InitInstance(HINSTANCE instance) override;
    // "App Close" to the debug channel, then the New steps; always allows.
    int OnClose() override;
    // 1000 when ui_language is 1, else 1100.
    LPCWSTR GetDialogId() override;

    // The unsaved-changes prompt: when the list is modified, asks whether to
    // save, and on Yes saves to filePath or, failing that, runs SaveAs. Never
    // cancels the caller.
    void saveIfModified(SaveReason reason);
    // New: the prompt, then an empty list with the default screenshot
    // settings, and the window's list, folder and format boxes to match.
    void newList();
    // Row `row` of the list view shows record `row` (-1: a new last row).
    void showRow(int row);
    // Rebuilds every row of the list view from the list.
    void refreshRows();

    // Save As (file dialog, then save); 1 when the list was saved. The file
    // commands provide it; until then nothing is saved and 0 is returned.
    virtual int SaveAs();

    // The list view, folder box and format box of the main window.
    HWND ListView() const;
    HWND FolderBox() const;
    HWND FormatBox() const;

    // Run state, repeat count and the player thread.
    CPlayer player;
    ActionList list;
    // Raw input into records; keeps the held-button flags and the last event
    // time. Declared after the player and the list it works on.
    CRecorder recorder{player, list};

private:
    // Writes the texts of record `position` into its row, inserting the row
    // when `insert` is set.
    void PutRow(int position, bool insert, uint32_t timeCode);
    void SetUpListView();
    void SetUpFormatBox();
};

// The five list-view column widths at 96 dpi.
extern const int kListColumnWidths[kRowColumns];
