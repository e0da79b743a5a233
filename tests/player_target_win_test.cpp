// Playback into a real window: player_target.exe covers the whole desktop
// and logs the button and key messages it receives with their positions and
// performance-counter times. The player runs with the system's SendInput and
// its precise timer, exactly as in the program.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "doctest.h"
#include "support/play_window.h"
#include "support/player_target.h"

namespace {

struct Seen {
    UINT message;
    UINT wParam;
    UINT lParam;
    LONG x, y;  // client position (the target's client area is the screen)
    int64_t counter;
};

ActionRecord Rec(ActionKind kind, uint32_t interval, int x = 0, int y = 0, int key = 0) {
    ActionDevice device = ActionDevice::Mouse;
    if (kind == ActionKind::PushKey || kind == ActionKind::ReleaseKey) device = ActionDevice::Keyboard;
    return ActionRecord{interval, device, kind, x, y, key};
}

double Milliseconds(int64_t ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

int64_t Counter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// No click (a push and a release each in `seen`) comes before its time: the
// sum of the intervals up to it, times `scale`, after `requested`, a moment
// before the run was asked for. Whatever the load, a right player is never
// early; the player's clock counts whole milliseconds.
void CheckNoneEarly(const std::vector<Seen>& seen, const uint32_t* intervals, size_t n, double scale,
                    int64_t requested) {
    double due = 0;
    for (size_t i = 0; i < n; ++i) {
        due += intervals[i] * scale;
        const double at = Milliseconds(seen[2 * i].counter - requested);
        INFO("click " << i << " came " << at << " ms after the request, due " << due);
        CHECK(at + 2.0 >= due);
    }
}

struct Stage {
    target::Process target;
    PlayWindow window;
    CPlayer player;
    ActionList list;
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);

    explicit Stage(bool logMoves = false) {
        REQUIRE(target.Start(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                             width, height, logMoves));
        window.SetPlayer(&player);
        player.SetMainWindow(window.hwnd());
        REQUIRE(player.StartThread());
    }
    void Set(const std::vector<ActionRecord>& records) {
        list.clear();
        for (const ActionRecord& r : records) list.append(r);
    }
    void Play(int32_t repeat, int32_t speed = kSpeedNormal, DWORD timeoutMs = 20000) {
        int ends = window.playEnds;
        REQUIRE(player.RequestPlay(list, repeat, speed));
        REQUIRE(window.WaitForPlayEnd(ends + 1, timeoutMs));
    }
    // Waits until the target has logged `count` button and key messages
    // (with moves: moves too).
    std::vector<Seen> Events(size_t count, DWORD timeoutMs = 5000, bool moves = false) {
        std::vector<Seen> seen;
        window.PumpUntil(
            [&] {
                seen.clear();
                LONG n = target.count();
                for (LONG i = 0; i < n; ++i) {
                    const target::Event& e = target.log()->events[i];
                    if (target::IsButtonMessage(e.message) || target::IsKeyMessage(e.message) ||
                        (moves && e.message == WM_MOUSEMOVE)) {
                        seen.push_back({e.message, e.wParam, e.lParam, e.clientX, e.clientY, e.counter});
                    }
                }
                return seen.size() >= count;
            },
            timeoutMs);
        return seen;
    }
    // Lets stragglers arrive, then gives the count of logged messages.
    size_t SettledCount() {
        size_t last = Events(0).size();
        for (int i = 0; i < 20; ++i) {
            window.PumpUntil([] { return false; }, 20);
            size_t now = Events(0).size();
            if (now == last) return now;
            last = now;
        }
        return last;
    }
};

}  // namespace

TEST_CASE("every kind reaches the target window as its button and key messages") {
    Stage s;
    s.Set({Rec(ActionKind::MouseLeftPush, 0, 100, 100), Rec(ActionKind::MouseLeftRelease, 10, 101, 102),
           Rec(ActionKind::MouseLeftClick, 10, 200, 210),
           Rec(ActionKind::MouseLeftDoubleClick, 10, 300, 310),
           Rec(ActionKind::MouseRightPush, 10, 400, 410), Rec(ActionKind::MouseRightRelease, 10, 401, 411),
           Rec(static_cast<ActionKind>(99), 10, 5, 5), Rec(ActionKind::MouseRightClick, 10, 500, 510),
           Rec(ActionKind::MouseRightDoubleClick, 10, 600, 610),
           Rec(ActionKind::PushKey, 10, 0, 0, 0x41), Rec(ActionKind::ReleaseKey, 10, 0, 0, 0x41),
           Rec(ActionKind::PushKey, 10, 0, 0, VK_RIGHT), Rec(ActionKind::ReleaseKey, 10, 0, 0, VK_RIGHT),
           // Recorded strokes: right Ctrl and the keypad's Enter, whose
           // virtual keys are those of left Ctrl and the main Enter; an arrow
           // of the keypad (Num Lock off); a flag without a scan code.
           Rec(ActionKind::PushKey, 10, kKeyExtended | 0x1D, 0, VK_CONTROL),
           Rec(ActionKind::ReleaseKey, 10, kKeyExtended | 0x1D, 0, VK_CONTROL),
           Rec(ActionKind::PushKey, 10, kKeyExtended | 0x1C, 0, VK_RETURN),
           Rec(ActionKind::ReleaseKey, 10, kKeyExtended | 0x1C, 0, VK_RETURN),
           Rec(ActionKind::PushKey, 10, 0x4B, 0, VK_LEFT), Rec(ActionKind::ReleaseKey, 10, 0x4B, 0, VK_LEFT),
           Rec(ActionKind::PushKey, 10, kKeyExtended, 0, VK_RETURN),
           Rec(ActionKind::ReleaseKey, 10, kKeyExtended, 0, VK_RETURN),
           // No stroke: left Ctrl and Delete as they are by nature, also for
           // an x that is no stroke.
           Rec(ActionKind::PushKey, 10, 0, 0, VK_CONTROL), Rec(ActionKind::ReleaseKey, 10, 0, 0, VK_CONTROL),
           Rec(ActionKind::PushKey, 10, 0x200, 0, VK_DELETE), Rec(ActionKind::ReleaseKey, 10, 0x200, 0, VK_DELETE)});
    s.Play(0);
    struct Want {
        UINT message;
        UINT wParam;  // key messages only: the key, its scan code, whether extended
        LONG x, y;
    };
    const Want want[] = {
        {WM_LBUTTONDOWN, 0, 100, 100}, {WM_LBUTTONUP, 0, 101, 102},
        {WM_LBUTTONDOWN, 0, 200, 210}, {WM_LBUTTONUP, 0, 200, 210},
        {WM_LBUTTONDOWN, 0, 300, 310}, {WM_LBUTTONUP, 0, 300, 310},
        {WM_LBUTTONDOWN, 0, 300, 310}, {WM_LBUTTONUP, 0, 300, 310},
        {WM_RBUTTONDOWN, 0, 400, 410}, {WM_RBUTTONUP, 0, 401, 411},
        {WM_RBUTTONDOWN, 0, 500, 510}, {WM_RBUTTONUP, 0, 500, 510},
        {WM_RBUTTONDOWN, 0, 600, 610}, {WM_RBUTTONUP, 0, 600, 610},
        {WM_RBUTTONDOWN, 0, 600, 610}, {WM_RBUTTONUP, 0, 600, 610},
        {WM_KEYDOWN, 0x41, 0x1E, 0},   {WM_KEYUP, 0x41, 0x1E, 0},
        {WM_KEYDOWN, VK_RIGHT, 0x4D, 1}, {WM_KEYUP, VK_RIGHT, 0x4D, 1},
        {WM_KEYDOWN, VK_CONTROL, 0x1D, 1}, {WM_KEYUP, VK_CONTROL, 0x1D, 1},
        {WM_KEYDOWN, VK_RETURN, 0x1C, 1}, {WM_KEYUP, VK_RETURN, 0x1C, 1},
        {WM_KEYDOWN, VK_LEFT, 0x4B, 0},   {WM_KEYUP, VK_LEFT, 0x4B, 0},
        {WM_KEYDOWN, VK_RETURN, 0x1C, 1}, {WM_KEYUP, VK_RETURN, 0x1C, 1},
        {WM_KEYDOWN, VK_CONTROL, 0x1D, 0}, {WM_KEYUP, VK_CONTROL, 0x1D, 0},
        {WM_KEYDOWN, VK_DELETE, 0x53, 1}, {WM_KEYUP, VK_DELETE, 0x53, 1},
    };
    const size_t n = sizeof want / sizeof want[0];
    std::vector<Seen> seen = s.Events(n);
    CHECK(s.SettledCount() == n);
    REQUIRE(seen.size() >= n);
    for (size_t i = 0; i < n; ++i) {
        CAPTURE(i);
        CHECK(seen[i].message == want[i].message);
        if (target::IsKeyMessage(want[i].message)) {
            CHECK(seen[i].wParam == want[i].wParam);
            CHECK(((seen[i].lParam >> 16) & 0xFF) == static_cast<UINT>(want[i].x));
            CHECK(((seen[i].lParam >> 24) & 1) == static_cast<UINT>(want[i].y));
        } else {
            CHECK(seen[i].x == want[i].x);
            CHECK(seen[i].y == want[i].y);
        }
    }
}

TEST_CASE("clicks land on exactly the recorded pixel all over the desktop") {
    Stage s;
    const int xs[] = {0, 1, 2, 137, 639, 640, 959, 960, 961, 1279, 1500, s.width - 2, s.width - 1};
    const int ys[] = {0, 1, 333, 539, 540, 541, 719, s.height - 2, s.height - 1};
    std::vector<ActionRecord> records;
    for (int y : ys) {
        for (int x : xs) records.push_back(Rec(ActionKind::MouseLeftClick, 0, x, y));
    }
    s.Set(records);
    s.Play(0);
    std::vector<Seen> seen = s.Events(records.size() * 2);
    REQUIRE(seen.size() == records.size() * 2);
    int misses = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Seen& down = seen[2 * i];
        if (down.message != WM_LBUTTONDOWN || down.x != records[i].x || down.y != records[i].y) {
            ++misses;
            MESSAGE("wanted (" << records[i].x << ", " << records[i].y << "), got (" << down.x << ", "
                               << down.y << ")");
        }
    }
    CHECK(misses == 0);
}

TEST_CASE("actions arrive on time, measured by the target's clock") {
    Stage s;
    // Intervals spread over 0 .. 120 ms, including the 0 and 1 ms polls.
    const uint32_t intervals[] = {0, 40, 1, 0, 17, 100, 3, 60, 2, 75, 33, 0, 120, 9, 50, 5, 88, 41, 1, 64};
    std::vector<ActionRecord> records;
    for (size_t i = 0; i < sizeof intervals / sizeof intervals[0]; ++i) {
        records.push_back(Rec(ActionKind::MouseLeftClick, intervals[i], 50 + static_cast<int>(i) * 10, 50));
    }
    s.Set(records);
    const int64_t requested = Counter();
    s.Play(0);
    std::vector<Seen> seen = s.Events(records.size() * 2);
    REQUIRE(seen.size() == records.size() * 2);
    CheckNoneEarly(seen, intervals, records.size(), 1.0, requested);
    // How close each gap between two arrivals comes to its interval, and the
    // drift over the run, are figures (the tight ones by ./bench.sh
    // playback): a loaded machine delays wake-ups by any amount.
    std::vector<double> errors;
    uint32_t scheduled = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        scheduled += intervals[i];
        double gap = Milliseconds(seen[2 * i].counter - seen[2 * (i - 1)].counter);
        errors.push_back(std::fabs(gap - intervals[i]));
    }
    double drift = Milliseconds(seen[2 * (records.size() - 1)].counter - seen[0].counter) - scheduled;
    std::sort(errors.begin(), errors.end());
    MESSAGE("gap error median " << errors[errors.size() / 2] << " ms, p90 " << errors[errors.size() * 9 / 10]
                                << " ms, max " << errors.back() << " ms, drift " << drift << " ms");
}

TEST_CASE("at x2 and x0.5 the clicks arrive at half and twice the recorded gaps") {
    // Gaps of 30 .. 120 ms, so that the delivery jitter of one message is
    // small against every one of them.
    const uint32_t intervals[] = {0, 40, 90, 30, 60, 120, 45, 75, 33, 100, 50, 88, 64, 41, 110, 70};
    const size_t n = sizeof intervals / sizeof intervals[0];
    std::vector<ActionRecord> records;
    for (size_t i = 0; i < n; ++i) {
        records.push_back(Rec(ActionKind::MouseLeftClick, intervals[i], 60 + static_cast<int>(i) * 10, 60));
    }
    uint32_t schedule = 0;
    for (size_t i = 1; i < n; ++i) schedule += intervals[i];
    for (int32_t speed : {int32_t{200}, int32_t{50}}) {
        CAPTURE(speed);
        Stage s;
        s.Set(records);
        const int64_t requested = Counter();
        s.Play(0, speed);
        std::vector<Seen> seen = s.Events(n * 2);
        REQUIRE(seen.size() == n * 2);
        // None before its scaled time: at x0.5 a player at the recorded pace
        // would be early. At x2 such a player could not span less than the
        // recorded schedule (nothing comes early); a right one spans half of
        // it, so only a stall of more than half a second would reach it.
        const double want = 100.0 / speed;
        CheckNoneEarly(seen, intervals, n, want, requested);
        const double span = Milliseconds(seen[2 * (n - 1)].counter - seen[0].counter);
        MESSAGE("x" << speed / 100.0 << ": span " << span << " ms, scaled schedule " << schedule * want << " ms");
        if (speed > kSpeedNormal) CHECK(span < schedule);
    }
}

// Processor time `thread` has used, in milliseconds.
double CpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

TEST_CASE("a stop ends a long wait, which the player sleeps through, and passes count 1, 2, 3") {
    Stage s;
    // 3,000,000,000 ms: beyond the signed 32-bit range, still a wait.
    s.Set({Rec(ActionKind::MouseLeftClick, 0, 30, 30), Rec(ActionKind::MouseLeftClick, 3000000000u, 40, 40)});
    int ends = s.window.playEnds;
    REQUIRE(s.player.RequestPlay(s.list, -1));
    REQUIRE(s.Events(2).size() == 2);
    // The player sleeps through the wait: a spinning one would use all of
    // the 300 ms of processor time it gets, which is most of them even with
    // two busy processes per core.
    const double cpu = CpuMs(s.player.ThreadHandle());
    s.window.PumpUntil([] { return false; }, 300);
    const double used = CpuMs(s.player.ThreadHandle()) - cpu;
    MESSAGE("player's processor time during 300 ms of waiting: " << used << " ms");
    CHECK(cpu >= 0);
    CHECK(used < 30.0);
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    s.player.StopPlay();
    REQUIRE(s.window.WaitForPlayEnd(ends + 1, 15000));
    QueryPerformanceCounter(&b);
    MESSAGE("Stop Play to WM_PLAY_END: " << Milliseconds(b.QuadPart - a.QuadPart) << " ms");
    CHECK(s.SettledCount() == 2);
    CHECK(s.window.passTexts == std::vector<std::string>{"", "1"});

    s.target.Clear();
    s.window.passTexts.clear();
    s.Set({Rec(ActionKind::MouseLeftClick, 0, 30, 30), Rec(ActionKind::MouseLeftClick, 5, 40, 40)});
    s.Play(3);
    CHECK(s.SettledCount() == 12);
    CHECK(s.window.passTexts == std::vector<std::string>{"", "1", "2", "3"});

    s.target.Clear();
    s.window.passTexts.clear();
    s.Set({});
    s.Play(3);
    CHECK(s.window.passTexts == std::vector<std::string>{""});
    CHECK(s.SettledCount() == 0);
}

TEST_CASE("an interrupted run lets go of the keys and buttons it holds") {
    Stage s;
    s.Set({Rec(ActionKind::MouseLeftClick, 0, 700, 500), Rec(ActionKind::PushKey, 10, 0, 0, 0x42),
           Rec(ActionKind::PushKey, 10, 0, 0, 0x43), Rec(ActionKind::MouseMiddlePush, 10, 705, 510),
           Rec(ActionKind::MouseX2Push, 10, 706, 512), Rec(ActionKind::MouseLeftPush, 10, 710, 520),
           Rec(ActionKind::MouseLeftClick, 600000, 1, 1)});
    int ends = s.window.playEnds;
    REQUIRE(s.player.RequestPlay(s.list, 0));
    REQUIRE(s.Events(7).size() == 7);
    s.player.StopPlay();
    REQUIRE(s.window.WaitForPlayEnd(ends + 1, 2000));
    std::vector<Seen> seen = s.Events(12);
    REQUIRE(seen.size() == 12);
    // Buttons first, all where the pointer last went, then the keys in the
    // reverse order of their pushes.
    const UINT released[] = {WM_LBUTTONUP, WM_MBUTTONUP, WM_XBUTTONUP};
    for (int i = 0; i < 3; ++i) {
        CAPTURE(i);
        CHECK(seen[7 + i].message == released[i]);
        CHECK(seen[7 + i].x == 710);
        CHECK(seen[7 + i].y == 520);
    }
    CHECK(HIWORD(seen[9].wParam) == XBUTTON2);
    CHECK(seen[10].message == WM_KEYUP);
    CHECK(seen[10].wParam == 0x43);
    CHECK(seen[11].message == WM_KEYUP);
    CHECK(seen[11].wParam == 0x42);
    CHECK((GetAsyncKeyState(0x42) & 0x8000) == 0);
    for (int button : {VK_LBUTTON, VK_MBUTTON, VK_XBUTTON2}) CHECK((GetAsyncKeyState(button) & 0x8000) == 0);
}

TEST_CASE("moves, a drag, both wheels, the middle and side buttons arrive as recorded") {
    Stage s(true);
    s.Set({Rec(ActionKind::MouseMove, 0, 90, 95), Rec(ActionKind::MouseLeftPush, 10, 100, 100),
           Rec(ActionKind::MouseMove, 5, 110, 105), Rec(ActionKind::MouseMove, 5, 130, 115),
           Rec(ActionKind::MouseMove, 5, 131, 117), Rec(ActionKind::MouseLeftRelease, 10, 131, 117),
           Rec(ActionKind::MouseWheel, 10, 200, 210, 120), Rec(ActionKind::MouseWheel, 10, 201, 211, -240),
           Rec(ActionKind::MouseHWheel, 10, 202, 212, 60), Rec(ActionKind::MouseHWheel, 10, 203, 213, -120),
           Rec(ActionKind::MouseMiddlePush, 10, 300, 310), Rec(ActionKind::MouseMiddleRelease, 10, 301, 311),
           Rec(ActionKind::MouseX1Push, 10, 400, 410), Rec(ActionKind::MouseX1Release, 10, 400, 410),
           Rec(ActionKind::MouseX2Push, 10, 500, 510), Rec(ActionKind::MouseX2Release, 10, 501, 512),
           Rec(ActionKind::MouseMove, 10, 600, 620)});
    s.Play(0);
    struct Want {
        UINT message;
        LONG x, y;
        int data;  // wheel: the delta; side buttons: the button
    };
    const Want want[] = {
        {WM_LBUTTONDOWN, 100, 100, 0}, {WM_LBUTTONUP, 131, 117, 0},       {WM_MOUSEWHEEL, 200, 210, 120},
        {WM_MOUSEWHEEL, 201, 211, -240}, {WM_MOUSEHWHEEL, 202, 212, 60},  {WM_MOUSEHWHEEL, 203, 213, -120},
        {WM_MBUTTONDOWN, 300, 310, 0}, {WM_MBUTTONUP, 301, 311, 0},       {WM_XBUTTONDOWN, 400, 410, XBUTTON1},
        {WM_XBUTTONUP, 400, 410, XBUTTON1}, {WM_XBUTTONDOWN, 500, 510, XBUTTON2},
        {WM_XBUTTONUP, 501, 512, XBUTTON2},
    };
    const size_t n = sizeof want / sizeof want[0];
    std::vector<Seen> buttons = s.Events(n);
    CHECK(s.SettledCount() == n);
    REQUIRE(buttons.size() >= n);
    for (size_t i = 0; i < n; ++i) {
        CAPTURE(i);
        CHECK(buttons[i].message == want[i].message);
        CHECK(buttons[i].x == want[i].x);
        CHECK(buttons[i].y == want[i].y);
        if (target::IsWheelMessage(want[i].message)) CHECK(GET_WHEEL_DELTA_WPARAM(buttons[i].wParam) == want[i].data);
        if (want[i].data && !target::IsWheelMessage(want[i].message)) CHECK(HIWORD(buttons[i].wParam) == want[i].data);
    }
    // The drag: between the push and the release the pointer moves over the
    // recorded pixels with the left button held, reaching the last one, and
    // nothing else happens. (Wine passes each move on to the X pointer and
    // reports the pixel before once more as X catches up; a slow target may
    // find moves merged into a later one, as the system does with moves
    // waiting in a queue.)
    // The list ends with a move alone: once it has come, all has.
    std::vector<Seen> all;
    s.window.PumpUntil(
        [&] {
            all = s.Events(0, 0, true);
            return std::any_of(all.begin(), all.end(),
                               [](const Seen& e) { return e.message == WM_MOUSEMOVE && e.x == 600 && e.y == 620; });
        },
        15000);
    std::string trace;
    for (const Seen& e : all) {
        char line[64];
        snprintf(line, sizeof line, "%04X %08X (%ld,%ld)\n", e.message, e.wParam, e.x, e.y);
        trace += line;
    }
    INFO("the target's messages:\n" << trace);
    size_t down = all.size(), up = all.size(), lastButton = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i].message == WM_LBUTTONDOWN && down == all.size()) down = i;
        if (all[i].message == WM_LBUTTONUP && up == all.size()) up = i;
        if (all[i].message != WM_MOUSEMOVE) lastButton = i;
    }
    REQUIRE(down < up);
    REQUIRE(up < all.size());
    // The pixels in the order the list visits them, the one before the push
    // first (an echo of it may come after).
    const POINT path[] = {{90, 95}, {100, 100}, {110, 105}, {130, 115}, {131, 117}};
    size_t reached = 1, lastMove = down;
    for (size_t i = down + 1; i < up; ++i) {
        CAPTURE(i);
        CHECK(all[i].message == WM_MOUSEMOVE);
        CHECK((all[i].wParam & MK_LBUTTON) != 0);
        size_t at = 0;
        while (at < 5 && (all[i].x != path[at].x || all[i].y != path[at].y)) ++at;
        CHECK(at < 5);
        if (at < 5 && at > reached) reached = at;
        lastMove = i;
    }
    CHECK(reached == 4);
    CHECK(all[lastMove].x == 131);
    CHECK(all[lastMove].y == 117);
    // A move alone after the last button: the pointer reaches its pixel.
    bool last = false;
    for (size_t i = lastButton; i < all.size(); ++i) last = last || (all[i].x == 600 && all[i].y == 620);
    CHECK(last);
}

TEST_CASE("runs from new player threads: every action in its place and none early, the first one too") {
    Stage s;
    // Each player starts a thread of its own, whose first action is the
    // first input that thread injects.
    std::vector<double> first, later;
    for (int k = 0; k < 5; ++k) {
        CPlayer player;
        s.window.SetPlayer(&player);
        player.SetMainWindow(s.window.hwnd());
        REQUIRE(player.StartThread());
        s.target.Clear();
        s.Set({Rec(ActionKind::MouseLeftClick, 60, 100 + k, 100), Rec(ActionKind::MouseLeftClick, 60, 200 + k, 100),
               Rec(ActionKind::MouseLeftClick, 60, 300 + k, 100)});
        const int ends = s.window.playEnds;
        s.window.passTexts.clear();
        s.window.passCounters.clear();
        const int64_t requested = Counter();
        REQUIRE(player.RequestPlay(s.list, 0));
        REQUIRE(s.window.WaitForPlayEnd(ends + 1, 10000));
        std::vector<Seen> seen = s.Events(6);
        REQUIRE(seen.size() == 6);
        for (int i = 0; i < 3; ++i) {
            CAPTURE(i);
            CHECK(seen[2 * i].message == WM_LBUTTONDOWN);
            CHECK(seen[2 * i].x == 100 * (i + 1) + k);
        }
        const uint32_t intervals[] = {60, 60, 60};
        CheckNoneEarly(seen, intervals, 3, 1.0, requested);
        // From the run's own start: the player thread shows pass 1 as it
        // begins to wait for the first action. (The request's way there,
        // through the server, takes a few milliseconds on every run of a
        // loaded machine.)
        REQUIRE(s.window.passTexts == std::vector<std::string>{"", "1"});
        first.push_back(Milliseconds(seen[0].counter - s.window.passCounters[1]) - 60);
        later.push_back(Milliseconds(seen[2].counter - seen[0].counter) - 60);
        later.push_back(Milliseconds(seen[4].counter - seen[2].counter) - 60);
        player.StopThread();
    }
    s.window.SetPlayer(&s.player);
    std::sort(first.begin(), first.end());
    std::sort(later.begin(), later.end());
    const double firstMedian = first[first.size() / 2], laterMedian = later[later.size() / 2];
    // How late the first action comes against the others is a figure
    // (./bench.sh playback reports the first input).
    MESSAGE("lateness of the first action, least " << first.front() << " ms, median " << firstMedian
                                                   << " ms; of the others " << laterMedian << " ms");
}

TEST_CASE("a run ends once every record it sent has come back as raw input; StopNow ends one at once") {
    Stage s;
    REQUIRE(s.window.WatchRawInput());
    // Keys 5 ms apart with a click among them, as in a typed recording: the
    // window that restores itself on WM_PLAY_END must find them all delivered.
    s.Set({Rec(ActionKind::PushKey, 0, 0, 0, 'A'), Rec(ActionKind::ReleaseKey, 5, 0, 0, 'A'),
           Rec(ActionKind::MouseLeftClick, 5, 400, 300), Rec(ActionKind::PushKey, 5, 0, 0, VK_RETURN),
           Rec(ActionKind::ReleaseKey, 5, 0, 0, VK_RETURN)});
    const UINT expected[] = {WM_KEYDOWN, WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_KEYDOWN, WM_KEYUP};
    for (int run = 0; run < 3; ++run) {
        CAPTURE(run);
        s.target.Clear();
        s.window.tags.clear();
        s.Play(0);
        CHECK(s.window.arrivedAtEnd);
        // Every record carries its own number, one more than the record
        // before, across the calls: 1 + 1 + 3 (move, down, up) + 1 + 1.
        std::vector<ULONG> numbers;
        for (ULONG tag : s.window.tags) {
            if (numbers.empty() || numbers.back() != tag) numbers.push_back(tag);
        }
        REQUIRE(numbers.size() == 7);
        for (size_t i = 1; i < numbers.size(); ++i) CHECK(((numbers[i] - numbers[i - 1]) & kInputSequenceMask) == 1);
        std::vector<Seen> seen = s.Events(6);
        REQUIRE(seen.size() == 6);
        for (size_t i = 0; i < 6; ++i) CHECK(seen[i].message == expected[i]);
    }

    // The window holds the raw input back: the run has sent everything and
    // the window has seen it all, but the run is not over until the player
    // learns that its last record came back; a mark of another sender with
    // the same number does not count.
    REQUIRE(s.window.WatchRawInput(false));
    s.target.Clear();
    s.window.tags.clear();
    s.Set({Rec(ActionKind::PushKey, 0, 0, 0, 'B'), Rec(ActionKind::ReleaseKey, 5, 0, 0, 'B')});
    int ends = s.window.playEnds;
    REQUIRE(s.player.RequestPlay(s.list, 0));
    REQUIRE(s.window.PumpUntil([&] { return s.window.tags.size() >= 2; }, 10000));
    // A while shorter than kArrivalWaitMs, in which nothing may end the run.
    CHECK_FALSE(s.window.PumpUntil([&] { return s.window.playEnds != ends; }, kArrivalWaitMs / 4));
    CHECK_FALSE(s.player.InputArrived());
    s.player.NoteInputArrived((s.window.tags.back() & kInputSequenceMask) | 0x12000000);
    s.player.NoteInputArrived(s.window.tags.front());
    CHECK_FALSE(s.player.InputArrived());
    CHECK(s.window.playEnds == ends);
    s.player.NoteInputArrived(s.window.tags.back());
    REQUIRE(s.window.WaitForPlayEnd(ends + 1, 5000));
    CHECK(s.window.arrivedAtEnd);
    // Input that never comes back: the run ends all the same.
    s.Play(0);
    CHECK_FALSE(s.window.arrivedAtEnd);

    // StopNow ends a long wait and returns once the run is over and its key
    // let go.
    s.target.Clear();
    s.Set({Rec(ActionKind::PushKey, 0, 0, 0, 'C'), Rec(ActionKind::MouseLeftClick, 600000, 1, 1)});
    ends = s.window.playEnds;
    REQUIRE(s.player.RequestPlay(s.list, -1));
    REQUIRE(s.Events(1).size() == 1);
    CHECK(s.player.StopNow());
    CHECK(s.player.CanStart());
    CHECK_FALSE(s.player.LastRunComplete());
    REQUIRE(s.window.WaitForPlayEnd(ends + 1, 5000));
    std::vector<Seen> seen = s.Events(2);
    REQUIRE(seen.size() == 2);
    CHECK(seen[1].message == WM_KEYUP);
    CHECK(seen[1].wParam == 'C');
    CHECK((GetAsyncKeyState('C') & 0x8000) == 0);
}
