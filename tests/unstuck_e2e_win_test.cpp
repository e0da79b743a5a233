// The program never gets stuck, with real X input: a recording or a run is
// ended by the break key whatever the focused program does with the key;
// closing the window while recording ends the recording before its prompt,
// and so does the end of the session, which keeps what was recorded;
// a window restored while one of its dialogs is open brings that dialog to
// the front with the keyboard, so the user can always answer it; and the
// window that comes back at a run's end takes no key of the run.
#include <windows.h>

#include <string>
#include <vector>

#include "doctest.h"
#include "support/loop_session_win.h"

using loop::CSession;
using loop::KeyDown;
using loop::KeyUp;
using loop::MoveTo;
using loop::Wait;

namespace {

const char kUpdateCaption[] = "Operation update";
const char kAboutCaption[] = "Automatic mouse operation tool";

// Starts a recording through the window and waits until it is minimised.
void StartRecording(CSession& s) {
    s.window.Post(IDC_RECORD_START);
    REQUIRE(gui::WaitFor([&] { return s.window.Iconic(); }));
}

// The visible top-level window with `caption` of a process other than
// `notOf`, or null.
HWND OtherProcessWindow(const char* caption, DWORD notOf) {
    struct Search {
        std::wstring caption;
        DWORD notOf;
        HWND found;
    } search = {gui::Wide(caption), notOf, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            Search* s = reinterpret_cast<Search*>(p);
            wchar_t text[128] = {};
            GetWindowTextW(w, text, 128);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (IsWindowVisible(w) && s->caption == text && pid != s->notOf) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

TEST_CASE("the break key ends a recording and a run without reaching the program in front, which would open its help") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    s.target.log()->helpOnKey = VK_F1;
    StartRecording(s);

    size_t from = 0;
    const LONG mark = s.target.count();
    REQUIRE(s.watch.Drive(Wait(50) + MoveTo({300, 300}) + "click 1 ", &from, &s.error));
    // Bounded: were the push to reach the target, its help viewer would come
    // up, and raw input would reach no background window meanwhile.
    std::string lost;
    s.watch.Drive(Wait(50) + KeyDown("F1") + Wait(150) + KeyUp("F1") + Wait(50), &from, &lost, 3000);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    const auto noHelp = [&] {
        HWND help = OtherProcessWindow("ERROR", s.window.Pid());
        if (help) PostMessageW(help, WM_COMMAND, IDNO, 0);
        return help == nullptr;
    };
    CHECK(noHelp());
    REQUIRE(s.DriveToMarker(Wait(50) + "key y ", &from));
    std::string problems;
    std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    INFO("recorded:\n" << loop::Describe(recorded));
    CHECK(problems == "");
    std::vector<ActionRecord> made;
    for (const ActionRecord& r : recorded) {
        if (r.keyCode != xdo::kSentinelKey) made.push_back(r);
    }
    REQUIRE(made.size() == 2);
    CHECK(made[0].kind == ActionKind::MouseLeftPush);
    CHECK(made[1].kind == ActionKind::MouseLeftRelease);

    // A run into the target: its first click, then the break key while the
    // run waits for the second.
    const MachineIdent here = CurrentMachineIdent();
    const std::string path = s.window.PathIn("two.mou");
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile({drive::MouseRecord(100, 300, 300, ActionKind::MouseLeftClick),
                                                         drive::MouseRecord(60000, 300, 300, ActionKind::MouseLeftClick)},
                                                        &here)));
    CHECK(s.window.NewAsks());
    REQUIRE(s.window.Open(path));
    REQUIRE(s.window.WaitCount(2));
    s.window.Post(IDC_PLAY_START);
    REQUIRE(gui::WaitFor([&] {
        for (const target::Event& e : loop::TargetEvents(s.target, mark)) {
            if (e.message == WM_LBUTTONUP) return true;
        }
        return false;
    }));
    s.watch.Drive(Wait(50) + KeyDown("F1") + Wait(150) + KeyUp("F1") + Wait(50), &from, &lost, 3000);
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    CHECK(noHelp());
    REQUIRE(s.DriveToMarker(Wait(50) + "key y ", &from));

    // The target never had the break key, neither its push nor its release,
    // and so opened no help.
    const std::vector<target::Event> received = loop::TargetEvents(s.target, mark, {xdo::kSentinelKey});
    INFO("the target received:\n" << loop::Describe(received));
    for (const target::Event& e : received) CHECK_FALSE((target::IsKeyMessage(e.message) && e.wParam == VK_F1));
}

TEST_CASE("closing the minimised window while recording: the recording ends, the prompt is in front and answers keys") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    StartRecording(s);
    size_t from = 0;
    REQUIRE(s.watch.Drive(Wait(50) + MoveTo({300, 300}) + "click 1 ", &from, &s.error));

    // Close from the taskbar, as the window is minimised.
    PostMessageW(s.window.Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND prompt = s.window.WaitFor(kUpdateCaption);
    REQUIRE(prompt != nullptr);
    CHECK_FALSE(s.window.Iconic());
    // The break key finds nothing to end and leaves the prompt in front.
    std::string lost;
    s.watch.Drive(loop::Tap("F1", 40), &from, &lost, 3000);
    CHECK(gui::WaitFor([&] { return GetForegroundWindow() == prompt; }));
    CHECK_FALSE(IsWindowEnabled(s.window.Main()));
    // The keyboard reaches the prompt: Return takes its default, Yes; the
    // recorded list has no file, so Save As asks for one, where the
    // recording is kept.
    s.watch.Drive("key Return ", &from, &lost, 3000);
    const std::string kept = s.window.PathIn("kept.mou");
    CHECK(s.window.CompleteFileDialog(s.window.SaveTitle(), kept));
    CHECK(s.window.Run().WaitForExit() == 1);
    CHECK(gui::ReadFileAt(kept).find("<action>") != std::string::npos);
}

TEST_CASE("the session ends while recording: the recording ends, and its rows come back at the next start") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    StartRecording(s);
    size_t from = 0;
    REQUIRE(s.watch.Drive(Wait(50) + MoveTo({300, 300}) + "click 1 ", &from, &s.error));
    REQUIRE(gui::WaitFor([&] { return s.window.Count() >= 1; }));
    // Windows asks, then ends the session: nothing is asked back.
    CHECK(drive::SendBounded(s.window.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == TRUE);
    CHECK(IsWindowEnabled(GetDlgItem(s.window.Main(), IDC_RECORD_START)));
    CHECK_FALSE(IsWindowEnabled(GetDlgItem(s.window.Main(), IDC_RECORD_STOP)));
    std::string problems;
    const std::vector<ActionRecord> recorded = loop::ReadRecords(s.window, &problems);
    CHECK(problems == "");
    REQUIRE_FALSE(recorded.empty());
    CHECK(loop::Operation(recorded[0]) == "Mouse left push (300,300)");
    drive::SendBounded(s.window.Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    CHECK(s.window.Run().WaitForExit() == 1);

    REQUIRE(s.window.Restart());
    REQUIRE(s.window.Answer("Recovered operation list", IDYES).window != nullptr);
    REQUIRE(s.window.WaitCount(static_cast<int>(recorded.size())));
    CHECK(loop::Describe(loop::ReadRecords(s.window, &problems)) == loop::Describe(recorded));
    bool asked = false;
    CHECK(s.window.Exit(&asked) == 1);
    CHECK(asked);
}

TEST_CASE("a dialog open while the window is minimised comes to the front when a run ends or the break key stops it") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    const MachineIdent here = CurrentMachineIdent();
    const std::string path = s.window.PathIn("quiet.mou");
    // Kind 99 sends nothing, so the runs disturb nobody.
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile({drive::MouseRecord(300, 1, 1, static_cast<ActionKind>(99)),
                                                         drive::MouseRecord(300, 2, 2, static_cast<ActionKind>(99))},
                                                        &here)));
    REQUIRE(s.window.Open(path));
    REQUIRE(s.window.WaitCount(2));

    for (const char* repeat : {"2", "-1"}) {
        CAPTURE(repeat);
        REQUIRE(s.SetRepeat(repeat));
        s.window.Post(IDC_PLAY_START);
        REQUIRE(gui::WaitFor([&] { return s.window.Iconic(); }));
        s.window.Post(ID_APP_ABOUT);
        HWND about = nullptr;
        REQUIRE(gui::WaitFor([&] { return (about = drive::FindOwnWindow(s.window.Pid(), kAboutCaption)) != nullptr; }));
        if (repeat[0] == '-') {
            // The endless run goes on until the break key.
            std::string lost;
            size_t from = 0;
            s.watch.Drive(loop::Tap("F1", 40), &from, &lost, 3000);
        }
        REQUIRE(gui::WaitFor([&] { return !s.window.Iconic(); }, 10000));
        CHECK(gui::WaitFor([&] { return GetForegroundWindow() == about; }));
        CHECK(IsWindowVisible(about));
        // The keyboard reaches the dialog: Escape closes it.
        size_t from = 0;
        std::string lost;
        s.watch.Drive("key Escape ", &from, &lost, 3000);
        CHECK(gui::WaitFor([&] { return !IsWindow(about); }));
        CHECK(IsWindowEnabled(s.window.Main()));
    }
}

TEST_CASE("the window comes back at a run's end only after the run's last keys have reached the target") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    // a, b, Enter, pushed and released 5 ms apart, as typed: the last come
    // right before the run ends and the window restores itself.
    const MachineIdent here = CurrentMachineIdent();
    std::vector<ActionRecord> typed;
    for (int key : {int('A'), int('B'), VK_RETURN}) {
        typed.push_back({typed.empty() ? 1500u : 5u, ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, key});
        typed.push_back({5u, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, key});
    }
    const std::string path = s.window.PathIn("typed.mou");
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile(typed, &here)));
    REQUIRE(s.window.Open(path));
    REQUIRE(s.window.WaitCount(6));
    for (int run = 0; run < 5; ++run) {
        CAPTURE(run);
        const LONG mark = s.target.count();
        s.window.Post(IDC_PLAY_START);
        REQUIRE(gui::WaitFor([&] { return s.window.Iconic(); }));
        // A dialog open meanwhile takes the keyboard when the window comes
        // back: Enter of the run would close it.
        s.window.Post(ID_APP_ABOUT);
        HWND about = nullptr;
        REQUIRE(gui::WaitFor([&] { return (about = drive::FindOwnWindow(s.window.Pid(), kAboutCaption)) != nullptr; }));
        // The target takes the keyboard before the first key comes, and keeps
        // it once the window has handled what it had queued (the dialog's
        // own activation may still be among it).
        REQUIRE(gui::WaitFor([&] {
            SetForegroundWindow(s.target.window());
            s.window.Sync();
            return GetForegroundWindow() == s.target.window();
        }));
        REQUIRE(s.watch.Pump([&] { return !s.window.Iconic(); }, 20000));
        std::vector<target::Event> keys;
        s.watch.Pump(
            [&] {
                keys.clear();
                for (const target::Event& e : loop::TargetEvents(s.target, mark)) {
                    if (target::IsKeyMessage(e.message)) keys.push_back(e);
                }
                return keys.size() >= typed.size();
            },
            5000);
        INFO("keys the target received:\n" << loop::Describe(keys));
        CHECK(keys.size() == typed.size());
        for (size_t i = 0; i < typed.size() && i < keys.size(); ++i) CHECK(loop::Matches(keys[i], typed[i]));
        CHECK(IsWindow(about));
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
        REQUIRE(gui::WaitFor([&] { return !IsWindow(about); }));
    }
}
