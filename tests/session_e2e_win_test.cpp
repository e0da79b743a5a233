// End-to-end tests of the ways a list can be lost or overwritten on the real
// program: Cancel in the unsaved-changes question on every path that asks
// it, a recording or a dialog that the list must not be replaced under, and
// the end of the user's session with its recovery copy.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "doctest.h"
#include "main_window_driver_win.h"

using drive::CMainWindow;

namespace {

const char* const kUpdateCaption[2] = {"Operation update", "操作の更新"};
const char* const kRecoveryCaption[2] = {"Recovered operation list", "操作リストの復元"};
const char* const kRecoveryText[2] = {
    "When Windows last ended your session (log-off, shutdown or restart), the operation list had changes that "
    "were not saved. Taplore kept a copy of it.\nDo you want to open the copy now?\n\n"
    "Either way the copy is deleted; save the list to keep it.",
    "前回 Windows のセッションが終了したとき（ログオフ、シャットダウン、再起動）、操作リストに保存していない変更が"
    "ありました。Taplore はその控えを残しました。\n控えを今開きますか？\n\n"
    "どちらを選んでも控えは削除されます。残すには操作リストを保存してください。"};

bool Enabled(CMainWindow& window, int id) { return IsWindowEnabled(GetDlgItem(window.Main(), id)) != 0; }

// Answers the message box with `caption` with the Escape key, as the user
// does: through the box's own dialog handling.
drive::MessageBoxView Escape(CMainWindow& window, const std::string& caption) {
    drive::MessageBoxView view;
    HWND box = window.WaitFor(caption);
    if (!box) return view;
    view = drive::ReadMessageBox(box);
    PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(box, WM_KEYUP, VK_ESCAPE, 0);
    gui::WaitFor([&] { return !IsWindow(box); });
    return view;
}

// Keys through the platform's input, as the keyboard gives them: all
// `keys` down in order, then up in reverse (KeysDown and KeysUp: one of
// the two).
void Keys(const std::vector<WORD>& keys, int passes = 2, int first = 0) {
    std::vector<INPUT> inputs;
    for (int pass = first; pass < passes; ++pass) {
        for (size_t i = 0; i < keys.size(); ++i) {
            const WORD vk = pass == 0 ? keys[i] : keys[keys.size() - 1 - i];
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = vk;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags = pass == 0 ? 0 : KEYEVENTF_KEYUP;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void KeysDown(const std::vector<WORD>& keys) { Keys(keys, 1); }
void KeysUp(const std::vector<WORD>& keys) { Keys(keys, 2, 1); }

bool Exists(const std::string& path) { return GetFileAttributesW(gui::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The session ends as Windows ends it: the question, then the end.
long EndSession(CMainWindow& window, LRESULT* query = nullptr) {
    const LRESULT allowed = drive::SendBounded(window.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    if (query) *query = allowed;
    drive::SendBounded(window.Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    return window.Run().WaitForExit();
}

}  // namespace

TEST_CASE("Cancel or Esc in the unsaved-changes question takes back the command that asked, on every path") {
    CMainWindow window;
    const MachineIdent here = CurrentMachineIdent();
    const std::string other = window.PathIn("other.mou");
    REQUIRE(gui::WriteFileAt(other, drive::OperationFile({drive::MouseRecord(0, 9, 9)}, &here)));
    REQUIRE(window.Start(0, "<recent_files><file>" + other + "</file></recent_files>\r\n"));
    REQUIRE(window.AddPoints({1, 2}));
    window.TypeFolder("C:\\kept");

    struct Path {
        const char* name;
        std::function<void()> command;
        const char* caption;
        bool escape;  // answered with Esc, else with the Cancel button
    } paths[] = {
        {"Start Record", [&] { window.Post(IDC_RECORD_START); }, "Operation record", true},
        {"New", [&] { window.Post(ID_FILE_NEW); }, kUpdateCaption[0], false},
        {"Open", [&] { window.Post(ID_FILE_OPEN); }, kUpdateCaption[0], true},
        {"Exit", [&] { window.Post(ID_APP_EXIT); }, kUpdateCaption[0], false},
        {"the Escape key of the window", [&] { window.Post(IDCANCEL); }, kUpdateCaption[0], true},
        {"closing the window", [&] { PostMessageW(window.Main(), WM_CLOSE, 0, 0); }, kUpdateCaption[0], false},
        {"a recent file", [&] { window.Post(ID_FILE_RECENT_FIRST); }, kUpdateCaption[0], true},
        {"a dropped file", [&] { window.Drop({other}); }, kUpdateCaption[0], false},
    };
    for (const Path& path : paths) {
        CAPTURE(path.name);
        path.command();
        const drive::MessageBoxView box =
            path.escape ? Escape(window, path.caption) : window.Answer(path.caption, IDCANCEL);
        REQUIRE(box.window != nullptr);
        CHECK(box.buttons == std::vector<int>{IDCANCEL, IDYES, IDNO});
        // Enter saves: it never drops the changes.
        CHECK(box.defaultId == IDYES);
        window.Sync();
        // The command did not go on: no file dialog, no recording, no end,
        // the list and its folder as they were.
        CHECK(gui::TopWindowCaptions(window.Pid()) == std::vector<std::string>{drive::kMainEnglish});
        CHECK_FALSE(window.Iconic());
        CHECK(Enabled(window, IDC_RECORD_START));
        CHECK(window.Points() == std::vector<std::string>{"(x=1, y=0)", "(x=2, y=0)"});
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\kept");
    }
    // Still changed: leaving asks once more.
    bool asked = false;
    CHECK(window.Exit(&asked) == 1);
    CHECK(asked);
}

TEST_CASE("while recording nothing changes or replaces the list, and no dialog writes into a list that replaced its own") {
    CMainWindow window;
    const MachineIdent here = CurrentMachineIdent();
    const std::string other = window.PathIn("other.mou");
    REQUIRE(gui::WriteFileAt(other, drive::OperationFile({drive::MouseRecord(0, 9, 9), drive::MouseRecord(0, 8, 8)},
                                                         &here)));
    REQUIRE(window.Start(0, "<recent_files><file>" + other + "</file></recent_files>\r\n"));
    REQUIRE(window.AddPoints({1}));

    // A Modify dialog is open when the record hotkey comes: no recording
    // starts under it, and its OK changes its own row.
    window.Select({0});
    window.Post(IDC_MODIFY);
    HWND edit = window.WaitFor(window.EditCaption());
    REQUIRE(edit != nullptr);
    Keys({VK_CONTROL, VK_MENU, VK_SHIFT, 'R'});
    drive::SetText(GetDlgItem(edit, IDC_EDIT_X), "3");
    drive::Press(edit, IDOK);
    REQUIRE(window.WaitGone(window.EditCaption()));
    window.Sync();
    CHECK(window.Points() == std::vector<std::string>{"(x=3, y=0)"});

    // A dialog opened on a list that a dropped file replaces meanwhile
    // leaves the new list alone.
    window.Select({0});
    window.Post(IDC_MODIFY);
    edit = window.WaitFor(window.EditCaption());
    REQUIRE(edit != nullptr);
    window.Drop({other});
    CHECK(window.Answer(kUpdateCaption[0], IDNO).window != nullptr);
    REQUIRE(window.WaitCount(2));
    drive::SetText(GetDlgItem(edit, IDC_EDIT_X), "4");
    drive::Press(edit, IDOK);
    REQUIRE(window.WaitGone(window.EditCaption()));
    window.Sync();
    CHECK(window.Points() == std::vector<std::string>{"(x=9, y=9)", "(x=8, y=8)"});

    // Recording: the list and its screenshot settings are out of reach.
    window.Post(IDC_RECORD_START);
    REQUIRE(gui::WaitFor([&] { return window.Iconic(); }));
    window.Sync();
    CHECK(window.Count() == 0);
    for (int id : {IDC_ADD, IDC_DELETE_ALL, IDC_SCREENSHOT_FOLDER, IDC_BROWSE_FOLDER, IDC_SCREENSHOT_FORMAT}) {
        CAPTURE(id);
        CHECK_FALSE(Enabled(window, id));
    }
    CHECK(Enabled(window, IDC_RECORD_STOP));
    // Commands that reach the window all the same change nothing and open
    // nothing.
    window.Post(IDC_ADD);
    window.Post(IDC_DELETE_ALL);
    window.Post(ID_FILE_NEW);
    window.Post(ID_FILE_OPEN);
    window.Post(ID_FILE_RECENT_FIRST);
    window.Drop({other});
    window.TypeFolder("C:\\other");
    window.ChooseFormat(3);
    window.Sync();
    CHECK(gui::TopWindowCaptions(window.Pid()) == std::vector<std::string>{drive::kMainEnglish});
    CHECK(window.Count() == 0);
    CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "");
    CHECK(window.FormatSelected() == 1);

    // The break key ends the recording; the buttons show it at once.
    Keys({VK_F1});
    REQUIRE(gui::WaitFor([&] { return !window.Iconic(); }));
    window.Sync();
    CHECK(Enabled(window, IDC_RECORD_START));
    CHECK_FALSE(Enabled(window, IDC_RECORD_STOP));
    CHECK(Enabled(window, IDC_ADD));

    // The same hotkey with no dialog open starts a recording: it came
    // through while the dialog was open, and was refused. Its keys go up
    // once the recording runs, as a hand lets go of them.
    KeysDown({VK_CONTROL, VK_MENU, VK_SHIFT, 'R'});
    CHECK(gui::WaitFor([&] { return window.Iconic(); }));
    KeysUp({VK_CONTROL, VK_MENU, VK_SHIFT, 'R'});
    Keys({VK_F1});
    CHECK(gui::WaitFor([&] { return !window.Iconic(); }));
    CHECK(window.Exit() == 1);
}

TEST_CASE("at the end of the session a changed list goes to a recovery copy, offered back once at the next start") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        const MachineIdent here = CurrentMachineIdent();
        const std::string own = window.PathIn("own.mou");
        REQUIRE(gui::WriteFileAt(own, drive::OperationFile({drive::MouseRecord(0, 7, 7)}, &here)));
        const std::string ownBytes = gui::ReadFileAt(own);
        const std::string recovery = window.PathIn("Taplore-recovery.mou");
        REQUIRE(window.Start(language));
        REQUIRE(window.Open(own));
        REQUIRE(window.WaitCount(1));
        REQUIRE(window.AddPoints({5}));

        LRESULT allowed = 0;
        CHECK(EndSession(window, &allowed) == 1);
        CHECK(allowed == TRUE);
        // Nothing was asked, the user's file is as it was, the copy is there.
        CHECK(gui::ReadFileAt(own) == ownBytes);
        REQUIRE(Exists(recovery));

        // Yes (the default) brings the rows back as a changed list without a
        // file; No lets them go. Either way the copy is gone.
        REQUIRE(window.Restart());
        const int answer = language == 0 ? IDYES : IDNO;
        const drive::MessageBoxView offer = window.Answer(kRecoveryCaption[language], answer);
        REQUIRE(offer.window != nullptr);
        CHECK(offer.text == kRecoveryText[language]);
        CHECK(offer.buttons == std::vector<int>{IDYES, IDNO});
        CHECK(offer.defaultId == IDYES);
        window.Sync();
        CHECK_FALSE(Exists(recovery));
        if (answer == IDYES) {
            CHECK(window.Points() == std::vector<std::string>{"(x=7, y=7)", "(x=5, y=0)"});
            CHECK(window.NewAsks());
        } else {
            CHECK(window.Count() == 0);
        }

        // An unchanged list leaves no copy, and the next start asks nothing.
        CHECK(EndSession(window) == 1);
        CHECK_FALSE(Exists(recovery));
        REQUIRE(window.Restart());
        window.Sync();
        CHECK_FALSE(window.Has(kRecoveryCaption[language]));
        CHECK(window.Exit() == 1);
    }
}

TEST_CASE("the end of the session ends a run once it has let go of its keys") {
    CMainWindow window;
    const MachineIdent here = CurrentMachineIdent();
    // F24 held down for a minute, until a release of F23.
    const std::string hold = window.PathIn("hold.mou");
    const ActionRecord push = {0, ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, VK_F24};
    const ActionRecord later = {60000, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, VK_F23};
    REQUIRE(gui::WriteFileAt(hold, drive::OperationFile({push, later}, &here)));
    REQUIRE(window.Start(0));
    REQUIRE(window.Open(hold));
    REQUIRE(window.WaitCount(2));
    window.Post(IDC_PLAY_START);
    REQUIRE(gui::WaitFor([] { return (GetAsyncKeyState(VK_F24) & 0x8000) != 0; }));
    // The question returns once the run has ended and let go of the key.
    CHECK(drive::SendBounded(window.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF) == TRUE);
    CHECK((GetAsyncKeyState(VK_F24) & 0x8000) == 0);
    CHECK(Enabled(window, IDC_PLAY_START));
    REQUIRE(gui::WaitFor([&] { return !window.Iconic(); }));
    CHECK(window.Exit() == 1);
}
