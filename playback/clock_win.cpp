#include "playback/clock_win.h"

#include <mmsystem.h>

#include "model/play_speed.h"

namespace {

// Below this much time left the wait spins instead of sleeping: with a 1 ms
// timer period Sleep(1) may take up to about two milliseconds.
const int64_t kSpinMicroseconds = 1500;

}  // namespace

CPlayClock::CPlayClock(uint32_t startMs) : startMs_(startMs) {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    frequency_ = value.QuadPart > 0 ? value.QuadPart : 1;
    origin_ = Counter();
}

void CPlayClock::CenterOnCounterMs() {
    const int64_t ms = frequency_ / 1000;
    if (ms < 2) return;
    const int64_t phase = ((origin_ % ms) + ms) % ms;
    origin_ += ((ms / 2 - phase) % ms + ms) % ms;
}

int64_t CPlayClock::Counter() const {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

uint64_t CPlayClock::ElapsedMs(int64_t counter) const {
    int64_t ticks = counter - origin_;
    if (ticks < 0) ticks = 0;
    // Split to keep ticks * 1000 from overflowing after long uptimes.
    uint64_t whole = static_cast<uint64_t>(ticks / frequency_);
    uint64_t part = static_cast<uint64_t>(ticks % frequency_);
    return whole * 1000 + part * 1000 / static_cast<uint64_t>(frequency_);
}

uint32_t CPlayClock::Now() const {
    return startMs_ + static_cast<uint32_t>(ElapsedMs(Counter()));
}

void CPlayClock::WaitUntil(uint32_t fromMs, uint32_t intervalMs, uint32_t maxWaitMs) const {
    int64_t now = Counter();
    uint64_t elapsed = ElapsedMs(now);
    const uint32_t since = startMs_ + static_cast<uint32_t>(elapsed) - fromMs;
    if (since >= intervalMs) return;
    const uint32_t ahead = intervalMs - since;
    // The counter value at which the elapsed milliseconds reach the target:
    // the first tick of that millisecond, rounded up.
    uint64_t targetElapsed = elapsed + static_cast<uint64_t>(ahead);
    uint64_t f = static_cast<uint64_t>(frequency_);
    int64_t due = origin_ + static_cast<int64_t>((targetElapsed / 1000) * f +
                                                 ((targetElapsed % 1000) * f + 999) / 1000);
    int64_t limit = now + static_cast<int64_t>(maxWaitMs) * frequency_ / 1000;
    // Only a due moment is worth the spin: at the limit the caller merely
    // looks at the run state again, and a long wait stays asleep throughout.
    const bool spin = due <= limit;
    int64_t end = spin ? due : limit;
    for (;;) {
        int64_t left = end - Counter();
        if (left <= 0) return;
        int64_t leftUs = left * 1000000 / frequency_;
        if (leftUs > kSpinMicroseconds + 1000) {
            Sleep(static_cast<DWORD>((leftUs - kSpinMicroseconds) / 1000));
        } else if (!spin) {
            Sleep(static_cast<DWORD>((leftUs + 999) / 1000));
        } else {
            YieldProcessor();
        }
    }
}

uint32_t CatchUpLimit(int32_t speed) {
    if (speed <= kSpeedNormal) return kCatchUpMs;
    if (speed > kSpeedMax) speed = kSpeedMax;
    return static_cast<uint32_t>(kCatchUpMs * static_cast<uint32_t>(speed) / kSpeedNormal);
}

uint32_t MoveCatchUpLimit(int32_t speed) {
    const uint32_t limit = CatchUpLimit(speed);
    return limit > kMoveCatchUpMs ? limit : kMoveCatchUpMs;
}

void CPreciseTimer::BeginRun() {
    clock_ = CPlayClock(GetTickCount());
    clock_.CenterOnCounterMs();
    periodRaised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    // A busy machine otherwise wakes the player whenever it has time left.
    savedPriority_ = GetThreadPriority(GetCurrentThread());
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
}

void CPreciseTimer::Pause(uint32_t last, uint32_t interval) {
    clock_.WaitUntil(last, interval, kMaxPauseMs);
}

void CPreciseTimer::EndRun() {
    if (periodRaised_) timeEndPeriod(1);
    periodRaised_ = false;
    if (savedPriority_ != THREAD_PRIORITY_ERROR_RETURN) SetThreadPriority(GetCurrentThread(), savedPriority_);
}
