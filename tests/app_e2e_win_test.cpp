// End-to-end tests of the real program: Taplore.exe is copied into a fresh
// folder and started from another one, then found and driven through its
// windows from here, the way a user's clicks reach it.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "doctest.h"
#include "win/handles_win.h"
#include "gui_driver_win.h"
#include "playback/capture_win.h"
#include "resources/resource.h"
#include "test_util.h"

using gui::CProgramRun;

namespace {

const char kMainEnglish[] = "Taplore - Automatic mouse operation tool";
const char kMainJapanese[] = "Taplore - マウスの自動操作ツール";
const char kLanguageEnglish[] = "Choose Language";
const char kLanguageJapanese[] = "言語設定";
const char kAboutEnglish[] = "Automatic mouse operation tool";
const char kAboutJapanese[] = "マウスの自動操作ツール";

std::string SettingsWithLanguage(int language) {
    return "<?xml version=\"1.0\" ?>\r\n<config><language>" + std::to_string(language) +
           "</language>\r\n</config>\r\n";
}

// The stored `language` of a settings file; "missing" when there is none.
std::string StoredLanguage(const std::string& path) {
    bool found = false;
    std::string text = gui::ReadFileAt(path, &found);
    if (!found) return "missing";
    size_t open = text.find("<language>");
    size_t close = text.find("</language>");
    if (open == std::string::npos || close == std::string::npos || close < open) return "none";
    return text.substr(open + 10, close - open - 10);
}

// Sends a command as a menu would (posted: the program may open a modal
// dialog, and the reply would wait for it to close).
void PostCommand(HWND window, int id) { PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// Every button clicked here closes its dialog. A click right after the
// dialog appeared can be lost under load: Wine activates the new window
// asynchronously, and the capture change in between cancels the button's
// press. A click that took effect has hidden the dialog by the time
// SendMessageW returns, so one that did not is made again.
void Click(HWND dialog, int id) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        if (gui::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 2000)) return;
    }
}

// The message of a message box: its static text that is not empty (the icon
// is a static without text).
std::string MessageText(HWND box) {
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        std::string text = gui::WindowText(child);
        if (!text.empty()) return text;
    }
    return std::string();
}

std::vector<std::string> ChildTexts(HWND dialog) {
    std::vector<std::string> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<std::string>*>(param)->push_back(gui::WindowText(child));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

struct ControlText {
    int id;
    const char* english;
    const char* japanese;
};

// The texts with their access keys marked: "&" before the letter in English,
// "(&X)" after the text in Japanese.
const ControlText kMainTexts[] = {
    {IDC_RECORD_START, "Start &Record", "記録を開始(&R)"}, {IDC_RECORD_STOP, "Stop Re&cord", "記録を停止(&C)"},
    {IDC_ADD, "&Add", "追加(&A)"},                         {IDC_MODIFY, "&Modify", "編集(&M)"},
    {IDC_DELETE, "&Delete", "削除(&D)"},                   {IDC_DELETE_ALL, "A&ll Detlete", "全削除(&L)"},
    {IDC_MOVE_UP, "&Up", "▲(&U)"},                        {IDC_MOVE_DOWN, "Do&wn", "▼(&W)"},
    {IDC_BROWSE_FOLDER, "...", "参照(&B)"},                {IDC_PLAY_START, "Start &Play", "再生を開始(&P)"},
    {IDC_PLAY_STOP, "Stop Pla&y", "再生を停止(&Y)"},       {IDC_REPEAT, "R&epeat", "繰り返し(&E)"},
};

const char* const kHeadingsEnglish[] = {"Time Code", "Interval", "Mouse Point", "Keycode", "Oparation"};
const char* const kHeadingsJapanese[] = {"タイムコード", "間隔", "マウスの位置", "キーコード", "操作"};

// Photographs the window from the screen into `<build parent>/screens/<name>`
// (TAPLORE_SCREEN_DIR overrides the folder) for people to look at, and
// returns the number of distinct colours seen, so a blank window shows.
size_t SaveWindowShot(HWND window, const std::string& name) {
    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return 0;
    CWindowDc screen(nullptr);
    CScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CScopedGdiObject bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap || !bits) return 0;
    {
        CSelectObject selected(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    }
    GdiFlush();
    std::set<uint32_t> colours;
    const uint32_t* pixels = static_cast<const uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) colours.insert(pixels[i] & 0xFFFFFF);

    char folder[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("TAPLORE_SCREEN_DIR", folder, MAX_PATH);
    std::string dir = n > 0 && n < MAX_PATH
                          ? std::string(folder)
                          : testutil::Join(gui::ParentOf(gui::ParentOf(gui::ExeDirectory())), "screens");
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string bmpPath = testutil::Join(dir, name + ".bmp");
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + width * height * 4;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    bytes.append(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
    if (testutil::WriteBytes(bmpPath, bytes)) {
        ULONG_PTR token = GdiPlusStart();
        ConvertImage(gui::Wide(bmpPath).c_str(), gui::Wide(testutil::Join(dir, name + ".png")).c_str(),
                     L"image/png");
        GdiPlusStop(token);
        DeleteFileA(bmpPath.c_str());
    }
    return colours.size();
}

// Checks the main window against its template in the given language.
void CheckMainWindow(CProgramRun& run, HWND main, bool japanese) {
    for (const ControlText& control : kMainTexts) {
        CAPTURE(control.id);
        CHECK(gui::ControlText(main, control.id) == (japanese ? control.japanese : control.english));
    }
    std::vector<std::string> texts = ChildTexts(main);
    CHECK(Contains(texts, japanese ? "スクリーンショット" : "Screenshot"));
    CHECK(Contains(texts, japanese ? "保存先(&O)" : "F&older"));
    CHECK(Contains(texts, japanese ? "フォーマット(&T)" : "Forma&t"));

    HWND view = GetDlgItem(main, IDC_ACTION_LIST);
    REQUIRE(view != nullptr);
    CHECK(gui::ClassOf(view) == "SysListView32");
    const LONG style = GetWindowLongW(view, GWL_STYLE);
    CHECK((style & LVS_TYPEMASK) == LVS_REPORT);
    CHECK((style & LVS_SHOWSELALWAYS) != 0);
    CHECK((style & LVS_SINGLESEL) == 0);
    // The dialog manager draws a template's WS_BORDER as the 3-D client edge.
    CHECK(((style & WS_BORDER) != 0 || (GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0));
    const LRESULT extended = SendMessageW(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    CHECK((extended & LVS_EX_GRIDLINES) != 0);
    CHECK((extended & LVS_EX_FULLROWSELECT) != 0);
    CHECK(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0) == 0);

    std::vector<gui::ColumnInfo> columns = gui::ReadListViewColumns(run.Process(), view);
    REQUIRE(columns.size() == 5);
    const int widths[] = {100, 100, 100, 100, 300};
    for (int i = 0; i < 5; ++i) {
        CAPTURE(i);
        CHECK(columns[i].heading == (japanese ? kHeadingsJapanese[i] : kHeadingsEnglish[i]));
        // At least the designed width; wider where a text would not fit.
        CHECK(columns[i].width >= widths[i]);
        CHECK((columns[i].format & LVCFMT_JUSTIFYMASK) == LVCFMT_LEFT);
    }

    gui::ComboState format = gui::ReadCombo(GetDlgItem(main, IDC_SCREENSHOT_FORMAT));
    CHECK(format.items == std::vector<std::string>{"Bitmap", "JPEG", "GIF", "PNG"});
    CHECK(format.data == std::vector<LRESULT>{0, 1, 2, 3});
    CHECK(format.selected == 1);
    CHECK(gui::ControlText(main, IDC_SCREENSHOT_FOLDER) == "");
    CHECK((GetWindowLongW(GetDlgItem(main, IDC_PASS_COUNT), GWL_STYLE) & ES_READONLY) != 0);
    CHECK((GetWindowLongW(GetDlgItem(main, IDC_REPEAT), GWL_STYLE) & BS_TYPEMASK) == BS_CHECKBOX);
    const LONG mainStyle = GetWindowLongW(main, GWL_STYLE);
    CHECK((mainStyle & WS_MINIMIZEBOX) != 0);
    CHECK((mainStyle & WS_SYSMENU) != 0);
    CHECK(GetMenu(main) != nullptr);
}

}  // namespace

TEST_CASE("the program's copy is in place") {
    CProgramRun run;
    REQUIRE(run.Copied());
}

TEST_CASE("first start without settings asks for the language in the user's language") {
    CProgramRun run;
    REQUIRE(run.Copied());

    SUBCASE("Cancel keeps the preselected English and stores it beside the program") {
        REQUIRE(run.Start());
        HWND dialog = run.WaitForWindow(kLanguageEnglish);
        REQUIRE(dialog != nullptr);
        gui::ComboState list = gui::ReadCombo(GetDlgItem(dialog, IDC_LANGUAGE_LIST));
        CHECK(list.items == std::vector<std::string>{"English", "Japanese"});
        CHECK(list.selected == 0);
        CHECK(gui::ControlText(dialog, IDOK) == "OK");
        CHECK(gui::ControlText(dialog, IDCANCEL) == "Cancel");
        CHECK((GetWindowLongW(GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON);

        Click(dialog, IDCANCEL);
        HWND main = run.WaitForWindow(kMainEnglish);
        REQUIRE(main != nullptr);
        CHECK(StoredLanguage(run.ProgramIni()) == "0");
        CHECK_FALSE(gui::FileExistsAt(run.CurrentIni()));
        PostCommand(main, ID_APP_EXIT);
        CHECK(run.WaitForExit() == 1);
    }
    SUBCASE("choosing Japanese with OK shows the Japanese main window at once") {
        REQUIRE(run.Start());
        HWND dialog = run.WaitForWindow(kLanguageEnglish);
        REQUIRE(dialog != nullptr);
        SendMessageW(GetDlgItem(dialog, IDC_LANGUAGE_LIST), CB_SETCURSEL, 1, 0);
        Click(dialog, IDOK);
        HWND main = run.WaitForWindow(kMainJapanese);
        REQUIRE(main != nullptr);
        CHECK(StoredLanguage(run.ProgramIni()) == "1");
        PostCommand(main, ID_APP_EXIT);
        CHECK(run.WaitForExit() == 1);
    }
    SUBCASE("a stored language outside -1..1 asks again") {
        REQUIRE(gui::WriteFileAt(run.ProgramIni(), SettingsWithLanguage(5)));
        REQUIRE(run.Start());
        HWND dialog = run.WaitForWindow(kLanguageEnglish);
        REQUIRE(dialog != nullptr);
        CHECK(gui::ReadCombo(GetDlgItem(dialog, IDC_LANGUAGE_LIST)).selected == 0);
        Click(dialog, IDCANCEL);
        REQUIRE(run.WaitForWindow(kMainEnglish) != nullptr);
        CHECK(StoredLanguage(run.ProgramIni()) == "0");
    }
}

// Needs the Japanese locale for the whole test process (Wine takes the user
// language from the Unix locale of the process that starts it), so ctest runs
// it on its own with LANG set; see tests/support/shell.cmake.
TEST_CASE("a Japanese user is asked in Japanese with Japanese preselected" * doctest::skip()) {
    REQUIRE_MESSAGE(GetUserDefaultLangID() == 1041,
                    "run with LANG=ja_JP.UTF-8 (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)");
    CProgramRun run;
    REQUIRE(run.Copied());
    REQUIRE(run.Start());
    HWND dialog = run.WaitForWindow(kLanguageJapanese);
    REQUIRE(dialog != nullptr);
    gui::ComboState list = gui::ReadCombo(GetDlgItem(dialog, IDC_LANGUAGE_LIST));
    CHECK(list.items == std::vector<std::string>{"英語", "日本語"});
    CHECK(list.selected == 1);
    CHECK(gui::ControlText(dialog, IDCANCEL) == "キャンセル");
    // Cancel at start still stores the preselected language and uses it.
    Click(dialog, IDCANCEL);
    REQUIRE(run.WaitForWindow(kMainJapanese) != nullptr);
    CHECK(StoredLanguage(run.ProgramIni()) == "1");
}

TEST_CASE("English main window as templated; About; Escape ends the program") {
    CProgramRun run;
    REQUIRE(run.Copied());
    REQUIRE(gui::WriteFileAt(run.CurrentIni(), SettingsWithLanguage(0)));
    REQUIRE(run.Start());
    HWND main = run.WaitForWindow(kMainEnglish);
    REQUIRE(main != nullptr);
    CHECK(gui::TopWindowCaptions(run.Pid()).size() == 1);  // no language dialog came first
    CheckMainWindow(run, main, false);
    CHECK(SaveWindowShot(main, "main-en") > 8);

    PostCommand(main, ID_APP_ABOUT);
    HWND about = run.WaitForWindow(kAboutEnglish);
    REQUIRE(about != nullptr);
    CHECK(gui::ControlText(about, IDC_VERSION_TEXT) == "Version 1.0.3.0");
    CHECK(gui::ControlText(about, IDC_EDITION_TEXT) == "64bit edition");
    CHECK(Contains(ChildTexts(about), "Taplore"));
    CHECK(GetWindow(about, GW_OWNER) == main);
    SaveWindowShot(about, "about-en");
    PostCommand(about, IDCANCEL);
    CHECK(gui::WaitFor([&] { return !IsWindow(about); }));
    CHECK(IsWindow(main));

    // The Escape key reaches the dialog manager, which makes it the cancel command.
    PostMessageW(main, WM_KEYDOWN, VK_ESCAPE, 0);
    CHECK(run.WaitForExit() == 1);
    // Nothing was saved: the settings changed through no dialog.
    CHECK(StoredLanguage(run.CurrentIni()) == "0");
    CHECK_FALSE(gui::FileExistsAt(run.ProgramIni()));
}

TEST_CASE("Japanese main window as templated; closing the window ends the program") {
    CProgramRun run;
    REQUIRE(run.Copied());
    REQUIRE(gui::WriteFileAt(run.CurrentIni(), SettingsWithLanguage(1)));
    REQUIRE(run.Start());
    HWND main = run.WaitForWindow(kMainJapanese);
    REQUIRE(main != nullptr);
    CheckMainWindow(run, main, true);
    CHECK(SaveWindowShot(main, "main-ja") > 8);

    PostCommand(main, ID_APP_ABOUT);
    HWND about = run.WaitForWindow(kAboutJapanese);
    REQUIRE(about != nullptr);
    CHECK(gui::ControlText(about, IDC_VERSION_TEXT) == "Version 1.0.3.0");
    SaveWindowShot(about, "about-ja");
    Click(about, IDOK);
    CHECK(gui::WaitFor([&] { return !IsWindow(about); }));

    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK(run.WaitForExit() == 1);
}

TEST_CASE("the settings file in the current folder wins and takes the saves") {
    CProgramRun run;
    REQUIRE(run.Copied());
    const std::string besideProgram = SettingsWithLanguage(1);
    REQUIRE(gui::WriteFileAt(run.ProgramIni(), besideProgram));
    REQUIRE(gui::WriteFileAt(run.CurrentIni(), SettingsWithLanguage(0)));
    REQUIRE(run.Start());
    HWND main = run.WaitForWindow(kMainEnglish);
    REQUIRE(main != nullptr);

    SUBCASE("a language chosen from the menu is stored for the next start only") {
        PostCommand(main, ID_HELP_LANGUAGE);
        HWND dialog = run.WaitForWindow(kLanguageEnglish);
        REQUIRE(dialog != nullptr);
        CHECK(gui::ReadCombo(GetDlgItem(dialog, IDC_LANGUAGE_LIST)).selected == 0);
        CHECK(GetWindow(dialog, GW_OWNER) == main);
        SendMessageW(GetDlgItem(dialog, IDC_LANGUAGE_LIST), CB_SETCURSEL, 1, 0);
        Click(dialog, IDOK);
        CHECK(gui::WaitFor([&] { return StoredLanguage(run.CurrentIni()) == "1"; }));
        // The user is told that the choice applies at the next start.
        HWND told = nullptr;
        CHECK(gui::WaitFor([&] {
            told = gui::FindTopWindow(run.Pid(), kLanguageEnglish);
            return told && told != dialog;
        }));
        if (told && told != dialog) {
            CHECK(Contains(ChildTexts(told), "The language you chose applies from the next start of Taplore."));
            CHECK(GetWindow(told, GW_OWNER) == main);
            PostCommand(told, IDOK);
            CHECK(gui::WaitFor([&] { return !IsWindow(told); }));
        }
        CHECK(gui::WindowText(main) == kMainEnglish);
        CHECK(gui::ReadFileAt(run.ProgramIni()) == besideProgram);
    }
    SUBCASE("Help Topics without the help pages beside the program says where it looked") {
        PostCommand(main, ID_HELP_TOPICS);
        HWND box = run.WaitForWindow("Help Topics");
        REQUIRE(box != nullptr);
        const std::string page = testutil::Join(testutil::Join(gui::ParentOf(run.ProgramPath()), "help"), "en.html");
        bool named = false;
        for (const std::string& text : ChildTexts(box)) named = named || text.find(page) != std::string::npos;
        CHECK(named);
        PostCommand(box, IDOK);
        CHECK(gui::WaitFor([&] { return !IsWindow(box); }));
    }
    SUBCASE("Help Topics with the page but no program to show it says so, naming the page") {
        const std::string folder = testutil::Join(gui::ParentOf(run.ProgramPath()), "help");
        const std::string page = testutil::Join(folder, "en.html");
        REQUIRE(CreateDirectoryW(gui::Wide(folder).c_str(), nullptr));
        REQUIRE(gui::WriteFileAt(page, "<html></html>"));
        // This Wine prefix has no program for .html pages, as a system
        // without a browser.
        wchar_t viewer[MAX_PATH] = {};
        REQUIRE(reinterpret_cast<INT_PTR>(FindExecutableW(gui::Wide(page).c_str(), nullptr, viewer)) <= 32);
        PostCommand(main, ID_HELP_TOPICS);
        HWND box = run.WaitForWindow("Help Topics");
        REQUIRE(box != nullptr);
        bool told = false;
        for (const std::string& text : ChildTexts(box)) {
            told = told || (text.find("The help page could not be opened:") == 0 && text.find(page) != std::string::npos);
        }
        CHECK(told);
        PostCommand(box, IDOK);
        CHECK(gui::WaitFor([&] { return !IsWindow(box); }));
    }
    SUBCASE("Cancel in the language dialog stores nothing") {
        const std::string before = gui::ReadFileAt(run.CurrentIni());
        PostCommand(main, ID_HELP_LANGUAGE);
        HWND dialog = run.WaitForWindow(kLanguageEnglish);
        REQUIRE(dialog != nullptr);
        SendMessageW(GetDlgItem(dialog, IDC_LANGUAGE_LIST), CB_SETCURSEL, 1, 0);
        Click(dialog, IDCANCEL);
        CHECK(gui::WaitFor([&] { return !IsWindow(dialog); }));
        CHECK(gui::ReadFileAt(run.CurrentIni()) == before);
    }
    PostCommand(main, ID_APP_EXIT);
    CHECK(run.WaitForExit() == 1);
}

TEST_CASE("two copies of the program run at the same time") {
    CProgramRun first, second;
    REQUIRE(first.Copied());
    REQUIRE(second.Copied());
    REQUIRE(gui::WriteFileAt(first.CurrentIni(), SettingsWithLanguage(0)));
    REQUIRE(gui::WriteFileAt(second.CurrentIni(), SettingsWithLanguage(0)));
    REQUIRE(first.Start());
    HWND one = first.WaitForWindow(kMainEnglish);
    REQUIRE(one != nullptr);
    REQUIRE(second.Start());
    // The first copy holds the hotkeys: the second tells so, once for each,
    // and its settings dialog shows them as not active.
    const char* busy[2] = {"The hotkey Ctrl+Alt+Shift+R of Start Record is in use by another program.\nIt is not active.",
                           "The hotkey Ctrl+Alt+Shift+P of Start Play is in use by another program.\nIt is not active."};
    for (const char* text : busy) {
        HWND box = second.WaitForWindow("Hotkey");
        REQUIRE(box != nullptr);
        CHECK(MessageText(box) == text);
        Click(box, IDOK);
        CHECK(gui::WaitFor([&] { return !IsWindow(box); }));
    }
    HWND two = second.WaitForWindow(kMainEnglish);
    REQUIRE(two != nullptr);
    CHECK(one != two);
    CHECK(IsWindow(one));
    PostCommand(two, ID_FILE_SETTING);
    HWND setting = second.WaitForWindow("Setting");
    REQUIRE(setting != nullptr);
    CHECK(gui::WindowText(GetDlgItem(setting, IDC_RECORD_HOTKEY_STATE)) == "Not active: in use elsewhere");
    CHECK(gui::WindowText(GetDlgItem(setting, IDC_PLAY_HOTKEY_STATE)) == "Not active: in use elsewhere");
    Click(setting, IDCANCEL);
    CHECK(gui::WaitFor([&] { return !IsWindow(setting); }));
    CHECK_FALSE(second.WaitForWindow("Hotkey", 300));
    PostCommand(two, IDCANCEL);
    CHECK(second.WaitForExit() == 1);
    PostCommand(one, ID_APP_EXIT);
    CHECK(first.WaitForExit() == 1);
}

TEST_CASE("the program keeps paths outside the system code page (UTF-8 process code page)") {
    // On a system code page like 1252 the Japanese folder name would turn into
    // "?" in the program's narrow copy of the current directory, and the
    // settings file there would not be found.
    CProgramRun run("current_日本語");
    REQUIRE(run.Copied());
    REQUIRE(gui::WriteFileAt(run.ProgramIni(), SettingsWithLanguage(0)));
    REQUIRE(gui::WriteFileAt(run.CurrentIni(), SettingsWithLanguage(1)));
    REQUIRE(run.Start());
    HWND main = run.WaitForWindow(kMainJapanese);
    REQUIRE(main != nullptr);

    // The same manifest makes the program per-monitor DPI aware.
    typedef DPI_AWARENESS_CONTEXT(WINAPI * GetContextFn)(HWND);
    typedef DPI_AWARENESS(WINAPI * GetAwarenessFn)(DPI_AWARENESS_CONTEXT);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto getContext = reinterpret_cast<GetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    auto getAwareness = reinterpret_cast<GetAwarenessFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    REQUIRE((getContext && getAwareness));
    CHECK(getAwareness(getContext(main)) == DPI_AWARENESS_PER_MONITOR_AWARE);

    PostCommand(main, ID_APP_EXIT);
    CHECK(run.WaitForExit() == 1);
}
