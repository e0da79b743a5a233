#pragma once
// The recorder: turns the raw mouse and keyboard input that reaches the main
// window into records appended to the action list, while the run state is
// Recording, and watches for the release of the break key, which ends a
// recording or a play run. It runs on the window thread: the main window
// registers for raw input (RegisterInput) and passes every WM_INPUT handle to
// OnRawInput; Start Record and Stop Record call StartRecord and StopRecord.
//
// Mouse buttons are recorded from their "down" bits alone: a push when an
// event carries the down bit, a release at the first later event without it,
// at the cursor position of that moment. The held flags that this needs are
// kept up to date in every run state, so a button pushed before a recording
// starts is recorded as released when it is let go.
//
// Intervals come from the player's 1 ms clock: the tick count moves in
// 15.6 ms steps, which would make every recorded interval up to a step off.
#include <windows.h>

#include <cstdint>

#include "model/action.h"
#include "playback/clock_win.h"
#include "playback/player_win.h"

class CRecorder {
public:
    // The virtual-key code whose release ends a recording or a play run;
    // asked afresh on every keyboard event.
    typedef int32_t (*BreakKeySource)(void* context);
    // Record `row` has just been appended as the list's last record.
    typedef void (*RowAppended)(void* context, int row);

    // The player holds the run state; both must outlive the recorder.
    CRecorder(CPlayer& player, ActionList& list);
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // The main window: minimised by StartRecord, restored by the break key.
    void SetWindow(HWND window) { window_ = window; }
    HWND Window() const { return window_; }
    // Without a source, or with a null one, the break key is break_key of
    // the application parameters (kDefaultBreakKey while none exist).
    void SetBreakKeySource(BreakKeySource source, void* context);
    void SetRowAppended(RowAppended handler, void* context);

    // Asks for raw mouse and keyboard input to be delivered to `window`, also
    // while it is in the background. Returns the platform's result.
    static BOOL RegisterInput(HWND window);

    // One WM_INPUT message: its lParam. Reads the event and acts on it; an
    // event that cannot be read whole is dropped.
    void OnRawInput(HRAWINPUT input);
    // The two kinds of event, as OnRawInput dispatches them: the button-flag
    // word of a mouse event, and the virtual-key code and flags of a key.
    void OnMouseEvent(USHORT buttonFlags);
    void OnKeyEvent(USHORT virtualKey, USHORT flags);

    // Whether Start Record may act: the run state is Idle and no stopped
    // play run is still finishing (its last injected input would otherwise
    // be recorded). The window asks this before its unsaved-changes prompt.
    bool CanStartRecord() const;
    // Start Record, to be called after the prompt and with the list view
    // emptied: when CanStartRecord holds, sets Recording, empties the list
    // (path, modified flag, this computer's ident), starts the interval
    // clock and minimises the window. Returns 1 when the recording started,
    // else 0 with nothing changed.
    int StartRecord();
    // Stop Record: Recording becomes Idle; the window stays as it is.
    // Returns 1 when a recording was stopped.
    int StopRecord();

    bool LeftHeld() const { return leftHeld_; }
    bool RightHeld() const { return rightHeld_; }
    // The clock reading of the last recorded action, or of Start Record.
    uint32_t LastEventTick() const { return lastEventTick_; }
    // The clock that intervals are measured on (milliseconds, wrapping).
    uint32_t Now() const { return clock_.Now(); }

private:
    int32_t BreakKey() const;
    void RecordMouse(ActionKind kind);
    void RecordKey(ActionKind kind, USHORT virtualKey);
    void Append(ActionDevice device, ActionKind kind, int32_t x, int32_t y, int32_t keyCode);
    void WriteWindowUnder(POINT point) const;

    CPlayer& player_;
    ActionList& list_;
    HWND window_ = nullptr;
    BreakKeySource breakKeySource_ = nullptr;
    void* breakKeyContext_ = nullptr;
    RowAppended rowAppended_ = nullptr;
    void* rowContext_ = nullptr;

    CPlayClock clock_;
    uint32_t lastEventTick_ = 0;
    bool leftHeld_ = false;
    bool rightHeld_ = false;
};
