// The recorder under Wine with real X input: xdotool moves, clicks and types
// on the Xvfb display, the input arrives as raw input at a test window, and
// the recorder turns it into list records. Expected positions are the ones
// given to xdotool; expected intervals are the gaps xdotool made.
#include <string>
#include <vector>

#include "config/app_parameter.h"
#include "doctest.h"
#include "support/recorder_checks_win.h"
#include "support/recorder_rig_win.h"
#include "test_util.h"

using namespace recorder_checks;

namespace {

std::wstring WindowLine(HWND window, const wchar_t* className, const wchar_t* text) {
    wchar_t line[600];
    _snwprintf(line, 599, L"HWND = %08X CLASS = %s ",
               static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)), className);
    line[599] = 0;
    std::wstring s = line;
    if (text) s += std::wstring(L"TEXT = ") + text + L" ";
    return s + L"\n";
}

std::wstring Repeat(const std::wstring& s, int n) {
    std::wstring out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Pieces of xdotool command chains. Key commands wait 12 ms after each key
// unless told otherwise, which would lengthen every gap.
std::string Wait(int ms) {
    char text[32];
    snprintf(text, sizeof text, "sleep %d.%03d ", ms / 1000, ms % 1000);
    return text;
}
std::string KeyDown(const std::string& key) { return "keydown --delay 0 " + key + " "; }
std::string KeyUp(const std::string& key) { return "keyup --delay 0 " + key + " "; }


}  // namespace

TEST_CASE("xdotool positions are the screen pixels the recorder reads") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    const POINT points[] = {{0, 0}, {123, 456}, {1919, 1079}, {960, 540}};
    for (const POINT& p : points) {
        DRIVE(rig, "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
        POINT cursor;
        GetCursorPos(&cursor);
        std::string seen;
        for (const xdo::RawEvent& e : rig.Driven()) {
            seen += " " + std::to_string(e.type) + ":" + std::to_string(e.cursor.x) + "," +
                    std::to_string(e.cursor.y) + "@" + std::to_string(e.ms);
        }
        INFO("xdotool " << p.x << "," << p.y << ", cursor " << cursor.x << "," << cursor.y
                        << ", events" << seen << ", now " << rig.recorder.Now());
        CHECK(cursor.x == p.x);
        CHECK(cursor.y == p.y);
    }
}

TEST_CASE("a click, a drag and right clicks become pushes and releases at their positions") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    DRIVE(rig, "mousemove 1500 950");
    REQUIRE(rig.recorder.StartRecord() == 1);
    const uint32_t start = rig.recorder.LastEventTick();
    CHECK(IsIconic(rig.host));
    rig.debug.clear();

    DRIVE(rig,
          // a click without movement: the release's interval is the press time
          "sleep 0.2 mousemove 300 300 sleep 0.1 mousedown 1 sleep 0.15 mouseup 1 "
          // a drag: the release is taken at the first movement, the real
          // button-up and the later movement are not recorded
          "sleep 0.1 mousemove 400 350 mousedown 1 sleep 0.1 mousemove 500 420 "
          "sleep 0.1 mousemove 520 430 sleep 0.1 mouseup 1 "
          // a right click, then one over a window without a caption
          "sleep 0.1 mousemove 600 300 mousedown 3 sleep 0.12 mouseup 3 "
          "sleep 0.05 mousemove 1500 900 click 3");
    CheckRecords(rig, {
                          {ActionKind::MouseLeftPush, 300, 300, 0, -1},
                          {ActionKind::MouseLeftRelease, 300, 300, 0, 150},
                          {ActionKind::MouseLeftPush, 400, 350, 0, 100},
                          {ActionKind::MouseLeftRelease, 500, 420, 0, 100},
                          {ActionKind::MouseRightPush, 600, 300, 0, 300},
                          {ActionKind::MouseRightRelease, 600, 300, 0, 120},
                          {ActionKind::MouseRightPush, 1500, 900, 0, 50},
                          {ActionKind::MouseRightRelease, 1500, 900, 0, 0},
                      });
    CheckMoments(rig, start);
    // The first interval runs from Start Record, so it also holds the time
    // the request took to start; it is never shorter than the gap.
    CHECK(rig.list.at(0)->interval >= 300);

    CHECK(testutil::Utf8(rig.debug.c_str()) ==
          testutil::Utf8(
              (Repeat(WindowLine(rig.target, L"RecorderRigTarget", L"Recorder target"), 6) +
               Repeat(WindowLine(rig.blank, L"RecorderRigTarget", nullptr), 2))
                  .c_str()));
    CHECK(rig.recorder.StopRecord() == 1);
    CHECK(IsIconic(rig.host));
}

TEST_CASE("keys become pushes and releases with their strokes, one push per auto-repeat") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    REQUIRE(rig.recorder.StartRecord() == 1);
    const uint32_t start = rig.recorder.LastEventTick();
    rig.debug.clear();

    DRIVE(rig, Wait(100) + KeyDown("Left") + Wait(50) + KeyUp("Left") + Wait(50) +
                   KeyDown("Down") + Wait(50) + KeyUp("Down") + Wait(50) + KeyDown("Home") +
                   Wait(40) + KeyUp("Home") + Wait(40) + KeyDown("Return") + Wait(30) +
                   KeyUp("Return") + Wait(50) + KeyDown("KP_Enter") + Wait(30) + KeyUp("KP_Enter") + Wait(50) +
                   KeyDown("a") + Wait(60) + KeyUp("a") + Wait(50) +
                   KeyDown("b") + Wait(1200) + KeyUp("b"));
    // Each key with its scan code, and the extended ones with the flag: the
    // keypad's Enter has the virtual key of the main Enter.
    const int e = kKeyExtended;
    std::vector<Expected> expected = {
        {ActionKind::PushKey, e | 0x4B, 0, VK_LEFT, -1},   {ActionKind::ReleaseKey, e | 0x4B, 0, VK_LEFT, 50},
        {ActionKind::PushKey, e | 0x50, 0, VK_DOWN, 50},   {ActionKind::ReleaseKey, e | 0x50, 0, VK_DOWN, 50},
        {ActionKind::PushKey, e | 0x47, 0, VK_HOME, 50},   {ActionKind::ReleaseKey, e | 0x47, 0, VK_HOME, 40},
        {ActionKind::PushKey, 0x1C, 0, VK_RETURN, 40},     {ActionKind::ReleaseKey, 0x1C, 0, VK_RETURN, 30},
        {ActionKind::PushKey, e | 0x1C, 0, VK_RETURN, 50}, {ActionKind::ReleaseKey, e | 0x1C, 0, VK_RETURN, 30},
        {ActionKind::PushKey, 0x1E, 0, 'A', 50},           {ActionKind::ReleaseKey, 0x1E, 0, 'A', 60},
        {ActionKind::PushKey, 0x30, 0, 'B', 50},
    };
    // The held key: one push for every key-down event the system delivered
    // while it was held, then one release 1.2 s after the first push.
    int repeats = 0;
    for (const xdo::RawEvent& e : rig.Driven()) repeats += e.IsKey('B', false) ? 1 : 0;
    INFO("key-down events of the held key: " << repeats);
    REQUIRE(repeats >= 3);
    for (int i = 1; i < repeats; ++i) expected.push_back({ActionKind::PushKey, 0x30, 0, 'B', -1});
    expected.push_back({ActionKind::ReleaseKey, 0x30, 0, 'B', -1});
    CheckRecords(rig, expected);
    CheckMoments(rig, start);
    uint32_t held = 0;
    for (int i = 13; i < rig.list.count(); ++i) held += rig.list.at(i)->interval;
    MESSAGE("the key held for 1200 ms by xdotool spans " << held << " ms of the recording");
    CHECK(rig.debug.empty());
}

TEST_CASE("the break key's release ends the recording and restores the window") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    REQUIRE(rig.recorder.StartRecord() == 1);
    REQUIRE(IsIconic(rig.host));
    rig.debug.clear();

    // The break key records nothing, neither its push nor its release, and
    // what follows the release is not recorded either.
    DRIVE(rig, "key a " + Wait(50) + KeyDown("F1") + Wait(50) + KeyUp("F1") + Wait(50) +
                   "key b mousemove 300 300 click 1");
    CheckRecords(rig,
                 {{ActionKind::PushKey, 0x1E, 0, 'A', -1}, {ActionKind::ReleaseKey, 0x1E, 0, 'A', -1}});
    CHECK(rig.player.GetRunState() == RunState::Idle);
    CHECK_FALSE(IsIconic(rig.host));
    CHECK(testutil::Utf8(rig.debug.c_str()) == "push stop key\n");
    // While Idle the break key does nothing.
    ShowWindow(rig.host, SW_MINIMIZE);
    DRIVE(rig, "key F1");
    CHECK(IsIconic(rig.host));
    CHECK(testutil::Utf8(rig.debug.c_str()) == "push stop key\n");
}

TEST_CASE("the break key is asked for afresh on every key event") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    rig.breakKey = VK_ESCAPE;
    REQUIRE(rig.recorder.StartRecord() == 1);
    DRIVE(rig, "key F1");
    CHECK(rig.player.GetRunState() == RunState::Recording);
    rig.breakKey = VK_F1;
    DRIVE(rig, "key Escape sleep 0.05 key F1");
    CheckRecords(rig, {{ActionKind::PushKey, 0x3B, 0, VK_F1, -1},
                       {ActionKind::ReleaseKey, 0x3B, 0, VK_F1, -1},
                       {ActionKind::PushKey, 0x01, 0, VK_ESCAPE, -1},
                       {ActionKind::ReleaseKey, 0x01, 0, VK_ESCAPE, -1}});
    CHECK(rig.player.GetRunState() == RunState::Idle);
}

TEST_CASE("nothing is recorded while Idle, but a push made then is released into the recording") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    DRIVE(rig,
          "mousemove 300 300 click 1 sleep 0.02 key a mousemove 320 330 click 3 "
          "mousemove 350 350 mousedown 1");
    CHECK(rig.Driven().size() >= 9);
    CHECK(rig.list.count() == 0);
    CHECK(rig.rows.empty());
    CHECK(rig.debug.empty());
    CHECK(rig.recorder.LeftHeld());
    CHECK_FALSE(rig.recorder.RightHeld());

    REQUIRE(rig.recorder.StartRecord() == 1);
    DRIVE(rig, "sleep 0.1 mouseup 1 sleep 0.05 click 1");
    CheckRecords(rig, {{ActionKind::MouseLeftRelease, 350, 350, 0, -1},
                       {ActionKind::MouseLeftPush, 350, 350, 0, 50},
                       {ActionKind::MouseLeftRelease, 350, 350, 0, 0}});
    CHECK(rig.list.at(0)->interval >= 100);
    CHECK_FALSE(rig.recorder.LeftHeld());
}

TEST_CASE("a hotkey's keys are not recorded, also when they are up before its recording starts") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    const int32_t hotkey = ((kHotkeyShift | kHotkeyControl | kHotkeyAlt) << 8) | 'R';
    // Pushed while Idle; the releases were still queued when the hotkey's
    // message started the recording, and the keys are up by then.
    for (USHORT key : {USHORT{VK_CONTROL}, USHORT{VK_MENU}, USHORT{VK_SHIFT}, USHORT{'R'}}) {
        rig.recorder.OnKeyEvent(key, 0);
    }
    REQUIRE(rig.recorder.StartRecord() == 1);
    rig.recorder.IgnoreHeldKeys(hotkey);
    for (USHORT key : {USHORT{'R'}, USHORT{VK_SHIFT}, USHORT{VK_MENU}, USHORT{VK_CONTROL}}) {
        rig.recorder.OnKeyEvent(key, RI_KEY_BREAK);
    }
    CHECK(rig.list.count() == 0);
    // Once released, the same keys are recorded like any other; raw input's
    // placeholder key 255 never is.
    rig.recorder.OnKeyEvent(0xFF, 0);
    rig.recorder.OnKeyEvent(VK_SHIFT, 0);
    rig.recorder.OnKeyEvent(0xFF, RI_KEY_BREAK);
    rig.recorder.OnKeyEvent('R', 0);
    rig.recorder.OnKeyEvent('R', RI_KEY_BREAK);
    rig.recorder.OnKeyEvent(VK_SHIFT, RI_KEY_BREAK);
    // Right Ctrl is VK_CONTROL after the E0 prefix; Pause, after E1, sends
    // more than its one scan code and is kept without one.
    rig.recorder.OnKeyEvent(VK_CONTROL, RI_KEY_E0, 0x1D);
    rig.recorder.OnKeyEvent(VK_CONTROL, RI_KEY_E0 | RI_KEY_BREAK, 0x1D);
    rig.recorder.OnKeyEvent(VK_PAUSE, RI_KEY_E1, 0x1D);
    CheckRecords(rig, {{ActionKind::PushKey, 0, 0, VK_SHIFT, -1},
                       {ActionKind::PushKey, 0, 0, 'R', -1},
                       {ActionKind::ReleaseKey, 0, 0, 'R', -1},
                       {ActionKind::ReleaseKey, 0, 0, VK_SHIFT, -1},
                       {ActionKind::PushKey, kKeyExtended | 0x1D, 0, VK_CONTROL, -1},
                       {ActionKind::ReleaseKey, kKeyExtended | 0x1D, 0, VK_CONTROL, -1},
                       {ActionKind::PushKey, 0, 0, VK_PAUSE, -1}});
    REQUIRE(rig.recorder.StopRecord() == 1);
}

TEST_CASE("a key down when the recording starts records nothing, its repeats and release included, until pressed again") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    // As the Enter that answers the save question: down when Start Record
    // acts, released once it has.
    DRIVE(rig, KeyDown("Return") + Wait(50));
    REQUIRE(rig.recorder.StartRecord() == 1);
    DRIVE(rig, Wait(700) + KeyUp("Return") + Wait(50) + "key a " + Wait(50) + "key Return");
    CheckRecords(rig, {{ActionKind::PushKey, 0x1E, 0, 'A', -1},
                       {ActionKind::ReleaseKey, 0x1E, 0, 'A', -1},
                       {ActionKind::PushKey, 0x1C, 0, VK_RETURN, -1},
                       {ActionKind::ReleaseKey, 0x1C, 0, VK_RETURN, -1}});
    REQUIRE(rig.recorder.StopRecord() == 1);
}

TEST_CASE("a left push while the right button is held records the left push first") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    REQUIRE(rig.recorder.StartRecord() == 1);
    DRIVE(rig,
          "mousemove 400 400 mousedown 3 sleep 0.05 mousedown 1 sleep 0.05 mouseup 1 "
          "sleep 0.05 mouseup 3");
    // The left-down event carries no right-down bit, so it also releases the
    // right button; the real right-up then finds nothing held.
    CheckRecords(rig, {{ActionKind::MouseRightPush, 400, 400, 0, -1},
                       {ActionKind::MouseLeftPush, 400, 400, 0, 50},
                       {ActionKind::MouseRightRelease, 400, 400, 0, 0},
                       {ActionKind::MouseLeftRelease, 400, 400, 0, 50}});
}

TEST_CASE("Start Record and Stop Record act only in their states") {
    CRecorderRig rig;
    rig.list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 'Q', 5);
    rig.list.filePath.Assign(L"C:\\old.mou");
    rig.list.modified = 1;
    rig.list.ident = MachineIdent{{1, 2, 3, 4}};
    rig.list.screenshotFormat = ScreenshotFormat::PNG;

    CHECK(rig.recorder.StopRecord() == 0);
    for (RunState busy : {RunState::Playing, RunState::Recording}) {
        rig.player.SetRunState(busy);
        CHECK(rig.recorder.StartRecord() == 0);
        CHECK(rig.player.GetRunState() == busy);
        CHECK(rig.list.count() == 1);
        CHECK(rig.list.modified == 1);
        CHECK_FALSE(IsIconic(rig.host));
    }
    CHECK(rig.recorder.StopRecord() == 1);
    CHECK(rig.player.GetRunState() == RunState::Idle);

    REQUIRE(rig.recorder.StartRecord() == 1);
    CHECK(rig.player.GetRunState() == RunState::Recording);
    CHECK(rig.list.count() == 0);
    CHECK(rig.list.filePath.GetLength() == 0);
    CHECK(rig.list.modified == 0);
    MachineIdent here = CurrentMachineIdent();
    for (int i = 0; i < 4; ++i) CHECK(rig.list.ident.w[i] == here.w[i]);
    CHECK(rig.list.screenshotFormat == ScreenshotFormat::PNG);
    CHECK(IsIconic(rig.host));
    CHECK(rig.recorder.StopRecord() == 1);
    CHECK(rig.player.GetRunState() == RunState::Idle);
    CHECK(IsIconic(rig.host));

    // Raw input the system refuses: nothing could be recorded, so nothing
    // starts.
    ShowWindow(rig.host, SW_RESTORE);
    rig.list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 'Q', 5);
    CHECK(rig.recorder.InputReady());
    CHECK_FALSE(rig.recorder.RegisterInput([](PCRAWINPUTDEVICE, UINT, UINT) -> BOOL { return FALSE; }));
    CHECK_FALSE(rig.recorder.InputReady());
    CHECK(rig.recorder.StartRecord() == 0);
    CHECK(rig.player.GetRunState() == RunState::Idle);
    CHECK(rig.list.count() == 1);
    CHECK_FALSE(IsIconic(rig.host));
    CHECK(rig.recorder.RegisterInput());
}

TEST_CASE("raw input that cannot be read is dropped") {
    CRecorderRig rig;
    REQUIRE(rig.recorder.StartRecord() == 1);
    rig.recorder.OnRawInput(nullptr);
    rig.recorder.OnRawInput(reinterpret_cast<HRAWINPUT>(static_cast<uintptr_t>(0x7654321)));
    CHECK(rig.list.count() == 0);
}

namespace {

// dwExtraInfo of the input these tests inject, to tell it from X input.
const ULONG_PTR kInjected = 0x7A91;

INPUT KeyInput(WORD key, bool release) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = release ? KEYEVENTF_KEYUP : 0;
    input.ki.dwExtraInfo = kInjected;
    return input;
}

INPUT ButtonInput(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = kInjected;
    return input;
}

bool SeenInjectedKey(const CRecorderRig& rig, WORD key, bool release) {
    for (const xdo::RawEvent& e : rig.log.events) {
        if (e.extra == kInjected && e.IsKey(key, release)) return true;
    }
    return false;
}

}  // namespace

TEST_CASE(
    "while Playing, injected input is not recorded and the break key's injected release ends the "
    "run") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    // Placed with xdotool, which waits for its movement to arrive: a moved
    // pointer's raw event arriving late would count as a release.
    DRIVE(rig, "mousemove 500 500");
    rig.player.SetRunState(RunState::Playing);
    ShowWindow(rig.host, SW_MINIMIZE);

    INPUT first[] = {KeyInput('A', false), KeyInput('A', true), ButtonInput(MOUSEEVENTF_LEFTDOWN),
                     KeyInput(VK_F1, false)};
    REQUIRE(SendInput(4, first, sizeof(INPUT)) == 4);
    REQUIRE(xdo::PumpUntil([&] { return SeenInjectedKey(rig, VK_F1, false); }, 5000));
    CHECK(rig.player.GetRunState() == RunState::Playing);
    CHECK(rig.list.count() == 0);
    CHECK(rig.debug.empty());
    CHECK(rig.recorder.LeftHeld());

    INPUT second[] = {ButtonInput(MOUSEEVENTF_LEFTUP), KeyInput(VK_F1, true)};
    REQUIRE(SendInput(2, second, sizeof(INPUT)) == 2);
    REQUIRE(xdo::PumpUntil([&] { return SeenInjectedKey(rig, VK_F1, true); }, 5000));
    CHECK(rig.player.GetRunState() == RunState::Idle);
    CHECK_FALSE(IsIconic(rig.host));
    CHECK(testutil::Utf8(rig.debug.c_str()) == "push stop key\n");
    CHECK_FALSE(rig.recorder.LeftHeld());
    CHECK(rig.list.count() == 0);
}

TEST_CASE("a played release of the break key stops the player's run") {
    CRecorderRig rig;
    INFO(rig.setupError);
    REQUIRE(rig.ready);
    REQUIRE(rig.player.StartThread());
    DRIVE(rig, "mousemove 1500 900");
    ActionList played;
    played.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, VK_F1, 20);
    played.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, VK_F1, 20);
    // Never due if the release stops the run: it would click the target.
    played.append(ActionDevice::Mouse, ActionKind::MouseLeftClick, 300, 300, 0, 3000);
    ShowWindow(rig.host, SW_MINIMIZE);

    const DWORD start = GetTickCount();
    REQUIRE(rig.player.RequestPlay(played, 0));
    REQUIRE(xdo::PumpUntil([&] { return rig.playEnds > 0; }, 10000));
    // Ended before the click could have been due: a run that went on would
    // end only after it, 3 s in.
    const DWORD took = GetTickCount() - start;
    INFO("the run took " << took << " ms");
    CHECK(took < 3000);
    CHECK(rig.targetLeftDowns == 0);
    CHECK(rig.player.GetRunState() == RunState::Idle);
    CHECK(testutil::Utf8(rig.debug.c_str()) == "push stop key\n");
    CHECK_FALSE(IsIconic(rig.host));
    CHECK(rig.list.count() == 0);
}

TEST_CASE("the recorder's clock moves in 1 ms steps, also without messages") {
    // The tick count moves in 15.6 ms steps on Windows (16 ms under Wine
    // while a thread handles no messages), too coarse for recorded intervals.
    CPlayer player;
    ActionList list;
    CRecorder recorder(player, list);
    // Steps of more than 1 ms come from the thread losing the processor.
    uint32_t last = recorder.Now();
    int steps = 0, single = 0;
    const DWORD start = GetTickCount();
    while (steps < 50 && GetTickCount() - start < 2000) {
        uint32_t now = recorder.Now();
        if (now == last) continue;
        single += now - last == 1 ? 1 : 0;
        last = now;
        ++steps;
    }
    CHECK(steps == 50);
    CHECK(single >= 25);
}
