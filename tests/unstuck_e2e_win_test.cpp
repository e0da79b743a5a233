// The program never gets stuck, with real X input: a recording or a run is
// ended by the break key whatever the focused program does with the key;
// closing the window while recording ends the recording before its prompt;
// and a window restored while one of its dialogs is open brings that dialog
// to the front with the keyboard, so the user can always answer it.
#include <windows.h>

#include <string>

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

TEST_CASE("the break key ends a recording while the focused program opens its help on that key") {
    CSession s;
    INFO(s.error);
    REQUIRE(s.Start());
    REQUIRE(s.StartTarget());
    s.target.log()->helpOnKey = VK_F1;
    StartRecording(s);

    size_t from = 0;
    REQUIRE(s.watch.Drive(Wait(50) + MoveTo({300, 300}) + "click 1 ", &from, &s.error));
    // The push starts the help viewer, and while it comes up raw input
    // reaches no background window: the release a user makes a moment
    // later is lost there, and so is the sentinel of this request, which
    // is therefore not waited for.
    std::string lost;
    s.watch.Drive(Wait(50) + KeyDown("F1") + Wait(150) + KeyUp("F1"), &from, &lost, 1000);
    HWND help = nullptr;
    REQUIRE(gui::WaitFor([&] { return (help = OtherProcessWindow("ERROR", s.window.Pid())) != nullptr; }));
    CHECK(gui::WaitFor([&] { return !s.window.Iconic(); }));
    // Answering the box ends the help viewer; its answer is not recorded.
    PostMessageW(help, WM_COMMAND, IDNO, 0);
    CHECK(gui::WaitFor([&] { return !IsWindow(help); }));
    REQUIRE(s.DriveToMarker(Wait(50) + "key y ", &from));
    // The click, and the sentinel keys of the requests that came through.
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
    // The keyboard reaches the prompt: Return takes its default, No, and
    // the program ends without saving.
    s.watch.Drive("key Return ", &from, &lost, 3000);
    CHECK(s.window.Run().WaitForExit() == 1);
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
