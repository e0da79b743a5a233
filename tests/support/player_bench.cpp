// player_bench.exe: playback timing measured at a real target window.
// Plays a list of clicks with intervals spread over 0 .. 100 ms into
// player_target.exe twice, once with the player's own timer and once with the
// literal tick-count scheme (GetTickCount, sleeps of min(interval / 2, 50)),
// and times full-desktop PNG screenshots. Lateness of an action is the time
// between its arrival and the previous action's arrival, less its interval;
// drift is how far the end of the list falls behind its schedule (see Drift).
// The player's timer is measured again at x0.5, x2 and x10, against the
// intervals divided by the speed.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "play_window.h"
#include "player_target.h"
#include "playback/capture_win.h"

namespace {

const int kActions = 320;

// The player's timing as first written: the tick count and half-interval sleeps.
class CTickTimer : public IPlayTimer {
public:
    void BeginRun() override {}
    uint32_t Now() override { return GetTickCount(); }
    void Pause(uint32_t, uint32_t interval) override {
        if (interval >= 2) Sleep(std::min<uint32_t>(interval / 2, kMaxPauseMs));
    }
    void EndRun() override {}
};

// The system's input, noting when each action was handed to SendInput.
class CTimedInput : public CSystemInput {
public:
    UINT Send(UINT count, INPUT* inputs) override {
        LARGE_INTEGER now, done;
        QueryPerformanceCounter(&now);
        sent.push_back(now.QuadPart);
        UINT n = CSystemInput::Send(count, inputs);
        QueryPerformanceCounter(&done);
        took.push_back(done.QuadPart - now.QuadPart);
        return n;
    }
    std::vector<int64_t> sent;
    std::vector<int64_t> took;  // how long each SendInput call lasted
};

double Ms(int64_t ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// How far the end of the list is behind its schedule, compared with the
// start: each action's offset from the schedule, the median of the last ten
// less the median of the first ten, so that the delivery jitter of a single
// message does not count as drift.
double Drift(const std::vector<int64_t>& times, const std::vector<double>& gaps) {
    std::vector<double> offsets;
    double scheduled = 0;
    for (size_t i = 1; i < times.size() && i < gaps.size(); ++i) {
        scheduled += gaps[i];
        offsets.push_back(Ms(times[i] - times[0]) - scheduled);
    }
    if (offsets.size() < 20) return 0;
    std::vector<double> first(offsets.begin(), offsets.begin() + 10);
    std::vector<double> last(offsets.end() - 10, offsets.end());
    return Percentile(last, 0.5) - Percentile(first, 0.5);
}

struct Result {
    double p50 = 0, p99 = 0, max = 0, drift = 0;
    double sendP50 = 0, sendP99 = 0, sendDrift = 0, deliveryP50 = 0, deliveryP99 = 0;
    double firstCall = 0, callP50 = 0, firstDelivery = 0;
    bool ok = false;
};

// Plays the intervals at `speed` (hundredths); every gap is measured against
// its interval divided by the speed.
Result Measure(IPlayTimer* timer, target::Process& target, const std::vector<uint32_t>& intervals,
               int width, int height, int32_t speed = kSpeedNormal) {
    Result result;
    std::vector<double> gaps;
    for (uint32_t interval : intervals) gaps.push_back(interval * 100.0 / speed);
    PlayWindow window;
    CTimedInput input;
    CPlayer player(&input, timer);
    window.SetPlayer(&player);
    player.SetMainWindow(window.hwnd());
    if (!player.StartThread()) return result;
    ActionList list;
    uint32_t seed = 12345;
    for (uint32_t interval : intervals) {
        seed = seed * 1103515245 + 12345;
        int x = 20 + static_cast<int>((seed >> 8) % static_cast<uint32_t>(width - 40));
        int y = 20 + static_cast<int>((seed >> 4) % static_cast<uint32_t>(height - 40));
        list.append(ActionDevice::Mouse, ActionKind::MouseLeftClick, x, y, 0, interval);
    }
    target.Clear();
    if (!player.RequestPlay(list, 0, speed) || !window.WaitForPlayEnd(1, 120000)) return result;
    std::vector<int64_t> arrivals;
    window.PumpUntil(
        [&] {
            arrivals.clear();
            for (LONG i = 0; i < target.count(); ++i) {
                const target::Event& e = target.log()->events[i];
                if (e.message == WM_LBUTTONDOWN) arrivals.push_back(e.counter);
            }
            return arrivals.size() >= intervals.size();
        },
        5000);
    player.StopThread();
    if (arrivals.size() != intervals.size()) {
        std::printf("only %zu of %zu clicks arrived\n", arrivals.size(), intervals.size());
        return result;
    }
    result.ok = true;
    if (!input.took.empty()) {
        result.firstCall = Ms(input.took[0]);
        result.firstDelivery = Ms(arrivals[0] - input.sent[0]);
    }
    if (arrivals.size() < 2) return result;
    std::vector<double> late;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        late.push_back(Ms(arrivals[i] - arrivals[i - 1]) - gaps[i]);
    }
    result.p50 = Percentile(late, 0.50);
    result.p99 = Percentile(late, 0.99);
    result.max = Percentile(late, 1.0);
    result.drift = Drift(arrivals, gaps);
    result.sendDrift = Drift(input.sent, gaps);
    // The same at the player's side, and the time from SendInput to the window.
    std::vector<double> sendLate, delivery;
    for (size_t i = 0; i < input.sent.size() && i < arrivals.size(); ++i) {
        if (i > 0) sendLate.push_back(Ms(input.sent[i] - input.sent[i - 1]) - gaps[i]);
        delivery.push_back(Ms(arrivals[i] - input.sent[i]));
    }
    result.sendP50 = Percentile(sendLate, 0.5);
    result.sendP99 = Percentile(sendLate, 0.99);
    result.deliveryP50 = Percentile(delivery, 0.5);
    std::vector<double> calls;
    for (size_t i = 1; i < input.took.size(); ++i) calls.push_back(Ms(input.took[i]));
    if (!calls.empty()) result.callP50 = Percentile(calls, 0.5);
    result.deliveryP99 = Percentile(delivery, 0.99);
    return result;
}

double ScreenshotPngMs() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + L"taplore_bench_shots";
    CreateDirectoryW(dir.c_str(), nullptr);
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        TakeScreenshot(dir.c_str(), 3);
        QueryPerformanceCounter(&b);
        times.push_back(Ms(b.QuadPart - a.QuadPart));
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*.png").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((dir + L"\\" + data.cFileName).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
    return Percentile(times, 0.5);
}

}  // namespace

int wmain() {
    ULONG_PTR gdiplus = GdiPlusStart();
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    target::Process target;
    if (!target.Start(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), width, height)) {
        std::printf("the target window did not start\n");
        return 1;
    }
    // Intervals over 0 .. 100 ms, with the 0 and 1 ms polls among them.
    std::vector<uint32_t> intervals;
    uint32_t seed = 2024;
    for (int i = 0; i < kActions; ++i) {
        seed = seed * 1664525 + 1013904223;
        uint32_t r = (seed >> 8) % 110;
        intervals.push_back(r >= 101 ? r - 101 : r);  // about one in eleven is 0 .. 8
    }
    intervals[0] = 0;
    std::vector<uint32_t> warmup = {0};
    CPreciseTimer precise;
    CTickTimer tick;
    Result warm = Measure(&precise, target, warmup, width, height);  // activates the target
    std::printf("first run of the process: SendInput took %.3f ms, reached the target %.3f ms after the call\n",
                warm.firstCall, warm.firstDelivery);
    Result ours = Measure(&precise, target, intervals, width, height);
    Result base = Measure(&tick, target, intervals, width, height);
    const int32_t speeds[] = {50, 200, 1000};
    Result scaled[3];
    for (int k = 0; k < 3; ++k) scaled[k] = Measure(&precise, target, intervals, width, height, speeds[k]);
    double shot = ScreenshotPngMs();
    target.Stop();
    GdiPlusStop(gdiplus);
    if (!ours.ok || !base.ok || !scaled[0].ok || !scaled[1].ok || !scaled[2].ok) return 1;
    std::printf("actions: %d, intervals 0 .. 100 ms, total %.1f s per run\n", kActions,
                [&] {
                    double t = 0;
                    for (uint32_t i : intervals) t += i;
                    return t / 1000.0;
                }());
    std::printf("at SendInput: lateness p50 %.3f ms, p99 %.3f ms, drift %.3f ms "
                "(baseline p50 %.3f, p99 %.3f, drift %.3f)\n",
                ours.sendP50, ours.sendP99, ours.sendDrift, base.sendP50, base.sendP99, base.sendDrift);
    std::printf("SendInput to the target's window: p50 %.3f ms, p99 %.3f ms\n", ours.deliveryP50,
                ours.deliveryP99);
    std::printf("first input: SendInput took %.3f ms (others p50 %.3f), reached the target %.3f ms after "
                "the call (others p50 %.3f)\n",
                ours.firstCall, ours.callP50, ours.firstDelivery, ours.deliveryP50);
    std::printf("lateness_max_ms: %.3f\n", ours.max);
    std::printf("baseline_lateness_p50_ms: %.3f\n", base.p50);
    std::printf("baseline_lateness_max_ms: %.3f\n", base.max);
    std::printf("baseline_drift_ms: %.3f\n", base.drift);
    std::printf("screenshot_png_ms: %.1f\n", shot);
    for (int k = 0; k < 3; ++k) {
        std::printf("speed x%g: lateness p50 %.3f ms, p99 %.3f ms, max %.3f ms, drift %.3f ms\n",
                    speeds[k] / 100.0, scaled[k].p50, scaled[k].p99, scaled[k].max, scaled[k].drift);
    }
    std::printf("lateness_p50_ms: %.3f\n", ours.p50);
    std::printf("lateness_p99_ms: %.3f\n", ours.p99);
    std::printf("drift_ms: %.3f\n", ours.drift);
    std::printf("baseline_lateness_p99_ms: %.3f\n", base.p99);
    return 0;
}
