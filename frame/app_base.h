#pragma once
// CAppBase: the application framework. It links the one application object to
// the platform (instance, main window, message routing), runs the program,
// resolves the user-interface language at start and carries the frame
// commands every application shares: exit, help, version and language dialogs.
//
// Only the dialog mode (mode 0: the main window is a modal dialog) is
// provided. The window modes 1 and 2 keep their virtual operations as an
// interface with minimal defaults: InitInstance refuses them, since no window
// class is registered, and no toolbar or status bar object exists.
#include <windows.h>
#include <shellapi.h>

#include "core/cstring.h"

class CToolBar;
class CStatusBar;

enum : int {
    kAppModeDialog = 0,
    kAppModeWindow = 1,
    kAppModeMdi = 2,
};

class CAppBase : public CObject {
public:
    CAppBase() = default;
    ~CAppBase() override;
    CAppBase(const CAppBase&) = delete;
    CAppBase& operator=(const CAppBase&) = delete;

    // Stores the instance, initialises the common controls, runs InitInstance
    // and then the main dialog; returns the dialog's result, 0 when
    // InitInstance failed.
    virtual int Run(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);
    virtual LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Main dialog messages: 1 handled, 0 left to the platform's dialog handling.
    virtual INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnCreate(HWND window, CREATESTRUCTW* creation);
    virtual LRESULT OnCloseMessage(HWND window);
    virtual void OnDestroy(HWND window);
    virtual RECT* RecalcLayout(RECT* rect, int width, int height);
    virtual void OnNotify(int id, NMHDR* header);
    virtual void OnCommand(int id, int code);
    virtual int OnDropFiles(HDROP drop, wchar_t* buffer, int size);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnUserMessage(WPARAM wParam);
    virtual void OnExit();
    virtual void OnHelp();
    virtual INT_PTR OnAbout();
    virtual void OnViewToolbar();
    virtual void OnViewStatusBar();
    // Shows the language dialog; returns the chosen language (0 English,
    // 1 Japanese; after Cancel the preselected one).
    virtual int ChooseLanguage(int atStart);
    virtual void OnInitDialog(HWND dialog);
    virtual void TileVertical();
    virtual void TileHorizontal();
    virtual void Cascade();
    virtual BOOL CloseAllChildren();
    virtual LRESULT OnChildMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void OnChildActivate(HWND window);
    // 1 to go on, 0 to end the program without showing anything.
    virtual int InitInstance(HINSTANCE instance);
    virtual void ExitInstance(HINSTANCE instance);
    // 1 when another copy was found and brought forward.
    virtual int ActivatePreviousInstance();
    virtual void ProcessCommandLine(LPWSTR commandLine);
    // 1 allows the main window to close, 0 refuses.
    virtual int OnClose();
    virtual DWORD CheckMenu(int id, int checked);
    virtual LRESULT EnableMenu(int id, int enabled);
    // Template of the main dialog; the frame's own is the empty name.
    virtual LPCWSTR GetDialogId();

    // The procedures the platform calls; they forward to g_app and answer 0
    // (or the default) while no application object is published.
    static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ChildWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int32_t mode = kAppModeDialog;
    HINSTANCE instance = nullptr;
    HWND main_window = nullptr;
    HWND mdi_client = nullptr;
    DWORD help_cookie = 0;
    CToolBar* toolbar = nullptr;
    CStatusBar* status_bar = nullptr;
    int32_t multiple_instances = 0;

protected:
    // The module holding the templates of dialogs owned by the main window.
    HINSTANCE DialogModule() const;
};

// The help page `page` (a path relative to the program's folder) of the
// program at `program`, as a full path in `path` (`size` characters). False
// when the page is not there; `path` then holds where it was looked for, or
// is empty when it does not fit.
bool FindHelpPage(const wchar_t* program, const wchar_t* page, wchar_t* path, int size);

// The one application object; published by start-up before Run.
extern CAppBase* g_app;
