#pragma once
// Timing of play runs. The player asks a timer for the time, and when the next
// action is not due yet, asks it to pause; the pause never lasts more than
// kMaxPauseMs, so a stop request is seen within that time.
#include <windows.h>

#include <cstdint>

enum : uint32_t {
    kMaxPauseMs = 50,
    // An action at most this late still counts as on time for the next one
    // (at the normal speed and slower; see CatchUpLimit).
    kCatchUpMs = 5,
    // A move that follows a move at most this late still keeps the timeline
    // (see MoveCatchUpLimit).
    kMoveCatchUpMs = 200,
};

// How late an action may be and still count as on time, at `speed`
// (hundredths). Faster runs get a limit that grows with the speed: the time
// each action takes to send does not shrink with the intervals, so short
// scaled intervals run a few milliseconds behind in a row, and a fixed limit
// would give up the timeline there and let the run drift.
uint32_t CatchUpLimit(int32_t speed);

// The same for a move that follows a move. Motion is recorded up to once a
// millisecond, and a busy machine holds the player back for a few to some
// tens of milliseconds many times a minute: with the limit above every such
// stall would shift the rest of the run, and a minute of motion ended
// hundreds of milliseconds late. Within a run of moves the late ones are
// sent at once, in order, and the run is back on its timeline: a stroke
// drawn a little faster for a moment is the same stroke, and the clicks and
// keys after it come when they were recorded. Only lateness that arises
// between two moves is caught up this way; after a stall of more than
// 200 ms (a fifth of a second of motion sent in one burst, and far more than
// the stalls measured under load) the run goes on from now as for any
// other action, and a click, a key or a screenshot is never hurried.
uint32_t MoveCatchUpLimit(int32_t speed);

class IPlayTimer {
public:
    virtual ~IPlayTimer() {}
    virtual void BeginRun() = 0;
    // Milliseconds as unsigned 32-bit that wrap like the tick count: only
    // differences are meaningful.
    virtual uint32_t Now() = 0;
    // The action last + interval is not due yet: wait some time toward it.
    virtual void Pause(uint32_t last, uint32_t interval) = 0;
    virtual void EndRun() = 0;
};

// A millisecond clock derived from QueryPerformanceCounter. GetTickCount moves
// in 15.6 ms steps (16 ms under Wine), which would make every action up to a
// step late; this clock has whole milliseconds that start at `startMs` at
// construction, so its millisecond boundaries fall on the moment a run starts
// (or half-way through the counter's milliseconds: CenterOnCounterMs).
class CPlayClock {
public:
    explicit CPlayClock(uint32_t startMs = 0);

    uint32_t Now() const;
    // Waits until intervalMs have passed since the reading fromMs, but never
    // longer than maxWaitMs; returns at once when they have passed already.
    // The time since fromMs is an unsigned difference, so every interval up
    // to 2^32 - 1 ms counts as ahead, however far. Sleeps while far away and
    // spins for the last millisecond, since Sleep wakes up to a scheduler
    // tick late.
    void WaitUntil(uint32_t fromMs, uint32_t intervalMs, uint32_t maxWaitMs) const;

    // Moves the clock's millisecond boundaries (less than a millisecond)
    // later, to half-way through the counter's own milliseconds. Under Wine
    // the system stamps each input with the millisecond of the counter's
    // clock in which it takes it: sent half-way through, an input keeps the
    // stamp of the millisecond it was meant for despite up to half a
    // millisecond of lateness or earliness, where at the boundary a little
    // either way moves it into the next or the one before.
    void CenterOnCounterMs();
    int64_t Counter() const;
    int64_t Frequency() const { return frequency_; }

private:
    uint64_t ElapsedMs(int64_t counter) const;

    int64_t origin_ = 0;
    int64_t frequency_ = 1;
    uint32_t startMs_ = 0;
};

// The player's timer: the clock above, with the system timer resolution
// raised to 1 ms and the player thread's priority raised while a run lasts,
// so that the sleeps end on time.
class CPreciseTimer : public IPlayTimer {
public:
    void BeginRun() override;
    uint32_t Now() override { return clock_.Now(); }
    void Pause(uint32_t last, uint32_t interval) override;
    void EndRun() override;

private:
    CPlayClock clock_;
    bool periodRaised_ = false;
    int savedPriority_ = THREAD_PRIORITY_ERROR_RETURN;
};
