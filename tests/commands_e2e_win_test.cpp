// End-to-end tests of the main window's commands on the real program: the
// operation edit dialog for Add and Modify, Delete with its question, Delete
// all, Up and Down with the selection, the Repeat box, the screenshot folder
// and format, the settings dialog, Start Record, and Start Play with the
// commands that a running play refuses.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "doctest.h"
#include "main_window_driver_win.h"

using drive::CMainWindow;
using drive::EditValues;
using drive::Row;

namespace {

struct Question {
    const char* caption;
    const char* text;
};

const Question kDeleteQuestion[2] = {
    {"Delete oparation", "Do you want to remove the oparation from the list ?"},
    {"操作の削除", "操作リストから削除しますか？"},
};
const Question kRecordQuestion[2] = {
    {"Operation record", "The operation list has been cleared.\nSave operation list?"},
    {"操作の記録", "操作リストはクリアされています。\n操作リストを保存しますか？"},
};
const Question kUpdateQuestion[2] = {
    {"Operation update", "The operation list has changed.\nDo you want to save ?"},
    {"操作の更新", "操作リストが変更されています。\n保存しますか？"},
};

// The unsaved-changes questions can take their command back (Cancel) and
// default to Yes; the delete question is a plain Yes or No, No the default.
void CheckQuestion(const drive::MessageBoxView& box, const Question& expected) {
    REQUIRE(box.window != nullptr);
    CHECK(box.text == expected.text);
    const bool unsaved = &expected != &kDeleteQuestion[0] && &expected != &kDeleteQuestion[1];
    CHECK(box.buttons == (unsaved ? std::vector<int>{IDCANCEL, IDYES, IDNO} : std::vector<int>{IDYES, IDNO}));
    CHECK(box.defaultId == (unsaved ? IDYES : IDNO));
}

// A list whose one record waits a minute: playing it stays Playing until
// stopped. Its kind 99 would send nothing even if it fell due.
std::string MinuteLongList(CMainWindow& window) {
    const MachineIdent here = CurrentMachineIdent();
    ActionRecord record = drive::MouseRecord(60000, 7, 7, static_cast<ActionKind>(99));
    const std::string path = window.PathIn("minute.mou");
    gui::WriteFileAt(path, drive::OperationFile({record, drive::MouseRecord(0, 8, 8, static_cast<ActionKind>(99))},
                                                &here, "C:\\shots", 1));
    return path;
}

bool Enabled(CMainWindow& window, int id) { return IsWindowEnabled(GetDlgItem(window.Main(), id)) != 0; }

// Presses `key` with `modifier` (0 for none) held, as the keyboard does:
// through the platform's input into the foreground window.
void Press(WORD key, WORD modifier = 0) {
    INPUT inputs[4] = {};
    UINT n = 0;
    auto add = [&](WORD vk, DWORD flags) {
        inputs[n].type = INPUT_KEYBOARD;
        inputs[n].ki.wVk = vk;
        inputs[n].ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        inputs[n].ki.dwFlags = flags;
        ++n;
    };
    if (modifier) add(modifier, 0);
    add(key, 0);
    add(key, KEYEVENTF_KEYUP);
    if (modifier) add(modifier, KEYEVENTF_KEYUP);
    SendInput(n, inputs, sizeof(INPUT));
}

}  // namespace

TEST_CASE("Add through the edit dialog shows the records' texts; Modify by double click") {
    CMainWindow window;
    REQUIRE(window.Start(0));

    // OK without changes: the values of Add.
    REQUIRE(window.Add({}));
    CHECK(window.RowAt(0) == Row{"00:00:00.000", "00:00:00.000", "(x=0, y=0)", "", "Mouse left push"});

    window.Post(IDC_ADD);
    HWND dialog = window.WaitFor(drive::kEditEnglish);
    REQUIRE(dialog != nullptr);
    CHECK(GetWindow(dialog, GW_OWNER) == window.Main());
    REQUIRE(drive::ChooseComboData(dialog, IDC_EDIT_DEVICE, 1));
    REQUIRE(drive::ChooseComboData(dialog, IDC_EDIT_KIND, 10));
    REQUIRE(drive::ChooseComboData(dialog, IDC_EDIT_KEYNAME, VK_F5));
    CHECK(gui::ControlText(dialog, IDC_EDIT_KEYCODE) == "116");
    drive::SetText(GetDlgItem(dialog, IDC_EDIT_INTERVAL), "1500");
    drive::Press(dialog, IDOK);
    REQUIRE(window.WaitCount(2));
    CHECK(window.RowAt(1) == Row{"00:00:00.000", "00:00:01.500", "", "VK_F5", "Release key"});

    EditValues screenshot;
    screenshot.device = 2;
    screenshot.interval = "-1";
    REQUIRE(window.Add(screenshot));
    CHECK(window.RowAt(2) == Row{"00:00:01.500", "1193:02:47.295", "", "", "Screenshot"});

    EditValues mouse;
    mouse.kind = 8;
    mouse.x = "-20";
    mouse.y = "1080";
    mouse.interval = " 250";
    window.Select({1});
    REQUIRE(window.Add(mouse));
    CHECK(window.Selected() == std::vector<int>{1});  // a new last row changes no selection
    // 1500 + 4294967295 wraps to 1499.
    CHECK(window.RowAt(3) == Row{"00:00:01.499", "00:00:00.250", "(x=-20, y=1080)", "", "Mouse right double click"});

    SUBCASE("Cancel adds nothing") {
        window.Post(IDC_ADD);
        dialog = window.WaitFor(drive::kEditEnglish);
        REQUIRE(dialog != nullptr);
        drive::SetText(GetDlgItem(dialog, IDC_EDIT_INTERVAL), "99");
        drive::Press(dialog, IDCANCEL);
        REQUIRE(window.WaitGone(drive::kEditEnglish));
        window.Sync();
        CHECK(window.Count() == 4);
    }
    SUBCASE("a double click on a row edits that record; later time codes follow") {
        window.Select({0, 1});
        window.DoubleClickRow(2);
        dialog = window.WaitFor(drive::kEditEnglish);
        REQUIRE(dialog != nullptr);
        // The record's values, the interval 4294967295 as -1.
        CHECK(gui::ControlText(dialog, IDC_EDIT_INTERVAL) == "-1");
        CHECK(gui::ReadCombo(GetDlgItem(dialog, IDC_EDIT_DEVICE)).selected == 2);
        drive::SetText(GetDlgItem(dialog, IDC_EDIT_INTERVAL), "500");
        drive::Press(dialog, IDOK);
        REQUIRE(window.WaitGone(drive::kEditEnglish));
        CHECK(gui::WaitFor([&] { return window.Cell(2, 1) == "00:00:00.500"; }));
        CHECK(window.Cell(3, 0) == "00:00:02.000");
        CHECK(window.Selected() == std::vector<int>{2});
    }
    SUBCASE("Modify acts on the first of several selected rows; OK unchanged keeps 4294967295") {
        window.Select({2, 3});
        window.Post(IDC_MODIFY);
        dialog = window.WaitFor(drive::kEditEnglish);
        REQUIRE(dialog != nullptr);
        drive::Press(dialog, IDOK);
        REQUIRE(window.WaitGone(drive::kEditEnglish));
        window.Sync();
        CHECK(window.RowAt(2) == Row{"00:00:01.500", "1193:02:47.295", "", "", "Screenshot"});
        CHECK(window.Cell(3, 0) == "00:00:01.499");
        CHECK(window.Selected() == std::vector<int>{2});
    }
    SUBCASE("Modify without a selection opens nothing") {
        window.Select({});
        window.Post(IDC_MODIFY);
        window.Sync();
        CHECK_FALSE(window.Has(drive::kEditEnglish));
    }
}

TEST_CASE("Delete asks first; Up and Down move the first selected row; Delete all") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        REQUIRE(window.Start(language));
        REQUIRE(window.AddPoints({1, 2, 3, 4}));
        const std::string p1 = "(x=1, y=0)", p2 = "(x=2, y=0)", p3 = "(x=3, y=0)", p4 = "(x=4, y=0)";

        window.Select({1, 2, 3});
        window.Send(IDC_MOVE_DOWN);
        CHECK(window.Points() == std::vector<std::string>{p1, p3, p2, p4});
        CHECK(window.Selected() == std::vector<int>{2});
        window.Send(IDC_MOVE_UP);
        window.Send(IDC_MOVE_UP);
        CHECK(window.Points() == std::vector<std::string>{p2, p1, p3, p4});
        CHECK(window.Selected() == std::vector<int>{0});
        window.Send(IDC_MOVE_UP);  // the first row stays first
        CHECK(window.Points() == std::vector<std::string>{p2, p1, p3, p4});

        window.Select({1, 2});
        window.Post(IDC_DELETE);
        CheckQuestion(window.Answer(kDeleteQuestion[language].caption, IDNO), kDeleteQuestion[language]);
        window.Sync();
        CHECK(window.Count() == 4);

        window.Post(IDC_DELETE);
        window.Answer(kDeleteQuestion[language].caption, IDYES);
        REQUIRE(window.WaitCount(3));
        CHECK(window.Points() == std::vector<std::string>{p2, p3, p4});
        CHECK(window.Selected() == std::vector<int>{1});

        // Deleting the last row selects the new last row.
        window.Select({2});
        window.Post(IDC_DELETE);
        window.Answer(kDeleteQuestion[language].caption, IDYES);
        REQUIRE(window.WaitCount(2));
        CHECK(window.Selected() == std::vector<int>{1});

        window.Send(IDC_DELETE_ALL);
        CHECK(window.Count() == 0);
        // Nothing is selected, so Delete asks nothing.
        window.Post(IDC_DELETE);
        window.Sync();
        CHECK_FALSE(window.Has(kDeleteQuestion[language].caption));

        // The list changed: Exit asks once, in the window's language.
        window.Post(ID_APP_EXIT);
        CheckQuestion(window.Answer(kUpdateQuestion[language].caption, IDNO), kUpdateQuestion[language]);
        CHECK(window.Run().WaitForExit() == 1);
    }
}

TEST_CASE("moves that cannot happen, and settings that do not change, leave the list unmodified") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    const MachineIdent here = CurrentMachineIdent();
    const std::string two = window.PathIn("two.mou");
    REQUIRE(gui::WriteFileAt(two, drive::OperationFile({drive::MouseRecord(5, 1, 1), drive::MouseRecord(6, 2, 2)},
                                                       &here, "C:\\shots", 3)));
    const std::string one = window.PathIn("one.mou");
    REQUIRE(gui::WriteFileAt(one, drive::OperationFile({drive::MouseRecord(5, 1, 1)}, &here)));

    REQUIRE(window.Open(two));
    REQUIRE(window.WaitCount(2));
    CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\shots");
    CHECK(window.FormatSelected() == 3);

    window.Select({0});
    window.Send(IDC_MOVE_UP);
    window.Select({1});
    window.Send(IDC_MOVE_DOWN);
    window.ChooseFormat(3);          // the same format again
    window.TypeFolder("C:\\shots");  // the same folder again
    CHECK(window.Points() == std::vector<std::string>{"(x=1, y=1)", "(x=2, y=2)"});
    CHECK_FALSE(window.NewAsks());
    // New resets the screenshot settings of the window.
    CHECK(window.Text(IDC_SCREENSHOT_FOLDER).empty());
    CHECK(window.FormatSelected() == 1);

    REQUIRE(window.Open(one));
    REQUIRE(window.WaitCount(1));
    window.Select({0});
    window.Send(IDC_MOVE_UP);
    window.Send(IDC_MOVE_DOWN);
    CHECK_FALSE(window.NewAsks());

    SUBCASE("a new format is a change") {
        REQUIRE(window.Open(two));
        window.ChooseFormat(1);
        CHECK(window.NewAsks());
        window.ChooseFormat(3);
        CHECK(window.NewAsks());
    }
    SUBCASE("a new folder is a change, also an empty one") {
        REQUIRE(window.Open(two));
        window.TypeFolder("");
        CHECK(window.NewAsks());
        window.TypeFolder("D:\\elsewhere");
        CHECK(window.NewAsks());
    }
    SUBCASE("a real move is a change") {
        REQUIRE(window.Open(two));
        window.Select({0});
        window.Send(IDC_MOVE_DOWN);
        CHECK(window.NewAsks());
    }
}

TEST_CASE("the folder box keeps at most 519 characters; the folder browser fills it") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    const std::string saved = window.PathIn("saved.mou");
    std::string longFolder = "C:\\";
    while (longFolder.size() < 600) longFolder += "abcdefghij\\";
    window.TypeFolder(longFolder);
    window.Post(ID_FILE_SAVE_AS);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), saved));
    const std::string file = window.ReadAfterCommands(saved);
    CHECK(file.find("<path>" + longFolder.substr(0, 519) + "</path>") != std::string::npos);

    SUBCASE("a folder typed into the box that still has the focus is saved from the menu") {
        HWND box = GetDlgItem(window.Main(), IDC_SCREENSHOT_FOLDER);
        drive::SendBounded(window.Main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
        window.SetControlText(IDC_SCREENSHOT_FOLDER, "D:\\typed");
        window.Post(ID_FILE_SAVE);
        CHECK(window.ReadAfterCommands(saved).find("<path>D:\\typed</path>") != std::string::npos);
        window.SetControlText(IDC_SCREENSHOT_FOLDER, "D:\\typed again");
        bool asked = false;
        CHECK(window.Exit(&asked) == 1);
        CHECK(asked);
    }
    SUBCASE("a folder chosen in the browser goes into the box and the list") {
        window.Post(IDC_BROWSE_FOLDER);
        HWND browser = nullptr;
        REQUIRE(gui::WaitFor([&] {
            HWND found = nullptr;
            while ((found = FindWindowExW(nullptr, found, L"#32770", nullptr)) != nullptr) {
                DWORD pid = 0;
                GetWindowThreadProcessId(found, &pid);
                if (pid == window.Pid() && GetWindow(found, GW_OWNER) == window.Main()) browser = found;
            }
            return browser != nullptr;
        }));
        const std::wstring folder = gui::Wide(window.Folder());
        drive::CRemote remote(window.Run().Process(), (folder.size() + 1) * sizeof(wchar_t));
        REQUIRE(remote.Put(0, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t)));
        drive::SendBounded(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(remote.At(0)));
        drive::Press(browser, IDOK);
        REQUIRE(gui::WaitFor([&] { return !IsWindow(browser); }));
        CHECK(gui::WaitFor([&] {
            return _stricmp(window.Text(IDC_SCREENSHOT_FOLDER).c_str(), window.Folder().c_str()) == 0;
        }));
        const std::string chosen = window.Text(IDC_SCREENSHOT_FOLDER);
        window.Post(ID_FILE_SAVE);
        CHECK(window.ReadAfterCommands(saved).find("<path>" + chosen + "</path>") != std::string::npos);
    }
}

TEST_CASE("the Repeat box toggles; Setting stores the break key at once") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    HWND repeat = GetDlgItem(window.Main(), IDC_REPEAT);
    CHECK(drive::SendBounded(repeat, BM_GETCHECK, 0, 0) == BST_UNCHECKED);
    drive::SendBounded(repeat, BM_CLICK, 0, 0);
    window.Sync();
    CHECK(drive::SendBounded(repeat, BM_GETCHECK, 0, 0) == BST_CHECKED);
    drive::SendBounded(repeat, BM_CLICK, 0, 0);
    window.Sync();
    CHECK(drive::SendBounded(repeat, BM_GETCHECK, 0, 0) == BST_UNCHECKED);

    window.Post(ID_FILE_SETTING);
    HWND setting = window.WaitFor("Setting");
    REQUIRE(setting != nullptr);
    gui::ComboState keys = gui::ReadCombo(GetDlgItem(setting, IDC_BREAK_KEY));
    REQUIRE(keys.selected >= 0);
    CHECK(keys.data[keys.selected] == VK_F1);
    REQUIRE(drive::ChooseComboData(setting, IDC_BREAK_KEY, VK_ESCAPE));
    drive::Press(setting, IDOK);
    CHECK(window.ReadAfterCommands(window.Run().CurrentIni()).find("<break_key>27</break_key>") != std::string::npos);
    // Nothing in the list changed.
    bool asked = true;
    CHECK(window.Exit(&asked) == 1);
    CHECK_FALSE(asked);
}

TEST_CASE("Start Record asks about a modified list, empties it and keeps the screenshot settings") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        REQUIRE(window.Start(language));
        REQUIRE(window.AddPoints({1, 2}));
        window.TypeFolder("C:\\shots");
        window.ChooseFormat(3);

        window.Post(IDC_RECORD_START);
        CheckQuestion(window.Answer(kRecordQuestion[language].caption, IDNO), kRecordQuestion[language]);
        CHECK(gui::WaitFor([&] { return window.Iconic(); }));
        window.Sync();
        CHECK(window.Count() == 0);
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\shots");
        CHECK(window.FormatSelected() == 3);

        // While recording: neither a second start nor a play, and the folder
        // stays (so there is nothing to ask about).
        window.TypeFolder("C:\\other");
        window.Post(IDC_RECORD_START);
        window.Post(IDC_PLAY_START);
        window.Sync();
        CHECK_FALSE(window.Has(kRecordQuestion[language].caption));
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\shots");
        window.Send(IDC_RECORD_STOP);
        CHECK(window.Iconic());  // Stop Record does not restore the window
        ShowWindow(window.Main(), SW_RESTORE);
        window.TypeFolder("C:\\other");
        CHECK(window.NewAsks());  // the new folder
        CHECK_FALSE(window.NewAsks());
    }
}

TEST_CASE("Start Play: a list from another computer asks first; a running play refuses every edit") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        const bool japanese = language == 1;
        CMainWindow window;
        REQUIRE(window.Start(language));
        const std::string path = MinuteLongList(window);
        // The same list without a mark: from another computer.
        const std::string foreign = window.PathIn("foreign.mou");
        std::string text = gui::ReadFileAt(path);
        text.erase(text.find("<ident>"), text.find("</ident>\r\n") + 10 - text.find("<ident>"));
        REQUIRE(gui::WriteFileAt(foreign, text));

        window.Post(ID_FILE_OPEN);
        REQUIRE(window.CompleteFileDialog(window.OpenTitle(), foreign));
        drive::MessageBoxView warning = window.Answer(japanese ? "マウス操作ファイル" : "Mouse operation file", IDOK);
        REQUIRE(warning.window != nullptr);
        CHECK(warning.text == (japanese ? "このパソコンで保存したファイルではありません。\n不正な操作が含まれているかもしれません。"
                                        : "It is not a file saved on this computer.\nIt may contain illegal operations."));
        CHECK(warning.buttons == std::vector<int>{IDOK});
        REQUIRE(window.WaitCount(2));

        const char* playCaption = japanese ? "再生開始" : "Play start";
        window.SetControlText(IDC_PASS_COUNT, "idle");
        window.Post(IDC_PLAY_START);
        drive::MessageBoxView question = window.Answer(playCaption, IDNO);
        REQUIRE(question.window != nullptr);
        CHECK(question.text ==
              (japanese ? "このパソコンで保存したファイルではありません。\n不正な操作が含まれているかもしれません。\nそれでも実行しますか？"
                        : "It is not a file saved on this computer.\nIt may contain illegal operations.\nDo you still want to run it?"));
        CHECK(question.defaultId == IDNO);
        window.Sync();
        CHECK_FALSE(window.Iconic());
        CHECK(window.Text(IDC_PASS_COUNT) == "idle");

        window.Post(IDC_PLAY_START);
        window.Answer(playCaption, IDYES);
        REQUIRE(gui::WaitFor([&] { return window.Text(IDC_PASS_COUNT) == "1"; }));
        CHECK(gui::WaitFor([&] { return window.Iconic(); }));

        // Playing: every edit is refused, the screenshot controls go back
        // to what the run uses, and nothing asks or opens.
        window.Select({1});
        window.Send(IDC_MOVE_UP);
        window.Send(IDC_DELETE_ALL);
        window.ChooseFormat(3);
        window.TypeFolder("C:\\other");
        window.Post(IDC_ADD);
        window.Post(IDC_MODIFY);
        window.Post(IDC_DELETE);
        window.Post(ID_FILE_NEW);
        window.Post(ID_FILE_OPEN);
        window.Post(IDC_BROWSE_FOLDER);
        window.Post(IDC_PLAY_START);
        window.Post(IDC_RECORD_START);
        window.Sync();
        CHECK(gui::TopWindowCaptions(window.Pid()) ==
              std::vector<std::string>{japanese ? drive::kMainJapanese : drive::kMainEnglish});
        CHECK(window.Points() == std::vector<std::string>{"(x=7, y=7)", "(x=8, y=8)"});
        CHECK(window.FormatSelected() == 1);
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\shots");

        // Stop Play: the run ends and the window comes back; edits work again.
        window.Send(IDC_PLAY_STOP);
        CHECK(gui::WaitFor([&] { return !window.Iconic(); }));
        window.Select({1});
        window.Send(IDC_MOVE_UP);
        CHECK(window.Points() == std::vector<std::string>{"(x=8, y=8)", "(x=7, y=7)"});
    }
}

TEST_CASE("Start Play plays the passes the Repeat box asks for and restores the window") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    const MachineIdent here = CurrentMachineIdent();
    const std::string path = window.PathIn("nothing.mou");
    // Kind 99 sends nothing, so the run disturbs nobody.
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile({drive::MouseRecord(0, 1, 1, static_cast<ActionKind>(99)),
                                                         drive::MouseRecord(20, 2, 2, static_cast<ActionKind>(99))},
                                                        &here)));
    REQUIRE(window.Open(path));
    REQUIRE(window.WaitCount(2));
    drive::SendBounded(GetDlgItem(window.Main(), IDC_REPEAT), BM_CLICK, 0, 0);
    window.SetControlText(IDC_REPEAT_COUNT, " 3");
    window.Post(IDC_PLAY_START);
    // The run minimises the window and restores it at its end.
    REQUIRE(gui::WaitFor([&] { return window.Text(IDC_PASS_COUNT) == "3" && !window.Iconic(); }));
    // A list from this computer plays without a question.
    CHECK_FALSE(window.Has("Play start"));

    window.SetControlText(IDC_REPEAT_COUNT, "2x");
    window.Post(IDC_PLAY_START);
    REQUIRE(gui::WaitFor([&] { return window.Text(IDC_PASS_COUNT) == "1" && !window.Iconic(); }));

    // An endless run counts every pass. While it goes, what cannot act is
    // greyed; Stop Play can, and afterwards everything is as before.
    window.SetControlText(IDC_REPEAT_COUNT, "-1");
    window.Post(IDC_PLAY_START);
    REQUIRE(gui::WaitFor([&] { return std::atoi(window.Text(IDC_PASS_COUNT).c_str()) >= 4; }));
    for (int id : {IDC_PLAY_START, IDC_RECORD_START, IDC_ADD, IDC_DELETE_ALL, IDC_SCREENSHOT_FORMAT}) {
        CAPTURE(id);
        CHECK_FALSE(Enabled(window, id));
    }
    CHECK(Enabled(window, IDC_PLAY_STOP));
    window.Send(IDC_PLAY_STOP);
    REQUIRE(gui::WaitFor([&] { return !window.Iconic(); }));
    CHECK(gui::WaitFor([&] { return Enabled(window, IDC_PLAY_START) && Enabled(window, IDC_ADD); }));
    CHECK_FALSE(Enabled(window, IDC_PLAY_STOP));
}

TEST_CASE("buttons are enabled exactly when they can act; the keyboard reaches every command") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    HWND main = window.Main();
    // Boxes that only show something are no stops of the Tab key.
    CHECK((GetWindowLongW(GetDlgItem(main, IDC_PASS_COUNT), GWL_STYLE) & WS_TABSTOP) == 0);
    CHECK((GetWindowLongW(GetDlgItem(main, IDC_REPEAT_COUNT), GWL_STYLE) & WS_TABSTOP) != 0);

    struct Expect {
        int id;
        bool enabled;
    };
    auto check = [&](std::vector<Expect> expected) {
        for (const Expect& e : expected) {
            CAPTURE(e.id);
            CHECK(Enabled(window, e.id) == e.enabled);
        }
    };
    check({{IDC_RECORD_START, true}, {IDC_RECORD_STOP, false}, {IDC_PLAY_START, true}, {IDC_PLAY_STOP, false},
           {IDC_ADD, true}, {IDC_MODIFY, false}, {IDC_DELETE, false}, {IDC_DELETE_ALL, true},
           {IDC_MOVE_UP, false}, {IDC_MOVE_DOWN, false}, {IDC_SCREENSHOT_FOLDER, true}});
    REQUIRE(window.AddPoints({1, 2, 3}));
    window.Select({0});
    check({{IDC_MODIFY, true}, {IDC_DELETE, true}, {IDC_MOVE_UP, false}, {IDC_MOVE_DOWN, true}});
    window.Select({2});
    check({{IDC_MODIFY, true}, {IDC_MOVE_UP, true}, {IDC_MOVE_DOWN, false}});
    window.Select({1, 2});
    check({{IDC_MOVE_UP, true}, {IDC_MOVE_DOWN, true}});
    window.Select({});
    check({{IDC_MODIFY, false}, {IDC_DELETE, false}, {IDC_MOVE_UP, false}, {IDC_MOVE_DOWN, false}});

    // The keyboard, through the platform's input into the focused window.
    window.Select({1});
    SetForegroundWindow(main);
    drive::SendBounded(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window.View()), TRUE);
    REQUIRE(gui::WaitFor([&] { return GetForegroundWindow() == main; }));
    Press(VK_DELETE);
    CheckQuestion(window.Answer(kDeleteQuestion[0].caption, IDNO), kDeleteQuestion[0]);
    Press(VK_RETURN);
    HWND edit = window.WaitFor(window.EditCaption());
    REQUIRE(edit != nullptr);
    CHECK(gui::ControlText(edit, IDC_EDIT_X) == "2");
    drive::Press(edit, IDCANCEL);
    REQUIRE(window.WaitGone(window.EditCaption()));
    // Alt and the underlined letter press a button.
    Press('A', VK_MENU);
    edit = window.WaitFor(window.EditCaption());
    REQUIRE(edit != nullptr);
    drive::Press(edit, IDCANCEL);
    REQUIRE(window.WaitGone(window.EditCaption()));
    // Ctrl+S saves a list without a file through Save As, Ctrl+O first
    // offers to save, Ctrl+N empties the list after the same offer.
    Press('S', VK_CONTROL);
    CHECK(window.CompleteFileDialog(window.SaveTitle(), ""));
    Press('O', VK_CONTROL);
    CheckQuestion(window.Answer(kUpdateQuestion[0].caption, IDNO), kUpdateQuestion[0]);
    CHECK(window.CompleteFileDialog(window.OpenTitle(), ""));
    REQUIRE(window.AddPoints({4}));
    Press('N', VK_CONTROL);
    CheckQuestion(window.Answer(kUpdateQuestion[0].caption, IDNO), kUpdateQuestion[0]);
    CHECK(window.WaitCount(0));
}

TEST_CASE("the speed box: stored in the settings, typed or chosen, and a bad speed starts no run") {
    const char* warning[2] = {"The speed must be a number from 0.1 to 100 (at most two decimals), such as 2 or 0.5.",
                              "速度は 0.1 から 100 までの数（小数は2桁まで）で指定してください。例: 2、0.5"};
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        REQUIRE(window.Start(language, "<play_speed>50</play_speed>"));
        CHECK(window.Text(IDC_PLAY_SPEED) == "x0.5");
        CHECK(gui::ReadCombo(GetDlgItem(window.Main(), IDC_PLAY_SPEED)).data ==
              std::vector<LRESULT>{25, 50, 100, 200, 400, 1000});
        const MachineIdent here = CurrentMachineIdent();
        const std::string path = window.PathIn("slow.mou");
        // Three seconds of waiting at the recorded pace; kind 99 sends nothing.
        REQUIRE(gui::WriteFileAt(path, drive::OperationFile({drive::MouseRecord(0, 1, 1, static_cast<ActionKind>(99)),
                                                             drive::MouseRecord(3000, 2, 2, static_cast<ActionKind>(99))},
                                                            &here)));
        REQUIRE(window.Open(path));
        REQUIRE(window.WaitCount(2));

        // Chosen from the list: saved at once.
        REQUIRE(drive::ChooseComboData(window.Main(), IDC_PLAY_SPEED, 200));
        CHECK(window.ReadAfterCommands(window.Run().CurrentIni()).find("<play_speed>200</play_speed>") !=
              std::string::npos);

        // A typed value that is no speed: a warning, and no run.
        window.SetControlText(IDC_PASS_COUNT, "idle");
        window.SetControlText(IDC_PLAY_SPEED, "x200");
        window.Post(IDC_PLAY_START);
        drive::MessageBoxView box = window.Answer(language == 1 ? "再生開始" : "Play start", IDOK);
        REQUIRE(box.window != nullptr);
        CHECK(box.text == warning[language]);
        window.Sync();
        CHECK_FALSE(window.Iconic());
        CHECK(window.Text(IDC_PASS_COUNT) == "idle");

        // A typed x10 plays the three seconds in a tenth of the time and is
        // kept for the next start.
        window.SetControlText(IDC_PLAY_SPEED, " 10 ");
        const DWORD start = GetTickCount();
        window.Post(IDC_PLAY_START);
        REQUIRE(gui::WaitFor([&] { return window.Text(IDC_PASS_COUNT) == "1"; }));
        REQUIRE(gui::WaitFor([&] { return !window.Iconic(); }));
        const DWORD took = GetTickCount() - start;
        MESSAGE("3 s at x10 took " << took << " ms");
        // Not early at x10; and shorter than the three seconds that the
        // recorded pace cannot undercut, which only a stall of most of them
        // would reach.
        CHECK(took >= 280);
        CHECK(took < 3000);
        CHECK(window.ReadAfterCommands(window.Run().CurrentIni()).find("<play_speed>1000</play_speed>") !=
              std::string::npos);
        // The list keeps its recorded interval.
        CHECK(window.RowAt(1)[1] == "00:00:03.000");
    }
}
