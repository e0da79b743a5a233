// The dialog base, the small dialogs and the frame's language handling, run
// in this process on the program's real templates: Taplore.exe is loaded as a
// resource module, each dialog runs modally on the test thread, and a driver
// thread finds it and answers it as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "config/app_parameter.h"
#include "doctest.h"
#include "frame/app_base.h"
#include "frame/small_dialogs.h"
#include "win/combo_box_win.h"
#include "gui_driver_win.h"
#include "resources/resource.h"
#include "test_util.h"

namespace {

HMODULE ProgramResources() {
    static HMODULE module = LoadLibraryExW(gui::Wide(gui::BuiltProgram()).c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

// Runs `show` (a modal dialog) on this thread while `drive` acts on the dialog
// captioned `caption` from another thread. Whatever `drive` does, the dialog
// is cancelled at the end if it is still open, so no test can hang.
template <class Show, class Drive>
INT_PTR RunDialog(const std::string& caption, Show show, Drive drive) {
    std::atomic<bool> done{false};
    std::thread driver([&] {
        HWND dialog = gui::WaitForTopWindow(GetCurrentProcessId(), caption, 10000);
        if (dialog) drive(dialog);
        while (!done.load() && dialog && IsWindow(dialog)) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            Sleep(50);
        }
    });
    INT_PTR result = show();
    done.store(true);
    driver.join();
    return result;
}

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// A dialog that counts its calls and can refuse to close.
class CProbeDialog : public CDialogOf<CProbeDialog> {
public:
    int inits = 0, oks = 0, cancels = 0;
    int allowOk = 1;
    HWND seenAtInit = nullptr;
    void OnInitDialog(HWND dialog) override {
        ++inits;
        seenAtInit = Window();
        (void)dialog;
    }
    int OnOK(HWND) override {
        ++oks;
        return allowOk;
    }
    int OnCancel(HWND) override {
        ++cancels;
        return 1;
    }
};

// A process-wide configuration for the duration of a test, with its settings
// file in a fresh folder.
class CConfigScope {
public:
    CConfigScope() : dir_(testutil::MakeTempDir()) {
        previous_ = g_config;
        config_.Initialize();
        config_.ini_file.Assign(gui::Wide(IniPath()).c_str());
        g_config = &config_;
    }
    ~CConfigScope() {
        g_config = previous_;
        DeleteFileA(IniPath().c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    std::string IniPath() const { return testutil::Join(dir_, "Taplore.ini"); }
    CAppParameter& config() { return config_; }

private:
    std::string dir_;
    CAppParameter config_;
    CCommConfig* previous_;
};

std::string StoredLanguage(const std::string& path) {
    std::string text;
    if (!testutil::ReadBytes(path, &text)) return "missing";
    size_t open = text.find("<language>"), close = text.find("</language>");
    if (open == std::string::npos || close == std::string::npos) return "none";
    return text.substr(open + 10, close - open - 10);
}

// The message of a message box: its static text that is not empty.
std::string MessageText(HWND box) {
    std::string text;
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        std::string seen = gui::WindowText(child);
        if (!seen.empty()) text = seen;
    }
    return text;
}

}  // namespace

TEST_CASE("the program's templates load as resources") {
    REQUIRE(ProgramResources() != nullptr);
    for (int id : {IDD_MAIN_JA, IDD_MAIN_EN, IDD_LANGUAGE_JA, IDD_LANGUAGE_EN, IDD_ABOUT_JA, IDD_ABOUT_EN,
                   IDD_ACTION_EDIT_JA, IDD_ACTION_EDIT_EN, IDD_SETTINGS_JA, IDD_SETTINGS_EN}) {
        CAPTURE(id);
        CHECK(FindResourceW(ProgramResources(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)) != nullptr);
    }
    for (int id : {IDR_MENU_JA, IDR_MENU_EN}) {
        CAPTURE(id);
        HMENU menu = LoadMenuW(ProgramResources(), MAKEINTRESOURCEW(id));
        REQUIRE(menu != nullptr);
        CHECK(GetMenuItemCount(menu) == 2);
        const int file[] = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, 0, ID_FILE_SETTING, 0, ID_APP_EXIT};
        const int help[] = {ID_HELP_TOPICS, 0, ID_HELP_LANGUAGE, 0, ID_APP_ABOUT};
        HMENU fileMenu = GetSubMenu(menu, 0), helpMenu = GetSubMenu(menu, 1);
        REQUIRE(GetMenuItemCount(fileMenu) == 8);
        REQUIRE(GetMenuItemCount(helpMenu) == 5);
        for (int i = 0; i < 8; ++i) CHECK(static_cast<int>(GetMenuItemID(fileMenu, i)) == (file[i] ? file[i] : 0));
        for (int i = 0; i < 5; ++i) CHECK(static_cast<int>(GetMenuItemID(helpMenu, i)) == (help[i] ? help[i] : 0));
        wchar_t text[64] = {};
        GetMenuStringW(menu, ID_HELP_LANGUAGE, text, 64, MF_BYCOMMAND);
        CHECK(testutil::Utf8(text) == (id == IDR_MENU_EN ? "&Choosse Language" : "言語設定(&C)"));
        GetMenuStringW(menu, ID_FILE_SAVE, text, 64, MF_BYCOMMAND);
        CHECK(testutil::Utf8(text) == (id == IDR_MENU_EN ? "&Save\tCtrl+S" : "上書き保存(&S)\tCtrl+S"));
        // Every command has an access key.
        for (HMENU sub : {fileMenu, helpMenu}) {
            for (int i = 0; i < GetMenuItemCount(sub); ++i) {
                if (GetMenuItemID(sub, i) == 0) continue;
                GetMenuStringW(sub, i, text, 64, MF_BYPOSITION);
                CAPTURE(testutil::Utf8(text));
                CHECK(std::wstring(text).find(L'&') != std::wstring::npos);
            }
        }
        GetMenuStringW(menu, 0, text, 64, MF_BYPOSITION);
        CHECK(testutil::Utf8(text) == (id == IDR_MENU_EN ? "&File" : "ファイル(&F)"));
        DestroyMenu(menu);
    }
    // The shortcuts Ctrl+N, Ctrl+O and Ctrl+S.
    HACCEL shortcuts = LoadAcceleratorsW(ProgramResources(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    REQUIRE(shortcuts != nullptr);
    ACCEL entries[8] = {};
    REQUIRE(CopyAcceleratorTableW(shortcuts, entries, 8) == 3);
    const ACCEL expected[] = {{FVIRTKEY | FCONTROL, 'N', ID_FILE_NEW},
                              {FVIRTKEY | FCONTROL, 'O', ID_FILE_OPEN},
                              {FVIRTKEY | FCONTROL, 'S', ID_FILE_SAVE}};
    for (int i = 0; i < 3; ++i) {
        CAPTURE(i);
        CHECK((entries[i].fVirt & ~0x80) == expected[i].fVirt);
        CHECK(entries[i].key == expected[i].key);
        CHECK(entries[i].cmd == expected[i].cmd);
    }
    HANDLE icon = LoadImageW(ProgramResources(), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0);
    CHECK(icon != nullptr);
    if (icon) DestroyIcon(static_cast<HICON>(icon));
}

TEST_CASE("Combo items carry data: add, insert, select by data, read the selected data") {
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, owner, nullptr,
                                 nullptr, nullptr);
    HWND sorted = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0, 0, 100, 100, owner,
                                  nullptr, nullptr, nullptr);
    const DWORD error = GetLastError();
    CAPTURE(error);
    REQUIRE(owner != nullptr);
    REQUIRE(combo != nullptr);
    REQUIRE(sorted != nullptr);
    CHECK(SelectComboItemByData(combo, 0) == 0);  // no items at all
    CHECK(SelectedComboData(combo) == 0);

    const LPARAM data[] = {0, 1, 2, 3, 2};
    for (int i = 0; i < 5; ++i) CHECK(AddComboItem(combo, i == 4 ? nullptr : L"item", data[i]) == i);
    CHECK(SelectedComboData(combo) == 0);  // nothing selected yet
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    CHECK(SelectedComboData(combo) == 3);

    // A sorted box sorts what is added, but an insert keeps its place.
    CHECK(AddComboItem(sorted, L"b", 20) == 0);
    CHECK(AddComboItem(sorted, L"a", 10) == 0);
    CHECK(InsertComboItem(sorted, 0, L"z", 90) == 0);
    CHECK(InsertComboItem(sorted, -1, L"c", 30) == 3);
    const LPARAM order[] = {90, 10, 20, 30};
    for (int i = 0; i < 4; ++i) CHECK(SendMessageW(sorted, CB_GETITEMDATA, i, 0) == order[i]);
    struct Case {
        LPARAM value;
        int result;
        LRESULT selected;
    };
    // Starting from item 1 selected each time.
    const Case cases[] = {{2, 1, 2}, {3, 1, 3}, {0, 1, 0}, {7, 0, 1}, {-1, 0, 1}};
    for (const Case& c : cases) {
        CAPTURE(c.value);
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        CHECK(SelectComboItemByData(combo, c.value) == c.result);
        CHECK(SendMessageW(combo, CB_GETCURSEL, 0, 0) == c.selected);
    }
    DestroyWindow(owner);
}

TEST_CASE("CDialog: OK and Cancel end the dialog with 1 and 0 unless refused") {
    REQUIRE(ProgramResources() != nullptr);
    CProbeDialog probe;

    SUBCASE("OK refused keeps the dialog open; other commands do nothing") {
        probe.allowOk = 0;
        std::atomic<bool> stillOpen{false};
        INT_PTR result = RunDialog(
            "Choose Language", [&] { return probe.DoModal(ProgramResources(), IDD_LANGUAGE_EN, nullptr); },
            [&](HWND dialog) {
                Click(dialog, IDOK);
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LANGUAGE_LIST, CBN_SELCHANGE), 0);
                SendMessageW(dialog, WM_COMMAND, 4321, 0);
                stillOpen = IsWindow(dialog) != 0;
                probe.allowOk = 1;
                Click(dialog, IDOK);
            });
        CHECK(stillOpen.load());
        CHECK(result == 1);
        CHECK(probe.oks == 2);
        CHECK(probe.cancels == 0);
    }
    SUBCASE("Cancel ends with 0") {
        INT_PTR result = RunDialog(
            "Choose Language", [&] { return probe.DoModal(ProgramResources(), IDD_LANGUAGE_EN, nullptr); },
            [&](HWND dialog) { Click(dialog, IDCANCEL); });
        CHECK(result == 0);
        CHECK(probe.cancels == 1);
        CHECK(probe.oks == 0);
    }
    CHECK(probe.inits == 1);
    CHECK(probe.seenAtInit != nullptr);
    CHECK(probe.Window() == probe.seenAtInit);
    CHECK(CProbeDialog::current == &probe);  // left set after the dialog
}

TEST_CASE("CDialog: the static procedure answers 0 while no dialog is current") {
    CProbeDialog::current = nullptr;
    CHECK(CProbeDialog::DialogProc(nullptr, WM_COMMAND, IDOK, 0) == 0);
    CHECK(CProbeDialog::DialogProc(nullptr, WM_INITDIALOG, 0, 0) == 0);
}

TEST_CASE("CDialog::OnDropFiles copies the first dropped path only with a buffer") {
    // A drop handle as the shell makes it: DROPFILES followed by wide paths.
    auto makeDrop = [](const std::wstring& first, const std::wstring& second) {
        const size_t chars = first.size() + 1 + second.size() + 1 + 1;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + chars * sizeof(wchar_t));
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        wchar_t* names = reinterpret_cast<wchar_t*>(header + 1);
        first.copy(names, first.size());
        second.copy(names + first.size() + 1, second.size());
        GlobalUnlock(memory);
        return static_cast<HDROP>(memory);
    };
    CProbeDialog probe;
    HDROP drop = makeDrop(L"C:\\data\\first.mou", L"C:\\data\\second.mou");
    CHECK(probe.OnDropFiles(drop, nullptr, 0) == 0);

    wchar_t path[MAX_PATH] = {};
    CHECK(probe.OnDropFiles(drop, path, MAX_PATH) == 1);
    CHECK(testutil::Utf8(path) == "C:\\data\\first.mou");

    wchar_t small[8];
    HDROP another = makeDrop(L"C:\\data\\first.mou", L"x");
    CHECK(probe.OnDropFiles(another, small, 8) == 1);
    CHECK(testutil::Utf8(small) == "C:\\data");  // cut to the buffer, terminated
}

TEST_CASE("CAboutDialog shows version and edition; Escape gives 0, OK 1") {
    REQUIRE(ProgramResources() != nullptr);
    CConfigScope scope;
    struct Case {
        int templateId;
        const char* caption;
        bool escape;
        INT_PTR result;
    };
    const Case cases[] = {
        {IDD_ABOUT_EN, "Automatic mouse operation tool", true, 0},
        {IDD_ABOUT_JA, "マウスの自動操作ツール", false, 1},
    };
    for (const Case& c : cases) {
        CAPTURE(c.templateId);
        CAboutDialog about;
        std::string version, edition;
        INT_PTR result = RunDialog(
            c.caption, [&] { return about.DoModal(ProgramResources(), c.templateId, nullptr); },
            [&](HWND dialog) {
                version = gui::ControlText(dialog, IDC_VERSION_TEXT);
                edition = gui::ControlText(dialog, IDC_EDITION_TEXT);
                if (c.escape) {
                    // As the key arrives: the dialog manager makes it the cancel command.
                    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
                } else {
                    Click(dialog, IDOK);
                }
            });
        CHECK(version == "Version 1.0.3.0");
        CHECK(edition == "64bit edition");
        CHECK(result == c.result);
    }
}

TEST_CASE("CChooseLanguageDialog lists English then Japanese in its display language") {
    REQUIRE(ProgramResources() != nullptr);
    struct Case {
        int display;
        int templateId;
        const char* caption;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {0, IDD_LANGUAGE_EN, "Choose Language", {"English", "Japanese"}},
        {1, IDD_LANGUAGE_JA, "言語設定", {"英語", "日本語"}},
    };
    for (const Case& c : cases) {
        CAPTURE(c.display);
        SUBCASE("Cancel keeps the preselection and gives 0") {
            CChooseLanguageDialog dialog;
            dialog.display_language = c.display;
            dialog.selected_language = 1;
            gui::ComboState seen;
            INT_PTR result = RunDialog(
                c.caption, [&] { return dialog.DoModal(ProgramResources(), c.templateId, nullptr); },
                [&](HWND window) {
                    seen = gui::ReadCombo(GetDlgItem(window, IDC_LANGUAGE_LIST));
                    SendMessageW(GetDlgItem(window, IDC_LANGUAGE_LIST), CB_SETCURSEL, 0, 0);
                    Click(window, IDCANCEL);
                });
            CHECK(seen.items == c.items);
            CHECK(seen.selected == 1);
            CHECK(result == 0);
            CHECK(dialog.selected_language == 1);
        }
        SUBCASE("OK takes the chosen item") {
            CChooseLanguageDialog dialog;
            dialog.display_language = c.display;
            dialog.selected_language = 1;
            INT_PTR result = RunDialog(
                c.caption, [&] { return dialog.DoModal(ProgramResources(), c.templateId, nullptr); },
                [&](HWND window) {
                    SendMessageW(GetDlgItem(window, IDC_LANGUAGE_LIST), CB_SETCURSEL, 0, 0);
                    Click(window, IDOK);
                });
            CHECK(result == 1);
            CHECK(dialog.selected_language == 0);
        }
    }
}

TEST_CASE("CAppBase::InitInstance resolves the language; ChooseLanguage stores the choice") {
    REQUIRE(ProgramResources() != nullptr);
    REQUIRE(GetUserDefaultLangID() != 1041);  // the cases below expect a non-Japanese user
    CConfigScope scope;
    CAppParameter& config = scope.config();
    CAppBase app;
    app.instance = ProgramResources();
    app.multiple_instances = 1;

    SUBCASE("a stored choice is used without asking") {
        for (int stored : {0, 1}) {
            config.language = stored;
            config.ui_language = 7;
            CHECK(app.InitInstance(ProgramResources()) == 1);
            CHECK(config.ui_language == stored);
        }
        CHECK_FALSE(testutil::FileExists(scope.IniPath()));
    }
    SUBCASE("no valid choice: the dialog at start, and Cancel stores the preselection") {
        for (int stored : {-1, 5, -2}) {
            CAPTURE(stored);
            config.language = stored;
            gui::ComboState seen;
            INT_PTR result = RunDialog(
                "Choose Language", [&] { return app.InitInstance(ProgramResources()); },
                [&](HWND window) {
                    seen = gui::ReadCombo(GetDlgItem(window, IDC_LANGUAGE_LIST));
                    CHECK(GetWindow(window, GW_OWNER) == nullptr);
                    Click(window, IDCANCEL);
                });
            CHECK(result == 1);
            CHECK(seen.selected == 0);
            CHECK(config.language == 0);
            CHECK(config.ui_language == 0);
            CHECK(StoredLanguage(scope.IniPath()) == "0");
            DeleteFileA(scope.IniPath().c_str());
        }
    }
    SUBCASE("at start, Japanese with OK becomes the interface language at once") {
        config.language = -1;
        RunDialog(
            "Choose Language", [&] { return app.InitInstance(ProgramResources()); },
            [&](HWND window) {
                SendMessageW(GetDlgItem(window, IDC_LANGUAGE_LIST), CB_SETCURSEL, 1, 0);
                Click(window, IDOK);
            });
        CHECK(config.language == 1);
        CHECK(config.ui_language == 1);
        CHECK(StoredLanguage(scope.IniPath()) == "1");
    }
    SUBCASE("from the menu: OK stores for the next start, Cancel stores nothing") {
        config.language = 0;
        config.ui_language = 0;
        int chosen = 0;
        RunDialog(
            "Choose Language", [&] { return chosen = app.ChooseLanguage(0); },
            [&](HWND window) {
                SendMessageW(GetDlgItem(window, IDC_LANGUAGE_LIST), CB_SETCURSEL, 1, 0);
                Click(window, IDCANCEL);
            });
        CHECK(chosen == 0);
        CHECK(config.language == 0);
        CHECK_FALSE(testutil::FileExists(scope.IniPath()));

        // A choice other than the running language is told to apply at the
        // next start; the running language chosen again is not.
        for (int choice : {1, 0}) {
            CAPTURE(choice);
            std::string told;
            RunDialog(
                "Choose Language", [&] { return chosen = app.ChooseLanguage(0); },
                [&](HWND window) {
                    SendMessageW(GetDlgItem(window, IDC_LANGUAGE_LIST), CB_SETCURSEL, choice, 0);
                    Click(window, IDOK);
                    HWND box = nullptr;
                    gui::WaitFor(
                        [&] {
                            box = gui::FindTopWindow(GetCurrentProcessId(), "Choose Language");
                            return box && box != window;
                        },
                        choice == 1 ? gui::kWaitMs : 1000);
                    if (!box || box == window) return;
                    told = MessageText(box);
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                });
            CHECK(chosen == choice);
            CHECK(config.language == choice);
            CHECK(config.ui_language == 0);
            CHECK(StoredLanguage(scope.IniPath()) == std::to_string(choice));
            CHECK(told == (choice == 1 ? "The language you chose applies from the next start of Taplore." : ""));
        }
    }
    SUBCASE("the menu's dialog speaks the running interface language") {
        config.language = 0;
        config.ui_language = 1;
        gui::ComboState seen;
        RunDialog(
            "言語設定", [&] { return app.ChooseLanguage(0); },
            [&](HWND window) {
                seen = gui::ReadCombo(GetDlgItem(window, IDC_LANGUAGE_LIST));
                Click(window, IDCANCEL);
            });
        CHECK(seen.items == std::vector<std::string>{"英語", "日本語"});
        CHECK(seen.selected == 0);
    }
}

namespace {

// Records which frame operation a message or command reached.
class CRoutingApp : public CAppBase {
public:
    std::vector<std::string> calls;
    void OnExit() override { calls.push_back("exit"); }
    INT_PTR OnAbout() override {
        calls.push_back("about");
        return 1;
    }
    void OnHelp() override { calls.push_back("help"); }
    int ChooseLanguage(int atStart) override {
        calls.push_back("language " + std::to_string(atStart));
        return 0;
    }
    void OnViewToolbar() override { calls.push_back("toolbar"); }
    void OnViewStatusBar() override { calls.push_back("statusbar"); }
    void TileVertical() override { calls.push_back("tile v"); }
    void TileHorizontal() override { calls.push_back("tile h"); }
    void Cascade() override { calls.push_back("cascade"); }
    BOOL CloseAllChildren() override {
        calls.push_back("close all");
        return TRUE;
    }
    void OnCommand(int id, int code) override {
        calls.push_back("command " + std::to_string(id) + " " + std::to_string(code));
        CAppBase::OnCommand(id, code);
    }
    void OnNotify(int id, NMHDR*) override { calls.push_back("notify " + std::to_string(id)); }
    void OnTimer(UINT_PTR id) override { calls.push_back("timer " + std::to_string(id)); }
    int OnDropFiles(HDROP, wchar_t* buffer, int size) override {
        calls.push_back(std::string("drop ") + (buffer ? "buffer" : "none") + " " + std::to_string(size));
        return 0;
    }
    void OnInitDialog(HWND) override { calls.push_back("init"); }
    LRESULT OnCloseMessage(HWND) override {
        calls.push_back("close");
        return 0;
    }
};

}  // namespace

TEST_CASE("FindHelpPage looks in the program's folder and tells a missing page") {
    const std::string dir = testutil::MakeTempDir();
    const std::wstring program = gui::Wide(testutil::Join(dir, "Taplore.exe"));
    const std::string help = testutil::Join(dir, "help");
    wchar_t path[MAX_PATH];
    // No help folder: not found, and the path looked for is given.
    CHECK_FALSE(FindHelpPage(program.c_str(), L"help\\en.html", path, MAX_PATH));
    CHECK(testutil::Utf8(path) == testutil::Join(help, "en.html"));
    CreateDirectoryA(help.c_str(), nullptr);
    REQUIRE(testutil::WriteBytes(testutil::Join(help, "en.html"), "<html></html>"));
    CreateDirectoryA(testutil::Join(help, "ja.html").c_str(), nullptr);  // a folder is no page
    CHECK(FindHelpPage(program.c_str(), L"help\\en.html", path, MAX_PATH));
    CHECK(testutil::Utf8(path) == testutil::Join(help, "en.html"));
    CHECK_FALSE(FindHelpPage(program.c_str(), L"help\\ja.html", path, MAX_PATH));
    // Too small a buffer, an empty page name: nothing found, nothing overrun.
    wchar_t tiny[8] = {L'x'};
    CHECK_FALSE(FindHelpPage(program.c_str(), L"help\\en.html", tiny, 8));
    CHECK(tiny[0] == L'\0');
    CHECK_FALSE(FindHelpPage(program.c_str(), L"", path, MAX_PATH));
    DeleteFileA(testutil::Join(help, "en.html").c_str());
    RemoveDirectoryA(testutil::Join(help, "ja.html").c_str());
    RemoveDirectoryA(help.c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST_CASE("CAppBase routes the main dialog's messages and the frame commands") {
    CRoutingApp app;
    struct Message {
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        std::vector<std::string> calls;
    };
    NMHDR header = {};
    const Message messages[] = {
        {WM_COMMAND, MAKEWPARAM(20011, 5), 1, {"command 20011 5"}},
        {WM_NOTIFY, 20015, 1, {"notify 20015"}},
        {WM_TIMER, 42, 1, {"timer 42"}},
        {WM_DROPFILES, 0, 1, {"drop none 0"}},
        {WM_INITDIALOG, 0, 1, {"init"}},
        {WM_CLOSE, 0, 1, {"close"}},
        {WM_PAINT, 0, 0, {}},
        {WM_USER + 2, 0, 0, {}},
    };
    for (const Message& m : messages) {
        CAPTURE(m.message);
        app.calls.clear();
        CHECK(app.OnMessage(nullptr, m.message, m.wParam, reinterpret_cast<LPARAM>(&header)) == m.result);
        CHECK(app.calls == m.calls);
    }

    struct Command {
        int id;
        const char* call;
    };
    const Command commands[] = {
        {IDCANCEL, "exit"},           {ID_APP_EXIT, "exit"},       {ID_APP_ABOUT, "about"},
        {ID_HELP_TOPICS, "help"},     {ID_HELP_LANGUAGE, "language 0"}, {ID_VIEW_TOOLBAR, "toolbar"},
        {ID_VIEW_STATUSBAR, "statusbar"}, {ID_WINDOW_TILE_VERT, "tile v"}, {ID_WINDOW_TILE_HORZ, "tile h"},
        {ID_WINDOW_CASCADE, "cascade"}, {ID_WINDOW_CLOSE_ALL, "close all"}, {IDOK, nullptr},
        {ID_FILE_NEW, nullptr},
    };
    for (const Command& c : commands) {
        CAPTURE(c.id);
        app.calls.clear();
        app.CAppBase::OnCommand(c.id, 0);
        CHECK(app.calls == (c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{}));
    }

    g_app = nullptr;
    CHECK(CAppBase::MainDialogProc(nullptr, WM_COMMAND, IDCANCEL, 0) == 0);
    g_app = &app;
    app.calls.clear();
    CHECK(CAppBase::MainDialogProc(nullptr, WM_COMMAND, ID_APP_ABOUT, 0) == 1);
    CHECK(app.calls == std::vector<std::string>{"command 5014 0", "about"});
    g_app = nullptr;
}
