// The player's logic on its real thread and message loop, with a recording
// input sink and a simulated clock: what is sent, when, how often, and how
// runs start, repeat, stop and end. Real injection is player_target_win_test.
#include <algorithm>
#include <atomic>
#include <climits>
#include <functional>
#include <vector>

#include "doctest.h"
#include "support/play_window.h"

namespace {

// Simulated milliseconds: a pause moves the clock toward the due time by at
// most kMaxPauseMs, as the real timer sleeps.
struct FakeTimer : IPlayTimer {
    std::atomic<uint32_t> now{1000};
    std::atomic<int> begins{0}, ends{0};
    std::vector<uint32_t> pauses;
    uint32_t overshoot = 0;  // every pause wakes this much after its aim
    void BeginRun() override { ++begins; }
    uint32_t Now() override { return now.load(); }
    void Pause(uint32_t last, uint32_t interval) override {
        uint32_t left = last + interval - now.load();
        uint32_t step = left < kMaxPauseMs ? left : kMaxPauseMs;
        pauses.push_back(step);
        now += step + overshoot;
    }
    void EndRun() override { ++ends; }
};

struct FakeSink : IInputSink {
    struct Call {
        uint32_t time;
        std::vector<INPUT> inputs;
    };
    explicit FakeSink(FakeTimer* t) : timer(t) {}
    UINT Send(UINT count, INPUT* inputs) override {
        calls.push_back({timer->now.load(), std::vector<INPUT>(inputs, inputs + count)});
        if (calls.size() == 1) timer->now += firstCost;
        timer->now += cost;
        if (onSend) onSend(calls.size());
        return accepted ? accepted(calls.size(), count) : count;
    }
    RECT VirtualDesktop() override { return desktop; }
    std::vector<uint32_t> Times() const {
        std::vector<uint32_t> t;
        for (const Call& c : calls) t.push_back(c.time);
        return t;
    }
    FakeTimer* timer;
    RECT desktop = {0, 0, 1920, 1080};
    uint32_t firstCost = 0;  // milliseconds the first Send takes
    uint32_t cost = 0;       // milliseconds every Send takes
    std::vector<Call> calls;
    std::function<void(size_t)> onSend;
    // How many records of call n (from 1) the system takes; all without it.
    std::function<UINT(size_t, UINT)> accepted;
};

ActionRecord Rec(ActionKind kind, uint32_t interval, int x = 0, int y = 0, int key = 0) {
    ActionDevice device = ActionDevice::Mouse;
    if (kind == ActionKind::PushKey || kind == ActionKind::ReleaseKey) device = ActionDevice::Keyboard;
    return ActionRecord{interval, device, kind, x, y, key};
}

ActionRecord Click(uint32_t interval, int x = 10, int y = 20) {
    return Rec(ActionKind::MouseLeftClick, interval, x, y);
}

struct Bench {
    FakeTimer timer;
    FakeSink sink{&timer};
    CPlayer player{&sink, &timer};
    PlayWindow window;
    ActionList list;

    Bench() {
        window.SetPlayer(&player);
        player.SetMainWindow(window.hwnd());
        REQUIRE(player.StartThread());
    }
    void Set(std::initializer_list<ActionRecord> records) {
        list.clear();
        for (const ActionRecord& r : records) list.append(r);
    }
    // Plays the list and waits for the run's WM_PLAY_END.
    void Play(int32_t repeat, int32_t speed = kSpeedNormal) {
        int ends = window.playEnds;
        REQUIRE(player.RequestPlay(list, repeat, speed));
        REQUIRE(window.WaitForPlayEnd(ends + 1, 10000));
    }
};

}  // namespace

TEST_CASE("an action fires once its interval has passed since the previous action") {
    Bench b;
    b.Set({Click(0), Click(100), Click(0), Click(300), Click(1), Click(40)});
    b.Play(0);
    CHECK(b.sink.Times() == std::vector<uint32_t>{1000, 1100, 1100, 1400, 1401, 1441});
    for (uint32_t p : b.timer.pauses) {
        CHECK(p >= 1);
        CHECK(p <= kMaxPauseMs);
    }
    // 100 ms in two pauses, 300 in six, 1 in one, 40 in one.
    CHECK(b.timer.pauses.size() == 10);
    CHECK(b.timer.begins == 1);
    CHECK(b.timer.ends == 1);
    CHECK(b.player.GetRunState() == RunState::Idle);
    CHECK(b.window.restores == 1);
}

TEST_CASE("late wake-ups of a few milliseconds do not add up, a long stall is not caught up") {
    Bench late;
    late.timer.overshoot = 2;
    late.Set({Click(0), Click(10), Click(10), Click(10)});
    late.Play(0);
    CHECK(late.sink.Times() == std::vector<uint32_t>{1000, 1012, 1022, 1032});

    Bench stall;
    stall.sink.firstCost = 30;  // as a slow action or a screenshot save
    stall.Set({Click(0), Click(10), Click(50)});
    stall.Play(0);
    CHECK(stall.sink.Times() == std::vector<uint32_t>{1000, 1030, 1080});

    // At x10 sending costs as much as at x1 while the intervals shrink: a
    // row of short ones runs behind by more than the normal limit, and the
    // run still ends on its scaled timeline (0 + 7 x 1 + 20 ms).
    Bench fast;
    fast.sink.cost = 3;
    fast.Set({Click(0), Click(10), Click(10), Click(10), Click(10), Click(10), Click(10), Click(10), Click(200)});
    fast.Play(0, 1000);
    CHECK(fast.sink.Times() == std::vector<uint32_t>{1000, 1003, 1006, 1009, 1012, 1015, 1018, 1021, 1027});
    // A real stall is still not caught up at x10.
    Bench fastStall;
    fastStall.sink.firstCost = 80;
    fastStall.Set({Click(0), Click(100), Click(500)});
    fastStall.Play(0, 1000);
    CHECK(fastStall.sink.Times() == std::vector<uint32_t>{1000, 1080, 1130});
    CHECK(CatchUpLimit(kSpeedNormal) == kCatchUpMs);
    CHECK(CatchUpLimit(50) == kCatchUpMs);
    CHECK(CatchUpLimit(1000) == 10 * kCatchUpMs);
    CHECK(MoveCatchUpLimit(kSpeedNormal) == kMoveCatchUpMs);
    CHECK(MoveCatchUpLimit(kSpeedMax) == CatchUpLimit(kSpeedMax));
}

TEST_CASE("a run of moves keeps its timeline through stalls; what follows a stall elsewhere is not hurried") {
    // 1 ms moves, and the sends numbered in `stalls` hold the player up
    // for that many milliseconds.
    auto play = [](std::vector<ActionRecord> head, int moves, std::vector<std::pair<size_t, uint32_t>> stalls,
                   std::vector<ActionRecord> tail, int32_t speed = kSpeedNormal) {
        Bench b;
        b.list.clear();
        for (const ActionRecord& r : head) b.list.append(r);
        for (int i = 0; i < moves; ++i) b.list.append(Rec(ActionKind::MouseMove, i == 0 && head.empty() ? 0 : 1, i, 5));
        for (const ActionRecord& r : tail) b.list.append(r);
        b.sink.onSend = [&b, stalls](size_t n) {
            for (const auto& s : stalls) {
                if (s.first == n) b.timer.now += s.second;
            }
        };
        b.Play(0, speed);
        REQUIRE(b.sink.calls.size() == b.list.count());
        return b.sink.Times();
    };
    // Stalls of 40 and 150 ms: the late moves go at once, in order, and
    // the last ones are on the timeline again.
    std::vector<uint32_t> t = play({}, 400, {{3, 40}, {100, 150}}, {});
    CHECK(std::vector<uint32_t>(t.begin(), t.begin() + 4) == std::vector<uint32_t>{1000, 1001, 1002, 1042});
    CHECK(std::count(t.begin(), t.end(), 1042u) == 40);
    CHECK(std::count(t.begin(), t.end(), 1249u) == 150);
    CHECK(std::is_sorted(t.begin(), t.end()));
    CHECK(t.back() == 1399);
    // The same at x10, where the limit of other actions is larger.
    t = play({}, 400, {{3, 40}}, {}, 1000);
    CHECK(t[3] == 1040);
    CHECK(t.back() == 1040);  // 399 moves of 0.1 ms, all due by then

    // A longer stall is given up as for any action: the rest of the moves
    // keep their spacing from then on.
    t = play({}, 50, {{3, 300}}, {});
    CHECK(t[3] == 1302);
    CHECK(t[4] == 1303);
    CHECK(t.back() == 1348);

    // A click after moves that a stall held up comes at once, but what
    // follows it keeps its interval from the click: the stall is not
    // caught up with clicks.
    t = play({}, 5, {{4, 30}}, {Click(1), Click(10)});
    CHECK(t == std::vector<uint32_t>{1000, 1001, 1002, 1003, 1033, 1033, 1043});
    // Moves after a stalled click, or after a stalled move that follows a
    // click, start from the stall's end.
    t = play({Click(0)}, 3, {{1, 30}}, {});
    CHECK(t == std::vector<uint32_t>{1000, 1030, 1031, 1032});
}

TEST_CASE("a run at another speed scales every wait, and the list keeps its intervals") {
    struct Case {
        int32_t speed;
        std::vector<uint32_t> times;
    } cases[] = {
        {200, {1000, 1050, 1050, 1200, 1200, 1220}},
        {50, {1000, 1200, 1200, 1800, 1802, 1882}},
        {25, {1000, 1400, 1400, 2600, 2604, 2764}},
        // Waits of 10, 30, 0.1 and 4: the tenth is carried into the last.
        {1000, {1000, 1010, 1010, 1040, 1040, 1044}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.speed);
        Bench b;
        b.Set({Click(0), Click(100), Click(0), Click(300), Click(1), Click(40)});
        b.Play(0, c.speed);
        CHECK(b.sink.Times() == c.times);
        CHECK(b.list.at(1)->interval == 100);
        CHECK(b.list.at(3)->interval == 300);
    }
    // Over many passes of odd intervals at x10 the run ends exactly where the
    // scaled timeline does: no rounding piles up.
    Bench longRun;
    longRun.Set({Click(33), Click(7), Click(1)});
    longRun.Play(99, 1000);
    REQUIRE(longRun.sink.calls.size() == 297);
    CHECK(longRun.sink.Times().back() == 1000 + 99 * 41 / 10);
    // Repeats at x2 wait half as long between passes too.
    Bench passes;
    passes.Set({Click(10), Click(20)});
    passes.Play(3, 200);
    CHECK(passes.sink.Times() == std::vector<uint32_t>{1005, 1015, 1020, 1030, 1035, 1045});
}

TEST_CASE("intervals are measured across the wrap of the 32-bit millisecond clock") {
    Bench b;
    b.timer.now = 0xFFFFFFFFu - 99;  // 100 ms before the wrap
    b.Set({Click(60), Click(80), Click(0)});
    b.Play(0);
    CHECK(b.sink.Times() == std::vector<uint32_t>{0xFFFFFFFFu - 39, 40, 40});
}

TEST_CASE("the repeat count sets the passes and the pass-count field shows each") {
    struct Case {
        int32_t repeat;
        size_t sends;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {0, 2, {"", "1"}},
        {1, 2, {"", "1"}},
        {3, 6, {"", "1", "2", "3"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.repeat);
        Bench b;
        b.Set({Click(0), Click(25)});
        b.Play(c.repeat);
        CHECK(b.sink.calls.size() == c.sends);
        CHECK(b.window.passTexts == c.texts);
        CHECK(b.window.PassText() == c.texts.back());
        CHECK(b.player.RepeatCount() == 0);
        CHECK(b.window.playEnds == 1);
    }
    // The first action of a pass waits from the last action of the pass before.
    Bench b;
    b.Set({Click(30), Click(5)});
    b.Play(2);
    CHECK(b.sink.Times() == std::vector<uint32_t>{1030, 1035, 1065, 1070});
}

TEST_CASE("a negative repeat count plays until stopped, counting every pass") {
    Bench b;
    b.sink.onSend = [&](size_t n) {
        if (n == 25) b.player.StopPlay();
    };
    b.Set({Click(0), Click(10)});
    b.Play(-1);
    CHECK(b.sink.calls.size() == 25);
    // 25 clicks of a two-click list: twelve whole passes and one begun.
    std::vector<std::string> passes = {""};
    for (int pass = 1; pass <= 13; ++pass) passes.push_back(std::to_string(pass));
    CHECK(b.window.passTexts == passes);
    CHECK(b.player.RepeatCount() == -1);
    CHECK(b.player.GetRunState() == RunState::Idle);
}

TEST_CASE("an empty list ends the run at once with an empty pass-count field") {
    Bench b;
    b.window.SetRepeat(true, L"5");
    SetDlgItemTextW(b.window.hwnd(), IDC_PASS_COUNT, L"7");
    b.window.passTexts.clear();
    b.Play(5);
    CHECK(b.window.passTexts == std::vector<std::string>{""});
    CHECK(b.timer.begins == 0);  // the run never began playing
    CHECK(b.sink.calls.empty());
    CHECK(b.window.restores == 1);
    CHECK(b.player.CanStart());
}

TEST_CASE("unknown kinds send nothing but move the time reference and the index on") {
    Bench b;
    b.Set({Rec(static_cast<ActionKind>(99), 100), Rec(static_cast<ActionKind>(0), 0),
           Rec(static_cast<ActionKind>(-7), 30), Click(20)});
    b.Play(0);
    CHECK(b.sink.Times() == std::vector<uint32_t>{1150});
}

TEST_CASE("each action is one Send with exactly the records of its kind") {
    Bench b;
    b.Set({Rec(ActionKind::MouseLeftDoubleClick, 0, 960, 540), Rec(ActionKind::PushKey, 0, 0, 0, 0x41),
           Rec(ActionKind::ReleaseKey, 0, 0, 0, 0x41)});
    b.Play(0);
    REQUIRE(b.sink.calls.size() == 3);
    const std::vector<INPUT>& dbl = b.sink.calls[0].inputs;
    REQUIRE(dbl.size() == 5);
    CHECK(dbl[0].mi.dx == 32768);
    CHECK(dbl[0].mi.dy == 32768);
    const DWORD place = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    const DWORD flags[] = {place, place | MOUSEEVENTF_LEFTDOWN, place | MOUSEEVENTF_LEFTUP,
                           place | MOUSEEVENTF_LEFTDOWN, place | MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 5; ++i) {
        CHECK(dbl[i].mi.dwFlags == flags[i]);
        CHECK(dbl[i].mi.dx == 32768);
    }
    CHECK(b.sink.calls[1].inputs.size() == 1);
    CHECK(b.sink.calls[2].inputs[0].ki.dwFlags == KEYEVENTF_KEYUP);

    // Movement, the middle and side buttons and the wheels: the move, then
    // at most one record, at the same place, with its button or delta.
    const struct {
        ActionKind kind;
        int32_t delta;
        DWORD flag;   // 0: the move alone
        DWORD data;   // mouseData of the second record
    } kinds[] = {
        {ActionKind::MouseMove, 0, 0, 0},
        {ActionKind::MouseMiddlePush, 0, MOUSEEVENTF_MIDDLEDOWN, 0},
        {ActionKind::MouseMiddleRelease, 0, MOUSEEVENTF_MIDDLEUP, 0},
        {ActionKind::MouseX1Push, 0, MOUSEEVENTF_XDOWN, XBUTTON1},
        {ActionKind::MouseX1Release, 0, MOUSEEVENTF_XUP, XBUTTON1},
        {ActionKind::MouseX2Push, 0, MOUSEEVENTF_XDOWN, XBUTTON2},
        {ActionKind::MouseX2Release, 0, MOUSEEVENTF_XUP, XBUTTON2},
        {ActionKind::MouseWheel, 120, MOUSEEVENTF_WHEEL, 120},
        {ActionKind::MouseWheel, -360, MOUSEEVENTF_WHEEL, static_cast<DWORD>(-360)},
        {ActionKind::MouseHWheel, 7, MOUSEEVENTF_HWHEEL, 7},
        {ActionKind::MouseHWheel, -120, MOUSEEVENTF_HWHEEL, static_cast<DWORD>(-120)},
    };
    for (const auto& k : kinds) {
        CAPTURE(static_cast<int>(k.kind));
        CAPTURE(k.delta);
        INPUT out[kMaxActionInputs];
        const ActionRecord r = Rec(k.kind, 0, 480, 270, k.delta);
        const int n = BuildActionInputs(r, RECT{0, 0, 1920, 1080}, out);
        REQUIRE(n == (k.flag ? 2 : 1));
        for (int i = 0; i < n; ++i) {
            CHECK(out[i].type == INPUT_MOUSE);
            CHECK(out[i].mi.dx == 16384);
            CHECK(out[i].mi.dy == 16384);
            CHECK(out[i].mi.dwFlags == (i == 0 ? place : place | k.flag));
            CHECK(out[i].mi.mouseData == (i == 0 ? 0 : k.data));
        }
    }
}

TEST_CASE("a run stopped early releases what it pressed, in one Send") {
    Bench b;
    b.sink.onSend = [&](size_t n) {
        if (n == 5) b.player.StopPlay();
    };
    // Left and right Ctrl are two keys of one virtual key.
    b.Set({Rec(ActionKind::PushKey, 0, 0, 0, VK_SHIFT), Rec(ActionKind::MouseLeftPush, 0, 5, 5),
           Rec(ActionKind::PushKey, 0, 0, 0, VK_CONTROL), Rec(ActionKind::MouseRightClick, 0, 6, 6),
           Rec(ActionKind::PushKey, 0, kKeyExtended | 0x1D, 0, VK_CONTROL), Click(100000)});
    b.Play(0);
    REQUIRE(b.sink.calls.size() == 6);
    const std::vector<INPUT>& release = b.sink.calls[5].inputs;
    REQUIRE(release.size() == 4);
    CHECK(release[0].type == INPUT_MOUSE);
    // Let go where the pointer last went (the right click at 6, 6).
    CHECK(release[0].mi.dwFlags ==
          (MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_LEFTUP));
    CHECK(release[0].mi.dx == AbsoluteCoordinate(6, 0, 1920));
    CHECK(release[0].mi.dy == AbsoluteCoordinate(6, 0, 1080));
    // In the reverse order of their presses, each as it was pressed.
    const WORD keys[] = {VK_CONTROL, VK_CONTROL, VK_SHIFT};
    const WORD scans[] = {0x1D, 0x1D, 0x2A};
    const DWORD flags[] = {KEYEVENTF_KEYUP | KEYEVENTF_EXTENDEDKEY, KEYEVENTF_KEYUP, KEYEVENTF_KEYUP};
    for (int i = 0; i < 3; ++i) {
        CHECK(release[i + 1].type == INPUT_KEYBOARD);
        CHECK(release[i + 1].ki.wVk == keys[i]);
        CHECK(release[i + 1].ki.wScan == scans[i]);
        CHECK(release[i + 1].ki.dwFlags == flags[i]);
    }

    // The middle and side buttons are let go as well; only a release the
    // system took counts, the others are tried again by the next run.
    Bench more;
    more.sink.onSend = [&](size_t n) {
        if (n == 4) more.player.StopPlay();
    };
    more.sink.accepted = [](size_t call, UINT count) -> UINT { return call == 5 ? 1 : count; };
    more.Set({Rec(ActionKind::MouseX2Push, 0, 7, 7), Rec(ActionKind::MouseMiddlePush, 0, 8, 8),
              Rec(ActionKind::MouseX1Push, 0, 9, 9), Rec(ActionKind::MouseX2Release, 0, 9, 9), Click(100000)});
    more.Play(0);
    REQUIRE(more.sink.calls.size() == 5);
    const std::vector<INPUT>& letGo = more.sink.calls[4].inputs;
    REQUIRE(letGo.size() == 2);
    CHECK((letGo[0].mi.dwFlags & ~DWORD{MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK}) ==
          MOUSEEVENTF_MIDDLEUP);
    CHECK((letGo[1].mi.dwFlags & MOUSEEVENTF_XUP) != 0);
    CHECK(letGo[1].mi.mouseData == XBUTTON1);
    CHECK(letGo[1].mi.dx == AbsoluteCoordinate(9, 0, 1920));
    more.sink.accepted = nullptr;
    more.Set({Click(0)});
    more.Play(0);
    REQUIRE(more.sink.calls.size() == 7);
    // Only the side button's release was refused: it alone is tried again.
    REQUIRE(more.sink.calls[5].inputs.size() == 1);
    CHECK((more.sink.calls[5].inputs[0].mi.dwFlags & MOUSEEVENTF_XUP) != 0);
    CHECK(more.sink.calls[5].inputs[0].mi.mouseData == XBUTTON1);

    // A run that plays to its end leaves a held key as the list left it.
    Bench whole;
    whole.Set({Rec(ActionKind::PushKey, 0, 0, 0, 0x44)});
    whole.Play(0);
    CHECK(whole.sink.calls.size() == 1);
}

TEST_CASE("input the system refuses ends the run and says so; refused releases stay held") {
    Bench b;
    // Call 3 is a click of which only the move is taken, call 4 the release
    // of both keys, of which only the first.
    b.sink.accepted = [](size_t call, UINT count) -> UINT { return call == 3 || call == 4 ? 1 : count; };
    b.Set({Rec(ActionKind::PushKey, 0, 0, 0, 0x41), Rec(ActionKind::PushKey, 0, 0, 0, 0x42), Click(5),
           Click(5), Click(5)});
    b.Play(-1);
    REQUIRE(b.sink.calls.size() == 4);
    CHECK(b.window.lastReason == kPlayEndRefused);
    CHECK(b.window.restores == 1);
    CHECK(b.player.GetRunState() == RunState::Idle);
    const std::vector<INPUT>& release = b.sink.calls[3].inputs;
    REQUIRE(release.size() == 2);
    CHECK(release[0].ki.wVk == 0x42);
    CHECK(release[1].ki.wVk == 0x41);

    // The next run first lets go of the key whose release was refused, and
    // a run whose input is taken whole ends as usual.
    b.Set({Click(0)});
    b.Play(0);
    REQUIRE(b.sink.calls.size() == 6);
    REQUIRE(b.sink.calls[4].inputs.size() == 1);
    CHECK(b.sink.calls[4].inputs[0].ki.wVk == 0x41);
    CHECK(b.sink.calls[4].inputs[0].ki.dwFlags == KEYEVENTF_KEYUP);
    CHECK(b.window.lastReason == kPlayEndNormal);

    // A refused last action still counts as refused.
    b.sink.accepted = [](size_t, UINT) -> UINT { return 0; };
    b.Play(0);
    CHECK(b.window.lastReason == kPlayEndRefused);
}

TEST_CASE("the run plays the list as it was requested, whatever happens to it after") {
    Bench b;
    std::atomic<bool> go{false};
    b.sink.onSend = [&](size_t) {
        while (!go.load()) Sleep(1);
    };
    b.list.screenshotFolder.Assign(L"C:\\nowhere");
    b.Set({Click(0, 1, 1), Click(0, 2, 2), Click(0, 3, 3)});
    REQUIRE(b.player.RequestPlay(b.list, 0));
    b.list.clear();
    for (int i = 0; i < 600; ++i) b.list.append(Click(0, 99, 99));  // regrows the storage
    go = true;
    REQUIRE(b.window.WaitForPlayEnd(1, 10000));
    REQUIRE(b.sink.calls.size() == 3);
    for (int i = 0; i < 3; ++i) {
        CHECK(b.sink.calls[i].inputs[0].mi.dx == AbsoluteCoordinate(i + 1, 0, 1920));
    }
}

TEST_CASE("start requests are refused while a run is in progress or no thread is ready") {
    Bench b;
    std::atomic<int> sends{0};
    b.sink.onSend = [&](size_t) {
        ++sends;
        Sleep(1);
    };
    b.Set({Click(0)});
    REQUIRE(b.player.RequestPlay(b.list, -1));
    REQUIRE(b.window.PumpUntil([&] { return sends.load() > 3; }, 5000));
    CHECK(b.player.GetRunState() == RunState::Playing);
    CHECK_FALSE(b.player.CanStart());
    CHECK_FALSE(b.player.RequestPlay(b.list, 0));
    b.player.StopPlay();
    // Idle again, but the run may still be finishing its step.
    REQUIRE(b.window.WaitForPlayEnd(1, 5000));
    CHECK(b.window.restores == 1);
    CHECK(b.player.CanStart());

    FakeTimer timer;
    FakeSink sink(&timer);
    CPlayer idle(&sink, &timer);
    CHECK(idle.ThreadId() == 0);
    CHECK_FALSE(idle.RequestPlay(b.list, 0));
}

TEST_CASE("a stop between Start Play and the player taking the run up ends it unplayed") {
    Bench b;
    b.Set({Click(0), Click(600000)});
    // The player thread is held, so the request waits in its queue.
    REQUIRE(SuspendThread(b.player.ThreadHandle()) != static_cast<DWORD>(-1));
    REQUIRE(b.player.RequestPlay(b.list, -1));
    CHECK(b.player.GetRunState() == RunState::Playing);
    CHECK_FALSE(b.player.CanStart());
    b.player.StopPlay();
    CHECK(b.player.GetRunState() == RunState::Idle);
    CHECK_FALSE(b.player.CanStart());  // the request is still to be taken up
    ResumeThread(b.player.ThreadHandle());
    REQUIRE(b.window.WaitForPlayEnd(1, 5000));
    CHECK(b.sink.calls.empty());
    CHECK(b.timer.begins == 0);
    CHECK(b.window.passTexts == std::vector<std::string>{""});
    CHECK(b.window.restores == 1);
    CHECK(b.player.CanStart());

    // An empty list never becomes Playing.
    b.Set({});
    REQUIRE(b.player.RequestPlay(b.list, 0));
    CHECK(b.player.GetRunState() == RunState::Idle);
    REQUIRE(b.window.WaitForPlayEnd(2, 5000));
}

TEST_CASE("WM_PLAY_END takes Playing back to Idle but leaves a recording alone") {
    FakeTimer timer;
    FakeSink sink(&timer);
    CPlayer player(&sink, &timer);
    player.SetRunState(RunState::Recording);
    CHECK(player.OnPlayEnd());
    CHECK(player.GetRunState() == RunState::Recording);
    player.SetRunState(RunState::Playing);
    CHECK(player.OnPlayEnd());
    CHECK(player.GetRunState() == RunState::Idle);
    CHECK(player.ChangeRunState(RunState::Idle, RunState::Recording));
    CHECK_FALSE(player.ChangeRunState(RunState::Playing, RunState::Idle));
    CHECK(player.GetRunState() == RunState::Recording);
}

TEST_CASE("stopping the thread ends an endless run and never deadlocks on the pass field") {
    Bench b;
    // One record and a huge repeat count: the pass number, and so the field,
    // changes on every step, so the player is forever sending to the window.
    b.Set({Click(0)});
    std::atomic<int> sends{0};
    b.sink.onSend = [&](size_t) { ++sends; };
    REQUIRE(b.player.RequestPlay(b.list, 1000000000));
    REQUIRE(b.window.PumpUntil([&] { return sends.load() > 20; }, 5000));
    DWORD start = GetTickCount();
    b.player.StopThread();  // no message pumping of our own from here on
    DWORD took = GetTickCount() - start;
    MESSAGE("stop sequence during a run took " << took << " ms");
    CHECK(took < 900);  // under the 1 s bound of the pass-field update
    CHECK(b.player.ThreadId() == 0);
    CHECK(b.player.ThreadHandle() == nullptr);
    CHECK(b.player.GetRunState() == RunState::Idle);
    CHECK_FALSE(b.player.RequestPlay(b.list, 0));
    b.player.StopThread();  // a second stop is harmless
}

TEST_CASE("the repeat count follows the Repeat check box and the number rule") {
    PlayWindow w;
    struct Case {
        bool checked;
        const wchar_t* text;
        int32_t expected;
    };
    const Case cases[] = {
        {false, L"5", 0},
        {true, L"0", 0},
        {true, L"", 0},
        {true, L"-", 0},
        {true, L"2x", 0},
        {true, L"5 ", 0},
        {true, L"+5", 0},
        {true, L" 5", 5},
        {true, L"\t 12", 12},
        {true, L"-1", -1},
        {true, L" -40", -40},
        {true, L"--1", 0},
        {true, L"99999999999", INT32_MAX},
        {true, L"-99999999999", -INT32_MAX},
        // Only 31 characters are read: what follows cannot spoil the number.
        {true, L"0000000000000000000000000000007x", 7},
    };
    for (const Case& c : cases) {
        CAPTURE(testutil::Utf8(c.text));
        w.SetRepeat(c.checked, c.text);
        CHECK(ReadRepeatCount(w.hwnd()) == c.expected);
    }
    CHECK(ParseRepeatCount(nullptr) == 0);
}
