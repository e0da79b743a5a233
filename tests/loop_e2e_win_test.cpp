// The whole program with real input: Start Record through its window, then
// xdotool clicks, drags and types on the Xvfb display, and the program's list
// view must hold exactly what was done, where and in which order; the list is
// played back into a target program, saved, opened and played again; the
// break key ends recordings and runs, also after it has been changed in
// Setting.
//
// Time is judged only where no load can make a right program look wrong: a
// recorded moment is never before the pauses xdotool made ahead of its input,
// nor after the program showed it had handled that input; a played message
// never reaches the target before its record's interval, counted on from the
// run's start, has passed. How close the intervals come (recorded against the
// gaps the raw events and the target saw, played gaps against the recorded
// intervals) are figures, printed on stdout: ./bench.sh input collects them.
// All moments are read on the performance counter, which every process
// shares (see support/loop_rig_win.h).
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

// The recorder and the player count whole milliseconds: a moment read on
// their clock may lie up to this much before the same moment on the counter.
const double kClockStepMs = 2.0;

// Runs an xdotool request and waits until all its input has arrived.
#define DRIVE(session, commands, from)                                              \
    do {                                                                            \
        bool driven_ = (session).watch.Drive((commands), (from), &(session).error); \
        INFO((session).error);                                                      \
        REQUIRE(driven_);                                                           \
    } while (0)

struct Expected {
    ActionKind kind;
    POINT at;    // mouse actions: where xdotool put the pointer
    int key;     // key actions
    int afterMs; // the pauses xdotool made from the request's start to its input
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

// Each record's moment from Start Record (the sum of its interval and those
// above it) against the request that made its input: never before the
// pauses xdotool made ahead of that input, since Start Record was done before
// the request began; and the last no later than `handledMs` after Start
// Record, when the program had shown that it had handled every input.
void CheckMoments(const std::vector<ActionRecord>& records, const std::vector<Expected>& expected,
                  double handledMs) {
    REQUIRE(records.size() == expected.size());
    double moment = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        moment += records[i].interval;
        INFO("row " << i << ": " << loop::Describe(records[i]) << ", " << moment << " ms after Start Record");
        if (expected[i].afterMs >= 0) CHECK(moment + kClockStepMs >= expected[i].afterMs);
    }
    INFO("the program had handled the input " << handledMs << " ms after Start Record");
    CHECK(moment <= handledMs + kClockStepMs);
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
    const double handledMs = (loop::Micros() - before) / 1000.0;
    // After the break key: a key and a click, then the marker.
    size_t later = 0;
    REQUIRE(s.DriveToMarker(Wait(50) + "key x " + MoveTo({700, 700}) + "click 1 " + Wait(50), &later));

    // The release of the push made while Idle may come from an earlier
    // mouse event than the request's button-up: its moment is not known.
    std::vector<Expected> expected = {
        {ActionKind::MouseLeftRelease, heldAt, 0, -1},
        {ActionKind::MouseLeftPush, {300, 300}, 0, 200},
        {ActionKind::MouseLeftRelease, {300, 300}, 0, 350},
        {ActionKind::MouseLeftPush, {400, 350}, 0, 450},
        {ActionKind::MouseLeftRelease, {500, 420}, 0, 550},
        {ActionKind::MouseRightPush, {600, 300}, 0, 850},
        {ActionKind::MouseRightRelease, {600, 300}, 0, 970},
        {ActionKind::PushKey, {}, VK_LEFT, 1050},
        {ActionKind::ReleaseKey, {}, VK_LEFT, 1100},
        {ActionKind::PushKey, {}, VK_HOME, 1150},
        {ActionKind::ReleaseKey, {}, VK_HOME, 1190},
        {ActionKind::PushKey, {}, 'X', 1240},
        {ActionKind::ReleaseKey, {}, 'X', 1280},
        {ActionKind::PushKey, {}, 'B', 1330},
    };
    // The held key: one push for every key-down event the system delivered,
    // then the release a second after the first push.
    int repeats = 0;
    for (const xdo::RawEvent& e : driven) repeats += e.IsKey('B', false) ? 1 : 0;
    INFO("key-down events of the held key: " << repeats);
    CHECK(repeats >= 3);
    for (int i = 1; i < repeats; ++i) expected.push_back({ActionKind::PushKey, {}, 'B', 1330});
    expected.push_back({ActionKind::ReleaseKey, {}, 'B', 2330});

    std::string problems;
    const std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    REQUIRE(recorded.size() == expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        INFO("row " << i);
        CHECK(loop::Operation(recorded[i]) == loop::Operation(RecordOf(expected[i])));
    }
    CheckMoments(recorded, expected, handledMs);

    // The figure: every interval against the gap this test saw; the first
    // one runs from Start Record, which happened between `before` and `after`.
    const std::vector<int64_t> seen = SeenMoments(recorded, driven, after);
    std::vector<double> errors;
    for (size_t i = 0; i < recorded.size(); ++i) {
        if (seen[i] < 0 || (i > 0 && seen[i - 1] < 0)) continue;
        const double gap = i == 0 ? (seen[0] - (before + after) / 2) / 1000.0 : (seen[i] - seen[i - 1]) / 1000.0;
        errors.push_back(recorded[i].interval - gap);
    }
    loop::Report("recording, interval against the raw events' gap", errors);
}

namespace {

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
        {ActionKind::MouseLeftPush, {200, 300}, 0, 150},  {ActionKind::MouseLeftRelease, {200, 300}, 0, 230},
        {ActionKind::PushKey, {}, 'A', 350},              {ActionKind::ReleaseKey, {}, 'A', 410},
        {ActionKind::MouseRightPush, {640, 480}, 0, 510}, {ActionKind::MouseRightRelease, {640, 480}, 0, 600},
        {ActionKind::PushKey, {}, VK_LEFT, 710},          {ActionKind::ReleaseKey, {}, VK_LEFT, 760},
        {ActionKind::MouseLeftPush, {1000, 700}, 0, 860}, {ActionKind::PushKey, {}, 'B', 960},
    };
    for (int i = 1; i < repeats; ++i) expected.push_back({ActionKind::PushKey, {}, 'B', 960});
    expected.push_back({ActionKind::ReleaseKey, {}, 'B', 1860});
    expected.push_back({ActionKind::MouseLeftRelease, {1000, 700}, 0, 1960});
    expected.push_back({ActionKind::MouseLeftPush, {300, 800}, 0, 2060});
    expected.push_back({ActionKind::MouseLeftRelease, {300, 800}, 0, 2120});
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

// Starts a play run with the Repeat box checked and `repeat` as its count;
// returns the moment (counter microseconds) just before it was asked for.
int64_t StartPlay(CSession& s, const std::string& repeat) {
    INFO(s.error);
    REQUIRE(s.SetRepeat(repeat));
    const int64_t requested = loop::Micros();
    s.window.Post(IDC_PLAY_START);
    return requested;
}

// Plays the program's list with repeat 2 and checks that the target received
// `expected`'s messages twice, in order, at their positions, and none before
// its time: the player waits each interval of `timing` (the list being
// played) from the action before, the first from the run's start, which
// comes after the request. Adds each gap's distance from its interval to
// `errors`, and from the gap the target saw during the recording (`recorded`)
// to `overall`: figures, not judged here.
void PlayTwice(CSession& s, const std::vector<ActionRecord>& expected, const std::vector<ActionRecord>& timing,
               const std::vector<target::Event>& recorded, std::vector<double>* errors,
               std::vector<double>* overall) {
    const LONG mark = s.target.count();
    uint32_t length = 0;
    for (const ActionRecord& r : timing) length += r.interval;
    const int64_t requested = StartPlay(s, "2");
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
    double due = 0;
    for (size_t k = 0; k < played.size(); ++k) {
        due += timing[k % timing.size()].interval;
        const double at = (loop::CounterMicros(played[k].counter) - requested) / 1000.0;
        INFO("message " << k << ": " << loop::Describe(played[k]) << ", " << at << " ms after the request, due "
                        << due);
        CHECK(at + kClockStepMs >= due);
    }
    // Every gap counts, the first run's first one too.
    for (size_t k = 1; k < played.size(); ++k) {
        const size_t i = k % timing.size();
        const double gap = loop::Between(played[k - 1], played[k]);
        errors->push_back(gap - timing[i].interval);
        if (i > 0) overall->push_back(gap - loop::Between(recorded[i - 1], recorded[i]));
    }
}

// A session recorded into the target through the program: what the list
// holds, and what the target received meanwhile (the same messages).
struct LoopRecording {
    std::vector<ActionRecord> records;
    std::vector<target::Event> received;
    std::vector<double> errors;  // each interval against the target's gap (a figure)
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
    const double handledMs = (loop::Micros() - before) / 1000.0;
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
    }
    CheckMoments(out->records, expected, handledMs);
    out->received = loop::TargetEvents(s.target, mark, {VK_F1, xdo::kSentinelKey});
    INFO("the target received while recording:\n" << loop::Describe(out->received));
    REQUIRE(loop::Difference(out->received, 0, out->records) == "");
    REQUIRE(out->received.size() == out->records.size());
    for (size_t i = 0; i < out->records.size(); ++i) {
        const double gap = i == 0 ? (loop::CounterMicros(out->received[0].counter) - (before + after) / 2) / 1000.0
                                  : loop::Between(out->received[i - 1], out->received[i]);
        out->errors.push_back(out->records[i].interval - gap);
    }
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
    const int64_t requested = StartPlay(s, "2");
    std::vector<target::Event> played = AwaitTarget(s, mark, kHeldKeyRow + 1, 15000);
    REQUIRE(played.size() >= kHeldKeyRow + 1);
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
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
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
    // From the stop, not from the list: a run that went on would let go
    // only with the list's own release, which cannot come before its due
    // time, most of a second after the break.
    size_t release = kHeldKeyRow + 1;
    while (release < recorded.size() && recorded[release].kind != ActionKind::MouseLeftRelease) ++release;
    REQUIRE(release < recorded.size());
    double due = 0;
    for (size_t i = 0; i <= release; ++i) due += recorded[i].interval;
    CHECK((loop::CounterMicros(afterBreak[0].counter) - requested) / 1000.0 + kClockStepMs < due);
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
