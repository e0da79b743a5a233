#pragma once
// CDialog: base of every modal dialog except the main dialog. Dispatch turns
// the platform's dialog messages into a few virtual operations; OK and Cancel
// end the dialog with 1 and 0 unless OnOK / OnCancel refuse.
//
// Each dialog class has one process-wide pointer to the instance being shown
// and one static dialog procedure that forwards to it (CDialogOf<T> provides
// both). Dialog objects live on the caller's stack: fill the public fields,
// call DoModal, read the fields back.
#include <windows.h>
#include <shellapi.h>

#include "core/cstring.h"
#include "win/combo_box_win.h"

class CDialog : public CObject {
public:
    CDialog() = default;
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Returns 1 for the messages it handles (notify, init, command, drop), else 0.
    virtual INT_PTR Dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnInitDialog(HWND dialog);
    virtual void OnCommand(HWND dialog, int id, int code);
    // 1 lets the dialog close, 0 keeps it open.
    virtual int OnOK(HWND dialog);
    virtual int OnCancel(HWND dialog);
    virtual void OnNotify(HWND dialog, int id, NMHDR* header);
    // With a buffer of `size` characters: copies the first dropped path,
    // releases the drop and returns 1. Without one: returns 0.
    virtual int OnDropFiles(HDROP drop, wchar_t* buffer, int size);

    // The dialog window, set on WM_INITDIALOG; null before.
    HWND Window() const { return window_; }

protected:
    HWND window_ = nullptr;
};

// The module that holds the templates for a dialog owned by `owner`: the
// owner's module, or the program's own when there is no owner.
HINSTANCE DialogModuleOf(HWND owner);

// English templates are the Japanese number plus 100.
inline int DialogTemplateId(int japaneseId, int uiLanguage) {
    return uiLanguage == 1 ? japaneseId : japaneseId + 100;
}

// The per-class current-dialog pointer and static procedure of dialog class T.
template <class T>
class CDialogOf : public CDialog {
public:
    // The instance being shown; set by DoModal just before the modal call and
    // deliberately left set afterwards.
    static inline T* current = nullptr;

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
        return current ? current->Dispatch(dialog, message, wParam, lParam) : 0;
    }

    // Runs the template `templateId` of `module` modally, owned by `owner`.
    // Returns 1 after OK, 0 after Cancel, -1 when the dialog could not be made.
    INT_PTR DoModal(HINSTANCE module, int templateId, HWND owner) {
        current = static_cast<T*>(this);
        return DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), owner, &DialogProc, 0);
    }
    INT_PTR DoModal(int templateId, HWND owner) {
        return DoModal(DialogModuleOf(owner), templateId, owner);
    }
};

// Gives `dialog` the program icon (IDI_APP as the configuration names
// it) as its 16 x 16 small icon. The icon is shared and never freed.
void SetDialogSmallIcon(HWND dialog);
