#pragma once
// Checks shared by the recorder's tests: what a recording must hold, and the
// raw event each record comes from.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "doctest.h"
#include "support/recorder_rig_win.h"

namespace recorder_checks {

// How far a recorded interval is from the gap xdotool made between the two
// inputs is a figure, printed by CheckRecords and not judged: xdotool, the X
// server and this message loop may each wait for the processor (measured:
// within 2 ms for nine in ten intervals on a quiet machine, now and then over
// 30 ms with three busy processes per core). The intervals themselves are
// checked exactly against the moments the events were handled: CheckMoments.

struct Expected {
    ActionKind kind;
    int x, y;   // mouse actions: the position given to xdotool; x of a key action: its stroke
    int key;    // key actions: the virtual-key code
    int gapMs;  // the gap xdotool made before the action, for the figure; -1: none
};

inline bool IsMouse(ActionKind kind) {
    return kind <= ActionKind::MouseRightDoubleClick || (kind >= ActionKind::MouseMove && kind <= ActionKind::MouseHWheel);
}

inline const char* KindName(ActionKind kind) {
    static const char* names[] = {"?",           "LeftPush",    "LeftRelease",   "LeftClick",  "LeftDouble",
                                  "RightPush",   "RightRelease", "RightClick",   "RightDouble", "PushKey",
                                  "ReleaseKey",  "Screenshot",  "Move",          "MiddlePush", "MiddleRelease",
                                  "X1Push",      "X1Release",   "X2Push",        "X2Release",  "Wheel",
                                  "HWheel"};
    int k = static_cast<int>(kind);
    return k >= 0 && k <= 20 ? names[k] : "?";
}

inline std::string Describe(const ActionList& list) {
    std::string s;
    for (int i = 0; i < list.count(); ++i) {
        const ActionRecord* r = list.at(i);
        s += std::to_string(i) + ": " + KindName(r->kind) + " (" + std::to_string(r->x) + "," +
             std::to_string(r->y) + ") key " + std::to_string(r->keyCode) + " after " +
             std::to_string(r->interval) + " ms\n";
    }
    return s;
}

inline void CheckRecords(const CRecorderRig& rig, const std::vector<Expected>& expected) {
    INFO("recorded:\n" << Describe(rig.list));
    REQUIRE(rig.list.count() == static_cast<int>(expected.size()));
    std::vector<double> offsets;
    for (size_t i = 0; i < expected.size(); ++i) {
        const ActionRecord* r = rig.list.at(static_cast<int>(i));
        const Expected& e = expected[i];
        INFO("record " << i);
        CHECK(r->kind == e.kind);
        if (IsMouse(e.kind)) {
            CHECK(r->device == ActionDevice::Mouse);
            CHECK(r->x == e.x);
            CHECK(r->y == e.y);
            CHECK(r->keyCode == (IsWheelKind(e.kind) ? e.key : 0));
        } else {
            CHECK(r->device == ActionDevice::Keyboard);
            CHECK(r->x == e.x);
            CHECK(r->y == 0);
            CHECK(r->keyCode == e.key);
        }
        if (e.gapMs >= 0) offsets.push_back(std::abs(static_cast<double>(r->interval) - e.gapMs));
    }
    std::sort(offsets.begin(), offsets.end());
    if (!offsets.empty()) {
        std::printf("recording, interval against xdotool's gap: n %u, |error| median %.0f ms, max %.0f ms\n",
                    static_cast<unsigned>(offsets.size()), offsets[offsets.size() / 2], offsets.back());
        std::fflush(stdout);
    }
    std::vector<int> rows;
    for (int i = 0; i < rig.list.count(); ++i) rows.push_back(i);
    CHECK(rig.rows == rows);
}

// The raw event that a record comes from: the first event, from `from` on,
// of the record's key and direction, or for a push the first event with its
// button's down bit, for a release the first mouse event without it (with
// motion recorded: with its up bit), for a move one that moved the pointer,
// for a wheel one that turned it by the record's delta. With `messages`
// the position compared is the one the event's message tells.
inline bool CameFrom(const ActionRecord& r, const xdo::RawEvent& e, bool motion, bool messages) {
    switch (r.kind) {
    case ActionKind::PushKey: return e.IsKey(static_cast<USHORT>(r.keyCode), false);
    case ActionKind::ReleaseKey: return e.IsKey(static_cast<USHORT>(r.keyCode), true);
    default: break;
    }
    const POINT read = messages ? e.at : e.cursor;
    if (e.type != RIM_TYPEMOUSE || read.x != r.x || read.y != r.y) return false;
    const USHORT f = e.buttonFlags;
    switch (r.kind) {
    case ActionKind::MouseLeftPush: return (f & RI_MOUSE_LEFT_BUTTON_DOWN) != 0;
    case ActionKind::MouseLeftRelease:
        return motion ? (f & RI_MOUSE_LEFT_BUTTON_UP) != 0 : (f & RI_MOUSE_LEFT_BUTTON_DOWN) == 0;
    case ActionKind::MouseRightPush: return (f & RI_MOUSE_RIGHT_BUTTON_DOWN) != 0;
    case ActionKind::MouseRightRelease:
        return motion ? (f & RI_MOUSE_RIGHT_BUTTON_UP) != 0 : (f & RI_MOUSE_RIGHT_BUTTON_DOWN) == 0;
    case ActionKind::MouseMove: return e.moved;
    case ActionKind::MouseMiddlePush: return (f & RI_MOUSE_MIDDLE_BUTTON_DOWN) != 0;
    case ActionKind::MouseMiddleRelease: return (f & RI_MOUSE_MIDDLE_BUTTON_UP) != 0;
    case ActionKind::MouseX1Push: return (f & RI_MOUSE_BUTTON_4_DOWN) != 0;
    case ActionKind::MouseX1Release: return (f & RI_MOUSE_BUTTON_4_UP) != 0;
    case ActionKind::MouseX2Push: return (f & RI_MOUSE_BUTTON_5_DOWN) != 0;
    case ActionKind::MouseX2Release: return (f & RI_MOUSE_BUTTON_5_UP) != 0;
    case ActionKind::MouseWheel: return (f & RI_MOUSE_WHEEL) && e.buttonData == r.keyCode;
    case ActionKind::MouseHWheel: return (f & RI_MOUSE_HWHEEL) && e.buttonData == r.keyCode;
    default: return false;
    }
}

// Each record's moment (recording start plus the intervals so far) must lie
// within the handling of its raw event, read on the same clock: the
// intervals are true 1 ms times, not tick-count steps, and they add up from
// the start of the recording. When the recorder reads event messages, the
// moments follow the message times instead: each is its event's time plus
// an offset that never grows (it shrinks when an event is handled sooner
// after it happened than the ones before), and never lies after the
// handling; or, for an event stamped before the last record, it is that
// record's moment.
inline void CheckMoments(const CRecorderRig& rig, uint32_t startTick) {
    const std::vector<xdo::RawEvent> events = rig.log.Since(0);
    const bool motion = rig.recorder.RecordsMotion();
    const bool messages = motion && rig.recorder.ReadsEventMessages();
    uint32_t moment = startTick;
    uint32_t previous = startTick;
    bool offsetSeen = false;
    uint32_t lastOffset = 0;
    // One event gives one record of a kind at most (a key event one record,
    // a mouse event a move, buttons and wheels): the kinds each event gave.
    std::vector<uint32_t> used(events.size(), 0);
    size_t next = 0;
    for (int i = 0; i < rig.list.count(); ++i) {
        const ActionRecord& r = *rig.list.at(i);
        moment += r.interval;
        const uint32_t kind = 1u << (static_cast<int>(r.kind) & 31);
        while (next < events.size() && (!CameFrom(r, events[next], motion, messages) || (used[next] & kind))) {
            ++next;
        }
        INFO("record " << i << " " << std::string(KindName(r.kind)) << " at " << moment - startTick
                       << " ms after the start");
        REQUIRE(next < events.size());
        const xdo::RawEvent& e = events[next];
        INFO("its event was handled from " << e.ms - startTick << " to " << e.doneMs - startTick
                                           << " ms");
        CHECK(static_cast<int32_t>(e.doneMs - moment) >= 0);
        if (messages) {
            const uint32_t offset = moment - e.time;
            INFO("its message time is " << e.time << ", the moment's offset from it " << offset << ", the last "
                                        << lastOffset);
            if (moment != previous || !offsetSeen) {
                CHECK((!offsetSeen || static_cast<int32_t>(offset - lastOffset) <= 0));
                offsetSeen = true;
                lastOffset = offset;
            }
        } else {
            CHECK(static_cast<int32_t>(moment - e.ms) >= 0);
        }
        previous = moment;
        used[next] |= kind;
    }
}

}  // namespace recorder_checks

#define DRIVE(rig, commands)                             \
    do {                                                 \
        std::string error_;                              \
        bool driven_ = (rig).Drive((commands), &error_); \
        INFO(error_);                                    \
        REQUIRE(driven_);                                \
    } while (0)
