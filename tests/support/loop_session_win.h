#pragma once
// One end-to-end session: the real program, moved to the right edge of the
// screen, the target program over the rest of it, and the test's raw-input
// watch with xdotool.
//
// Where input goes matters under Wine: the process that owns the X window
// under the pointer (or the focused one, for keys) reads the X event and
// passes it on, and events read by different processes may pass each other.
// So each xdotool request keeps to one process's windows: the program's own
// window while the program is idle, the target's while it records or plays.
// The program's window stays uncovered, so real input to its controls can
// serve as a marker: their messages queue behind the raw input that came
// before them, so when a control has acted, the program has handled all of it.
#include <windows.h>

#include <string>

#include "support/loop_rig_win.h"

namespace loop {

class CSession {
public:
    drive::CMainWindow window;
    CInputWatch watch;
    target::Process target;
    RECT main = {};       // the program's window, in screen pixels
    int targetWidth = 0;  // the target covers x 0 .. targetWidth - 1
    std::string error;

    // Starts the program (English) and places its window at the right edge.
    bool Start() {
        if (!watch.ready) return Fail(watch.error);
        if (!window.Start(0)) return Fail("the program did not start");
        RECT rect;
        GetWindowRect(window.Main(), &rect);
        const int width = rect.right - rect.left;
        const int left = GetSystemMetrics(SM_CXSCREEN) - width;
        // Moved again while it is elsewhere: a move made while the program
        // is still showing its window could be undone.
        if (!gui::WaitFor([&] {
                GetWindowRect(window.Main(), &main);
                if (main.left == left && main.top == 40) return true;
                SetWindowPos(window.Main(), nullptr, left, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                return false;
            })) {
            return Fail("the program's window did not move");
        }
        targetWidth = left - 8;
        // The sessions click up to x 1000 on the target.
        return targetWidth > 1100 || Fail("the program's window leaves too little room for the target");
    }

    // The target over the screen left of the program's window, in front.
    bool StartTarget() {
        return target.Start(0, 0, targetWidth, GetSystemMetrics(SM_CYSCREEN)) ||
               Fail("the target did not start");
    }

    // Screen points of the program's window: a control's middle, and a spot
    // of plain dialog background below the last group box, `dx` from the
    // client area's left edge.
    POINT ControlMiddle(int id) const {
        RECT r;
        GetWindowRect(GetDlgItem(window.Main(), id), &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    POINT Background(int dx) const {
        RECT client;
        GetClientRect(window.Main(), &client);
        POINT p = {dx, client.bottom - 6};
        ClientToScreen(window.Main(), &p);
        return p;
    }

    LRESULT RepeatCheck() { return drive::SendBounded(GetDlgItem(window.Main(), IDC_REPEAT), BM_GETCHECK, 0, 0); }

    // Runs `commands`, then waits until `done` holds: `commands` end with
    // input that the program acts on visibly, and when it has, it has handled
    // every raw event that came before.
    template <class F>
    bool DriveUntil(const std::string& commands, size_t* from, F done) {
        if (!watch.Drive(commands, from, &error)) return false;
        return gui::WaitFor(done) || Fail("the program did not show the marker after: " + commands);
    }
    // Ends a request with a click on the Repeat box, which toggles it.
    bool DriveToMarker(const std::string& commands, size_t* from) {
        const LRESULT before = RepeatCheck();
        return DriveUntil(commands + MoveTo(ControlMiddle(IDC_REPEAT)) + "click 1 ", from,
                          [&] { return RepeatCheck() != before; });
    }
    // Ends a request with a key typed into the repeat count box, which must
    // have the focus. A button would do as well, but a button that takes a
    // key captures the mouse, and under Wine a change of capture while a
    // mouse button is held reaches raw input as a movement, which releases
    // that button in the recorder's eyes.
    bool DriveToTyped(const std::string& commands, char key, size_t* from) {
        const std::string wanted = window.Text(IDC_REPEAT_COUNT) + key;
        return DriveUntil(commands + "key " + std::string(1, key) + " ", from,
                          [&] { return window.Text(IDC_REPEAT_COUNT) == wanted; });
    }

    // Sets the Repeat box and count for the next Start Play.
    bool SetRepeat(const std::string& count) {
        window.SetControlText(IDC_REPEAT_COUNT, count);
        if (RepeatCheck() != BST_CHECKED) window.Post(IDC_REPEAT, BN_CLICKED);
        return gui::WaitFor([&] { return RepeatCheck() == BST_CHECKED; }) || Fail("Repeat stays unchecked");
    }

private:
    bool Fail(const std::string& why) {
        error = why;
        return false;
    }
};

}  // namespace loop
