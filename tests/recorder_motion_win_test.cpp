// The recorder with movement, the wheel and every button recorded, under
// Wine with real X input: what a drag, the wheels and the middle and side
// buttons become, and how moves share a millisecond or come from the trail.
#include <cstdio>
#include <string>
#include <vector>

#include "config/app_parameter.h"
#include "doctest.h"
#include "support/recorder_checks_win.h"
#include "support/recorder_rig_win.h"
#include "test_util.h"

using namespace recorder_checks;

namespace {

std::string DescribeEvents(const std::vector<xdo::RawEvent>& events) {
    std::string s;
    for (const xdo::RawEvent& e : events) {
        if (e.type != RIM_TYPEMOUSE) continue;
        char line[96];
        snprintf(line, sizeof line, "flags %04X data %d%s to (%ld,%ld), cursor (%ld,%ld)\n", e.buttonFlags,
                 e.buttonData, e.moved ? " moved" : "", e.at.x, e.at.y, e.cursor.x, e.cursor.y);
        s += line;
    }
    return s;
}

// Under load Wine may fold a move into the button event after it, which then
// comes without movement of its own, and now and then X input is lost on
// its way (a wheel click seen missing): a record is expected only where raw
// input reported its event, and the record after one that was left out is
// then not held to its gap.
std::vector<Expected> AsReported(const std::vector<Expected>& expected, const std::vector<xdo::RawEvent>& events,
                                 bool messages) {
    std::vector<Expected> out;
    bool dropped = false;
    for (Expected e : expected) {
        ActionRecord r = {0, ActionDevice::Mouse, e.kind, e.x, e.y, e.key};
        bool reported = false;
        for (const xdo::RawEvent& event : events) reported |= CameFrom(r, event, true, messages);
        if (!reported) {
            dropped = true;
            continue;
        }
        if (dropped) e.gapMs = -1;
        dropped = false;
        out.push_back(e);
    }
    return out;
}

}  // namespace

TEST_CASE("with motion on: a drag in steps, both wheels, the middle and side buttons as they happened") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    rig.motion = true;
    DRIVE(rig, "mousemove 200 200");
    REQUIRE(rig.recorder.StartRecord() == 1);
    CHECK(rig.recorder.RecordsMotion());
    const uint32_t start = rig.recorder.LastEventTick();
    DRIVE(rig,
          // a drag: the push, every step with the button held, the release
          // where the button came up
          // (Positions are read when an event is handled: a move comes a
          // while after the event before it, so that it is not read there.)
          "sleep 0.05 mousedown 1 sleep 0.1 mousemove 210 205 sleep 0.1 mousemove 230 215 "
          "sleep 0.1 mousemove 260 230 sleep 0.06 mouseup 1 "
          // the wheel: away, toward, left, right
          "sleep 0.03 click 4 sleep 0.03 click 5 sleep 0.03 click 6 sleep 0.03 click 7 "
          // the middle button, the side buttons
          "sleep 0.1 mousemove 300 320 sleep 0.03 mousedown 2 sleep 0.04 mouseup 2 "
          "sleep 0.1 mousemove 310 330 sleep 0.03 click 8 sleep 0.03 click 9 "
          // the right button still records as before
          "sleep 0.03 mousedown 3 sleep 0.03 mouseup 3");
    INFO("raw mouse events:\n" << DescribeEvents(rig.Driven()));
    CheckRecords(rig, AsReported({
                          {ActionKind::MouseLeftPush, 200, 200, 0, -1},
                          {ActionKind::MouseMove, 210, 205, 0, 100},
                          {ActionKind::MouseMove, 230, 215, 0, 100},
                          {ActionKind::MouseMove, 260, 230, 0, 100},
                          {ActionKind::MouseLeftRelease, 260, 230, 0, 60},
                          {ActionKind::MouseWheel, 260, 230, 120, 30},
                          {ActionKind::MouseWheel, 260, 230, -120, 30},
                          {ActionKind::MouseHWheel, 260, 230, -120, 30},
                          {ActionKind::MouseHWheel, 260, 230, 120, 30},
                          {ActionKind::MouseMove, 300, 320, 0, 100},
                          {ActionKind::MouseMiddlePush, 300, 320, 0, 30},
                          {ActionKind::MouseMiddleRelease, 300, 320, 0, 40},
                          {ActionKind::MouseMove, 310, 330, 0, 100},
                          {ActionKind::MouseX1Push, 310, 330, 0, 30},
                          {ActionKind::MouseX1Release, 310, 330, 0, 0},
                          {ActionKind::MouseX2Push, 310, 330, 0, 30},
                          {ActionKind::MouseX2Release, 310, 330, 0, 0},
                          {ActionKind::MouseRightPush, 310, 330, 0, 30},
                          {ActionKind::MouseRightRelease, 310, 330, 0, 30},
                      }, rig.Driven(), rig.recorder.ReadsEventMessages()));
    CheckMoments(rig, start);
    CHECK(rig.recorder.StopRecord() == 1);
    // The setting is taken when a recording starts.
    rig.motion = false;
    REQUIRE(rig.recorder.StartRecord() == 1);
    rig.rows.clear();
    CHECK_FALSE(rig.recorder.RecordsMotion());
    DRIVE(rig, "mousemove 400 400 sleep 0.05 click 4 click 2 mousedown 1 sleep 0.1 mousemove 420 420 mouseup 1");
    // The release comes with the first mouse event after the push: normally
    // the move, but under load Wine may send one without movement before it.
    // A push that X lost on its way records nothing.
    const std::vector<xdo::RawEvent> events = rig.Driven();
    POINT release = {420, 420};
    bool pushed = false;
    for (size_t i = 0; i < events.size(); ++i) {
        if (events[i].type != RIM_TYPEMOUSE || !(events[i].buttonFlags & RI_MOUSE_LEFT_BUTTON_DOWN)) continue;
        pushed = true;
        for (size_t j = i + 1; j < events.size(); ++j) {
            if (events[j].type == RIM_TYPEMOUSE) {
                release = events[j].cursor;
                break;
            }
        }
        break;
    }
    INFO("raw mouse events:\n" << DescribeEvents(events));
    std::vector<Expected> expected;
    if (pushed) {
        expected = {{ActionKind::MouseLeftPush, 400, 400, 0, -1},
                    {ActionKind::MouseLeftRelease, static_cast<int>(release.x), static_cast<int>(release.y), 0, -1}};
    }
    CheckRecords(rig, expected);
}

TEST_CASE("with motion on, a busy window thread still records each move where and when it happened") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    rig.motion = true;
    DRIVE(rig, "mousemove 200 300");
    REQUIRE(rig.recorder.StartRecord() == 1);
    REQUIRE(rig.recorder.ReadsEventMessages());
    const uint32_t start = rig.recorder.LastEventTick();
    // Each event handled long after the next ones came: the cursor is past
    // it by then.
    rig.busyMs = 15;
    std::string commands;
    for (int i = 1; i <= 30; ++i) commands += "mousemove " + std::to_string(200 + 3 * i) + " 300 sleep 0.004 ";
    DRIVE(rig, commands);
    rig.busyMs = 0;
    // Every position raw input reported (X may have merged some of the
    // steps), the later of two in one millisecond only.
    std::vector<Expected> expected;
    DWORD lastTime = 0;
    for (const xdo::RawEvent& e : rig.Driven()) {
        if (e.type != RIM_TYPEMOUSE || !e.moved) continue;
        if (!expected.empty() && e.time == lastTime) expected.pop_back();
        expected.push_back({ActionKind::MouseMove, static_cast<int>(e.at.x), static_cast<int>(e.at.y), 0, -1});
        lastTime = e.time;
    }
    INFO("raw mouse events:\n" << DescribeEvents(rig.Driven()));
    REQUIRE(expected.size() >= 3);
    for (size_t i = 0; i < expected.size(); ++i) {
        CHECK(expected[i].y == 300);
        CHECK((expected[i].x - 200) % 3 == 0);
        if (i > 0) CHECK(expected[i].x > expected[i - 1].x);
    }
    CHECK(expected.back().x == 290);
    CheckRecords(rig, expected);
    CheckMoments(rig, start);
}

TEST_CASE("with motion on, a later move in the same millisecond takes the place of the earlier") {
    CRecorderRig rig;
    rig.motion = true;
    REQUIRE(rig.recorder.StartRecord() == 1);
    // Events handled straight from here, away from X input, with the cursor
    // position given by the test. Tried until both moves fall in one
    // millisecond.
    static POINT cursor;
    rig.recorder.SetCursorSource([](LPPOINT p) -> BOOL {
        *p = cursor;
        return TRUE;
    });
    bool sameMs = false;
    for (int attempt = 0; attempt < 200 && !sameMs; ++attempt) {
        rig.list.clear();
        rig.rows.clear();
        cursor = {100, 100};
        const uint32_t before = rig.recorder.Now();
        rig.recorder.OnMouseEvent(0, 0, true);
        cursor = {150, 120};
        rig.recorder.OnMouseEvent(0, 0, true);
        sameMs = rig.recorder.Now() == before;
        if (!sameMs) continue;
        INFO(Describe(rig.list));
        REQUIRE(rig.list.count() == 1);
        CHECK(rig.list.at(0)->kind == ActionKind::MouseMove);
        CHECK(rig.list.at(0)->x == 150);
        CHECK(rig.list.at(0)->y == 120);
        CHECK(rig.rows == std::vector<int>{0});
        // Not once a button came between.
        rig.recorder.OnMouseEvent(RI_MOUSE_MIDDLE_BUTTON_DOWN, 0, false);
        cursor = {160, 130};
        rig.recorder.OnMouseEvent(0, 0, true);
        CHECK(rig.list.count() == 3);
        // A movement that leaves the pointer where it was is none.
        rig.recorder.OnMouseEvent(0, 0, true);
        CHECK(rig.list.count() == 3);
    }
    CHECK(sameMs);
    // Moves a millisecond apart are kept, each with its interval.
    rig.list.clear();
    const uint32_t from = rig.recorder.Now();
    for (int i = 0; i < 5; ++i) {
        cursor = {200 + i, 200};
        rig.recorder.OnMouseEvent(0, 0, true);
        const uint32_t t = rig.recorder.Now();
        while (rig.recorder.Now() == t) {
        }
    }
    // The first interval runs from the last record of the loop above; the
    // others span no more than the time since the first move.
    REQUIRE(rig.list.count() == 5);
    uint32_t sum = 0;
    for (int i = 0; i < 5; ++i) {
        CHECK(rig.list.at(i)->x == 200 + i);
        if (i == 0) continue;
        CHECK(rig.list.at(i)->interval >= 1);
        sum += rig.list.at(i)->interval;
    }
    CHECK(sum <= rig.recorder.Now() - from);
}

TEST_CASE("with motion on, the positions from the trail keep the spacing of their time stamps") {
    CRecorderRig rig;
    rig.motion = true;
    static POINT cursor;
    // The trail's positions lie at `origin` from the screen's: on the
    // primary monitor, and on one left of and above it, where they are
    // negative. The trail is asked and answers in display points as the
    // system's documentation has them: 16-bit values, negative ones
    // 65536-based.
    static POINT origin;
    static bool asked16Bit;
    SUBCASE("on the primary monitor") { origin = {0, 0}; }
    SUBCASE("on a monitor left of and above it") { origin = {-1920, -1200}; }
    asked16Bit = true;
    // Newest first, as the system gives its trail.
    static const MOUSEMOVEPOINT trail[] = {
        {150, 100, 5010, 0}, {140, 100, 5010, 0}, {130, 100, 5010, 0}, {120, 100, 5004, 0},
        {120, 100, 5003, 0}, {110, 100, 5002, 0}, {100, 100, 5000, 0}, {90, 100, 4990, 0},
    };
    rig.recorder.SetCursorSource([](LPPOINT p) -> BOOL {
        p->x = cursor.x + origin.x;
        p->y = cursor.y + origin.y;
        return TRUE;
    });
    rig.recorder.SetTrailSource([](UINT, LPMOUSEMOVEPOINT in, LPMOUSEMOVEPOINT out, int count, DWORD) -> int {
        if (in->x < 0 || in->x > 0xFFFF || in->y < 0 || in->y > 0xFFFF) asked16Bit = false;
        int from = 0;
        while (from < 8 && (((trail[from].x + origin.x) & 0xFFFF) != in->x ||
                            ((trail[from].y + origin.y) & 0xFFFF) != in->y)) {
            ++from;
        }
        if (from == 8) return -1;
        int n = 0;
        for (; n < count && from + n < 8; ++n) {
            out[n] = trail[from + n];
            out[n].x = (out[n].x + origin.x) & 0xFFFF;
            out[n].y = (out[n].y + origin.y) & 0xFFFF;
        }
        return n;
    });
    cursor = {100, 100};
    REQUIRE(rig.recorder.StartRecord() == 1);
    // Where the recording started is no move; the next event finds the
    // positions after it.
    cursor = {110, 100};
    const uint32_t start = rig.recorder.LastEventTick();
    while (rig.recorder.Now() - start < 30) {
    }
    cursor = {130, 100};
    rig.recorder.OnMouseEvent(0, 0, true);
    const uint32_t end = rig.recorder.LastEventTick();
    INFO(Describe(rig.list));
    REQUIRE(rig.list.count() == 3);
    CHECK(asked16Bit);
    const int xs[] = {110, 120, 130};
    // 5002 to 5003, where the pointer came to 120 (the entry after it did
    // not move it), and on to 5010.
    const uint32_t gaps[] = {1, 7};
    for (int i = 0; i < 3; ++i) {
        CHECK(rig.list.at(i)->x == xs[i] + origin.x);
        CHECK(rig.list.at(i)->y == 100 + origin.y);
    }
    CHECK(rig.list.at(1)->interval == gaps[0]);
    CHECK(rig.list.at(2)->interval == gaps[1]);
    CHECK(rig.list.at(0)->interval + gaps[0] + gaps[1] == end - start);
    // Nothing newer: the same position again records nothing.
    rig.recorder.OnMouseEvent(0, 0, true);
    CHECK(rig.list.count() == 3);
    // Entries with the stamp of the last recorded one are newer when they
    // come before it in the trail; they are kept a millisecond apart.
    while (rig.recorder.Now() - end < 5) {
    }
    cursor = {150, 100};
    rig.recorder.OnMouseEvent(0, 0, true);
    REQUIRE(rig.list.count() == 5);
    CHECK(rig.list.at(3)->x == 140 + origin.x);
    CHECK(rig.list.at(4)->x == 150 + origin.x);
    CHECK(rig.list.at(4)->interval == 1);
    // A cursor reading the trail had before the last recorded position is
    // stale: the pointer is past it, and no move goes back there.
    cursor = {120, 100};
    rig.recorder.OnMouseEvent(0, 0, true);
    CHECK(rig.list.count() == 5);
}
