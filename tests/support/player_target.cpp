// player_target.exe MAPPING LEFT TOP WIDTH HEIGHT
// A borderless topmost window over the given screen rectangle that logs the
// input messages it receives into the shared memory MAPPING (see
// player_target.h). Ends on WM_CLOSE, or after ten minutes at the latest.
// On request a key's push opens the help viewer (helpOnKey).
#include "player_target.h"

#include <cstdlib>

namespace {

target::Log* g_log = nullptr;

void Append(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    LONG slot = g_log->count;
    if (slot >= target::kMaxEvents) {
        InterlockedIncrement(&g_log->dropped);
        return;
    }
    target::Event& e = g_log->events[slot];
    e.message = message;
    e.wParam = static_cast<UINT>(wParam);
    e.lParam = static_cast<UINT>(lParam);
    e.counter = now.QuadPart;
    if (target::IsKeyMessage(message)) {
        DWORD pos = GetMessagePos();
        e.screenX = static_cast<short>(LOWORD(pos));
        e.screenY = static_cast<short>(HIWORD(pos));
        e.clientX = e.clientY = 0;
    } else if (target::IsWheelMessage(message)) {
        // Wheel messages carry screen positions.
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        e.screenX = p.x;
        e.screenY = p.y;
        ScreenToClient(window, &p);
        e.clientX = p.x;
        e.clientY = p.y;
    } else {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        e.clientX = p.x;
        e.clientY = p.y;
        ClientToScreen(window, &p);
        e.screenX = p.x;
        e.screenY = p.y;
    }
    MemoryBarrier();
    InterlockedExchange(&g_log->count, slot + 1);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (target::IsButtonMessage(message) || target::IsKeyMessage(message) ||
        (message == WM_MOUSEMOVE && g_log->logMoves)) {
        Append(window, message, wParam, lParam);
    }
    switch (message) {
        case WM_KEYDOWN:
            // As Wine's notepad does with F1: the help viewer starts as a
            // process of its own and opens its error box while the key is
            // still down.
            if (g_log->helpOnKey != 0 && static_cast<LONG>(wParam) == g_log->helpOnKey) {
                WinHelpW(window, L"taplore_target.hlp", HELP_CONTENTS, 0);
                return 0;
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_XBUTTONDOWN:
        case WM_XBUTTONUP:
            return TRUE;
        case WM_TIMER:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
            // No system menu or menu-bar activation from injected Alt/F10.
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, argv[1]);
    if (!mapping) return 3;
    g_log = static_cast<target::Log*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!g_log) return 4;
    int left = _wtoi(argv[2]), top = _wtoi(argv[3]);
    int width = _wtoi(argv[4]), height = _wtoi(argv[5]);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = L"TaploreTarget";
    // No CS_DBLCLKS: a double click arrives as down, up, down, up.
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Taplore target", WS_POPUP,
                                  left, top, width, height, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 5;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    SetFocus(window);
    SetTimer(window, 1, 10 * 60 * 1000, nullptr);
    g_log->window = window;
    MemoryBarrier();
    InterlockedExchange(&g_log->ready, 1);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnmapViewOfFile(g_log);
    CloseHandle(mapping);
    return 0;
}
