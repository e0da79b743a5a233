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
// With the record_motion setting (read when a recording starts) the mouse is
// recorded whole instead: every event that moves the pointer becomes a move
// (at most one per millisecond), all five buttons push and release at their
// real down and up bits, so a drag is a push, moves and a release where the
// button came up, and both wheels keep the delta the device gave.
//
// Intervals come from the player's 1 ms clock: the tick count moves in
// 15.6 ms steps, which would make every recorded interval up to a step off.
//
// Under Wine, with motion on, a raw event says itself where it put the
// pointer and when (see EventFromMessage): positions and moments are taken
// from it, so that they do not depend on when the window thread gets to the
// event, which on a busy machine is in bursts, after the cursor has moved on.
#include <windows.h>

#include <cstdint>

#include "model/action.h"
#include "playback/clock_win.h"
#include "playback/player_win.h"

// Restores `window` (SW_RESTORE) so that the user can answer it: when one of
// its dialogs or message boxes is open, the window itself is disabled, so
// that popup is brought to the front and given the keyboard.
void RestoreWindow(HWND window);

// Posted to the recorder's window when the break key has ended a recording
// or a run: the release may have been seen by the poll of the key, which
// the window's own messages do not pass.
enum : UINT { WM_BREAK_KEY_END = WM_USER + 8 };

// Minimises `window` (SW_MINIMIZE) and hands the front on to the next window
// that can take it, as Windows does: the first visible, enabled top-level
// window of another program, in z-order, or else the desktop. Wine leaves a
// window it minimises in front, where no window of it can have the focus,
// and a program in front without a focus makes Wine deliver no raw input to
// anyone: the recording (or the break key of a run) would miss everything
// until the user's first click brought another window to the front, that
// click included.
void MinimiseWindow(HWND window);

class CRecorder {
public:
    // The virtual-key code whose release ends a recording or a play run;
    // asked afresh on every keyboard event.
    typedef int32_t (*BreakKeySource)(void* context);
    // Record `row` has just been appended as the list's last record.
    // Record `row` has just been appended as the list's last record, or,
    // when it was the last record already, replaced in place.
    typedef void (*RowAppended)(void* context, int row);
    // Whether the next recording takes in movement, the wheels and every
    // button; asked when a recording starts.
    typedef bool (*MotionSource)(void* context);

    // The player holds the run state; both must outlive the recorder.
    CRecorder(CPlayer& player, ActionList& list);
    ~CRecorder();
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // The main window: minimised by StartRecord, restored by the break key.
    // A window that is never shown (that of a /play run) only receives the
    // raw input and the break key's watch: `restores` false.
    void SetWindow(HWND window, bool restores = true) {
        window_ = window;
        restores_ = restores;
    }
    HWND Window() const { return window_; }
    // Without a source, or with a null one, the break key is break_key of
    // the application parameters (kDefaultBreakKey while none exist).
    void SetBreakKeySource(BreakKeySource source, void* context);
    void SetRowAppended(RowAppended handler, void* context);
    // Without a source, or with a null one, record_motion of the application
    // parameters decides (off while none exist).
    void SetMotionSource(MotionSource source, void* context);

    // GetCursorPos, or a stand-in for it: where mouse actions are recorded,
    // read when an event is handled.
    typedef BOOL(WINAPI* CursorSource)(LPPOINT point);
    // A stand-in also stands for the pointer's trail (below) and for what
    // event messages tell: the system's would not know its positions.
    void SetCursorSource(CursorSource source) {
        cursor_ = source ? source : GetCursorPos;
        trail_ = source ? nullptr : GetMouseMovePointsEx;
        fromMessages_ = source ? false : MessagesTellEvents();
    }
    // GetMouseMovePointsEx, or a stand-in for it, or none: with motion on,
    // the positions the pointer passed since the last recorded move are
    // taken from it, as the window thread handles raw input in bursts when
    // the machine is busy and the cursor position then skips them.
    typedef int(WINAPI* TrailSource)(UINT size, LPMOUSEMOVEPOINT in, LPMOUSEMOVEPOINT out, int count,
                                     DWORD resolution);
    void SetTrailSource(TrailSource source) { trail_ = source; }
    // RegisterRawInputDevices, or a stand-in for it.
    typedef BOOL(WINAPI* RegisterDevices)(PCRAWINPUTDEVICE devices, UINT count, UINT size);
    // Asks for raw mouse and keyboard input to be delivered to the window,
    // also while it is in the background. Returns, and remembers for
    // InputReady, whether the system agreed.
    bool RegisterInput(RegisterDevices registerDevices = RegisterRawInputDevices);
    // Without raw input nothing is recorded and the break key is never
    // seen, so StartRecord refuses; the window refuses Start Play as well.
    bool InputReady() const { return inputReady_; }

    // One WM_INPUT message: its lParam. Reads the event and acts on it; an
    // event that cannot be read whole is dropped.
    void OnRawInput(HRAWINPUT input);
    // The two kinds of event, as OnRawInput dispatches them: the button-flag
    // word of a mouse event (with its button data and whether it moved the
    // pointer), and the virtual-key code, flags and scan code of a key. A
    // key keeps its scan code and RI_KEY_E0 as its stroke (model/action.h);
    // raw input's placeholder 255, which stands for no key, is dropped.
    void OnMouseEvent(USHORT buttonFlags, USHORT buttonData = 0, bool moved = false);
    void OnKeyEvent(USHORT virtualKey, USHORT flags, USHORT makeCode = 0);

    // Whether Start Record may act: the run state is Idle and no stopped
    // play run is still finishing (its last injected input would otherwise
    // be recorded). The window asks this before its unsaved-changes prompt.
    bool CanStartRecord() const;
    // Start Record, to be called after the prompt and with the list view
    // emptied: when CanStartRecord and InputReady hold, sets Recording, empties the list
    // (path, modified flag, this computer's ident), starts the interval
    // clock, leaves out the keys that are down until each is released, and
    // minimises the window (MinimiseWindow). Returns 1 when the recording
    // started, else 0 with nothing changed.
    int StartRecord();
    // While recording or playing (from StartRecord on, and for a run from
    // this call on) the break key is taken from the system by a low-level
    // keyboard hook: neither its push nor its release reaches the program in
    // front, where F1 would open that program's help. Its release ends the
    // recording or run there, as it does when raw input reports it (Wine
    // hands raw input out before the hook sees a key; Windows does not). The
    // break key's state is also polled, and its release read there acts the
    // same: the raw input of a release can be lost while another window
    // takes the front.
    void WatchBreakKey();
    // Ends that watch: a thread that stops handling messages must not keep a
    // hook every key of the desktop waits on.
    void StopWatchingBreakKey();
    // A hotkey (config/app_parameter.h) has just started the recording: its
    // keys that are down now are not recorded until each has been released
    // (the release included), so neither they nor their repeats show. Down
    // means down in the system's key state, or pushed in the raw input
    // handled so far without its release: a hotkey tapped quickly is up
    // already when its message is handled, while the raw input of its
    // releases still waits in the queue.
    void IgnoreHeldKeys(int32_t hotkey);
    // Stop Record: Recording becomes Idle; the window stays as it is.
    // Returns 1 when a recording was stopped.
    int StopRecord();

    bool LeftHeld() const { return leftHeld_; }
    bool RightHeld() const { return rightHeld_; }
    // Whether the recording going on, or the last one, takes in motion.
    bool RecordsMotion() const { return motion_; }
    // Whether, with motion on, positions and moments come from the raw
    // event's message (under Wine) rather than from the cursor and the
    // clock when the event is handled.
    bool ReadsEventMessages() const { return fromMessages_; }
    // The clock reading of the last recorded action, or of Start Record.
    uint32_t LastEventTick() const { return lastEventTick_; }
    // The clock that intervals are measured on (milliseconds, wrapping).
    uint32_t Now() const { return clock_.Now(); }

private:
    // Wine queues a raw mouse event with the pointer position from before
    // the event as its message position and the movement in pixels from
    // there, and stamps it with the millisecond in which it took it (on the
    // clock the performance counter also follows). On Windows the
    // movement is in the device's own units and message times follow the
    // 15.6 ms tick, so there the cursor, its trail and the clock are read.
    static bool MessagesTellEvents();
    // With motion on, under Wine: takes the moment of the event being
    // handled from its message, and with `withPosition` also the position,
    // the message position moved by (dx, dy).
    void EventFromMessage(LONG dx, LONG dy, bool withPosition);
    // The moment of the current record: the event's, or the clock's now.
    uint32_t Moment() const { return event_.timed ? event_.moment : clock_.Now(); }
    // The break key's release ends the recording or the run in `state`.
    void BreakKeyReleased(RunState state);
    static void CALLBACK PollBreakKey(HWND window, UINT message, UINT_PTR id, DWORD time);
    static LRESULT CALLBACK TakeBreakKey(int code, WPARAM wParam, LPARAM lParam);
    // Keys down when a recording starts are left out until released.
    void IgnoreKeysDown();
    int32_t BreakKey() const;
    bool MotionWanted() const;
    void RecordMouse(ActionKind kind, int32_t keyCode = 0);
    void RecordMotion(USHORT buttonFlags, USHORT buttonData, bool moved);
    void RecordMove();
    // The newest entry of the pointer's trail at `point` and the ones
    // before it, newest first; 0 without a trail or when it lacks `point`.
    int ReadTrail(POINT point, MOUSEMOVEPOINT* out, int capacity) const;
    // Records a move to `point` at the clock reading `moment`.
    void MoveAt(POINT point, uint32_t moment);
    void RecordKey(ActionKind kind, USHORT virtualKey, int32_t stroke);
    void Append(ActionDevice device, ActionKind kind, int32_t x, int32_t y, int32_t keyCode);
    void AppendAt(uint32_t moment, ActionDevice device, ActionKind kind, int32_t x, int32_t y, int32_t keyCode);
    void WriteWindowUnder(POINT point) const;

    CPlayer& player_;
    ActionList& list_;
    HWND window_ = nullptr;
    bool restores_ = true;
    BreakKeySource breakKeySource_ = nullptr;
    void* breakKeyContext_ = nullptr;
    RowAppended rowAppended_ = nullptr;
    void* rowContext_ = nullptr;
    CursorSource cursor_ = GetCursorPos;
    MotionSource motionSource_ = nullptr;
    void* motionContext_ = nullptr;
    bool motion_ = false;
    // The list position of the last move recorded, so that a later move in
    // the same millisecond can take its place; -1 when there is none.
    int lastMove_ = -1;
    TrailSource trail_ = GetMouseMovePointsEx;
    // The trail's entry of the position last recorded, or of where the
    // pointer was when the recording started: its time stamp and position;
    // stamped_ says whether there is one.
    bool stamped_ = false;
    DWORD lastStamp_ = 0;
    POINT lastPoint_ = {0, 0};

    bool fromMessages_ = MessagesTellEvents();
    // The event being handled, as its message tells it.
    struct {
        bool placed;    // point is where the event left the pointer
        bool timed;     // moment is when it happened
        POINT point;
        uint32_t moment;
    } event_ = {false, false, {0, 0}, 0};
    // A clock reading and the message time of an event handled then (see
    // EventFromMessage): message times are turned into clock readings from
    // there. (Under Wine the tick count lags the time the stamps come from
    // by up to a few milliseconds, so it cannot stand for them.)
    bool anchored_ = false;
    uint32_t anchorClock_ = 0;
    DWORD anchorStamp_ = 0;

    CPlayClock clock_;
    uint32_t lastEventTick_ = 0;
    bool inputReady_ = false;
    bool breakKeyDown_ = false;  // pushed, by raw input or the key state
    int32_t polledKey_ = 0;      // the break key breakKeyDown_ is about
    // The one recorder whose break key is being polled (there is one main
    // window); the timer's procedure finds it here.
    static CRecorder* watching_;
    static HHOOK hook_;
    enum : UINT { kBreakKeyPollMs = 15 };
    enum : UINT_PTR { kBreakKeyTimerId = 0x7A11 };
    bool leftHeld_ = false;
    bool rightHeld_ = false;
    // Keys left out of the recording until released, and keys whose push
    // raw input has shown without its release; one bit per code.
    uint8_t ignored_[32] = {};
    uint8_t pushed_[32] = {};
};
