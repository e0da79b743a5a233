#include "dialogs/config_dialog_win.h"

#include <commctrl.h>

#include "config/app_parameter.h"
#include "core/debug.h"
#include "model/keynames.h"
#include "resources/resource.h"

CConfigDialog::~CConfigDialog() {}

INT_PTR CConfigDialog::Show(HWND owner) {
    // The hotkey fields are the common controls' own class.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&controls);
    return DoModal(DialogTemplateId(IDD_SETTINGS_JA, UiLanguage()), owner);
}

void CConfigDialog::OnInitDialog(HWND dialog) {
    SetDialogSmallIcon(dialog);
    fillKeyBox(GetDlgItem(dialog, IDC_BREAK_KEY), break_key);
    const wchar_t* inactive = UiText(TextId::HotkeyInactive);
    SendDlgItemMessageW(dialog, IDC_RECORD_HOTKEY, HKM_SETHOTKEY, static_cast<WPARAM>(record_hotkey & 0xFFFF), 0);
    SendDlgItemMessageW(dialog, IDC_PLAY_HOTKEY, HKM_SETHOTKEY, static_cast<WPARAM>(play_hotkey & 0xFFFF), 0);
    SetDlgItemTextW(dialog, IDC_RECORD_HOTKEY_STATE, record_active || !record_hotkey ? L"" : inactive);
    SetDlgItemTextW(dialog, IDC_PLAY_HOTKEY_STATE, play_active || !play_hotkey ? L"" : inactive);
    CheckDlgButton(dialog, IDC_RECORD_MOTION, record_motion == 1 ? BST_CHECKED : BST_UNCHECKED);
}

namespace {

// The hotkey in field `id`: the field's flags beyond Shift, Ctrl and Alt (the
// extended-key mark) are not part of a hotkey, and modifiers without a key
// are none.
int32_t FieldHotkey(HWND dialog, int id) {
    const int32_t mask = ((kHotkeyShift | kHotkeyControl | kHotkeyAlt) << 8) | 0xFF;
    const int32_t hotkey = static_cast<int32_t>(SendDlgItemMessageW(dialog, id, HKM_GETHOTKEY, 0, 0)) & mask;
    return (hotkey & 0xFF) == 0 ? 0 : hotkey;
}

}  // namespace

int CConfigDialog::OnOK(HWND dialog) {
    const int32_t record = FieldHotkey(dialog, IDC_RECORD_HOTKEY);
    const int32_t play = FieldHotkey(dialog, IDC_PLAY_HOTKEY);
    // A registered hotkey reaches no other program: a plain key would be
    // taken from every text typed anywhere.
    const bool recordTypes = HotkeyTakesTyping(record);
    if (recordTypes || HotkeyTakesTyping(play)) {
        MessageBoxW(dialog, UiText(recordTypes ? TextId::RecordHotkeyTypingText : TextId::PlayHotkeyTypingText),
                    UiText(TextId::HotkeyCaption), MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, recordTypes ? IDC_RECORD_HOTKEY : IDC_PLAY_HOTKEY));
        return 0;
    }
    const int32_t chosen = keyBoxSelectedCode(GetDlgItem(dialog, IDC_BREAK_KEY));
    if (chosen > 0) break_key = chosen;
    record_hotkey = record;
    play_hotkey = play;
    record_motion = IsDlgButtonChecked(dialog, IDC_RECORD_MOTION) == BST_CHECKED ? 1 : 0;
    return 1;
}

INT_PTR ChooseBreakKey(HWND owner, const bool* hotkeyActive) {
    CAppParameter* parameters = TheAppParameter();
    if (!parameters) return -1;
    CConfigDialog dialog;
    dialog.break_key = parameters->break_key;
    dialog.record_hotkey = parameters->record_hotkey;
    dialog.play_hotkey = parameters->play_hotkey;
    dialog.record_active = !hotkeyActive || hotkeyActive[0];
    dialog.play_active = !hotkeyActive || hotkeyActive[1];
    dialog.record_motion = parameters->record_motion;
    const INT_PTR result = dialog.Show(owner);
    if (result == 1) {
        parameters->break_key = dialog.break_key;
        parameters->record_hotkey = dialog.record_hotkey;
        parameters->play_hotkey = dialog.play_hotkey;
        parameters->record_motion = dialog.record_motion;
        if (!parameters->SaveSettings()) {
            const wchar_t* path = parameters->ini_file.GetWide();
            DebugPrint(L"settings not saved : %s\n", path ? path : L"");
        }
    }
    return result;
}
