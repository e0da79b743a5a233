// End-to-end tests of the file commands on the real program, through the
// platform's own file dialogs: Open with the provenance warning and with
// files it cannot read whole, Save and Save As with the extension rule,
// saves that fail (locked and read-only files), the unsaved-changes prompt
// around them, the screenshot folder check at Start Play, and a list of
// 100,000 operations.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/motion_recording.h"
#include "doctest.h"
#include "main_window_driver_win.h"

using drive::CMainWindow;
using drive::EditValues;
using drive::Row;

namespace {

const char* const kFileCaption[2] = {"Mouse operation file", "マウス操作ファイル"};

// The example list of the operation file's description, saved here.
std::string ExampleFile(const std::string& folder, int format) {
    const MachineIdent here = CurrentMachineIdent();
    std::vector<ActionRecord> records = {
        drive::MouseRecord(1200, 640, 360, ActionKind::MouseLeftPush),
        ActionRecord{350, ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65},
        ActionRecord{120, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65},
        drive::MouseRecord(80, 640, 360, ActionKind::MouseLeftRelease),
        ActionRecord{500, ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0},
    };
    return drive::OperationFile(records, &here, folder, format);
}

const Row kExampleRows[2][5] = {
    {
        {"00:00:00.000", "00:00:01.200", "(x=640, y=360)", "", "Mouse left push"},
        {"00:00:01.200", "00:00:00.080", "(x=640, y=360)", "", "Mouse left release"},
        {"00:00:01.280", "00:00:00.350", "", "A", "Push key"},
        {"00:00:01.630", "00:00:00.120", "", "A", "Release key"},
        {"00:00:01.750", "00:00:00.500", "", "", "Screenshot"},
    },
    {
        {"00:00:00.000", "00:00:01.200", "(x=640, y=360)", "", "マウスの左ボタンを押す"},
        {"00:00:01.200", "00:00:00.080", "(x=640, y=360)", "", "マウスの左ボタンを離す"},
        {"00:00:01.280", "00:00:00.350", "", "A", "キーを押す"},
        {"00:00:01.630", "00:00:00.120", "", "A", "キーを離す"},
        {"00:00:01.750", "00:00:00.500", "", "", "画面のスクリーンショット"},
    },
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_CASE("Open shows the file's records and screenshot settings; its dialog is the platform's") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        REQUIRE(window.Start(language));
        const std::string example = window.PathIn("example.mou");
        REQUIRE(gui::WriteFileAt(example, ExampleFile("C:\\Shots", 3)));

        window.Post(ID_FILE_OPEN);
        HWND dialog = window.WaitFor(window.OpenTitle());
        REQUIRE(dialog != nullptr);
        CHECK(GetWindow(dialog, GW_OWNER) == window.Main());
        gui::ComboState types = gui::ReadCombo(GetDlgItem(dialog, cmb1));
        CHECK(types.items == (language == 1
                                  ? std::vector<std::string>{"マウス操作ファイル(*.mou)", "全てのファイル(*.*)"}
                                  : std::vector<std::string>{"Mouse operation files(*.mou)", "All files(*.*)"}));
        CHECK(types.selected == 0);
        CHECK_FALSE(IsWindowVisible(GetDlgItem(dialog, chx1)));  // no read-only box
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        REQUIRE(gui::WaitFor([&] { return !IsWindow(dialog); }));

        REQUIRE(window.Open(example));
        REQUIRE(window.WaitCount(5));
        CHECK_FALSE(window.Has(kFileCaption[language]));  // saved here: no warning
        for (int row = 0; row < 5; ++row) {
            CAPTURE(row);
            CHECK(window.RowAt(row) == kExampleRows[language][row]);
        }
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER) == "C:\\Shots");
        CHECK(window.FormatSelected() == 3);
        CHECK(window.Selected().empty());

        // A format no item has leaves the box as New left it.
        const std::string seven = window.PathIn("seven.mou");
        std::string text = ExampleFile("", 7);
        REQUIRE(gui::WriteFileAt(seven, text));
        REQUIRE(window.Open(seven));
        REQUIRE(window.WaitCount(5));
        CHECK(window.FormatSelected() == 1);
        CHECK(window.Text(IDC_SCREENSHOT_FOLDER).empty());

        bool asked = true;
        CHECK(window.Exit(&asked) == 1);
        CHECK_FALSE(asked);
    }
}

TEST_CASE("Open asks first, reports a file it cannot read whole, and never saves a partial list over it unasked") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    REQUIRE(window.AddPoints({1}));
    window.TypeFolder("C:\\shots");

    // The unsaved-changes question comes before the file dialog; cancelling
    // the dialog leaves the list as New does.
    window.Post(ID_FILE_OPEN);
    REQUIRE(window.Answer("Operation update", IDNO).window != nullptr);
    REQUIRE(window.CompleteFileDialog(window.OpenTitle(), ""));
    window.Sync();
    CHECK(window.Count() == 0);
    CHECK(window.Text(IDC_SCREENSHOT_FOLDER).empty());

    // Files that give nothing: reported, naming the file, and the list in the
    // window stays as it was (here one unsaved row).
    REQUIRE(window.AddPoints({7}));
    const std::string example = ExampleFile("C:\\Shots", 3);
    const std::string locked = window.PathIn("locked.mou");
    REQUIRE(gui::WriteFileAt(locked, example));
    HANDLE lock = CreateFileW(gui::Wide(locked).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    REQUIRE(lock != INVALID_HANDLE_VALUE);
    const std::string garbage = window.PathIn("garbage.mou");
    REQUIRE(gui::WriteFileAt(garbage, "this is no XML"));
    const std::string settings = window.PathIn("settings.mou");
    REQUIRE(gui::WriteFileAt(settings, drive::Settings(1)));
    const struct {
        const std::string* path;
        const char* why;
    } nothing[] = {
        {&locked, "\ncould not be read. It may be open in another program."},
        {&garbage, "\nis not an operation file. Reading stopped at byte 0."},
        {&settings, "\nis not an operation file."},
    };
    for (const auto& file : nothing) {
        CAPTURE(*file.path);
        window.Post(ID_FILE_OPEN);
        REQUIRE(window.Answer("Operation update", IDNO).window != nullptr);
        REQUIRE(window.CompleteFileDialog(window.OpenTitle(), *file.path));
        drive::MessageBoxView report = window.Answer(kFileCaption[0], IDOK);
        REQUIRE(report.window != nullptr);
        CHECK(report.text == *file.path + file.why + "\n\nNo operation was read, and the list was not changed.");
        CHECK(report.buttons == std::vector<int>{IDOK});
        window.Sync();
        CHECK(window.Points() == std::vector<std::string>{"(x=7, y=0)"});
    }
    // The list still has no file: Save asks for a name.
    window.Post(ID_FILE_SAVE);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
    CloseHandle(lock);
    CHECK(gui::ReadFileAt(locked) == example);

    // A file cut short inside a record: the whole records before it are
    // shown and counted, the cut one is no row, and Save asks for a name
    // rather than writing over the file.
    const std::string cut = window.PathIn("cut.mou");
    const std::string cutText = example.substr(0, example.find("<type>9"));
    REQUIRE(gui::WriteFileAt(cut, cutText));
    window.Post(ID_FILE_OPEN);
    REQUIRE(window.Answer("Operation update", IDNO).window != nullptr);
    REQUIRE(window.CompleteFileDialog(window.OpenTitle(), cut));
    drive::MessageBoxView report = window.Answer(kFileCaption[0], IDOK);
    REQUIRE(report.window != nullptr);
    CHECK(report.text == cut + "\nis damaged: reading stopped at byte " + std::to_string(cutText.size()) +
                             ".\n\nOnly the first 2 operations were read. Save will ask for a file name, so that the "
                             "file is not overwritten by this list.");
    REQUIRE(window.WaitCount(2));
    REQUIRE(window.AddPoints({9}));
    window.Post(ID_FILE_SAVE);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
    CHECK(gui::ReadFileAt(cut) == cutText);
    // Saved under a name the user chose, the list is whole again there.
    window.Post(ID_FILE_SAVE_AS);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), cut));
    CHECK(Contains(window.ReadAfterCommands(cut), "<x>9</x>"));
    REQUIRE(window.AddPoints({10}));
    window.Post(ID_FILE_SAVE);
    CHECK(Contains(window.ReadAfterCommands(cut), "<x>10</x>"));
    CHECK_FALSE(window.Has(window.SaveTitle()));
    bool asked = true;
    CHECK(window.Exit(&asked) == 1);
    CHECK_FALSE(asked);
}

TEST_CASE("Save As adds the extension mou and replaces files without asking; Save writes to the list's file") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    REQUIRE(window.AddPoints({1}));

    // Without a file, Save is Save As.
    window.Post(ID_FILE_SAVE);
    HWND dialog = window.WaitFor(window.SaveTitle());
    REQUIRE(dialog != nullptr);
    gui::ComboState types = gui::ReadCombo(GetDlgItem(dialog, cmb1));
    CHECK(types.items == std::vector<std::string>{"Mouse operation files(*.mou)", "All files(*.*)"});
    CHECK(types.selected == 0);
    CHECK_FALSE(IsWindowVisible(GetDlgItem(dialog, chx1)));
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), window.PathIn("list.txt")));
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("list.txt.mou")), "<x>1</x>"));
    CHECK_FALSE(gui::FileExistsAt(window.PathIn("list.txt")));
    // A name outside the system's code page keeps its characters.
    window.Post(ID_FILE_SAVE_AS);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), window.PathIn("一覧.txt")));
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("一覧.txt.mou")), "<x>1</x>"));

    window.Post(ID_FILE_SAVE_AS);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), window.PathIn("list.MOU")));
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("list.MOU")), "<x>1</x>"));
    CHECK_FALSE(gui::FileExistsAt(window.PathIn("list.MOU.mou")));

    // An existing file is replaced without a question.
    REQUIRE(window.AddPoints({2}));
    window.Post(ID_FILE_SAVE_AS);
    REQUIRE(window.CompleteFileDialog(window.SaveTitle(), window.PathIn("list.MOU")));
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("list.MOU")), "<x>2</x>"));
    window.Sync();
    CHECK(gui::TopWindowCaptions(window.Pid()) == std::vector<std::string>{drive::kMainEnglish});

    // Save goes to the file the list was last saved to, without a dialog.
    REQUIRE(window.AddPoints({3}));
    window.Post(ID_FILE_SAVE);
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("list.MOU")), "<x>3</x>"));
    CHECK_FALSE(window.Has(window.SaveTitle()));

    // Delete all keeps the file: Save writes the empty list there.
    window.Send(IDC_DELETE_ALL);
    window.Post(ID_FILE_SAVE);
    CHECK(Contains(window.ReadAfterCommands(window.PathIn("list.MOU")), "<action/>"));

    bool asked = true;
    CHECK(window.Exit(&asked) == 1);
    CHECK_FALSE(asked);
}

TEST_CASE("closing with unsaved changes asks once; Yes without a file opens Save As, and cancelling it keeps the window") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        REQUIRE(window.Start(language));
        REQUIRE(window.AddPoints({1}));
        const char* caption = language == 1 ? "操作の更新" : "Operation update";
        PostMessageW(window.Main(), WM_CLOSE, 0, 0);
        REQUIRE(window.Answer(caption, IDYES).window != nullptr);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
        window.Sync();
        CHECK(window.Run().WaitForExit(10) == -1);
        CHECK(window.Points() == std::vector<std::string>{"(x=1, y=0)"});
        // No lets the changes go.
        PostMessageW(window.Main(), WM_CLOSE, 0, 0);
        REQUIRE(window.Answer(caption, IDNO).window != nullptr);
        CHECK(window.Run().WaitForExit() == 1);
    }
}

TEST_CASE("a save that cannot be written is reported and the list stays modified") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    REQUIRE(window.AddPoints({1}));

    SUBCASE("Save As onto a file that another program holds open") {
        const std::string target = window.PathIn("locked.mou");
        REQUIRE(gui::WriteFileAt(target, "old"));
        HANDLE lock = CreateFileW(gui::Wide(target).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(lock != INVALID_HANDLE_VALUE);
        window.Post(ID_FILE_SAVE_AS);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), target));
        drive::MessageBoxView warning = window.Answer(kFileCaption[0], IDOK);
        REQUIRE(warning.window != nullptr);
        CHECK(warning.text == "The operation list could not be saved to\n" + target);
        CHECK(warning.buttons == std::vector<int>{IDOK});

        // When the save the unsaved-changes question asked for fails, and no
        // other name is chosen, New, Open and Start Record do not go on.
        const struct {
            int command;
            const char* caption;
        } askers[] = {{ID_FILE_NEW, "Operation update"}, {ID_FILE_OPEN, "Operation update"},
                      {IDC_RECORD_START, "Operation record"}};
        for (const auto& asker : askers) {
            CAPTURE(asker.command);
            window.Post(asker.command);
            REQUIRE(window.Answer(asker.caption, IDYES).window != nullptr);
            REQUIRE(window.Answer(kFileCaption[0], IDOK).window != nullptr);
            REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
            window.Sync();
            CHECK_FALSE(window.Has(window.OpenTitle()));
            CHECK_FALSE(window.Iconic());
            CHECK(window.Points() == std::vector<std::string>{"(x=1, y=0)"});
        }
        // Closing the window neither: it stays with its list.
        PostMessageW(window.Main(), WM_CLOSE, 0, 0);
        REQUIRE(window.Answer("Operation update", IDYES).window != nullptr);
        REQUIRE(window.Answer(kFileCaption[0], IDOK).window != nullptr);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
        window.Sync();
        CHECK(window.Run().WaitForExit(10) == -1);
        CHECK(window.Count() == 1);

        // The exit question still guards the list; Yes tries the same file
        // again, reports it, and offers Save As.
        window.Post(ID_APP_EXIT);
        REQUIRE(window.Answer("Operation update", IDYES).window != nullptr);
        REQUIRE(window.Answer(kFileCaption[0], IDOK).window != nullptr);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), window.PathIn("rescued.mou")));
        CHECK(window.Run().WaitForExit() == 1);
        CHECK(Contains(gui::ReadFileAt(window.PathIn("rescued.mou")), "<x>1</x>"));
        CloseHandle(lock);
        CHECK(gui::ReadFileAt(target) == "old");
    }
    SUBCASE("Save onto a read-only file") {
        const std::string target = window.PathIn("readonly.mou");
        REQUIRE(gui::WriteFileAt(target, "old"));
        REQUIRE(SetFileAttributesW(gui::Wide(target).c_str(), FILE_ATTRIBUTE_READONLY));
        window.Post(ID_FILE_SAVE_AS);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), target));
        drive::MessageBoxView warning = window.Answer(kFileCaption[0], IDOK);
        REQUIRE(warning.window != nullptr);
        CHECK(warning.text == "The operation list could not be saved to\n" + target);
        window.Sync();
        CHECK(gui::ReadFileAt(target) == "old");
        CHECK((GetFileAttributesW(gui::Wide(target).c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
        bool asked = false;
        CHECK(window.Exit(&asked) == 1);
        CHECK(asked);
    }
    SUBCASE("Save into a folder that has gone") {
        const std::string folder = window.PathIn("gone");
        REQUIRE(CreateDirectoryW(gui::Wide(folder).c_str(), nullptr));
        const std::string target = testutil::Join(folder, "list.mou");
        window.Post(ID_FILE_SAVE_AS);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), target));
        window.Sync();
        REQUIRE(gui::FileExistsAt(target));
        REQUIRE(DeleteFileW(gui::Wide(target).c_str()));
        REQUIRE(RemoveDirectoryW(gui::Wide(folder).c_str()));

        REQUIRE(window.AddPoints({2}));
        window.Post(ID_FILE_SAVE);
        drive::MessageBoxView warning = window.Answer(kFileCaption[0], IDOK);
        REQUIRE(warning.window != nullptr);
        CHECK(warning.text == "The operation list could not be saved to\n" + target);
        // Then Save As, as for a list without a file; cancelled here.
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), ""));
        bool asked = false;
        CHECK(window.Exit(&asked) == 1);
        CHECK(asked);
    }
}

TEST_CASE("Start Play of a list with screenshots warns when their folder cannot take them") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    EditValues shot;
    shot.device = 2;
    REQUIRE(window.Add(shot));
    const std::string missing = window.PathIn("no such folder");
    window.TypeFolder(missing);

    window.SetControlText(IDC_PASS_COUNT, "idle");
    window.Post(IDC_PLAY_START);
    drive::MessageBoxView warning = window.Answer("Play start", IDNO);
    REQUIRE(warning.window != nullptr);
    CHECK(warning.text == "Screenshots cannot be saved to the folder\n" + missing +
                              "\nIt does not exist or cannot be written.\nDo you still want to play?");
    CHECK(warning.defaultId == IDNO);
    window.Sync();
    CHECK_FALSE(window.Iconic());
    CHECK(window.Text(IDC_PASS_COUNT) == "idle");

    // The user may still play; the run then says that its picture is lost.
    window.Post(IDC_PLAY_START);
    REQUIRE(window.Answer("Play start", IDYES).window != nullptr);
    drive::MessageBoxView lost = window.Answer("Screenshots not saved", IDOK);
    REQUIRE(lost.window != nullptr);
    CHECK(lost.text.find("Screenshots of this run could not be saved to the folder\n" + missing + "\n") == 0);
    REQUIRE(gui::WaitFor([&] { return window.Text(IDC_PASS_COUNT) == "1" && !window.Iconic(); }));

    // A folder that takes files: no question, and the screenshot is saved.
    window.TypeFolder(window.Folder());
    window.Post(IDC_PLAY_START);
    REQUIRE(gui::WaitFor([&] {
        for (const std::string& name : testutil::ListFolder(window.Folder())) {
            if (name.rfind("SCREENSHOT_", 0) == 0) return true;
        }
        return false;
    }));
    CHECK_FALSE(window.Has("Play start"));
    REQUIRE(gui::WaitFor([&] { return !window.Iconic(); }));
    window.Sync();
    CHECK_FALSE(window.Has("Screenshots not saved"));
}

TEST_CASE("a list of 100,000 operations opens, scrolls and edits at once") {
    const int n = 100000;
    CMainWindow window;
    REQUIRE(window.Start(0));
    const MachineIdent here = CurrentMachineIdent();
    std::vector<ActionRecord> records;
    std::vector<uint32_t> timeCodes(n + 1, 0);
    for (int i = 0; i < n; ++i) {
        records.push_back(drive::MouseRecord(static_cast<uint32_t>(i % 997) * 13, i, i % 1080));
        timeCodes[i + 1] = timeCodes[i] + records[i].interval;
    }
    auto duration = [](uint32_t ms) {
        wchar_t text[kDurationCapacity];
        FormatDuration(ms, text);
        return testutil::Utf8(text);
    };
    const std::string path = window.PathIn("large.mou");
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile(records, &here)));

    window.Post(ID_FILE_OPEN);
    HWND dialog = window.WaitFor(window.OpenTitle());
    REQUIRE(dialog != nullptr);
    drive::SetText(GetDlgItem(dialog, cmb13), path);
    const ULONGLONG opened = GetTickCount64();
    drive::Press(dialog, IDOK);
    REQUIRE(gui::WaitFor([&] { return window.Count() == n; }, 60000));
    CHECK(window.Cell(n - 1, 0) == duration(timeCodes[n - 1]));
    const ULONGLONG openMs = GetTickCount64() - opened;
    MESSAGE("open of 100,000 operations: " << openMs << " ms");

    // Jumps all over the list: every row shows its own texts at once.
    HWND view = window.View();
    const ULONGLONG scrolled = GetTickCount64();
    int checked = 0;
    for (int step = 0; step < 200; ++step) {
        const int row = static_cast<int>((static_cast<int64_t>(step) * 7919 * 13) % n);
        drive::SendBounded(view, LVM_ENSUREVISIBLE, row, FALSE);
        if (step % 2) {
            drive::SendBounded(view, WM_VSCROLL, SB_PAGEDOWN, 0);
        } else {
            drive::SendBounded(view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-3 * WHEEL_DELTA)), 0);
        }
        const int top = static_cast<int>(drive::SendBounded(view, LVM_GETTOPINDEX, 0, 0));
        if (top >= 0 && top < n && window.Cell(top, 0) == duration(timeCodes[top]) &&
            window.Cell(top, 2) == "(x=" + std::to_string(top) + ", y=" + std::to_string(top % 1080) + ")") {
            ++checked;
        }
    }
    CHECK(checked == 200);
    MESSAGE("200 jumps with scrolling and reads: " << GetTickCount64() - scrolled << " ms");

    drive::SendBounded(view, LVM_ENSUREVISIBLE, n / 2 + 30, FALSE);
    drive::SendBounded(view, LVM_ENSUREVISIBLE, n / 2, FALSE);
    const LRESULT top = drive::SendBounded(view, LVM_GETTOPINDEX, 0, 0);
    window.Select({n / 2});
    window.Post(IDC_DELETE);
    HWND question = window.WaitFor("Delete oparation");
    REQUIRE(question != nullptr);
    const ULONGLONG deleted = GetTickCount64();
    drive::Press(question, IDYES);
    REQUIRE(window.WaitCount(n - 1));
    window.Sync();
    MESSAGE("Delete in the middle: " << GetTickCount64() - deleted << " ms (with the test's checks)");
    CHECK(window.Selected() == std::vector<int>{n / 2});
    CHECK(drive::SendBounded(view, LVM_GETTOPINDEX, 0, 0) == top);  // the view did not jump
    CHECK(window.Cell(n / 2, 2) == "(x=" + std::to_string(n / 2 + 1) + ", y=" + std::to_string((n / 2 + 1) % 1080) + ")");
    CHECK(window.Cell(n / 2, 0) == duration(timeCodes[n / 2]));
    CHECK(window.Cell(n / 2 + 1, 0) == duration(timeCodes[n / 2] + records[n / 2 + 1].interval));

    window.Select({n - 2});
    const ULONGLONG moved = GetTickCount64();
    window.Send(IDC_MOVE_UP);
    MESSAGE("Up on the last row: " << GetTickCount64() - moved << " ms");
    CHECK(window.Selected() == std::vector<int>{n - 3});
    CHECK(window.Cell(n - 3, 2) == "(x=" + std::to_string(n - 1) + ", y=" + std::to_string((n - 1) % 1080) + ")");
    // Above the new last row: every record but the deleted one and itself.
    CHECK(window.Cell(n - 2, 0) == duration(timeCodes[n] - records[n / 2].interval - records[n - 2].interval));
}

// Run by ./bench.sh window, which prints the last three lines as its result.
TEST_CASE("bench: open, Delete and Up on a list of 1,000,000 operations" * doctest::skip()) {
    const int n = 1000000;
    CMainWindow window;
    REQUIRE(window.Start(0));
    const MachineIdent here = CurrentMachineIdent();
    std::vector<ActionRecord> records;
    records.reserve(n);
    for (int i = 0; i < n; ++i) records.push_back(drive::MouseRecord(static_cast<uint32_t>(i % 997) * 13, i, i % 1080));
    const std::string path = window.PathIn("million.mou");
    REQUIRE(gui::WriteFileAt(path, drive::OperationFile(records, &here)));
    HWND view = window.View();
    auto poll = [](auto condition) { return drive::PollLong(condition); };

    const double openMs = window.OpenTimed(path, n, [](int row) {
        return "(x=" + std::to_string(row) + ", y=" + std::to_string(row) + ")";
    });
    REQUIRE(openMs >= 0);

    drive::SendBounded(view, LVM_ENSUREVISIBLE, n / 2, FALSE);
    window.Select({n / 2});
    window.Post(IDC_DELETE);
    HWND question = window.WaitFor("Delete oparation");
    REQUIRE(question != nullptr);
    double start = drive::NowMs();
    drive::Press(question, IDYES);
    REQUIRE(poll([&] { return window.Count() == n - 1; }));
    // Handled once the window thread is back in its loop: the rest of the
    // command and the painting of the rows come first.
    UpdateWindow(view);
    const double deleteMs = drive::NowMs() - start;
    CHECK(window.Selected() == std::vector<int>{n / 2});

    window.Select({n - 2});
    start = drive::NowMs();
    window.Send(IDC_MOVE_UP);
    UpdateWindow(view);
    const double upMs = drive::NowMs() - start;
    CHECK(window.Selected() == std::vector<int>{n - 3});

    std::printf("open_1M_ms: %.0f\ndelete_1M_ms: %.1f\nup_1M_ms: %.1f\n", openMs, deleteMs, upMs);
    std::fflush(stdout);
}

// Run by ./bench.sh motion: an hour of motion recorded at 1 ms, saved by
// this list's writer, opened in the window, then saved again with Save As,
// timed from the dialog's OK until the window answers again.
TEST_CASE("bench: open and save an hour of motion, 3,600,000 operations" * doctest::skip()) {
    const int n = 3600000;
    CMainWindow window;
    REQUIRE(window.Start(0));
    ActionList list;
    GenerateMotion(&list, n);
    REQUIRE(list.count() == n);
    const std::string path = window.PathIn("hour.mou");
    REQUIRE(list.save(gui::Wide(path).c_str()) == 1);
    const std::string written = gui::ReadFileAt(path);

    // The program's memory, as the platform counts it, around the open.
    PROCESS_MEMORY_COUNTERS before = {};
    before.cb = sizeof before;
    const bool counted = K32GetProcessMemoryInfo(window.Run().Process(), &before, sizeof before) != 0;
    const double openMs = window.OpenTimed(path, n, [&](int row) {
        return "(x=" + std::to_string(list.at(row)->x) + ", y=" + std::to_string(list.at(row)->y) + ")";
    });
    REQUIRE(openMs >= 0);
    PROCESS_MEMORY_COUNTERS after = {};
    after.cb = sizeof after;
    if (counted && K32GetProcessMemoryInfo(window.Run().Process(), &after, sizeof after)) {
        const double file = static_cast<double>(written.size());
        std::printf("wine_working_set_peak_vs_file: %.2f\n",
                    static_cast<double>(after.PeakWorkingSetSize - before.WorkingSetSize) / file);
    }

    const std::string copy = window.PathIn("hour copy.mou");
    window.Post(ID_FILE_SAVE_AS);
    HWND dialog = window.WaitFor(window.SaveTitle());
    REQUIRE(dialog != nullptr);
    HWND name = GetDlgItem(dialog, cmb13);
    if (!name) name = GetDlgItem(dialog, edt1);
    REQUIRE(name != nullptr);
    drive::SetText(name, copy);
    const double start = drive::NowMs();
    drive::Press(dialog, IDOK);
    REQUIRE(drive::PollLong([&] { return !IsWindow(dialog); }));
    window.Sync();
    const double saveMs = drive::NowMs() - start;
    // The same list from the same computer: the same bytes.
    CHECK(gui::ReadFileAt(copy) == written);

    std::printf("file_3600k_mib: %.1f\nopen_3600k_ms: %.0f\nsave_3600k_ms: %.0f\n", written.size() / 1048576.0,
                openMs, saveMs);
    std::fflush(stdout);
}

TEST_CASE("the File menu's recent files: opened and saved files first, kept over a restart, a lost one taken off") {
    const char* lostText[2] = {"The file is no longer there and has been taken off the list:\n",
                               "ファイルが見つからないため、一覧から外しました。\n"};
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CMainWindow window;
        // Files a .. e hold 1 .. 5 rows, so the row count tells which is open.
        const MachineIdent here = CurrentMachineIdent();
        std::vector<std::string> paths;
        for (int k = 0; k < 5; ++k) {
            std::vector<ActionRecord> records;
            for (int r = 0; r <= k; ++r) records.push_back(drive::MouseRecord(10, r, r));
            paths.push_back(window.PathIn(std::string(1, static_cast<char>('a' + k)) + " list.mou"));
            REQUIRE(gui::WriteFileAt(paths.back(), drive::OperationFile(records, &here)));
        }
        std::string stored = "<recent_files>";
        for (int k = 0; k < 4; ++k) stored += "<file>" + paths[k] + "</file>";
        REQUIRE(window.Start(language, stored + "</recent_files>\r\n"));
        const std::string ini = window.Run().CurrentIni();
        auto recent = [&](std::vector<int> order) {
            std::string want = "<recent_files>";
            for (int k : order) want += "<file>" + paths[k] + "</file>\r\n";
            return Contains(window.ReadAfterCommands(ini), want + "</recent_files>");
        };

        // The third entry opens c and moves it to the top.
        window.Post(ID_FILE_RECENT_FIRST + 2);
        REQUIRE(window.WaitCount(3));
        CHECK(recent({2, 0, 1, 3}));
        // Open puts e first; d, the fifth, falls off.
        REQUIRE(window.Open(paths[4]));
        REQUIRE(window.WaitCount(5));
        CHECK(recent({4, 2, 0, 1}));
        // Save As of the list under a's name: a comes first again.
        window.Post(ID_FILE_SAVE_AS);
        REQUIRE(window.CompleteFileDialog(window.SaveTitle(), paths[0]));
        CHECK(recent({0, 4, 2, 1}));

        // b is gone: choosing it tells so, takes it off and opens nothing.
        REQUIRE(DeleteFileW(gui::Wide(paths[1]).c_str()));
        window.Post(ID_FILE_RECENT_FIRST + 3);
        drive::MessageBoxView box = window.Answer(kFileCaption[language], IDOK);
        REQUIRE(box.window != nullptr);
        CHECK(box.text == lostText[language] + paths[1]);
        CHECK(recent({0, 4, 2}));
        CHECK(window.Count() == 5);

        // After a restart the list is the same, and its second entry opens e.
        CHECK(window.Exit() == 1);
        REQUIRE(window.Restart());
        window.Post(ID_FILE_RECENT_FIRST + 1);
        REQUIRE(window.WaitCount(5));
        CHECK(recent({4, 0, 2}));
    }
}

TEST_CASE("a .mou dropped on the window opens as Open would, after the unsaved-changes question; others are ignored") {
    CMainWindow window;
    REQUIRE(window.Start(0));
    const MachineIdent here = CurrentMachineIdent();
    const std::string dropped = window.PathIn("dropped.MOU");
    REQUIRE(gui::WriteFileAt(dropped, drive::OperationFile({drive::MouseRecord(0, 9, 9), drive::MouseRecord(5, 8, 8)},
                                                           &here)));
    const std::string text = window.PathIn("notes.txt");
    REQUIRE(gui::WriteFileAt(text, "not a list"));
    REQUIRE(window.AddPoints({1}));

    // Only other files: nothing happens, not even the question.
    window.Drop({text});
    window.Sync();
    CHECK_FALSE(window.Has("Operation update"));
    CHECK(window.Points() == std::vector<std::string>{"(x=1, y=0)"});

    // The list file among them opens, once the question is answered.
    window.Drop({text, dropped});
    CHECK(window.Answer("Operation update", IDNO).window != nullptr);
    REQUIRE(window.WaitCount(2));
    CHECK(window.Points() == std::vector<std::string>{"(x=9, y=9)", "(x=8, y=8)"});
    CHECK(Contains(window.ReadAfterCommands(window.Run().CurrentIni()), "<file>" + dropped + "</file>"));
}
