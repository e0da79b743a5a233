#pragma once
// CConfigDialog: the settings dialog (templates 2002 Japanese, 2102 English)
// in which the user chooses the break key from the key-name list, the
// hotkeys, and whether a recording keeps the whole mouse.
#include <windows.h>

#include <cstdint>

#include "frame/dialog.h"

class CConfigDialog : public CDialogOf<CConfigDialog> {
public:
    CConfigDialog() = default;
    ~CConfigDialog() override;

    // Runs the template of the configuration's ui_language (2002 when it is
    // 1, else 2102) owned by `owner`: 1 after OK, 0 after Cancel, -1 when the
    // dialog could not be made.
    INT_PTR Show(HWND owner);

    // Fills the key list and selects break_key (nothing when it has no name).
    void OnInitDialog(HWND dialog) override;
    // A selected key becomes break_key; with none selected it stays. Always 1.
    int OnOK(HWND dialog) override;

    // In: the key to preselect. Out after OK: the chosen virtual-key code.
    int32_t break_key = 0;
    // In: the hotkeys to show (config/app_parameter.h) and whether each is
    // active; one that is not says so under its field. Out after OK: the
    // hotkeys in the fields (0 for an empty one).
    int32_t record_hotkey = 0;
    int32_t play_hotkey = 0;
    bool record_active = true;
    bool play_active = true;
    // In: 1 checks the box. Out after OK: 1 when it is checked, else 0.
    int32_t record_motion = 0;
};

// The Setting command: the settings dialog, owned by `owner`, opens on the
// configuration's break_key, hotkeys (`hotkeyActive`: record and play
// registered, null for both) and record_motion; after OK they take the
// chosen values and the settings file is written at once. Cancel changes nothing. Returns the
// dialog's result, or -1 (showing nothing) while no CAppParameter is
// published.
INT_PTR ChooseBreakKey(HWND owner, const bool* hotkeyActive = nullptr);
