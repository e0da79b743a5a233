#pragma once
// The player: one worker thread that plays the action list back as input.
// The main window owns a CPlayer for the program's whole life: it starts the
// thread, hands it the list and its window, requests runs, stops them, and
// stops the thread at exit. The thread waits in a message loop; WM_PLAY_START
// makes it perform one run, after which it posts WM_PLAY_END to the window.
//
// Threads. Nothing is locked. The run state is an atomic 32-bit value that
// both threads write; the player polls it before every step and ends a run as
// soon as it is not Playing. A run plays a copy of the records and screenshot
// settings taken on the window thread when the run is requested, so the
// window may edit its list at any time. When the system refuses injected
// input (a program running as administrator has the focus, say), the run
// ends and WM_PLAY_END says so.
//
// Every record the player injects is tagged (kInputTagMark) and numbered in
// its extra information, which comes back with it as raw input once the
// system has delivered it. The window that receives raw input hands each
// event's extra information to NoteInputArrived; a run then ends, and
// WM_PLAY_END is posted, only once the last record it sent has come back (or
// kArrivalWaitMs have passed), so the window that restores itself on
// WM_PLAY_END cannot take the keyboard or the pointer from input still on its
// way to the program it was played into. The player sets the pass-count field
// of the window with a bounded wait, and the window thread's waits for the
// player process sent messages, so neither can block the other for good.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "model/action.h"
#include "model/play_speed.h"
#include "playback/clock_win.h"
#include "playback/input_win.h"
#include "resources/resource.h"

enum class RunState : int32_t {
    Idle = 0,
    Recording = 1,
    Playing = 2,
};

// lParam is 0 for all; wParam too, except for WM_PLAY_END.
enum : UINT {
    WM_PLAY_START = WM_USER + 5,  // window thread to player thread: perform one run
    WM_PLAY_END = WM_USER + 6,    // player thread to main window: the run is over
    // Main window to itself: raw input could not be registered.
    WM_INPUT_UNAVAILABLE = WM_USER + 7,
};

// How a run ended, as WM_PLAY_END's wParam: kPlayEndNormal, or the bits of
// what went wrong.
enum : WPARAM {
    kPlayEndNormal = 0,        // the last pass, a stop, or nothing to play
    kPlayEndRefused = 1,       // the system accepted fewer input records than sent
    kPlayEndPicturesLost = 2,  // a screenshot could not be saved into a chosen folder
};

// The extra information of injected input: the mark in the top byte, a
// sequence number (never 0) in the low 24 bits. Raw input hands on 32 bits
// of it.
enum : ULONG {
    kInputTagMark = 0x54000000,
    kInputTagMarkMask = 0xFF000000,
    kInputSequenceMask = 0x00FFFFFF,
};

enum : DWORD {
    // The longest a run's end waits for its input to come back.
    kArrivalWaitMs = 2000,
    // StopNow's wait for a run to finish: its step in progress may be a
    // screenshot save.
    kStopNowWaitMs = 3000,
};

// The number rule for the repeat text: leading blanks and tabs, one optional
// "-", then decimal digits up to the end. Anything else, an empty text or a
// lone "-" gives 0. Values beyond the 32-bit range saturate.
int32_t ParseRepeatCount(const wchar_t* text);

// Start Play's repeat count from the window's Repeat controls: 0 unless the
// check box is checked; then the number in the edit (at most 31 characters
// read). Greater than 0: that many passes; 0: one pass; negative: endless.
int32_t ReadRepeatCount(HWND window);

class CPlayer {
public:
    // Null arguments mean the system's input and the precise timer; both
    // must outlive the player.
    explicit CPlayer(IInputSink* input = nullptr, IPlayTimer* timer = nullptr);
    // Stops the thread if it still runs.
    ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    // Creates the thread and waits (10 ms polls, at most 10 s) until it has
    // published its ID. Returns true when the thread is ready; without an ID
    // no run can be requested. A second call does nothing.
    bool StartThread();
    // The stop sequence at exit: ends a run still going (also an endless
    // one), waits up to 1 s for it to finish, asks the thread to quit and
    // waits for it to end.
    void StopThread();

    // The window that shows the pass number (IDC_PASS_COUNT) and receives
    // WM_PLAY_END. Set before the first run.
    void SetMainWindow(HWND window) { window_.store(window); }
    HWND MainWindow() const { return window_.load(); }

    // True while the run state is Idle and no requested run is still in
    // progress on the player thread (a stopped run may take until its next
    // step, or the end of a screenshot save, to finish).
    bool CanStart() const;
    // Copies the list's records and screenshot settings, sets the repeat
    // count and the speed (hundredths, see model/play_speed.h), sets Playing
    // (unless the list is empty) and posts WM_PLAY_START. Returns false, and
    // requests nothing, when CanStart is false, the thread has no ID, or
    // memory ran out.
    bool RequestPlay(ActionList& list, int32_t repeatCount, int32_t speed = kSpeedNormal);
    // Stop Play: Playing becomes Idle; the run ends at its next check.
    // Returns true when a run was stopped.
    bool StopPlay();
    // The window's handling of WM_PLAY_END. Returns true when the window
    // should restore itself: the run state is then Idle unless it had
    // meanwhile become Recording. Returns false, changing nothing, when a
    // newer run has been requested since.
    bool OnPlayEnd();

    // The run state shared with the window thread and the recorder.
    RunState GetRunState() const { return state_.load(); }
    void SetRunState(RunState state) { state_.store(state); }
    // Atomically replaces `expected` by `desired`; false when the state was
    // something else (it is then left as it was).
    bool ChangeRunState(RunState expected, RunState desired);

    // Ends a run still going at once and waits, handling the messages sent
    // to this thread, until the player has finished it; a run that ends so
    // has let go of every key and button it held, and does not wait for its
    // input to come back. For a close request or the end of the session.
    // True when no run is in progress any more, false after `timeoutMs`.
    bool StopNow(DWORD timeoutMs = kStopNowWaitMs);

    // Whether the last run that ended played every pass (an empty list
    // counts as played); false when it was stopped.
    bool LastRunComplete() const { return lastComplete_.load(); }
    // The WM_PLAY_END wParam of the last run that ended.
    WPARAM LastRunEnd() const { return lastEnd_.load(); }

    // The extra information of a raw input event that reached the window.
    // Window thread; cheap for events that are not the player's.
    void NoteInputArrived(ULONG extraInformation);
    // Set by the window once raw input reaches it: from then on the end of
    // a run waits for its input to come back.
    void WatchInputArrivals(bool watch) { watchArrivals_.store(watch); }
    // Whether every record the player has injected has come back.
    bool InputArrived() const;

    // The repeat count as the current run counts it down.
    int32_t RepeatCount() const { return repeat_.load(); }
    DWORD ThreadId() const { return threadId_.load(); }
    HANDLE ThreadHandle() const { return thread_.load(); }

private:
    struct Snapshot;

    // The sink the player sends through: tags each record, then hands it to
    // the real one and notes the last record that the system accepted.
    class CTaggedInput : public IInputSink {
    public:
        explicit CTaggedInput(CPlayer& player) : player_(player) {}
        UINT Send(UINT count, INPUT* inputs) override;
        RECT VirtualDesktop() override { return player_.input_->VirtualDesktop(); }

    private:
        CPlayer& player_;
        uint32_t next_ = 0;  // sequence number of the last record tagged
    };

    static DWORD WINAPI ThreadProc(LPVOID param);
    // True when every pass was played.
    bool Run(Snapshot* snapshot);
    // False when the system refused some of the action's input.
    bool Perform(const ActionRecord& record, const RECT& desktop, const Snapshot& snapshot);
    void ShowPass(const wchar_t* text);
    void WaitForThread(HANDLE thread, DWORD timeout);
    // Until every run requested has finished, handling sent messages, at most
    // `timeoutMs`; true when none is left.
    bool AwaitRunFinished(DWORD timeoutMs);
    // Player thread, after a run: until its last record has come back as raw
    // input, at most kArrivalWaitMs; not at all while StopNow or StopThread
    // wait for the run, nor when nobody watches raw input.
    void AwaitArrival();

    IInputSink* input_;
    IPlayTimer* timer_;
    CSystemInput systemInput_;
    CPreciseTimer preciseTimer_;
    CTaggedInput tagged_{*this};

    std::atomic<RunState> state_{RunState::Idle};
    std::atomic<int32_t> repeat_{0};
    std::atomic<DWORD> threadId_{0};
    std::atomic<HANDLE> thread_{nullptr};
    std::atomic<HWND> window_{nullptr};
    // The copy the next run plays, handed from the window thread.
    std::atomic<Snapshot*> pending_{nullptr};
    // Runs requested by the window and runs finished by the player: the
    // player is busy while they differ.
    std::atomic<uint32_t> requested_{0};
    std::atomic<uint32_t> finished_{0};
    std::atomic<bool> lastComplete_{false};
    std::atomic<WPARAM> lastEnd_{kPlayEndNormal};
    // Set by StopThread: no run begins any more.
    std::atomic<bool> closing_{false};
    // Set by StopNow until the next request: the run ends without waiting
    // for its input to come back.
    std::atomic<bool> hurry_{false};
    // Sequence numbers of the last record the system accepted and of the
    // last one that came back; equal while nothing is on its way.
    std::atomic<uint32_t> sentSequence_{0};
    std::atomic<uint32_t> seenSequence_{0};
    std::atomic<bool> watchArrivals_{false};
    // Wakes AwaitArrival: the last record came back, or StopNow hurries.
    HANDLE arrival_ = nullptr;
    // Player thread only: what runs have pressed and not yet released, and
    // how the last run ended.
    CHeldInput held_;
    bool refused_ = false;
    bool picturesLost_ = false;
};
