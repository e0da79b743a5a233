// The program's entry point: brings the process-wide services up in a fixed
// order, runs the application object and takes everything down in reverse.
#include <windows.h>

#include "app/app_main.h"
#include "config/app_parameter.h"
#include "core/array.h"
#include "core/debug.h"
#include "playback/capture_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
    // No library is ever loaded from the current directory: the program may
    // be started from a folder that holds files of unknown origin.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);

    BindDebugOutput();
    // Screenshot encoding relies on GDI+; a failed start is not examined.
    ULONG_PTR gdiplusToken = GdiPlusStart();
    COwner<CAppParameter> parameters;
    if (!g_config) {
        parameters = COwner<CAppParameter>::New();
        if (parameters) {
            parameters->break_key = kDefaultBreakKey;
            g_config = parameters.Get();
        }
    }
    if (g_config) g_config->Initialize();

    int result;
    {
        CAppMain app;
        g_app = &app;
        result = app.Run(instance, previous, commandLine, show);

        // The player thread has ended inside Run, so the process-wide
        // pointers change while no other thread of ours runs.
        parameters.Reset();
        g_config = nullptr;
        GdiPlusStop(gdiplusToken);
        UnbindDebugOutput();
        g_app = nullptr;
    }
    return result;
}
