#pragma once
// The log that player_target.exe keeps in named shared memory, read by the
// player tests and the playback benchmark. The target is a borderless
// topmost window; it appends every mouse button, mouse move (when asked) and
// key message it receives, with client and screen positions and the
// performance-counter time at which its window procedure saw it.
#include <windows.h>

#include <cstdint>

namespace target {

enum : LONG { kMaxEvents = 20000 };

struct Event {
    UINT message;
    UINT wParam;
    UINT lParam;  // key messages: the key data (scan code in bits 16-23, extended flag bit 24)
    LONG clientX, clientY;
    LONG screenX, screenY;
    int64_t counter;  // QueryPerformanceCounter, comparable across processes
};

struct Log {
    volatile LONG ready;    // 1 once the window is shown and in front
    volatile LONG count;    // events written so far
    volatile LONG dropped;  // events that did not fit
    volatile LONG logMoves; // set by the reader: also log WM_MOUSEMOVE
    volatile LONG helpOnKey; // set by the reader: a key whose push asks for help
    HWND window;
    Event events[kMaxEvents];
};

inline bool IsWheelMessage(UINT m) { return m == WM_MOUSEWHEEL || m == WM_MOUSEHWHEEL; }

// Buttons of all five kinds, and the wheels.
inline bool IsButtonMessage(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_RBUTTONDOWN || m == WM_RBUTTONUP ||
           m == WM_LBUTTONDBLCLK || m == WM_RBUTTONDBLCLK || m == WM_MBUTTONDOWN || m == WM_MBUTTONUP ||
           m == WM_XBUTTONDOWN || m == WM_XBUTTONUP || IsWheelMessage(m);
}

inline bool IsKeyMessage(UINT m) {
    return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

// Starts player_target.exe (from the folder of the running program) over a
// screen rectangle and gives access to its log.
class Process {
public:
    Process() {}
    ~Process() { Stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(int left, int top, int width, int height, bool logMoves = false) {
        static LONG serial = 0;
        wchar_t name[64];
        wsprintfW(name, L"TaploreTargetLog_%lu_%ld", GetCurrentProcessId(),
                  InterlockedIncrement(&serial));
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(Log), name);
        if (!mapping_) return false;
        log_ = static_cast<Log*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!log_) return false;
        ZeroMemory(log_, sizeof(Log));
        log_->logMoves = logMoves ? 1 : 0;

        wchar_t exe[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
        while (n > 0 && exe[n - 1] != L'\\' && exe[n - 1] != L'/') --n;
        lstrcpyW(exe + n, L"player_target.exe");
        wchar_t command[512];
        wsprintfW(command, L"\"%s\" %s %d %d %d %d", exe, name, left, top, width, height);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(exe, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return false;
        }
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        for (int i = 0; i < 2000 && !log_->ready; ++i) {
            if (WaitForSingleObject(process_, 10) == WAIT_OBJECT_0) return false;
        }
        return log_->ready != 0;
    }

    void Stop() {
        if (process_) {
            if (log_ && log_->window) PostMessageW(log_->window, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            CloseHandle(process_);
            process_ = nullptr;
        }
        if (log_) UnmapViewOfFile(log_);
        log_ = nullptr;
        if (mapping_) CloseHandle(mapping_);
        mapping_ = nullptr;
    }

    Log* log() const { return log_; }
    HWND window() const { return log_ ? log_->window : nullptr; }
    LONG count() const { return log_ ? log_->count : 0; }
    void Clear() { if (log_) InterlockedExchange(&log_->count, 0); }

private:
    HANDLE mapping_ = nullptr;
    HANDLE process_ = nullptr;
    Log* log_ = nullptr;
};

}  // namespace target
