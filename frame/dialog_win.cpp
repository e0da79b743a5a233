#include "frame/dialog.h"

#include <shellapi.h>

#include "config/comm_config.h"
#include "resources/resource.h"

CDialog::~CDialog() {}

INT_PTR CDialog::Dispatch(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFY:
        OnNotify(dialog, static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
        return 1;
    case WM_INITDIALOG:
        window_ = dialog;
        OnInitDialog(dialog);
        return 1;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return 1;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam), nullptr, 0);
        return 1;
    default:
        return 0;
    }
}

void CDialog::OnInitDialog(HWND) {}

void CDialog::OnCommand(HWND dialog, int id, int) {
    if (id == IDOK) {
        if (OnOK(dialog)) EndDialog(dialog, 1);
    } else if (id == IDCANCEL) {
        if (OnCancel(dialog)) EndDialog(dialog, 0);
    }
}

int CDialog::OnOK(HWND) { return 1; }

int CDialog::OnCancel(HWND) { return 1; }

void CDialog::OnNotify(HWND, int, NMHDR*) {}

int CDialog::OnDropFiles(HDROP drop, wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = L'\0';
    DragQueryFileW(drop, 0, buffer, static_cast<UINT>(size));
    DragFinish(drop);
    return 1;
}

HINSTANCE DialogModuleOf(HWND owner) {
    if (owner) {
        HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
        if (module) return module;
    }
    return GetModuleHandleW(nullptr);
}

void SetDialogSmallIcon(HWND dialog) {
    const wchar_t* name = g_config ? g_config->GetResourceName(IDI_APP) : nullptr;
    if (!name) return;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
    // LR_SHARED: the icon lives as long as the module, so dialogs that come
    // and go never leak one.
    HANDLE icon = LoadImageW(module, name, IMAGE_ICON, 16, 16, LR_SHARED);
    if (icon) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}
