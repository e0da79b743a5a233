#pragma once
// Showing a real modal dialog on the test's own thread while a second thread
// works it the way a user's input reaches it: texts typed into edits, items
// chosen in lists (with the selection-change notice the list sends), buttons
// clicked. The driver reads what it needs before it closes the dialog; the
// test checks the dialog object after the modal call has returned.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "config/app_parameter.h"
#include "gui_driver_win.h"

namespace dialogtest {

using gui::ComboState;
using gui::ReadCombo;

// The visible dialog box of thread `threadId`, or null. Visible means the
// dialog has finished WM_INITDIALOG.
inline HWND FindDialog(DWORD threadId, bool visibleOnly = true) {
    struct Search {
        bool visibleOnly;
        HWND found;
    } search{visibleOnly, nullptr};
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (gui::ClassOf(window) == "#32770" && (!s->visibleOnly || IsWindowVisible(window))) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct DrivenRun {
    INT_PTR result = -2;
    bool driven = false;  // the driver found the dialog and ran
};

// Calls `show` (which runs a modal dialog on this thread) while `drive`
// receives the dialog window on a second thread. A dialog the driver leaves
// open, or one that never becomes visible, is cancelled after a time limit,
// so a faulty dialog fails the test instead of hanging it.
template <class Show, class Drive>
DrivenRun RunDriven(Show show, Drive drive) {
    const DWORD dialogThread = GetCurrentThreadId();
    std::atomic<bool> closed{false};
    DrivenRun run;
    std::thread driver([&] {
        HWND dialog = nullptr;
        gui::WaitFor([&] { return closed.load() || (dialog = FindDialog(dialogThread)) != nullptr; });
        if (closed.load()) return;
        if (dialog) {
            run.driven = true;
            drive(dialog);
        } else {
            dialog = FindDialog(dialogThread, false);
        }
        if (!gui::WaitFor([&] { return closed.load(); }) && dialog) {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    });
    run.result = show();
    closed.store(true);
    driver.join();
    return run;
}

inline HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

inline std::string Text(HWND dialog, int id) { return gui::ControlText(dialog, id); }

inline void SetText(HWND dialog, int id, const std::string& utf8) {
    std::wstring text = gui::Wide(utf8);
    SendMessageW(Control(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

inline void Click(HWND dialog, int id) { SendMessageW(Control(dialog, id), BM_CLICK, 0, 0); }

// Selects item `index` of a drop-down list and sends the owner the
// selection-change notice, as a choice with the mouse does.
inline void Choose(HWND dialog, int id, int index) {
    HWND combo = Control(dialog, id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// Chooses the item whose text is `utf8`; false when there is none.
inline bool ChooseText(HWND dialog, int id, const std::string& utf8) {
    std::wstring text = gui::Wide(utf8);
    LRESULT index = SendMessageW(Control(dialog, id), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(text.c_str()));
    if (index == CB_ERR) return false;
    Choose(dialog, id, static_cast<int>(index));
    return true;
}

// The text of the selected item, "<none>" when nothing is selected.
inline std::string SelectedText(const ComboState& state) {
    if (state.selected < 0 || state.selected >= static_cast<LRESULT>(state.items.size())) return "<none>";
    return state.items[static_cast<size_t>(state.selected)];
}

inline bool HasSmallIcon(HWND dialog) { return SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0) != 0; }

// Publishes a product configuration as the process-wide one for one test.
struct PublishedConfig {
    explicit PublishedConfig(CAppParameter* config) { g_config = config; }
    ~PublishedConfig() { g_config = nullptr; }
    PublishedConfig(const PublishedConfig&) = delete;
    PublishedConfig& operator=(const PublishedConfig&) = delete;
};

}  // namespace dialogtest
