// The player's clock and its screen coordinates: the 1 ms clock that waits
// for each action, and the absolute coordinates that put a click on the
// exact pixel, on the real Win32 calls.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "doctest.h"
#include "support/play_window.h"

TEST_CASE("absolute coordinates land on exactly the pixel asked for") {
    struct Desk {
        LONG origin, extent;
    };
    const Desk desks[] = {{0, 1}, {0, 800}, {0, 1080}, {0, 1366}, {0, 1920}, {-1920, 3840},
                          {1920, 1280}, {-333, 7680}, {0, 65536}, {0, 100000}};
    for (const Desk& d : desks) {
        CAPTURE(d.origin);
        CAPTURE(d.extent);
        int misses = 0;
        for (LONG x = d.origin; x < d.origin + d.extent; ++x) {
            LONG v = AbsoluteCoordinate(x, d.origin, d.extent);
            // How Windows and Wine map an absolute value back to a pixel.
            LONG back = d.origin + static_cast<LONG>((static_cast<int64_t>(v) * d.extent) >> 16);
            if (v < 0 || v > 65535 || (back != x && d.extent <= 65536)) ++misses;
        }
        CHECK(misses == 0);
    }
    CHECK(AbsoluteCoordinate(960, 0, 1920) == 32768);
    CHECK(AbsoluteCoordinate(540, 0, 1080) == 32768);
    CHECK(AbsoluteCoordinate(-1920, -1920, 3840) == 0);
    // Off the desktop: clamped to its edges.
    CHECK(AbsoluteCoordinate(-5000, -1920, 3840) == 0);
    CHECK(AbsoluteCoordinate(INT32_MAX, 0, 1920) == AbsoluteCoordinate(1919, 0, 1920));
    CHECK(AbsoluteCoordinate(INT32_MIN, 0, 1920) == 0);
    CHECK(AbsoluteCoordinate(10, 0, 0) == 0);
}

namespace {

// The ceiling of each wait below: far under what the fault it guards against
// takes (a wait past its limit or through a wrapped or huge interval takes
// seconds to days; a long interval paused whole instead of in one step takes
// 250 ms more), and far over how late a busy machine wakes a sleeping thread.
// How late the waits really end is measured by ./bench.sh playback.
const double kLateWakeMs = 200.0;

// Processor time this thread has used, in milliseconds.
double ThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

TEST_CASE("the precise clock wraps like the tick count and waits until due, at most its limit") {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    auto elapsedMs = [&](const CPlayClock& c, int64_t since) {
        return static_cast<double>(c.Counter() - since) * 1000.0 / static_cast<double>(f.QuadPart);
    };
    CPlayClock clock(0xFFFFFFFFu - 9);  // wraps 10 ms from now
    int64_t start = clock.Counter();
    clock.WaitUntil(0xFFFFFFFFu - 9, 21, 1000);  // 21 ms, across the wrap
    double waited = elapsedMs(clock, start);
    CHECK(clock.Now() - (0xFFFFFFFFu - 9) >= 21u);
    CHECK(clock.Now() < 0x80000000u);
    CHECK(waited >= 21.0);
    CHECK(waited < 21.0 + kLateWakeMs);

    start = clock.Counter();
    clock.WaitUntil(clock.Now(), 100000, 50);  // far away: only the limit
    waited = elapsedMs(clock, start);
    CHECK(waited >= 50.0);
    CHECK(waited < 50.0 + kLateWakeMs);

    // Intervals of 2^31 ms and more are as far ahead as any other, and the
    // wait sleeps through them rather than spinning.
    for (uint32_t interval : {0x80000000u, 3000000000u, 0xFFFFFFFFu}) {
        CAPTURE(interval);
        const double cpu = ThreadCpuMs();
        start = clock.Counter();
        clock.WaitUntil(clock.Now(), interval, 50);
        waited = elapsedMs(clock, start);
        CHECK(waited >= 50.0);
        CHECK(waited < 50.0 + kLateWakeMs);
        CHECK(ThreadCpuMs() - cpu < 25.0);  // the system counts in 10 ms steps
    }

    // Due now, and already passed: neither waits its interval (or the
    // limit) again.
    start = clock.Counter();
    clock.WaitUntil(clock.Now() - 500, 500, 1000);
    clock.WaitUntil(clock.Now() - 900, 500, 1000);
    CHECK(elapsedMs(clock, start) < 500.0 - kLateWakeMs);

    CPreciseTimer timer;
    timer.BeginRun();
    uint32_t t0 = timer.Now();
    timer.Pause(t0, 300);  // a long interval pauses one 50 ms step
    uint32_t step = timer.Now() - t0;
    // (The run's first millisecond lasts up to one more: the clock is
    // centred on the counter's milliseconds when the run begins.)
    CHECK(step + 1 >= kMaxPauseMs);
    CHECK(step < kMaxPauseMs + kLateWakeMs);
    timer.Pause(t0, 70);  // then the rest, to the millisecond
    CHECK(timer.Now() - t0 >= 70u);
    CHECK(timer.Now() - t0 < 70u + kLateWakeMs);
    timer.EndRun();
}

TEST_CASE("centred, the clock's milliseconds turn half-way through the counter's") {
    CPlayClock clock(100);
    const int64_t ms = clock.Frequency() / 1000;
    REQUIRE(ms >= 2);
    clock.CenterOnCounterMs();
    CHECK(clock.Now() == 100u);
    // Where in the counter's millisecond each of the clock's turns, read as
    // the counter just before the first reading that shows it.
    std::vector<int64_t> phases;
    int64_t before = clock.Counter();
    uint32_t shown = clock.Now();
    while (phases.size() < 41) {
        const int64_t counter = clock.Counter();
        const uint32_t now = clock.Now();
        if (now != shown) {
            if (now == shown + 1 && counter - before < ms / 10) phases.push_back(counter % ms);
            shown = now;
        }
        before = counter;
    }
    std::sort(phases.begin(), phases.end());
    const int64_t median = phases[phases.size() / 2];
    CHECK(median >= ms / 2 - ms / 20);
    CHECK(median <= ms / 2 + ms / 10);
}
