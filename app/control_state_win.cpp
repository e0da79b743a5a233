// What the main window offers at each moment: which buttons, boxes and menu
// commands are enabled, and the keyboard shortcuts of the menu commands.
#include "app/app_main.h"

#include "config/app_parameter.h"
#include "resources/resource.h"

namespace {

// The main window whose shortcuts the thread's message filter serves.
CAppMain* g_shortcutApp = nullptr;

LRESULT CALLBACK ShortcutFilter(int code, WPARAM wParam, LPARAM lParam) {
    // The dialog manager offers each message of a modal loop here before it
    // handles it itself (MSGF_DIALOGBOX).
    if (code == MSGF_DIALOGBOX && g_shortcutApp && g_shortcutApp->TranslateShortcut(reinterpret_cast<MSG*>(lParam))) {
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void CAppMain::InstallShortcuts() {
    const wchar_t* name = g_config ? g_config->GetResourceName(kResourceAccelerators) : nullptr;
    shortcuts_ = name ? LoadAcceleratorsW(GetModuleHandleW(nullptr), name) : nullptr;
    if (!shortcuts_ || shortcutFilter_) return;
    g_shortcutApp = this;
    shortcutFilter_ = SetWindowsHookExW(WH_MSGFILTER, ShortcutFilter, nullptr, GetCurrentThreadId());
}

void CAppMain::RemoveShortcuts() {
    if (shortcutFilter_) UnhookWindowsHookEx(shortcutFilter_);
    shortcutFilter_ = nullptr;
    if (g_shortcutApp == this) g_shortcutApp = nullptr;
    // Tables loaded from the program's resources are freed with it.
    shortcuts_ = nullptr;
}

bool CAppMain::ModalOpen() const { return main_window && !IsWindowEnabled(main_window); }

bool CAppMain::TranslateShortcut(MSG* msg) {
    if (!msg || !shortcuts_ || !main_window) return false;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return false;
    // Only keys typed into the main window: a dialog it opened has its own.
    if (msg->hwnd != main_window && !IsChild(main_window, msg->hwnd)) return false;
    return TranslateAcceleratorW(main_window, shortcuts_, msg) != 0;
}

void CAppMain::UpdateControls() {
    if (!main_window) return;
    const RunState state = player.GetRunState();
    const bool recording = state == RunState::Recording;
    if (!recording) ShowPendingRows();
    // A run is going, or requested and not yet begun or finished: no second
    // run or recording can start. Neither while recording nor while running
    // may the list change.
    const bool running = !recording && !player.CanStart();
    const bool editable = !EditsLocked();
    const int row = FirstSelectedRow();
    const int count = list.count();
    const struct {
        int id;
        bool enabled;
    } controls[] = {
        {IDC_RECORD_START, recorder.CanStartRecord()},
        {IDC_RECORD_STOP, recording},
        {IDC_PLAY_START, player.CanStart()},
        {IDC_PLAY_STOP, running},
        {IDC_ADD, editable},
        {IDC_MODIFY, editable && row >= 0 && row < count},
        {IDC_DELETE, editable && row >= 0 && row < count},
        {IDC_DELETE_ALL, editable},
        {IDC_MOVE_UP, editable && row >= 1 && row < count},
        {IDC_MOVE_DOWN, editable && row >= 0 && row < count - 1},
        {IDC_SCREENSHOT_FOLDER, editable},
        {IDC_BROWSE_FOLDER, editable},
        {IDC_SCREENSHOT_FORMAT, editable},
        {ID_FILE_NEW, editable},
        {ID_FILE_OPEN, editable},
        {ID_FILE_RECENT_FIRST, editable},
    };
    uint32_t enabled = 0;
    for (size_t i = 0; i < sizeof controls / sizeof controls[0]; ++i) {
        if (controls[i].enabled) enabled |= 1u << i;
    }
    if (enabledKnown_ && enabled == enabled_) return;
    HWND focus = GetFocus();
    for (size_t i = 0; i < sizeof controls / sizeof controls[0]; ++i) {
        const uint32_t bit = 1u << i;
        if (enabledKnown_ && (enabled & bit) == (enabled_ & bit)) continue;
        if (controls[i].id == ID_FILE_RECENT_FIRST) {
            for (int id = ID_FILE_RECENT_FIRST; id <= ID_FILE_RECENT_LAST; ++id) EnableMenu(id, controls[i].enabled);
        } else if (controls[i].id == ID_FILE_NEW || controls[i].id == ID_FILE_OPEN) {
            EnableMenu(controls[i].id, controls[i].enabled);
        } else {
            EnableWindow(GetDlgItem(main_window, controls[i].id), controls[i].enabled);
        }
    }
    enabled_ = enabled;
    enabledKnown_ = true;
    // A control that lost its enabled state also lost the keyboard focus:
    // the list takes it, so the keyboard keeps working.
    if (focus && IsChild(main_window, focus) && !IsWindowEnabled(focus)) {
        SendMessageW(main_window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ListView()), TRUE);
    }
}
