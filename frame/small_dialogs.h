#pragma once
// The frame's two small dialogs: the version dialog (templates 1004/1104) and
// the language dialog (1001/1101).
#include "frame/dialog.h"

class CAboutDialog : public CDialogOf<CAboutDialog> {
public:
    // Shows "Version <version text>" (control 10101) and "64bit edition" (10130).
    void OnInitDialog(HWND dialog) override;
};

class CChooseLanguageDialog : public CDialogOf<CChooseLanguageDialog> {
public:
    // In: 1 shows the language names in Japanese, any other value in English.
    int display_language = 0;
    // In: the item to preselect. Out after OK: the chosen item, 0 English or
    // 1 Japanese. Cancel leaves it as it was.
    int selected_language = 0;

    void OnInitDialog(HWND dialog) override;
    int OnOK(HWND dialog) override;
};
