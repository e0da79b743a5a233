#pragma once
// A recorder wired to plain test windows, driven by real X input.
//
// The host window stands for the main window: it is registered for raw input
// (in the background too), logs every raw event and hands it to the recorder,
// and handles WM_PLAY_END like the main window. Two borderless topmost
// popups cover the whole screen, the left half with a caption and the right
// half without, so that the recorder's window-under-cursor lines name them.
// Everything the program writes to the debug channel while a rig exists is
// collected in `debug`.
//
// Why the whole screen: Wine reads the X events of the desktop background on
// a thread of its own, and those of this thread's windows on this thread, so
// input over the background could arrive after the sentinel key that ends a
// request. With every pointer and key event on this thread's windows, raw
// input arrives in the order xdotool made it.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "model/action.h"
#include "playback/player_win.h"
#include "playback/recorder_win.h"
#include "support/xdo_win.h"
#include "core/debug.h"

class CRecorderRig {
public:
    // Pointer positions at x below this land on `target`, the others on `blank`.
    static const int kHalf = 960;

    CRecorderRig() : recorder(player, list) {
        current_ = this;
        RegisterClasses();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        host = CreateWindowExW(0, kHostClass, L"Recorder host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               1200, 60, 400, 200, nullptr, nullptr, instance, nullptr);
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        target = CreateWindowExW(WS_EX_TOPMOST, kTargetClass, L"Recorder target",
                                 WS_POPUP | WS_VISIBLE, 0, 0, kHalf, height, nullptr, nullptr,
                                 instance, nullptr);
        blank = CreateWindowExW(WS_EX_TOPMOST, kTargetClass, L"", WS_POPUP | WS_VISIBLE, kHalf, 0,
                                width - kHalf, height, nullptr, nullptr, instance, nullptr);
        SetForegroundWindow(target);
        recorder.SetWindow(host);
        recorder.SetBreakKeySource(
            [](void* rig) { return static_cast<CRecorderRig*>(rig)->breakKey; }, this);
        recorder.SetRowAppended(
            [](void* rig, int row) {
                std::vector<int>& rows = static_cast<CRecorderRig*>(rig)->rows;
                // A row reported again is a record replaced in place.
                if (rows.empty() || rows.back() != row) rows.push_back(row);
            },
            this);
        recorder.SetMotionSource([](void* rig) { return static_cast<CRecorderRig*>(rig)->motion; }, this);
        player.SetMainWindow(host);
        previousDebug_ = DebugPrint;
        DebugPrint = CaptureDebug;
        // Wine reports the pointer's entry into the new windows with the
        // position it had when they appeared; a request that waits for its
        // sentinel has taken those reports in before the tests move it.
        if (!recorder.RegisterInput()) {
            setupError = "RegisterRawInputDevices failed";
        } else if (xdo.Run("sleep 0", log, &setupError)) {
            ready = true;
        }
    }

    ~CRecorderRig() {
        DebugPrint = previousDebug_;
        player.StopThread();
        if (blank) DestroyWindow(blank);
        if (target) DestroyWindow(target);
        if (host) DestroyWindow(host);
        current_ = nullptr;
    }

    CRecorderRig(const CRecorderRig&) = delete;
    CRecorderRig& operator=(const CRecorderRig&) = delete;

    // Runs xdotool with `commands` and waits until all of its input has been
    // handled; then takes the sentinel key's records back off the list if it
    // was recorded, so the list holds what the commands made.
    bool Drive(const std::string& commands, std::string* error) {
        mark = log.events.size();
        const int before = list.count();
        if (!xdo.Run(commands, log, error)) return false;
        // Normally the last two records; a sentinel pressed again leaves a
        // pair for each press, and one whose release was lost only its push,
        // which then lies among the commands' records. A record taken out
        // leaves its interval to the next, so the moments stay as recorded.
        for (int i = list.count() - 1; i >= before && i >= 0; --i) {
            if (!IsKey(list.at(i), ActionKind::PushKey, xdo::kSentinelKey) &&
                !IsKey(list.at(i), ActionKind::ReleaseKey, xdo::kSentinelKey)) {
                continue;
            }
            if (i + 1 < list.count()) {
                ActionRecord next = *list.at(i + 1);
                next.interval += list.at(i)->interval;
                list.replace(i + 1, next);
            }
            list.remove(i);
            std::vector<int> kept;
            for (int row : rows) {
                if (row == i) continue;
                kept.push_back(row > i ? row - 1 : row);
            }
            rows = kept;
        }
        return true;
    }

    // The raw events of the last Drive, without the sentinel's.
    std::vector<xdo::RawEvent> Driven() const { return log.Since(mark); }

    CPlayer player;
    ActionList list;
    CRecorder recorder;
    xdo::CRawLog log;
    xdo::CXdo xdo;
    HWND host = nullptr;
    HWND target = nullptr;
    HWND blank = nullptr;
    bool ready = false;  // raw input registered and the first request done
    std::string setupError;
    int32_t breakKey = VK_F1;
    bool motion = false;    // the record_motion setting a recording starts with
    DWORD busyMs = 0;       // how long the host stays busy after each raw event
    std::vector<int> rows;  // rows the recorder reported, in order
    std::wstring debug;     // debug-channel output
    int targetLeftDowns = 0;
    int playEnds = 0;
    size_t mark = 0;

private:
    static constexpr const wchar_t* kHostClass = L"RecorderRigHost";
    static constexpr const wchar_t* kTargetClass = L"RecorderRigTarget";

    static bool IsKey(const ActionRecord* r, ActionKind kind, USHORT key) {
        return r && r->device == ActionDevice::Keyboard && r->kind == kind && r->keyCode == key;
    }

    static void RegisterClasses() {
        static bool done = false;
        if (done) return;
        done = true;
        WNDCLASSW wc = {};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = kHostClass;
        RegisterClassW(&wc);
        wc.lpfnWndProc = TargetProc;
        wc.lpszClassName = kTargetClass;
        RegisterClassW(&wc);
    }

    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        CRecorderRig* rig = current_;
        if (rig && message == WM_INPUT) {
            HRAWINPUT input = reinterpret_cast<HRAWINPUT>(lParam);
            rig->log.Observe(input, rig->recorder.Now());
            rig->recorder.OnRawInput(input);
            rig->log.Handled(rig->recorder.Now());
            if (rig->busyMs) Sleep(rig->busyMs);
        } else if (rig && message == WM_PLAY_END) {
            ++rig->playEnds;
            if (rig->player.OnPlayEnd()) ShowWindow(window, SW_RESTORE);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (current_ && message == WM_LBUTTONDOWN) ++current_->targetLeftDowns;
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static int CaptureDebug(const wchar_t* format, ...) {
        wchar_t line[1024];
        va_list args;
        va_start(args, format);
        int n = _vsnwprintf(line, 1023, format, args);
        va_end(args);
        line[1023] = 0;
        if (current_ && n > 0) current_->debug += line;
        return n;
    }

    static inline CRecorderRig* current_ = nullptr;
    DebugOutputFunction previousDebug_ = nullptr;
};
