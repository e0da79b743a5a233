#include "frame/app_base.h"

#include <commctrl.h>
#include <shellapi.h>

#include "config/comm_config.h"
#include "frame/small_dialogs.h"
#include "resources/resource.h"

CAppBase* g_app = nullptr;

namespace {

// The user's default language identifier for Japanese.
constexpr LANGID kLangIdJapanese = 1041;

}  // namespace

CAppBase::~CAppBase() {}

int CAppBase::Run(HINSTANCE hInstance, HINSTANCE, LPWSTR commandLine, int) {
    instance = hInstance;
    // The cool classes as the frame always asked for, and the list view the
    // main dialog is made of, so that the dialog never depends on another
    // module having registered it first.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_COOL_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    if (!InitInstance(hInstance)) return 0;
    if (mode != kAppModeDialog) return 0;

    ProcessCommandLine(commandLine);
    INT_PTR result = DialogBoxParamW(hInstance, GetDialogId(), nullptr, &MainDialogProc, 0);
    ExitInstance(hInstance);
    return static_cast<int>(result);
}

LRESULT CAppBase::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate(window, reinterpret_cast<CREATESTRUCTW*>(lParam));
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_SIZE: {
        RECT rect;
        RecalcLayout(&rect, LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    case WM_CLOSE:
        OnCloseMessage(window);
        return 0;
    case WM_NOTIFY:
        OnNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return mdi_client ? DefFrameProcW(window, mdi_client, message, wParam, lParam) : 0;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam), nullptr, 0);
        return 0;
    case WM_USER + 2:
        OnUserMessage(wParam);
        return 0;
    default:
        return mdi_client ? DefFrameProcW(window, mdi_client, message, wParam, lParam)
                          : DefWindowProcW(window, message, wParam, lParam);
    }
}

INT_PTR CAppBase::OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        OnCloseMessage(dialog);
        return 1;
    case WM_NOTIFY:
        OnNotify(static_cast<int>(wParam), reinterpret_cast<NMHDR*>(lParam));
        return 1;
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return 1;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 1;
    case WM_TIMER:
        OnTimer(wParam);
        return 1;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam), nullptr, 0);
        return 1;
    default:
        return 0;
    }
}

void CAppBase::OnCreate(HWND window, CREATESTRUCTW*) { main_window = window; }

LRESULT CAppBase::OnCloseMessage(HWND window) {
    LRESULT result = OnClose();
    if (result) {
        if (mode == kAppModeDialog) {
            EndDialog(window, 1);
        } else {
            DestroyWindow(window);
        }
    }
    return mdi_client ? CloseAllChildren() : result;
}

void CAppBase::OnDestroy(HWND) { PostQuitMessage(0); }

RECT* CAppBase::RecalcLayout(RECT* rect, int width, int height) {
    rect->left = 0;
    rect->top = 0;
    rect->right = width;
    rect->bottom = height;
    if (mdi_client) {
        MoveWindow(mdi_client, rect->left, rect->top, rect->right - rect->left,
                   rect->bottom - rect->top, TRUE);
    }
    return rect;
}

void CAppBase::OnNotify(int, NMHDR*) {}

void CAppBase::OnCommand(int id, int code) {
    switch (id) {
    case IDCANCEL:
    case ID_APP_EXIT:
        OnExit();
        break;
    case ID_VIEW_TOOLBAR:
        OnViewToolbar();
        break;
    case ID_VIEW_STATUSBAR:
        OnViewStatusBar();
        break;
    case ID_APP_ABOUT:
        OnAbout();
        break;
    case ID_HELP_TOPICS:
        OnHelp();
        break;
    case ID_HELP_LANGUAGE:
        ChooseLanguage(0);
        break;
    case ID_WINDOW_TILE_VERT:
        TileVertical();
        break;
    case ID_WINDOW_TILE_HORZ:
        TileHorizontal();
        break;
    case ID_WINDOW_CASCADE:
        Cascade();
        break;
    case ID_WINDOW_CLOSE_ALL:
        CloseAllChildren();
        break;
    default:
        if (mode != kAppModeDialog && main_window) {
            DefWindowProcW(main_window, WM_COMMAND, MAKEWPARAM(id, code), 0);
        }
        break;
    }
}

int CAppBase::OnDropFiles(HDROP drop, wchar_t* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = L'\0';
    DragQueryFileW(drop, 0, buffer, static_cast<UINT>(size));
    DragFinish(drop);
    return 1;
}

void CAppBase::OnTimer(UINT_PTR) {}

void CAppBase::OnUserMessage(WPARAM) {}

void CAppBase::OnExit() {
    if (!main_window) return;
    if (mode == kAppModeDialog) {
        EndDialog(main_window, 1);
    } else {
        SendMessageW(main_window, WM_CLOSE, 0, 0);
    }
}

bool FindHelpPage(const wchar_t* program, const wchar_t* page, wchar_t* path, int size) {
    if (!program || !page || !page[0] || !path || size <= 0) return false;
    path[0] = L'\0';
    const wchar_t* slash = nullptr;
    for (const wchar_t* p = program; *p; ++p) {
        if (*p == L'\\' || *p == L'/') slash = p;
    }
    const int folder = slash ? static_cast<int>(slash - program) + 1 : 0;
    const int length = lstrlenW(page);
    if (folder + length + 1 > size) return false;
    CopyMemory(path, program, folder * sizeof(wchar_t));
    CopyMemory(path + folder, page, (length + 1) * sizeof(wchar_t));
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CAppBase::OnHelp() {
    const wchar_t* page = g_config ? g_config->GetHelpUrl(UiLanguage() == 1 ? 1 : 0) : nullptr;
    if (!page || !page[0]) return;
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wchar_t path[2 * MAX_PATH];
    TextId failure = TextId::HelpMissingFormat;
    if (FindHelpPage(program, page, path, 2 * MAX_PATH)) {
        // Values up to 32 are errors: no program is set to open the page, or
        // it could not be started.
        const HINSTANCE opened = ShellExecuteW(nullptr, L"open", path, nullptr, L"", SW_SHOW);
        if (reinterpret_cast<INT_PTR>(opened) > 32) return;
        failure = TextId::HelpOpenFailedFormat;
    }
    // The pages ship beside the program; a copy of Taplore.exe taken on its
    // own has none, which the user is told rather than left wondering; so is
    // a system with nothing to show a page.
    wchar_t text[3 * MAX_PATH];
    wsprintfW(text, UiText(failure), path[0] ? path : page);
    MessageBoxW(main_window, text, UiText(TextId::HelpCaption), MB_OK | MB_ICONWARNING);
}

INT_PTR CAppBase::OnAbout() {
    CAboutDialog dialog;
    return dialog.DoModal(DialogModule(), DialogTemplateId(IDD_ABOUT_JA, UiLanguage()), main_window);
}

void CAppBase::OnViewToolbar() {}

void CAppBase::OnViewStatusBar() {}

int CAppBase::ChooseLanguage(int atStart) {
    if (!g_config) return 0;
    const int stored = g_config->language;
    CChooseLanguageDialog dialog;
    if (stored == 0 || stored == 1) {
        dialog.selected_language = stored;
        dialog.display_language = g_config->ui_language;
    } else {
        const int guess = GetUserDefaultLangID() == kLangIdJapanese ? 1 : 0;
        dialog.selected_language = guess;
        dialog.display_language = guess;
    }
    // At start there is no main window yet: the program module, no owner.
    INT_PTR result = dialog.DoModal(DialogModule(),
                                    DialogTemplateId(IDD_LANGUAGE_JA, dialog.display_language),
                                    main_window);
    if (atStart || result == 1) {
        if (atStart) g_config->ui_language = dialog.selected_language;
        g_config->language = dialog.selected_language;
        g_config->SaveSettings();
    }
    // The running windows keep their language: say when the choice applies.
    if (!atStart && result == 1 && dialog.selected_language != (g_config->ui_language == 1 ? 1 : 0)) {
        MessageBoxW(main_window, UiText(TextId::LanguageNextStartText), UiText(TextId::LanguageCaption),
                    MB_OK | MB_ICONINFORMATION);
    }
    return dialog.selected_language;
}

void CAppBase::OnInitDialog(HWND dialog) { main_window = dialog; }

void CAppBase::TileVertical() {
    if (mdi_client) SendMessageW(mdi_client, WM_MDITILE, MDITILE_VERTICAL, 0);
}

void CAppBase::TileHorizontal() {
    if (mdi_client) SendMessageW(mdi_client, WM_MDITILE, MDITILE_HORIZONTAL, 0);
}

void CAppBase::Cascade() {
    if (mdi_client) SendMessageW(mdi_client, WM_MDICASCADE, 0, 0);
}

BOOL CAppBase::CloseAllChildren() { return TRUE; }

LRESULT CAppBase::OnChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcW(window, message, wParam, lParam);
}

void CAppBase::OnChildActivate(HWND window) { SetFocus(window); }

int CAppBase::InitInstance(HINSTANCE) {
    if (g_config) {
        const int stored = g_config->language;
        if (stored < 0 || stored > 1) {
            g_config->ui_language = 0;
            ChooseLanguage(1);
        } else {
            g_config->ui_language = stored;
        }
    }
    if (ActivatePreviousInstance()) return 0;
    // The window modes need a registered main window class, which this frame
    // does not provide.
    return mode == kAppModeDialog ? 1 : 0;
}

void CAppBase::ExitInstance(HINSTANCE) {}

int CAppBase::ActivatePreviousInstance() {
    if (multiple_instances || !g_config) return 0;
    HWND other = FindWindowW(g_config->main_window_class.GetWide(), nullptr);
    if (!other) return 0;
    if (IsIconic(other)) {
        ShowWindow(other, SW_SHOW);
    } else {
        BringWindowToTop(other);
    }
    return 1;
}

void CAppBase::ProcessCommandLine(LPWSTR) {}

int CAppBase::OnClose() { return 1; }

DWORD CAppBase::CheckMenu(int id, int checked) {
    HMENU menu = main_window ? GetMenu(main_window) : nullptr;
    return CheckMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

LRESULT CAppBase::EnableMenu(int id, int enabled) {
    HMENU menu = main_window ? GetMenu(main_window) : nullptr;
    if (!menu) return 0;
    return EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

LPCWSTR CAppBase::GetDialogId() { return L""; }

LRESULT CALLBACK CAppBase::MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_app) return 0;
    return g_app->OnWindowMessage(window, message, wParam, lParam);
}

INT_PTR CALLBACK CAppBase::MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_app) return 0;
    return g_app->OnMessage(dialog, message, wParam, lParam);
}

LRESULT CALLBACK CAppBase::ChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!g_app) return DefMDIChildProcW(window, message, wParam, lParam);
    return g_app->OnChildMessage(window, message, wParam, lParam);
}

HINSTANCE CAppBase::DialogModule() const {
    if (main_window) return DialogModuleOf(main_window);
    return instance ? instance : GetModuleHandleW(nullptr);
}
