#pragma once
// A stand-in for the main window in player tests: a hidden window with the
// Repeat check box (20022), the repeat edit (20023) and the pass-count edit
// (20024). It keeps every text the player puts into the pass-count field and
// counts WM_PLAY_END, handing it to the player as the main window would.
#include <windows.h>

#include <string>
#include <vector>

#include "playback/player_win.h"
#include "test_util.h"

class PlayWindow {
public:
    PlayWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TaplorePlayWindow";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"play window", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                  200, nullptr, nullptr, wc.hInstance, this);
        CreateWindowExW(0, L"BUTTON", L"Repeat", WS_CHILD | BS_CHECKBOX, 10, 10, 80, 20, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_REPEAT)), nullptr, nullptr);
        CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 100, 10, 80, 20, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_REPEAT_COUNT)), nullptr, nullptr);
        HWND pass = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_READONLY, 200, 10, 80, 20, window_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PASS_COUNT)),
                                    nullptr, nullptr);
        SetWindowLongPtrW(pass, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        editProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(pass, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PassFieldProc)));
    }
    ~PlayWindow() { DestroyWindow(window_); }

    HWND hwnd() const { return window_; }
    void SetPlayer(CPlayer* player) { player_ = player; }

    // Raw input in the background, as the program's windows take it: each
    // event's extra information goes to the player (unless `forward` is
    // false: then the player's input never comes back), and the player's
    // own tagged events are kept in `tags`.
    bool WatchRawInput(bool forward = true) {
        RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_INPUTSINK, window_}, {1, 6, RIDEV_INPUTSINK, window_}};
        forward_ = forward;
        const bool registered = RegisterRawInputDevices(devices, 2, sizeof devices[0]) != 0;
        if (player_) player_->WatchInputArrivals(registered);
        return registered;
    }

    void SetRepeat(bool checked, const wchar_t* text) {
        CheckDlgButton(window_, IDC_REPEAT, checked ? BST_CHECKED : BST_UNCHECKED);
        SetDlgItemTextW(window_, IDC_REPEAT_COUNT, text);
    }

    std::string PassText() const {
        wchar_t text[64] = {};
        GetDlgItemTextW(window_, IDC_PASS_COUNT, text, 64);
        return testutil::Utf8(text);
    }

    // Dispatches messages until pred() holds or timeoutMs have passed.
    template <class Pred>
    bool PumpUntil(Pred pred, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (pred()) return true;
            if (GetTickCount() - start > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }

    bool WaitForPlayEnd(int count, DWORD timeoutMs) {
        return PumpUntil([&] { return playEnds >= count; }, timeoutMs);
    }

    std::vector<std::string> passTexts;  // every text set into 20024, in order
    std::vector<int64_t> passCounters;   // and the performance counter when each came
    int playEnds = 0;
    int restores = 0;                    // WM_PLAY_END for which OnPlayEnd said restore
    WPARAM lastReason = kPlayEndNormal;  // wParam of the last WM_PLAY_END
    DWORD lastPlayEndTick = 0;
    std::vector<ULONG> tags;             // extra information of the player's raw events, in order
    bool arrivedAtEnd = false;           // InputArrived when the last WM_PLAY_END came

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<PlayWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && message == WM_PLAY_END) {
            ++self->playEnds;
            self->lastReason = wParam;
            self->lastPlayEndTick = GetTickCount();
            self->arrivedAtEnd = self->player_ && self->player_->InputArrived();
            if (self->player_ && self->player_->OnPlayEnd()) ++self->restores;
            return 0;
        }
        if (self && message == WM_INPUT) {
            RAWINPUT raw;
            UINT size = sizeof raw;
            if (GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &raw, &size,
                                sizeof(RAWINPUTHEADER)) != static_cast<UINT>(-1)) {
                const ULONG extra = raw.header.dwType == RIM_TYPEKEYBOARD ? raw.data.keyboard.ExtraInformation
                                                                          : raw.data.mouse.ulExtraInformation;
                if ((extra & kInputTagMarkMask) == kInputTagMark) self->tags.push_back(extra);
                if (self->forward_ && self->player_) self->player_->NoteInputArrived(extra);
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static LRESULT CALLBACK PassFieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<PlayWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_SETTEXT) {
            self->passTexts.push_back(testutil::Utf8(reinterpret_cast<const wchar_t*>(lParam)));
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            self->passCounters.push_back(now.QuadPart);
        }
        return CallWindowProcW(self->editProc_, hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    WNDPROC editProc_ = nullptr;
    CPlayer* player_ = nullptr;
    bool forward_ = false;
};
