// screens_driver.exe FOLDER: photographs the real Taplore.exe (built beside
// the tests) for the README: in English and in Japanese, the main window
// holding a list with rows of every kind, the operation dialog open on one
// of them, and the settings dialog. Writes main-en.png, edit-en.png,
// settings-en.png and the same with -ja into FOLDER. Run by screens.sh on a
// private display; exits 0 when all six pictures were taken.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "main_window_driver_win.h"
#include "playback/capture_win.h"
#include "win/handles_win.h"

namespace {

// The window as the screen shows it, as 32-bit pixels.
std::string Grab(HWND window, RECT* rect, void** bitsOut, CScopedGdiObject* bitmap) {
    GetWindowRect(window, rect);
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0) return std::string();
    CWindowDc screen(nullptr);
    CScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap->Reset(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bits) return std::string();
    {
        CSelectObject selected(memory.Get(), bitmap->Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect->left, rect->top, SRCCOPY);
    }
    GdiFlush();
    *bitsOut = bits;
    std::string bytes(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    bytes.append(static_cast<const char*>(bits), static_cast<size_t>(width) * height * 4);
    return bytes;
}

// Saves the window as `folder`\`name`.png once two looks 200 ms apart agree,
// so the picture shows it fully drawn.
bool Shoot(HWND window, const std::string& folder, const std::string& name) {
    std::string previous;
    std::string current;
    for (int look = 0; look < 50; ++look) {
        RECT rect;
        void* bits = nullptr;
        CScopedGdiObject bitmap;
        current = Grab(window, &rect, &bits, &bitmap);
        if (!current.empty() && current == previous) break;
        previous = current;
        Sleep(200);
    }
    if (current.empty()) return false;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
    file.bfSize = static_cast<DWORD>(sizeof file + current.size());
    const std::string bmp = testutil::Join(folder, name + ".bmp");
    if (!gui::WriteFileAt(bmp, std::string(reinterpret_cast<const char*>(&file), sizeof file) + current)) return false;
    const bool converted = ConvertImage(gui::Wide(bmp).c_str(), gui::Wide(testutil::Join(folder, name + ".png")).c_str(),
                                        L"image/png");
    DeleteFileW(gui::Wide(bmp).c_str());
    std::printf("%s %s\n", converted ? "saved" : "FAILED", (name + ".png").c_str());
    return converted;
}

// A list as a recording and a few edits leave it: pushes and releases of
// both buttons and of keys, a click, a double click, moves, the middle
// button and a screenshot.
std::vector<ActionRecord> SampleList() {
    auto key = [](uint32_t interval, ActionKind kind, int32_t code) {
        return ActionRecord{interval, ActionDevice::Keyboard, kind, 0, 0, code};
    };
    return {
        drive::MouseRecord(1250, 412, 318, ActionKind::MouseLeftPush),
        drive::MouseRecord(96, 412, 318, ActionKind::MouseLeftRelease),
        drive::MouseRecord(830, 1800, 1080, ActionKind::MouseLeftDoubleClick),
        drive::MouseRecord(640, 96, 540, ActionKind::MouseRightPush),
        drive::MouseRecord(120, 96, 540, ActionKind::MouseRightRelease),
        drive::MouseRecord(700, 1024, 77, ActionKind::MouseLeftClick),
        drive::MouseRecord(16, 1030, 80, ActionKind::MouseMove),
        drive::MouseRecord(310, 1030, 80, ActionKind::MouseMiddlePush),
        drive::MouseRecord(95, 1030, 80, ActionKind::MouseMiddleRelease),
        key(900, ActionKind::PushKey, 'T'),
        key(85, ActionKind::ReleaseKey, 'T'),
        key(410, ActionKind::PushKey, VK_F5),
        key(90, ActionKind::ReleaseKey, VK_F5),
        key(300, ActionKind::PushKey, VK_RETURN),
        key(70, ActionKind::ReleaseKey, VK_RETURN),
        ActionRecord{1500, ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0},
    };
}

bool PhotographLanguage(int language, const std::string& folder) {
    const std::string suffix = language == 1 ? "-ja" : "-en";
    drive::CMainWindow window;
    if (!window.Start(language)) return false;
    const MachineIdent here = CurrentMachineIdent();
    const std::vector<ActionRecord> records = SampleList();
    const std::string list = window.PathIn("Sample.mou");
    if (!gui::WriteFileAt(list, drive::OperationFile(records, &here, "C:\\Users\\Public\\Pictures", 3))) return false;
    if (!window.Open(list) || !window.WaitCount(static_cast<int>(records.size()))) return false;
    // The file keeps the mouse rows first; the row with VK_F5 shows the key
    // names' underscores.
    window.Select({11});
    bool ok = Shoot(window.Main(), folder, "main" + suffix);

    window.Post(IDC_MODIFY);
    HWND edit = window.WaitFor(window.EditCaption());
    ok = edit && Shoot(edit, folder, "edit" + suffix) && ok;
    if (edit) drive::Press(edit, IDCANCEL);
    ok = window.WaitGone(window.EditCaption()) && ok;

    const char* settingCaption = language == 1 ? "設定" : "Setting";
    window.Post(ID_FILE_SETTING);
    HWND setting = window.WaitFor(settingCaption);
    ok = setting && Shoot(setting, folder, "settings" + suffix) && ok;
    if (setting) drive::Press(setting, IDCANCEL);
    ok = window.WaitGone(settingCaption) && ok;
    return window.Exit() == 1 && ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: screens_driver FOLDER\n");
        return 2;
    }
    const std::string folder = gui::Narrow(argv[1]);
    CreateDirectoryW(argv[1], nullptr);
    ULONG_PTR token = GdiPlusStart();
    bool ok = true;
    for (int language : {0, 1}) ok = PhotographLanguage(language, folder) && ok;
    GdiPlusStop(token);
    return ok ? 0 : 1;
}
