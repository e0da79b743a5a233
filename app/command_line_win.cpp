// What the command line asks for beyond the main window: the usage text, a
// wrong argument, and /play, which plays a file without showing the main
// window and ends with an exit code (config/command_line.h).
//
// A /play run has a hidden window of its own: it receives the raw keyboard
// input that carries the break key and the player's WM_PLAY_END. It is never
// shown, so nothing of the program appears on the desktop unless a question
// or a message must be shown. A close request (taskkill without /F sends one
// to every top-level window) or the end of the session ends the run at once,
// as the break key would, and the program with it.
#include "app/app_main.h"

#include <shellapi.h>

#include "config/comm_config.h"
#include "core/array.h"
#include "core/debug.h"

namespace {

const wchar_t kPlayWindowClass[] = L"TAPLORE PLAY COMMAND";

// The language of a start that shows no main window: the stored choice, else
// the user's own, without asking (the question belongs to the main window).
int CommandLanguage() {
    const int stored = g_config ? g_config->language : -1;
    if (stored == 0 || stored == 1) return stored;
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? 1 : 0;
}

LRESULT CALLBACK PlayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CAppMain* app = reinterpret_cast<CAppMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_INPUT:
        if (app) app->recorder.OnRawInput(reinterpret_cast<HRAWINPUT>(lParam));
        break;
    case WM_PLAY_END:
        if (app && app->player.OnPlayEnd()) PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        // Handled here: the default would destroy the window and leave the
        // loop, the break key and the player's end with nowhere to go. The
        // keys and buttons the run holds are let go before this returns,
        // since the process may end as soon as the session does.
        if (app) app->player.StopNow();
        PostQuitMessage(0);
        return message == WM_QUERYENDSESSION ? TRUE : 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LaunchRequest ReadProgramCommandLine() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    LaunchRequest request;
    if (!arguments) return request;
    // The request points into the arguments, which stay for the process's
    // whole life, and the file's full path into storage that does too.
    if (count > 1) request = ParseCommandLine(count - 1, arguments + 1);
    static CArray<wchar_t> fullFile;
    request.file = FullPathOf(request.file, &fullFile);
    return request;
}

int CAppMain::RunCommand(HINSTANCE hInstance, const LaunchRequest& request) {
    instance = hInstance;
    if (g_config) g_config->ui_language = CommandLanguage();
    const int language = UiLanguage();
    if (request.mode == LaunchMode::Usage) {
        MessageBoxW(nullptr, UsageText(language), L"Taplore", MB_OK | MB_ICONINFORMATION);
        return kExitPlayed;
    }
    if (request.mode == LaunchMode::Error) {
        DebugPrint(L"command line refused\n");
        if (!request.quiet) ShowFormatted(nullptr, L"Taplore", LaunchErrorFormat(request.error, language), request.argument, MB_ICONWARNING);
        return kExitFailed;
    }
    // Only a whole list plays: a damaged file could stop half way through
    // what it was meant to do.
    const OperationFileLoad load = LoadOperationFile(&list, request.file);
    if (!load.operationFile || !load.whole()) {
        DebugPrint(L"play : file not read : %s\n", request.file);
        if (!request.quiet) {
            ShowFormatted(nullptr, L"Taplore", UiText(TextId::PlayFileUnreadableFormat), request.file, MB_ICONWARNING);
        }
        return kExitFailed;
    }
    // A list from another computer: the question of Start Play, or with
    // /quiet, where nobody could answer it, no run at all.
    if (!request.yes && (request.quiet ? !FromThisComputer(list.ident) : !ConfirmPlayStart())) {
        return kExitFailed;
    }
    // Screenshots into a folder that takes no files: the question of Start
    // Play; with /quiet no run, rather than one that silently saves nothing.
    if (!ConfirmScreenshotFolder(!request.quiet)) {
        DebugPrint(L"play : screenshot folder refused\n");
        return kExitFailed;
    }

    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PlayWindowProc;
    windowClass.hInstance = hInstance;
    windowClass.lpszClassName = kPlayWindowClass;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kPlayWindowClass, L"Taplore", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, hInstance, nullptr);
    if (!window) return kExitFailed;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // The break key must not bring a window back: there is none to show.
    recorder.SetWindow(window, false);
    const bool input = recorder.RegisterInput();
    // Without raw input the break key could not stop the run.
    if (!input) {
        DestroyWindow(window);
        return kExitFailed;
    }
    player.SetMainWindow(window);
    player.WatchInputArrivals(true);
    int result = kExitFailed;
    // The break key is taken from the program in front, as in the window,
    // from before the run's first row on.
    recorder.WatchBreakKey();
    if (player.StartThread() && player.RequestPlay(list, request.repeat, request.speed)) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        result = player.LastRunComplete() ? kExitPlayed : kExitStopped;
        if (player.LastRunEnd() != kPlayEndNormal) result = kExitIncomplete;
    }
    recorder.StopWatchingBreakKey();
    player.StopThread();
    player.SetMainWindow(nullptr);
    DestroyWindow(window);
    if (result == kExitIncomplete && !request.quiet) {
        if (player.LastRunEnd() & kPlayEndRefused) ReportRefusedInput();
        if (player.LastRunEnd() & kPlayEndPicturesLost) ReportLostPictures();
    }
    return result;
}
