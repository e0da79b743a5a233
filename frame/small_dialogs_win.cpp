#include "frame/small_dialogs.h"

#include <cwchar>
#include <initializer_list>

#include "config/comm_config.h"
#include "resources/resource.h"

void CAboutDialog::OnInitDialog(HWND dialog) {
    const wchar_t* version = g_config ? g_config->GetVersionText() : nullptr;
    wchar_t text[64];
    _snwprintf(text, sizeof text / sizeof text[0], L"Version %ls", version ? version : L"");
    text[sizeof text / sizeof text[0] - 1] = L'\0';
    SetDlgItemTextW(dialog, IDC_VERSION_TEXT, text);
    SetDlgItemTextW(dialog, IDC_EDITION_TEXT, L"64bit edition");
}

void CChooseLanguageDialog::OnInitDialog(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    // Item 0 always means English and item 1 Japanese, whatever the display language.
    for (TextId name : {TextId::LanguageEnglish, TextId::LanguageJapanese}) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TextFor(name, display_language)));
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected_language), 0);
}

int CChooseLanguageDialog::OnOK(HWND dialog) {
    selected_language = static_cast<int>(SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, CB_GETCURSEL, 0, 0));
    return 1;
}
