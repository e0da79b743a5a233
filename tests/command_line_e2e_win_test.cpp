// The command line of the real program: a file named on it opens in the main
// window; /play plays a file without the main window and tells how it went
// by its exit code; /quiet shows nothing at all; /? shows the usage.
#include <windows.h>

#include <string>
#include <vector>

#include "doctest.h"
#include "main_window_driver_win.h"
#include "support/player_target.h"

namespace {

ActionRecord Key(uint32_t interval, ActionKind kind, int32_t code) {
    return ActionRecord{interval, ActionDevice::Keyboard, kind, 0, 0, code};
}

// A private copy of the program started with `arguments` (paths quoted by
// the caller); the settings choose the language.
struct CommandRun {
    gui::CProgramRun run;
    std::string Path(const std::string& name) const { return testutil::Join(gui::ParentOf(run.CurrentIni()), name); }
    std::string Write(const std::string& name, const std::vector<ActionRecord>& records, bool here = true) {
        const MachineIdent ident = CurrentMachineIdent();
        const std::string path = Path(name);
        gui::WriteFileAt(path, drive::OperationFile(records, here ? &ident : nullptr));
        return path;
    }
    bool Start(int language, const std::string& arguments) {
        return run.Copied() && gui::WriteFileAt(run.CurrentIni(), drive::Settings(language)) &&
               run.Start({}, arguments);
    }
    // The message box with `caption`: what it says, after pressing `id`.
    drive::MessageBoxView Answer(const std::string& caption, int id) {
        drive::MessageBoxView view;
        HWND box = gui::WaitForTopWindow(run.Pid(), caption);
        if (!box) return view;
        view = drive::ReadMessageBox(box);
        drive::Press(box, id);
        return view;
    }
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Moves the program's current folder, as its file dialogs do, by running
// SetCurrentDirectoryW on a thread of its own.
bool MoveCurrentFolder(HANDLE process, const std::string& folder) {
    const std::wstring wide = gui::Wide(folder);
    const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    if (!remote || !WriteProcessMemory(process, remote, wide.c_str(), bytes, nullptr)) return false;
    const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetCurrentDirectoryW")));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, remote, 0, nullptr);
    if (!thread) return false;
    DWORD moved = 0;
    const bool ended = WaitForSingleObject(thread, gui::kWaitMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &moved);
    CloseHandle(thread);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return ended && moved != 0;
}

// Whether the target logged `message` of `key` from `from` on.
bool TargetGot(const target::Process& t, LONG from, UINT message, UINT key) {
    for (LONG i = from; i < t.count(); ++i) {
        if (t.log()->events[i].message == message && t.log()->events[i].wParam == key) return true;
    }
    return false;
}

// The names in `folder` that start with SCREENSHOT_.
int ScreenshotFiles(const std::string& folder) {
    int files = 0;
    for (const std::string& name : testutil::ListFolder(folder)) files += name.rfind("SCREENSHOT_", 0) == 0;
    return files;
}

}  // namespace

TEST_CASE("/play plays into the target without a window and ends with 0; stopped by the break key, 1") {
    target::Process target;
    REQUIRE(target.Start(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    CommandRun c;
    const std::string clicks = c.Write("clicks.mou", {drive::MouseRecord(0, 100, 120, ActionKind::MouseLeftClick),
                                                      drive::MouseRecord(200, 300, 320, ActionKind::MouseLeftClick)});
    REQUIRE(c.Start(0, "/play " + Quoted(clicks) + " /repeat 3 /speed x2 /quiet"));
    CHECK(c.run.WaitForExit(20000) == 0);
    std::vector<POINT> downs;
    CHECK(gui::WaitFor([&] {
        downs.clear();
        for (LONG i = 0; i < target.count(); ++i) {
            const target::Event& e = target.log()->events[i];
            if (e.message == WM_LBUTTONDOWN) downs.push_back({e.clientX, e.clientY});
        }
        return downs.size() >= 6;
    }));
    REQUIRE(downs.size() == 6);
    for (size_t i = 0; i < downs.size(); ++i) {
        CHECK(downs[i].x == (i % 2 ? 300 : 100));
        CHECK(downs[i].y == (i % 2 ? 320 : 120));
    }

    // The list's own release of the break key stops the run as the key does;
    // the key after it would come half a minute later. As in the window, the
    // break key is taken from the program in front, which gets none of it.
    CommandRun stopped;
    const std::string breaking = stopped.Write(
        "break.mou", {Key(0, ActionKind::ReleaseKey, VK_F1), Key(30000, ActionKind::ReleaseKey, VK_F24)});
    const LONG mark = target.count();
    REQUIRE(stopped.Start(0, "/play " + Quoted(breaking)));
    CHECK(stopped.run.WaitForExit(15000) == 1);
    CHECK_FALSE(TargetGot(target, mark, WM_KEYUP, VK_F1));
}

TEST_CASE("/play ends with 2 and says why: a file it cannot read, a wrong argument, a question answered No") {
    struct Texts {
        const char* unread;
        const char* badSpeed;
        const char* unknown;
        const char* usageStart;
        const char* playStart;
    };
    const Texts texts[2] = {
        {"The operation file could not be read:\n", "Not a speed from 0.1 to 100 for /speed: fast",
         "Unknown switch: /plya", "Taplore.exe [FILE.mou]\n", "Play start"},
        {"操作ファイルを読み込めませんでした。\n", "/speed の速度が正しくありません（0.1 から 100）: fast",
         "不明なスイッチです: /plya", "Taplore.exe [ファイル.mou]\n", "再生開始"},
    };
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        const Texts& t = texts[language];
        {
            CommandRun c;
            const std::string missing = c.Path("missing.mou");
            REQUIRE(c.Start(language, "/play " + Quoted(missing)));
            drive::MessageBoxView box = c.Answer("Taplore", IDOK);
            CHECK(box.text == t.unread + missing);
            CHECK(c.run.WaitForExit() == 2);
        }
        const std::pair<std::string, const char*> wrong[] = {
            {"/play x.mou /speed fast", t.badSpeed},
            {"/plya x.mou", t.unknown},
        };
        for (const auto& w : wrong) {
            CAPTURE(w.first);
            CommandRun c;
            REQUIRE(c.Start(language, w.first));
            CHECK(c.Answer("Taplore", IDOK).text == w.second);
            CHECK(c.run.WaitForExit() == 2);
        }
        {
            CommandRun c;
            REQUIRE(c.Start(language, "/?"));
            drive::MessageBoxView box = c.Answer("Taplore", IDOK);
            CHECK(box.text.rfind(t.usageStart, 0) == 0);
            CHECK(c.run.WaitForExit() == 0);
        }
        // A list from another computer asks first, as Start Play does; No
        // plays nothing. Kind 99 sends nothing when it does play.
        const std::vector<ActionRecord> silent = {drive::MouseRecord(0, 1, 1, static_cast<ActionKind>(99)),
                                                  drive::MouseRecord(20, 2, 2, static_cast<ActionKind>(99))};
        for (int answer : {IDNO, IDYES}) {
            CommandRun c;
            const std::string foreign = c.Write("foreign.mou", silent, false);
            REQUIRE(c.Start(language, "/play " + Quoted(foreign)));
            drive::MessageBoxView box = c.Answer(t.playStart, answer);
            REQUIRE(box.window != nullptr);
            CHECK(box.defaultId == IDNO);
            CHECK(c.run.WaitForExit() == (answer == IDYES ? 0 : 2));
        }
    }
    // /quiet: no window and no message whatever happens, the code alone
    // tells; /yes plays a foreign list without the question.
    const std::vector<ActionRecord> silent = {drive::MouseRecord(0, 1, 1, static_cast<ActionKind>(99))};
    struct Quiet {
        std::string arguments;
        long code;
    } quiet[] = {
        {"/play missing.mou /quiet", 2},
        {"/bogus /quiet", 2},
        {"/play /quiet", 2},
        {"/play foreign.mou /quiet", 2},
        {"/play foreign.mou /yes /quiet", 0},
        {"/play foreign.mou /yes /repeat 2", 0},
        {"/play here.mou /quiet /speed 100 /repeat 0", 0},
        // A list that would play: a wrong switch or number anywhere starts nothing.
        {"/quiet /play here.mou /repeat 2x", 2},
        {"/play here.mou /repeat /quiet", 2},
        {"/play here.mou /speed 0 /quiet", 2},
        {"/play here.mou /speed 101 /quiet", 2},
        {"/play here.mou /quiet /spede 2", 2},
        {"here.mou /repeat 2 /quiet", 2},
    };
    for (const Quiet& q : quiet) {
        CAPTURE(q.arguments);
        CommandRun c;
        c.Write("foreign.mou", silent, false);
        c.Write("here.mou", silent);
        REQUIRE(c.Start(1, q.arguments));
        CHECK(c.run.WaitForExit() == q.code);
    }
}

TEST_CASE("a file named on the command line opens in the main window, with Open's warning") {
    for (int language = 0; language < 2; ++language) {
        CAPTURE(language);
        CommandRun c;
        const std::string here = c.Write("here list.mou", {drive::MouseRecord(0, 5, 6), drive::MouseRecord(30, 7, 8)});
        REQUIRE(c.Start(language, Quoted(here)));
        HWND main = c.run.WaitForWindow(language == 1 ? drive::kMainJapanese : drive::kMainEnglish);
        REQUIRE(main != nullptr);
        HWND view = GetDlgItem(main, IDC_ACTION_LIST);
        CHECK(gui::WaitFor([&] { return drive::SendBounded(view, LVM_GETITEMCOUNT, 0, 0) == 2; }));
        CHECK(gui::TopWindowCaptions(c.run.Pid()).size() == 1);
        // One copy at a time: a second would find the hotkeys taken.
        c.run.Kill();

        CommandRun f;
        const std::string foreign = f.Write("foreign.mou", {drive::MouseRecord(0, 5, 6)}, false);
        REQUIRE(f.Start(language, Quoted(foreign)));
        drive::MessageBoxView box = f.Answer(language == 1 ? "マウス操作ファイル" : "Mouse operation file", IDOK);
        REQUIRE(box.window != nullptr);
        HWND fmain = f.run.WaitForWindow(language == 1 ? drive::kMainJapanese : drive::kMainEnglish);
        REQUIRE(fmain != nullptr);
        CHECK(gui::WaitFor([&] {
            return drive::SendBounded(GetDlgItem(fmain, IDC_ACTION_LIST), LVM_GETITEMCOUNT, 0, 0) == 1;
        }));
    }

    // A name relative to the folder the program starts in is kept as a full
    // path: once that folder is no longer current, Save still writes the
    // file that was opened, not one of that name in the current folder.
    CommandRun r;
    const MachineIdent ident = CurrentMachineIdent();
    std::string opened = drive::OperationFile({drive::MouseRecord(0, 5, 6)}, &ident);
    // A blank before the number reads the same; a save writes it without.
    opened.replace(opened.find("<x>5</x>"), 8, "<x> 5</x>");
    REQUIRE(gui::WriteFileAt(r.Path("list.mou"), opened));
    const std::string elsewhere = testutil::MakeTempDir();
    const std::string other = testutil::Join(elsewhere, "list.mou");
    REQUIRE(gui::WriteFileAt(other, "another file"));
    REQUIRE(r.Start(0, "list.mou"));
    HWND main = r.run.WaitForWindow(drive::kMainEnglish);
    REQUIRE(main != nullptr);
    REQUIRE(gui::WaitFor([&] { return drive::SendBounded(GetDlgItem(main, IDC_ACTION_LIST), LVM_GETITEMCOUNT, 0, 0) == 1; }));
    REQUIRE(MoveCurrentFolder(r.run.Process(), elsewhere));
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(ID_FILE_SAVE, 0), 0);
    CHECK(gui::WaitFor([&] { return gui::ReadFileAt(r.Path("list.mou")).find("<x>5</x>") != std::string::npos; }));
    CHECK(gui::ReadFileAt(other) == "another file");
}

TEST_CASE("/play ends at once on a close request or the end of the session, lets go of what it holds, with 1") {
    target::Process target;
    REQUIRE(target.Start(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    // An endless run that holds A down and then waits a minute.
    const std::vector<ActionRecord> holding = {Key(0, ActionKind::PushKey, 'A'), Key(60000, ActionKind::ReleaseKey, VK_F24)};
    for (const std::string way : {"taskkill", "WM_QUERYENDSESSION", "WM_ENDSESSION"}) {
        CAPTURE(way);
        CommandRun c;
        const std::string path = c.Write("holding.mou", holding);
        const LONG mark = target.count();
        REQUIRE(c.Start(0, "/play " + Quoted(path) + " /repeat -1 /quiet"));
        REQUIRE(gui::WaitFor([&] { return TargetGot(target, mark, WM_KEYDOWN, 'A'); }));
        HWND hidden = drive::FindOwnWindow(c.run.Pid(), "Taplore");
        REQUIRE(hidden != nullptr);
        if (way == "taskkill") {
            // Without /F: a close message to every window of the process.
            char system[MAX_PATH] = {};
            GetSystemDirectoryA(system, MAX_PATH);
            CHECK(testutil::RunProgram(std::string(system) + "\\taskkill.exe", "/PID " + std::to_string(c.run.Pid()),
                                       system) >= 0);
        } else {
            const UINT message = way == "WM_ENDSESSION" ? WM_ENDSESSION : WM_QUERYENDSESSION;
            DWORD_PTR answer = 0;
            CHECK(SendMessageTimeoutW(hidden, message, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer) != 0);
            // The session may end: the run does not stand in its way.
            if (message == WM_QUERYENDSESSION) CHECK(answer == TRUE);
        }
        CHECK(c.run.WaitForExit(15000) == 1);
        CHECK(gui::WaitFor([&] { return TargetGot(target, mark, WM_KEYUP, 'A'); }));
        CHECK((GetAsyncKeyState('A') & 0x8000) == 0);
    }
}

TEST_CASE("/play checks the screenshot folder first, and ends with 3 when pictures could not be saved") {
    const std::vector<ActionRecord> shot = {ActionRecord{0, ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0}};
    auto listIn = [&](CommandRun& c, const std::string& folder) {
        const MachineIdent ident = CurrentMachineIdent();
        const std::string path = c.Path("shot.mou");
        REQUIRE(gui::WriteFileAt(path, drive::OperationFile(shot, &ident, folder, 0)));
        return path;
    };
    // A folder that does not exist, relative to where the program starts:
    // refused under /quiet; otherwise Start Play's question, and a run
    // played all the same says by its code that its picture is lost.
    {
        CommandRun c;
        REQUIRE(c.Start(0, "/play " + Quoted(listIn(c, "no such folder")) + " /quiet"));
        CHECK(c.run.WaitForExit() == 2);
    }
    for (int answer : {IDNO, IDYES}) {
        CAPTURE(answer);
        CommandRun c;
        REQUIRE(c.Start(0, "/play " + Quoted(listIn(c, "no such folder"))));
        drive::MessageBoxView box = c.Answer("Play start", answer);
        CHECK(box.text.find("Screenshots cannot be saved to the folder\nno such folder\n") == 0);
        CHECK(box.defaultId == IDNO);
        // As in the window, a run that lost its picture says so.
        if (answer == IDYES) {
            CHECK(c.Answer("Screenshots not saved", IDOK).text.find(
                      "Screenshots of this run could not be saved to the folder\nno such folder\n") == 0);
        }
        CHECK(c.run.WaitForExit() == (answer == IDYES ? 3 : 2));
    }
    // A folder that takes files: the picture is there and the code is 0.
    // No folder at all: no picture is wanted, none is lost.
    for (bool chosen : {true, false}) {
        CAPTURE(chosen);
        CommandRun c;
        const std::string folder = c.Path("shots");
        REQUIRE(CreateDirectoryW(gui::Wide(folder).c_str(), nullptr));
        REQUIRE(c.Start(0, "/play " + Quoted(listIn(c, chosen ? folder : "")) + " /quiet"));
        CHECK(c.run.WaitForExit(30000) == 0);
        CHECK(ScreenshotFiles(folder) == (chosen ? 1 : 0));
    }
}
