// The whole program with real input: Start Record through its window, then
// xdotool clicks, drags and types on the Xvfb display, and the program's list
// view must hold exactly what was done, where and when; the list is played
// back into a target program, saved, opened and played again; the break key
// ends recordings and runs, also after it has been changed in Setting.
//
// Timing is measured on the performance counter, which every process shares
// (see support/loop_rig_win.h). Measured figures are printed on stdout.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "doctest.h"
#include "support/loop_session_win.h"

using loop::CSession;
using loop::KeyDown;
using loop::KeyUp;
using loop::MoveTo;
using loop::Tap;
using loop::Wait;

namespace {

// A recorded interval against the gap between the two raw events as this
// test saw them arrive. Both processes are handed each event by the same
// queueing step, so the difference is how much later one of them got to it,
// plus the program's whole-millisecond rounding. Measured over 20 runs: median
// 0.3 ms, worst 3 ms on a quiet machine and 8.5 ms at a load of 1.5.
// That is the median's bound; a single interval may be off by the ceiling,
// which a busy machine's late wake-up stays under.
const double kSeenMedianMs = 3.0;
const double kSeenToleranceMs = 60.0;
// A recorded interval against the pause xdotool was told to make: wider, since
// xdotool and the X server add their own delays, most under load (the
// recorder's own test found up to 30 ms with three busy processes per core,
// and more than 40 ms with two CPU-bound processes beside the suite).
const int kScriptToleranceMs = 120;

// Runs an xdotool request and waits until all its input has arrived.
#define DRIVE(session, commands, from)                                              \
    do {                                                                            \
        bool driven_ = (session).watch.Drive((commands), (from), &(session).error); \
        INFO((session).error);                                                      \
        REQUIRE(driven_);                                                           \
    } while (0)

struct Expected {
    ActionKind kind;
    POINT at;     // mouse actions: where xdotool put the pointer
    int key;      // key actions
    int scriptMs; // the pause xdotool made before it; -1 when not a fixed one
};

ActionRecord RecordOf(const Expected& e) {
    const bool mouse = loop::IsMouseKind(e.kind);
    return ActionRecord{0, mouse ? ActionDevice::Mouse : ActionDevice::Keyboard, e.kind,
                        mouse ? static_cast<int32_t>(e.at.x) : 0, mouse ? static_cast<int32_t>(e.at.y) : 0,
                        mouse ? 0 : e.key};
}

// The recorded operations, in order, are those expected.
void CheckOperations(const std::vector<ActionRecord>& recorded, const std::vector<Expected>& expected) {
    REQUIRE(recorded.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        INFO("row " << i);
        CHECK(loop::Operation(recorded[i]) == loop::Operation(RecordOf(expected[i])));
    }
}

// Whether raw event `e` is the one that makes record `r`, by the recorder's
// rules: a push comes from an event with its button's down bit, a release
// from the first later mouse event without it, a key action from an event of
// its key and direction.
bool Makes(const xdo::RawEvent& e, const ActionRecord& r) {
    switch (r.kind) {
    case ActionKind::PushKey: return e.IsKey(static_cast<USHORT>(r.keyCode), false);
    case ActionKind::ReleaseKey: return e.IsKey(static_cast<USHORT>(r.keyCode), true);
    case ActionKind::MouseLeftPush: return e.type == RIM_TYPEMOUSE && (e.buttonFlags & RI_MOUSE_LEFT_BUTTON_DOWN);
    case ActionKind::MouseLeftRelease: return e.type == RIM_TYPEMOUSE && !(e.buttonFlags & RI_MOUSE_LEFT_BUTTON_DOWN);
    case ActionKind::MouseRightPush: return e.type == RIM_TYPEMOUSE && (e.buttonFlags & RI_MOUSE_RIGHT_BUTTON_DOWN);
    case ActionKind::MouseRightRelease:
        return e.type == RIM_TYPEMOUSE && !(e.buttonFlags & RI_MOUSE_RIGHT_BUTTON_DOWN);
    default: return false;
    }
}

// The moments (microseconds) at which this test saw the raw event of each
// record arrive; -1 for a record without one.
std::vector<int64_t> SeenMoments(const std::vector<ActionRecord>& records, const std::vector<xdo::RawEvent>& events,
                                 int64_t around) {
    std::vector<int64_t> moments;
    size_t next = 0;
    for (const ActionRecord& r : records) {
        while (next < events.size() && !Makes(events[next], r)) ++next;
        if (next == events.size()) {
            moments.push_back(-1);
            continue;
        }
        moments.push_back(loop::Moment(events[next].ms, around));
        ++next;
    }
    return moments;
}

}  // namespace

TEST_CASE("Start Record through the program: clicks, a drag, right clicks and keys, until the break key") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    const POINT idleClick = s.Background(20), heldAt = s.Background(120);

    // While Idle, over the program's own window: a click, a key, a right
    // click, then a digit typed into the repeat count box. When it shows
    // there, the program has handled all of it, and nothing is recorded.
    size_t from = 0;
    REQUIRE(s.DriveToTyped(MoveTo(idleClick) + "click 1 key x " + MoveTo(heldAt) + "click 3 " +
                               MoveTo(s.ControlMiddle(IDC_REPEAT_COUNT)) + "click 1 ",
                           '7', &from));
    CHECK(s.window.Count() == 0);
    // A left push while Idle, released after Start Record.
    REQUIRE(s.DriveToTyped(MoveTo(heldAt) + "mousedown 1 ", '8', &from));
    CHECK(s.window.Count() == 0);

    REQUIRE(s.StartTarget());
    const int64_t before = loop::Micros();
    s.window.Send(IDC_RECORD_START);
    const int64_t after = loop::Micros();
    CHECK(s.window.Iconic());

    // The release of the push made while Idle comes first; then a click
    // without movement, a drag (its release is taken at the first movement),
    // a right click, the cursor keys, a letter, a held key that repeats, and
    // the break key, after which nothing is recorded.
    DRIVE(s,
          Wait(100) + "mouseup 1 " +                                                      //
              Wait(100) + MoveTo({300, 300}) + "mousedown 1 " + Wait(150) + "mouseup 1 " +  //
              Wait(100) + MoveTo({400, 350}) + "mousedown 1 " + Wait(100) + MoveTo({500, 420}) + Wait(100) +
              MoveTo({520, 430}) + Wait(100) + "mouseup 1 " +                              //
              Wait(100) + MoveTo({600, 300}) + "mousedown 3 " + Wait(120) + "mouseup 3 " +  //
              Wait(80) + Tap("Left", 50) + Wait(50) + Tap("Home", 40) + Wait(50) + Tap("x", 40) + Wait(50) +
              KeyDown("b") + Wait(1000) + KeyUp("b") + Wait(80) +  //
              Tap("F1", 50),
          &from);
    const std::vector<xdo::RawEvent> driven = s.watch.log.Since(from);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    // After the break key: a key and a click, then the marker.
    size_t later = 0;
    REQUIRE(s.DriveToMarker(Wait(50) + "key x " + MoveTo({700, 700}) + "click 1 " + Wait(50), &later));

    std::vector<Expected> expected = {
        {ActionKind::MouseLeftRelease, heldAt, 0, -1},
        {ActionKind::MouseLeftPush, {300, 300}, 0, 100},
        {ActionKind::MouseLeftRelease, {300, 300}, 0, 150},
        {ActionKind::MouseLeftPush, {400, 350}, 0, 100},
        {ActionKind::MouseLeftRelease, {500, 420}, 0, 100},
        {ActionKind::MouseRightPush, {600, 300}, 0, 300},
        {ActionKind::MouseRightRelease, {600, 300}, 0, 120},
        {ActionKind::PushKey, {}, VK_LEFT, 80},
        {ActionKind::ReleaseKey, {}, VK_LEFT, 50},
        {ActionKind::PushKey, {}, VK_HOME, 50},
        {ActionKind::ReleaseKey, {}, VK_HOME, 40},
        {ActionKind::PushKey, {}, 'X', 50},
        {ActionKind::ReleaseKey, {}, 'X', 40},
        {ActionKind::PushKey, {}, 'B', 50},
    };
    // The held key: one push for every key-down event the system delivered.
    const size_t firstHeld = expected.size() - 1;
    int repeats = 0;
    for (const xdo::RawEvent& e : driven) repeats += e.IsKey('B', false) ? 1 : 0;
    INFO("key-down events of the held key: " << repeats);
    CHECK(repeats >= 3);
    for (int i = 1; i < repeats; ++i) expected.push_back({ActionKind::PushKey, {}, 'B', -1});
    expected.push_back({ActionKind::ReleaseKey, {}, 'B', -1});

    std::string problems;
    const std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    REQUIRE(recorded.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        INFO("row " << i);
        CHECK(loop::Operation(recorded[i]) == loop::Operation(RecordOf(expected[i])));
        if (expected[i].scriptMs >= 0) {
            CHECK(static_cast<int>(recorded[i].interval) >= expected[i].scriptMs - kScriptToleranceMs);
            CHECK(static_cast<int>(recorded[i].interval) <= expected[i].scriptMs + kScriptToleranceMs);
        }
    }
    // The held key's pushes and release span the time it was held.
    uint32_t held = 0;
    for (size_t i = firstHeld + 1; i < recorded.size(); ++i) held += recorded[i].interval;
    CHECK(static_cast<int>(held) >= 1000 - kScriptToleranceMs);
    CHECK(static_cast<int>(held) <= 1000 + kScriptToleranceMs);

    // Every interval against the gap this test saw; the first one runs from
    // Start Record, which happened between `before` and `after`.
    const std::vector<int64_t> seen = SeenMoments(recorded, driven, after);
    std::vector<double> errors;
    for (size_t i = 0; i < recorded.size(); ++i) {
        INFO("row " << i << ": " << loop::Describe(recorded[i]));
        REQUIRE(seen[i] >= 0);
        double gap = i == 0 ? (seen[0] - (before + after) / 2) / 1000.0 : (seen[i] - seen[i - 1]) / 1000.0;
        double slack = i == 0 ? (after - before) / 2000.0 : 0.0;
        double error = recorded[i].interval - gap;
        INFO("seen gap " << gap << " ms");
        CHECK(std::abs(error) <= kSeenToleranceMs + slack);
        errors.push_back(error);
    }
    CHECK(loop::SpreadOf(errors).median <= kSeenMedianMs);
    loop::Report("recording, interval against the raw events' gap", errors);
}

namespace {

// How far the gap between two played messages, as the target received them,
// may be from the recorded interval. The player aims at every gap within
// 2 ms, and on a quiet machine it keeps to that (measured over 10 runs, 350
// gaps: median 0.19 ms, p99 1.4 ms, worst 2.25 ms). But under Wine no thread
// gets a real-time priority: a player thread that wakes up a scheduler slice
// late sends one action late, which makes one gap long and the next one as
// much short. At a load of 0.4 - 1.5 (other builds on the machine), 20 runs
// had up to 12 of 40 gaps beyond 2 ms in a run, p99 5 - 8 ms and a worst of
// 16 ms; this test's own raw-input window saw the same actions late, so the
// delay is in the sending, not in the target. With two CPU-bound processes
// beside the suite on two cores a single gap was seen 41 ms off, while the
// median stayed below 2 ms (3.5 ms at a load of 9). Hence the median of a
// run is the guard of precision (on the 16 ms tick count it is several
// milliseconds), and each
// gap has a ceiling that such a late wake-up stays under.
const double kPlayMedianMs = 5.0;
const double kPlayCeilingMs = 100.0;

// The whole loop's session, aimed at the target: clicks with either button,
// a letter, an arrow key, and a long press of the left button during which a
// key is held long enough to repeat; then the break key.
std::string LoopSession() {
    return Wait(150) + MoveTo({200, 300}) + "mousedown 1 " + Wait(80) + "mouseup 1 " +   //
           Wait(120) + Tap("a", 60) +                                                    //
           Wait(100) + MoveTo({640, 480}) + "mousedown 3 " + Wait(90) + "mouseup 3 " +   //
           Wait(110) + Tap("Left", 50) +                                                 //
           Wait(100) + MoveTo({1000, 700}) + "mousedown 1 " +                            //
           Wait(100) + KeyDown("b") + Wait(900) + KeyUp("b") + Wait(100) + "mouseup 1 " +  //
           Wait(100) + MoveTo({300, 800}) + "mousedown 1 " + Wait(60) + "mouseup 1 " +   //
           Wait(100) + Tap("F1", 40) +
           // Raw input that comes while the restored window takes the front
           // is dropped by Wine: the request's sentinel waits for that.
           Wait(300);
}

// The session's row of the held key's first push; the left button is held
// from the row before.
const size_t kHeldKeyRow = 9;

std::vector<Expected> LoopExpected(int repeats) {
    std::vector<Expected> expected = {
        {ActionKind::MouseLeftPush, {200, 300}, 0, -1},   {ActionKind::MouseLeftRelease, {200, 300}, 0, 80},
        {ActionKind::PushKey, {}, 'A', 120},              {ActionKind::ReleaseKey, {}, 'A', 60},
        {ActionKind::MouseRightPush, {640, 480}, 0, 100}, {ActionKind::MouseRightRelease, {640, 480}, 0, 90},
        {ActionKind::PushKey, {}, VK_LEFT, 110},          {ActionKind::ReleaseKey, {}, VK_LEFT, 50},
        {ActionKind::MouseLeftPush, {1000, 700}, 0, 100}, {ActionKind::PushKey, {}, 'B', 100},
    };
    for (int i = 1; i < repeats; ++i) expected.push_back({ActionKind::PushKey, {}, 'B', -1});
    expected.push_back({ActionKind::ReleaseKey, {}, 'B', -1});
    expected.push_back({ActionKind::MouseLeftRelease, {1000, 700}, 0, 100});
    expected.push_back({ActionKind::MouseLeftPush, {300, 800}, 0, 100});
    expected.push_back({ActionKind::MouseLeftRelease, {300, 800}, 0, 60});
    return expected;
}

// Waits, handling this thread's messages, until the target has logged
// `count` messages from `from` on (the sentinel and the break key aside).
std::vector<target::Event> AwaitTarget(CSession& s, LONG from, size_t count, DWORD timeoutMs) {
    std::vector<target::Event> events;
    s.watch.Pump(
        [&] {
            events = loop::TargetEvents(s.target, from, {VK_F1, xdo::kSentinelKey});
            return events.size() >= count;
        },
        timeoutMs);
    return events;
}

// Starts a play run with the Repeat box checked and `repeat` as its count.
void StartPlay(CSession& s, const std::string& repeat) {
    INFO(s.error);
    REQUIRE(s.SetRepeat(repeat));
    s.window.Post(IDC_PLAY_START);
}

// Plays the program's list with repeat 2 and checks that the target received
// `expected`'s messages twice, in order, at their positions; adds each gap's
// distance from the interval of `timing` (the list being played) to `errors`,
// and from the gap the target saw during the recording (`recorded`) to
// `overall`.
void PlayTwice(CSession& s, const std::vector<ActionRecord>& expected, const std::vector<ActionRecord>& timing,
               const std::vector<target::Event>& recorded, std::vector<double>* errors,
               std::vector<double>* overall) {
    const LONG mark = s.target.count();
    uint32_t length = 0;
    for (const ActionRecord& r : timing) length += r.interval;
    StartPlay(s, "2");
    AwaitTarget(s, mark, 2 * expected.size(), 2 * length + 15000);
    // The run is over when the window is back; nothing more comes after.
    CHECK(gui::WaitFor([&] { return !s.window.Iconic() && s.window.Text(IDC_PASS_COUNT) == "2"; }));
    const std::vector<target::Event> played = loop::TargetEvents(s.target, mark, {VK_F1, xdo::kSentinelKey});
    INFO("played into the target:\n" << loop::Describe(played));
    const std::string first = loop::Difference(played, 0, expected);
    const std::string second = loop::Difference(played, expected.size(), expected);
    CHECK(first == "");
    CHECK(second == "");
    CHECK(played.size() == 2 * expected.size());
    // Each key arrives as the key that was pressed: with the scan code and
    // extended flag the target saw while it was recorded.
    for (size_t k = 0; k < played.size() && !recorded.empty(); ++k) {
        const target::Event& was = recorded[k % recorded.size()];
        if (!target::IsKeyMessage(was.message)) continue;
        INFO("message " << k << ": " << loop::Describe(played[k]) << ", recorded " << loop::Describe(was));
        CHECK(((played[k].lParam ^ was.lParam) & 0x01FF0000) == 0);
    }
    if (!first.empty() || !second.empty() || played.size() != 2 * timing.size()) return;
    // Every gap counts, the first run's first one too.
    std::vector<double> run;
    for (size_t k = 1; k < played.size(); ++k) {
        const size_t i = k % timing.size();
        const double gap = loop::Between(played[k - 1], played[k]);
        INFO("message " << k << ": " << loop::Describe(played[k]) << ", " << gap << " ms after the one before, "
                        << timing[i].interval << " ms recorded");
        CHECK(std::abs(gap - timing[i].interval) <= kPlayCeilingMs);
        run.push_back(gap - timing[i].interval);
        if (i > 0) overall->push_back(gap - loop::Between(recorded[i - 1], recorded[i]));
    }
    CHECK(loop::SpreadOf(run).median <= kPlayMedianMs);
    errors->insert(errors->end(), run.begin(), run.end());
}

// A session recorded into the target through the program: what the list
// holds, and what the target received meanwhile (the same messages).
struct LoopRecording {
    std::vector<ActionRecord> records;
    std::vector<target::Event> received;
    std::vector<double> errors;  // each interval against the target's gap
};

void RecordLoop(CSession& s, LoopRecording* out) {
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    const LONG mark = s.target.count();
    const int64_t before = loop::Micros();
    s.window.Send(IDC_RECORD_START);
    const int64_t after = loop::Micros();
    size_t from = 0;
    DRIVE(s, LoopSession(), &from);
    int repeats = 0;
    for (const xdo::RawEvent& e : s.watch.log.Since(from)) repeats += e.IsKey('B', false) ? 1 : 0;
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    REQUIRE(s.DriveToMarker(Wait(50), &from));

    std::string problems;
    out->records = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(out->records));
    CHECK(problems == "");
    const std::vector<Expected> expected = LoopExpected(repeats);
    REQUIRE(out->records.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        INFO("row " << i);
        CHECK(loop::Operation(out->records[i]) == loop::Operation(RecordOf(expected[i])));
        if (expected[i].scriptMs >= 0) {
            CHECK(static_cast<int>(out->records[i].interval) >= expected[i].scriptMs - kScriptToleranceMs);
            CHECK(static_cast<int>(out->records[i].interval) <= expected[i].scriptMs + kScriptToleranceMs);
        }
    }
    out->received = loop::TargetEvents(s.target, mark, {VK_F1, xdo::kSentinelKey});
    INFO("the target received while recording:\n" << loop::Describe(out->received));
    REQUIRE(loop::Difference(out->received, 0, out->records) == "");
    REQUIRE(out->received.size() == out->records.size());
    for (size_t i = 0; i < out->records.size(); ++i) {
        const double gap = i == 0 ? (loop::CounterMicros(out->received[0].counter) - (before + after) / 2) / 1000.0
                                  : loop::Between(out->received[i - 1], out->received[i]);
        INFO("row " << i << ": " << loop::Describe(out->records[i]) << ", the target's gap " << gap << " ms");
        CHECK(std::abs(out->records[i].interval - gap) <= kSeenToleranceMs);
        out->errors.push_back(out->records[i].interval - gap);
    }
    CHECK(loop::SpreadOf(out->errors).median <= kSeenMedianMs);
}

}  // namespace

TEST_CASE("recorded into a target and played back twice; the break key stops a run and lets go of the held key") {
    CSession s;
    LoopRecording recording;
    RecordLoop(s, &recording);
    const std::vector<ActionRecord>& recorded = recording.records;
    std::vector<double> playing, overall;
    PlayTwice(s, recorded, recorded, recording.received, &playing, &overall);

    // The break key in the middle of a run, while the played key and the
    // left button are held: the run stops, the window comes back, and both
    // are let go.
    const LONG mark = s.target.count();
    StartPlay(s, "2");
    std::vector<target::Event> played = AwaitTarget(s, mark, kHeldKeyRow + 1, 10000);
    REQUIRE(played.size() == kHeldKeyRow + 1);
    REQUIRE(loop::Matches(played[kHeldKeyRow], recorded[kHeldKeyRow]));
    CHECK((GetAsyncKeyState('B') & 0x8000) != 0);
    CHECK((GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0);
    size_t from = 0;
    // The wait lets the window come back before the drive's end marker,
    // which Wine would drop while the front window changes.
    DRIVE(s, Tap("F1", 20) + Wait(500), &from);
    // The release, or when Wine dropped its raw input here (the window in
    // front changes with it), the push 20 ms before it.
    int64_t stopped = -1, pushed = -1;
    for (const xdo::RawEvent& e : s.watch.log.Since(from)) {
        if (stopped < 0 && e.IsKey(VK_F1, true)) stopped = loop::Moment(e.ms, loop::Micros());
        if (pushed < 0 && e.IsKey(VK_F1, false)) pushed = loop::Moment(e.ms, loop::Micros());
    }
    if (stopped < 0) stopped = pushed;
    REQUIRE(stopped >= 0);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }, 1000));
    // Long enough for the rest of the hold and the click after it, had the
    // run gone on.
    uint32_t rest = 0;
    for (size_t i = kHeldKeyRow + 1; i < recorded.size(); ++i) rest += recorded[i].interval;
    s.watch.Pump([] { return false; }, rest + 300);
    // The first sign of the break key: the run cannot have stopped before
    // its push. This process may take the raw input late on a busy machine,
    // later than the program reacts to the release, so the target's own
    // WM_KEYDOWN of the push counts too: it sits in the target's queue ahead
    // of anything the program sends once it has seen the break.
    int64_t broken = pushed >= 0 ? pushed : stopped;
    for (const target::Event& e : loop::TargetEvents(s.target, mark)) {
        if (e.message == WM_KEYDOWN && e.wParam == VK_F1) {
            broken = std::min(broken, loop::CounterMicros(e.counter));
            break;
        }
    }
    std::string timeline;
    for (const target::Event& e : loop::TargetEvents(s.target, mark)) {
        const int64_t at = loop::CounterMicros(e.counter);
        char line[96];
        snprintf(line, sizeof line, "  %+.1f ms after the push, %+.1f ms after the release: ",
                 (at - pushed) / 1000.0, (at - stopped) / 1000.0);
        timeline += line + loop::Describe(e) + "\n";
    }
    // The button's release goes to the window under the pointer, the
    // target, whoever is in front: it must come at once, and nothing else of
    // the list after it. The key's release goes to the window in front,
    // which is the program's by then, restored by the break key; and Wine
    // drops the raw input of what is injected while the front window
    // changes, so the key is judged by the system's key state alone.
    std::vector<target::Event> afterBreak;
    for (const target::Event& e : loop::TargetEvents(s.target, mark, {VK_F1, xdo::kSentinelKey})) {
        if (loop::CounterMicros(e.counter) > broken && !(e.message == WM_KEYUP && e.wParam == 'B')) {
            afterBreak.push_back(e);
        }
    }
    INFO("the target's events of the run, the break key's push seen "
         << (broken - pushed) / 1000.0 << " ms after this process saw it:\n"
         << timeline);
    REQUIRE(afterBreak.size() == 1);
    CHECK(afterBreak[0].message == WM_LBUTTONUP);
    CHECK(afterBreak[0].screenX == 1000);
    CHECK(afterBreak[0].screenY == 700);
    // At once: a run that went on would let go only with the list, most
    // of a second later; a busy machine may add a few time slices.
    CHECK(loop::CounterMicros(afterBreak[0].counter) - stopped < 250000);
    for (int key : {int('A'), int('B'), VK_LEFT, VK_F1, VK_LBUTTON, VK_RBUTTON}) {
        INFO("key " << key);
        CHECK((GetAsyncKeyState(key) & 0x8000) == 0);
    }

    loop::Report("recording, interval against the target's gap", recording.errors);
    loop::Report("playback, gap against the recorded interval", playing);
    loop::Report("record and play, played gap against the gap recorded", overall);
}

TEST_CASE("the whole loop: record into a target, Save As, New, Open, and play twice the same way") {
    CSession s;
    LoopRecording recording;
    RecordLoop(s, &recording);
    const std::vector<ActionRecord>& recorded = recording.records;

    const std::string path = s.window.PathIn("loop.mou");
    s.window.Post(ID_FILE_SAVE_AS);
    REQUIRE(s.window.CompleteFileDialog(s.window.SaveTitle(), path));
    CHECK(s.window.ReadAfterCommands(path).find("<action>") != std::string::npos);
    CHECK_FALSE(s.window.NewAsks());
    CHECK(s.window.Count() == 0);
    REQUIRE(s.window.Open(path));
    REQUIRE(s.window.WaitCount(static_cast<int>(recorded.size())));
    std::string problems;
    const std::vector<ActionRecord> opened = loop::ReadRecords(s.window, &problems);
    CHECK(problems == "");
    // The records come back in the order they were recorded, with their
    // intervals: a recording mixes mouse and keys, and each interval counts
    // from the record before it.
    CHECK(loop::Describe(opened) == loop::Describe(recorded));

    std::vector<double> playing, overall;
    PlayTwice(s, recorded, opened, recording.received, &playing, &overall);
    loop::Report("whole loop, playback of the opened file against its intervals", playing);
    loop::Report("whole loop, played gap against the gap recorded", overall);
}

TEST_CASE("Setting: Esc as the break key ends the next recording at once, and F1 is recorded like any key") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());

    s.window.Post(ID_FILE_SETTING);
    HWND setting = s.window.WaitFor("Setting");
    REQUIRE(setting != nullptr);
    REQUIRE(drive::ChooseComboData(setting, IDC_BREAK_KEY, VK_ESCAPE));
    drive::Press(setting, IDOK);
    REQUIRE(s.window.WaitGone("Setting"));
    CHECK(s.window.ReadAfterCommands(s.window.Run().CurrentIni()).find("<break_key>27</break_key>") !=
          std::string::npos);

    size_t from = 0;
    s.window.Send(IDC_RECORD_START);
    CHECK(s.window.Iconic());
    DRIVE(s, Wait(300) + MoveTo({300, 300}) + "click 1 " + Wait(50) + Tap("F1", 40) + Wait(50) + Tap("Escape", 40) +
                 Wait(300),
          &from);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    REQUIRE(s.DriveToMarker(Wait(50) + "key y ", &from));

    std::string problems;
    const std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    const std::vector<Expected> expected = {
        {ActionKind::MouseLeftPush, {300, 300}, 0, -1},
        {ActionKind::MouseLeftRelease, {300, 300}, 0, -1},
        {ActionKind::PushKey, {}, VK_F1, -1},
        {ActionKind::ReleaseKey, {}, VK_F1, -1},
    };
    CheckOperations(recorded, expected);
}

TEST_CASE("the hotkeys start a recording and a run while another program has the focus; no hotkey key is recorded") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    auto hotkey = [](const char* key, int held = 30) {
        return KeyDown("Control_L") + KeyDown("Alt_L") + KeyDown("Shift_L") + KeyDown(key) + Wait(150) + KeyUp(key) +
               Wait(held) + KeyUp("Shift_L") + KeyUp("Alt_L") + KeyUp("Control_L");
    };
    // The target is in front and has the focus.
    size_t from = 0;
    DRIVE(s, MoveTo({300, 300}) + Wait(50) + hotkey("r"), &from);
    CHECK(gui::WaitFor([&] { return s.window.Iconic(); }));
    DRIVE(s, Wait(50) + "click 1 " + Wait(50) + Tap("a", 40) + Wait(50) + Tap("F1", 40), &from);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    REQUIRE(s.DriveToMarker(Wait(50) + "key y ", &from));

    std::string problems;
    std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    // The rig's own marker key, which ends the request that pressed the
    // hotkey, comes after the recording began.
    std::vector<ActionRecord> marked;
    for (const ActionRecord& r : recorded) {
        if (r.keyCode != xdo::kSentinelKey) marked.push_back(r);
    }
    CHECK(recorded.size() - marked.size() <= 2);
    recorded = marked;
    const std::vector<Expected> expected = {
        {ActionKind::MouseLeftPush, {300, 300}, 0, -1},
        {ActionKind::MouseLeftRelease, {300, 300}, 0, -1},
        {ActionKind::PushKey, {}, 'A', -1},
        {ActionKind::ReleaseKey, {}, 'A', -1},
    };
    CheckOperations(recorded, expected);

    // Ctrl+Alt+Shift+P plays the list into the target, which has the focus
    // again: its click arrives there and the window comes back. The
    // modifiers stay down far longer than the click's interval: the run
    // waits for them, so the click comes without Ctrl and Shift.
    const LONG mark = s.target.count();
    DRIVE(s, MoveTo({600, 600}) + Wait(50) + hotkey("p", 600), &from);
    UINT flags = 0xFFFF;
    CHECK(gui::WaitFor([&] {
        for (LONG i = mark; i < s.target.count(); ++i) {
            const target::Event& e = s.target.log()->events[i];
            if (e.message == WM_LBUTTONDOWN && e.clientX == 300 && e.clientY == 300) {
                flags = e.wParam;
                return true;
            }
        }
        return false;
    }));
    CHECK((flags & (MK_CONTROL | MK_SHIFT)) == 0);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic() && s.window.Text(IDC_PASS_COUNT) == "1"; }));
}

TEST_CASE("Start Record from the window in front: the first click, onto the desktop, is recorded") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    SetForegroundWindow(s.window.Main());
    REQUIRE(gui::WaitFor([&] { return GetForegroundWindow() == s.window.Main(); }));
    s.window.Send(IDC_RECORD_START);
    CHECK(s.window.Iconic());
    size_t from = 0;
    DRIVE(s, Wait(100) + MoveTo({1500, 900}) + "click 1 " + Wait(50) + Tap("a", 40) + Wait(50) + Tap("F1", 40), &from);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    std::string problems;
    const std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    const std::vector<Expected> expected = {
        {ActionKind::MouseLeftPush, {1500, 900}, 0, -1},
        {ActionKind::MouseLeftRelease, {1500, 900}, 0, -1},
        {ActionKind::PushKey, {}, 'A', -1},
        {ActionKind::ReleaseKey, {}, 'A', -1},
    };
    CheckOperations(recorded, expected);
}
