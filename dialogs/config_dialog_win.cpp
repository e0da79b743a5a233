#include "dialogs/config_dialog_win.h"

#include "config/app_parameter.h"
#include "core/debug.h"
#include "model/keynames.h"
#include "resources/resource.h"

CConfigDialog::~CConfigDialog() {}

INT_PTR CConfigDialog::Show(HWND owner) {
    return DoModal(DialogTemplateId(IDD_SETTINGS_JA, UiLanguage()), owner);
}

void CConfigDialog::OnInitDialog(HWND dialog) {
    SetDialogSmallIcon(dialog);
    fillKeyBox(GetDlgItem(dialog, IDC_BREAK_KEY), break_key);
}

int CConfigDialog::OnOK(HWND dialog) {
    const int32_t chosen = keyBoxSelectedCode(GetDlgItem(dialog, IDC_BREAK_KEY));
    if (chosen > 0) break_key = chosen;
    return 1;
}

INT_PTR ChooseBreakKey(HWND owner) {
    CAppParameter* parameters = TheAppParameter();
    if (!parameters) return -1;
    CConfigDialog dialog;
    dialog.break_key = parameters->break_key;
    const INT_PTR result = dialog.Show(owner);
    if (result == 1) {
        parameters->break_key = dialog.break_key;
        if (!parameters->SaveSettings()) {
            const wchar_t* path = parameters->ini_file.GetWide();
            DebugPrint(L"settings not saved : %s\n", path ? path : L"");
        }
    }
    return result;
}
