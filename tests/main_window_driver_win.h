#pragma once
// Driving the main window of a running Taplore.exe the way a user does:
// commands, the list view's rows and selection (read and set across the
// process border), message boxes, the operation edit dialog and the
// platform's file dialogs. Built on gui_driver_win.h; every wait is bounded.
#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui_driver_win.h"
#include "model/action.h"
#include "model/opfile.h"
#include "resources/resource.h"
#include "test_util.h"

namespace drive {

const char kMainEnglish[] = "Taplore - Automatic mouse operation tool";
const char kMainJapanese[] = "Taplore - マウスの自動操作ツール";
const char kEditEnglish[] = "Edit Mouse Oparation";
const char kEditJapanese[] = "マウス操作編集";

const int kColumns = 5;
typedef std::vector<std::string> Row;

inline std::string Settings(int language, const std::string& more = "") {
    return "<?xml version=\"1.0\" ?>\r\n<config><language>" + std::to_string(language) + "</language>\r\n" +
           more + "</config>\r\n";
}

// Memory inside the program, for messages whose pointers the system does
// not carry across processes.
class CRemote {
public:
    CRemote(HANDLE process, SIZE_T size)
        : process_(process),
          base_(static_cast<char*>(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE))) {}
    ~CRemote() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    }
    CRemote(const CRemote&) = delete;
    CRemote& operator=(const CRemote&) = delete;

    char* At(SIZE_T offset) const { return base_ + offset; }
    bool Put(SIZE_T offset, const void* data, SIZE_T size) {
        SIZE_T moved = 0;
        return base_ && WriteProcessMemory(process_, base_ + offset, data, size, &moved) && moved == size;
    }
    bool Get(SIZE_T offset, void* data, SIZE_T size) {
        SIZE_T moved = 0;
        return base_ && ReadProcessMemory(process_, base_ + offset, data, size, &moved) && moved == size;
    }

private:
    HANDLE process_;
    char* base_;
};

inline LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, gui::kWaitMs, &result)) return -1;
    return static_cast<LRESULT>(result);
}

// A top-level window of `pid` with the caption, shown or not yet shown.
inline HWND FindOwnWindow(DWORD pid, const std::string& caption) {
    return gui::FindTopWindow(pid, caption, false);
}

// What a message box shows.
struct MessageBoxView {
    HWND window = nullptr;
    std::string text;      // the message
    int defaultId = 0;     // the button Enter presses (0 none, -1 several)
    std::vector<int> buttons;
};

inline MessageBoxView ReadMessageBox(HWND box) {
    MessageBoxView view;
    view.window = box;
    const int ids[] = {IDOK, IDCANCEL, IDYES, IDNO};
    for (int id : ids) {
        if (GetDlgItem(box, id)) view.buttons.push_back(id);
    }
    // The default button is drawn as such (the box's DM_GETDEFID answer is
    // not kept up to date by every platform).
    for (int id : view.buttons) {
        if ((GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON) continue;
        view.defaultId = view.defaultId == 0 ? id : -1;  // -1: more than one
    }
    // The message is the static text that is not empty (the icon is a static
    // without text).
    HWND child = nullptr;
    while ((child = FindWindowExW(box, child, L"Static", nullptr)) != nullptr) {
        std::string text = gui::WindowText(child);
        if (!text.empty()) view.text = text;
    }
    return view;
}

// Presses a dialog's button without waiting for the dialog to act on it.
inline void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void SetText(HWND control, const std::string& text) {
    std::wstring wide = gui::Wide(text);
    SendBounded(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// Selects the item of a combo box whose item data is `data` and tells the
// dialog, as a choice with the mouse does. False when there is no such item.
inline bool ChooseComboData(HWND dialog, int id, LRESULT data) {
    HWND combo = GetDlgItem(dialog, id);
    gui::ComboState state = gui::ReadCombo(combo);
    for (size_t i = 0; i < state.data.size(); ++i) {
        if (state.data[i] != data) continue;
        SendBounded(combo, CB_SETCURSEL, i, 0);
        SendBounded(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
        return true;
    }
    return false;
}

// The values typed or chosen in the operation edit dialog; empty texts and
// negative choices leave a control as the dialog set it up.
struct EditValues {
    int device = -1;
    int kind = -1;
    int keyName = -1;  // a key code chosen from the key-name list
    std::string x, y, keyCode, interval;
};

inline void FillEditDialog(HWND dialog, const EditValues& values) {
    if (values.device >= 0) ChooseComboData(dialog, IDC_EDIT_DEVICE, values.device);
    if (values.kind >= 0) ChooseComboData(dialog, IDC_EDIT_KIND, values.kind);
    if (values.keyName >= 0) ChooseComboData(dialog, IDC_EDIT_KEYNAME, values.keyName);
    if (!values.x.empty()) SetText(GetDlgItem(dialog, IDC_EDIT_X), values.x);
    if (!values.y.empty()) SetText(GetDlgItem(dialog, IDC_EDIT_Y), values.y);
    if (!values.keyCode.empty()) SetText(GetDlgItem(dialog, IDC_EDIT_KEYCODE), values.keyCode);
    if (!values.interval.empty()) SetText(GetDlgItem(dialog, IDC_EDIT_INTERVAL), values.interval);
}

// The text of a mou file: `records` as the model holds them, grouped by
// device as the writer does; `ident` null for a file without a mark.
inline std::string OperationFile(const std::vector<ActionRecord>& records, const MachineIdent* ident,
                                 const std::string& folder = "", int format = 1) {
    std::string text = "<?xml version=\"1.0\" ?>\r\n";
    if (ident) {
        text += "<ident>";
        for (int k = 0; k < 4; ++k) {
            text += "<" + std::to_string(k) + ">" +
                    std::to_string(static_cast<int32_t>(ident->w[k] ^ kIdentMasks[k])) + "</" +
                    std::to_string(k) + ">\r\n";
        }
        text += "</ident>\r\n";
    }
    text += "<action>";
    auto number = [](const char* name, int64_t value) {
        return std::string("<") + name + ">" + std::to_string(value) + "</" + name + ">\r\n";
    };
    for (int device = 0; device < 3; ++device) {
        for (const ActionRecord& r : records) {
            if (static_cast<int>(r.device) != device) continue;
            const int32_t interval = static_cast<int32_t>(r.interval);
            if (device == 0) {
                text += "<mouse>" + number("time", interval) + number("x", r.x) + number("y", r.y) +
                        number("type", static_cast<int>(r.kind)) + "</mouse>\r\n";
            } else if (device == 1) {
                text += "<key>" + number("time", interval) + number("type", static_cast<int>(r.kind)) +
                        number("code", r.keyCode) + "</key>\r\n";
            } else {
                text += "<display>" + number("time", interval) + number("type", static_cast<int>(r.kind)) +
                        "</display>\r\n";
            }
        }
    }
    text += "</action>\r\n<image>" + (folder.empty() ? std::string("<path/>\r\n") : "<path>" + folder + "</path>\r\n") +
            number("type", format) + "</image>\r\n";
    return text;
}

// Milliseconds on the performance counter, for the benchmarks.
inline double NowMs() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Waits up to two minutes, for the long lists of the benchmarks.
template <class F>
bool PollLong(F condition) {
    const ULONGLONG end = GetTickCount64() + 120000;
    while (!condition() && GetTickCount64() < end) Sleep(1);
    return condition();
}

inline ActionRecord MouseRecord(uint32_t interval, int32_t x, int32_t y, ActionKind kind = ActionKind::MouseLeftPush) {
    return ActionRecord{interval, ActionDevice::Mouse, kind, x, y, 0};
}

// The running program with its main window.
class CMainWindow {
public:
    // Starts a private copy of the program whose settings choose `language`
    // (0 English, 1 Japanese); `settings` adds elements to the settings file.
    bool Start(int language, const std::string& settings = "") {
        language_ = language;
        if (!run_.Copied()) return false;
        if (!gui::WriteFileAt(run_.CurrentIni(), Settings(language, settings))) return false;
        if (!run_.Start()) return false;
        main_ = run_.WaitForWindow(language == 1 ? kMainJapanese : kMainEnglish);
        return main_ != nullptr;
    }

    // Starts the program again after it ended, with the settings it left.
    bool Restart() {
        if (!run_.Start()) return false;
        main_ = run_.WaitForWindow(language_ == 1 ? kMainJapanese : kMainEnglish);
        return main_ != nullptr;
    }
    // Drops files on the main window as the shell does: a drop handle in the
    // program's memory (fixed memory, whose handle is its address).
    void Drop(const std::vector<std::string>& paths) {
        std::wstring names;
        for (const std::string& path : paths) names += gui::Wide(path) + L'\0';
        names += L'\0';
        DROPFILES header = {};
        header.pFiles = sizeof header;
        header.fWide = TRUE;
        const SIZE_T size = sizeof header + names.size() * sizeof(wchar_t);
        char* memory = static_cast<char*>(VirtualAllocEx(run_.Process(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        if (!memory) return;
        WriteProcessMemory(run_.Process(), memory, &header, sizeof header, nullptr);
        WriteProcessMemory(run_.Process(), memory + sizeof header, names.data(), names.size() * sizeof(wchar_t), nullptr);
        // Left to the program: it releases the drop, and the process ends
        // with the test.
        PostMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }

    gui::CProgramRun& Run() { return run_; }
    HWND Main() const { return main_; }
    HWND View() const { return GetDlgItem(main_, IDC_ACTION_LIST); }
    DWORD Pid() const { return run_.Pid(); }
    bool Japanese() const { return language_ == 1; }
    const char* EditCaption() const { return Japanese() ? kEditJapanese : kEditEnglish; }
    // A folder of this run for the test's files (the program's current folder).
    std::string Folder() const { return gui::ParentOf(run_.CurrentIni()); }
    std::string PathIn(const std::string& name) const { return testutil::Join(Folder(), name); }

    // A command whose handler may open a modal window: posted, so this side
    // does not wait for it.
    void Post(int id, int code = 0) { PostMessageW(main_, WM_COMMAND, MAKEWPARAM(id, code), 0); }
    // A command that opens nothing: sent, so it is done on return.
    void Send(int id, int code = 0, HWND control = nullptr) {
        SendBounded(main_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
    }
    // Returns once the window thread has handled every message posted so
    // far: posted messages are handled in order, so a toggle of the Repeat
    // box posted last shows when all before it are done (also when one of
    // them opened a modal window, whose loop handles the toggle). Toggled
    // twice, so the box ends as it was.
    void Sync() {
        HWND box = GetDlgItem(main_, IDC_REPEAT);
        for (int i = 0; i < 2; ++i) {
            const LRESULT before = SendBounded(box, BM_GETCHECK, 0, 0);
            Post(IDC_REPEAT, BN_CLICKED);
            gui::WaitFor([&] { return SendBounded(box, BM_GETCHECK, 0, 0) != before; });
        }
    }

    // A file the program writes, read once the commands posted so far are
    // done: reading it while the program writes could make its write fail.
    std::string ReadAfterCommands(const std::string& path) {
        Sync();
        return gui::ReadFileAt(path);
    }

    HWND WaitFor(const std::string& caption, DWORD timeoutMs = gui::kWaitMs) {
        return run_.WaitForWindow(caption, timeoutMs);
    }
    bool Has(const std::string& caption) const { return FindOwnWindow(run_.Pid(), caption) != nullptr; }
    // Waits until no window of the program has the caption.
    bool WaitGone(const std::string& caption) {
        return gui::WaitFor([&] { return !Has(caption); });
    }

    // Answers the message box with `caption` by pressing `id`; returns what
    // the box showed (window null when none came).
    MessageBoxView Answer(const std::string& caption, int id) {
        MessageBoxView view;
        HWND box = WaitFor(caption);
        if (!box) return view;
        view = ReadMessageBox(box);
        Press(box, id);
        gui::WaitFor([&] { return !IsWindow(box); });
        return view;
    }

    int Count() const { return static_cast<int>(SendBounded(View(), LVM_GETITEMCOUNT, 0, 0)); }
    bool WaitCount(int count) {
        return gui::WaitFor([&] { return Count() == count; });
    }

    std::string Cell(int row, int column) {
        CRemote remote(run_.Process(), sizeof(LVITEMW) + 256 * sizeof(wchar_t));
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(LVITEMW)));
        item.cchTextMax = 256;
        wchar_t text[256] = {};
        if (!remote.Put(0, &item, sizeof item)) return "<no memory>";
        SendBounded(View(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.At(0)));
        if (!remote.Get(sizeof(LVITEMW), text, sizeof text)) return "<unreadable>";
        text[255] = L'\0';
        return testutil::Utf8(text);
    }
    Row RowAt(int row) {
        Row texts;
        for (int column = 0; column < kColumns; ++column) texts.push_back(Cell(row, column));
        return texts;
    }
    // The "Mouse Point" column of every row: tests give each record its own x.
    std::vector<std::string> Points() {
        std::vector<std::string> points;
        for (int row = 0, n = Count(); row < n; ++row) points.push_back(Cell(row, 2));
        return points;
    }

    std::vector<int> Selected() const {
        std::vector<int> rows;
        int row = -1;
        while ((row = static_cast<int>(SendBounded(View(), LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) {
            rows.push_back(row);
            if (rows.size() > 1000) break;
        }
        return rows;
    }
    // Selects `rows` as clicks do: the last one clicked has the focus.
    void Select(const std::vector<int>& rows) {
        SetState(-1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int row : rows) SetState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    void SetState(int row, UINT state, UINT mask) {
        CRemote remote(run_.Process(), sizeof(LVITEMW));
        LVITEMW item = {};
        item.state = state;
        item.stateMask = mask;
        if (remote.Put(0, &item, sizeof item)) {
            SendBounded(View(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
        }
    }
    RECT ItemRect(int row) {
        RECT rect = {LVIR_BOUNDS, 0, 0, 0};
        CRemote remote(run_.Process(), sizeof rect);
        if (remote.Put(0, &rect, sizeof rect) &&
            SendBounded(View(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.At(0))) > 0) {
            remote.Get(0, &rect, sizeof rect);
        } else {
            rect = RECT{};
        }
        return rect;
    }
    // A double click with the left button on the middle of the row's first
    // cell, as the mouse delivers it to the list view.
    void DoubleClickRow(int row) {
        RECT rect = ItemRect(row);
        const LPARAM point = MAKELPARAM(rect.left + 20, (rect.top + rect.bottom) / 2);
        HWND view = View();
        PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, point);
        PostMessageW(view, WM_LBUTTONUP, 0, point);
        PostMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
        PostMessageW(view, WM_LBUTTONUP, 0, point);
    }

    std::string Text(int id) const { return gui::ControlText(main_, id); }
    void SetControlText(int id, const std::string& text) { SetText(GetDlgItem(main_, id), text); }
    // The user types into the folder box and leaves it.
    void TypeFolder(const std::string& text) {
        SetControlText(IDC_SCREENSHOT_FOLDER, text);
        Send(IDC_SCREENSHOT_FOLDER, EN_KILLFOCUS, GetDlgItem(main_, IDC_SCREENSHOT_FOLDER));
    }
    // The user picks the format with this item data from the format box.
    void ChooseFormat(int format) { ChooseComboData(main_, IDC_SCREENSHOT_FORMAT, format); }
    LRESULT FormatSelected() const { return SendBounded(GetDlgItem(main_, IDC_SCREENSHOT_FORMAT), CB_GETCURSEL, 0, 0); }

    // Add through the operation edit dialog; true when a row was added.
    bool Add(const EditValues& values) {
        const int before = Count();
        Post(IDC_ADD);
        HWND dialog = WaitFor(EditCaption());
        if (!dialog) return false;
        FillEditDialog(dialog, values);
        Press(dialog, IDOK);
        return WaitGone(EditCaption()) && WaitCount(before + 1);
    }
    // Adds mouse records told apart by x; each has the interval `interval`.
    bool AddPoints(const std::vector<int>& xs, const std::string& interval = "0") {
        for (int x : xs) {
            EditValues values;
            values.x = std::to_string(x);
            values.interval = interval;
            if (!Add(values)) return false;
        }
        return true;
    }

    // Whether New asks the unsaved-changes question (answered No): New
    // empties the folder box, so a marker typed there without leaving the
    // box (which the list never sees) shows when New has finished.
    bool NewAsks() {
        SetControlText(IDC_SCREENSHOT_FOLDER, "<pending New>");
        Post(ID_FILE_NEW);
        const std::string caption = Japanese() ? "操作の更新" : "Operation update";
        bool asked = false;
        gui::WaitFor([&] {
            if (HWND box = FindOwnWindow(run_.Pid(), caption)) {
                asked = true;
                Press(box, IDNO);
                gui::WaitFor([&] { return !IsWindow(box); });
            }
            return Text(IDC_SCREENSHOT_FOLDER).empty();
        });
        return asked;
    }

    // Runs a file dialog that the program has opened with `title`: types
    // `path` into its file name box and presses Open or Save (an empty path
    // cancels). Returns false when no such dialog came.
    bool CompleteFileDialog(const std::string& title, const std::string& path) {
        HWND dialog = WaitFor(title);
        if (!dialog) return false;
        if (path.empty()) {
            Press(dialog, IDCANCEL);
        } else {
            HWND name = GetDlgItem(dialog, cmb13);
            if (!name) name = GetDlgItem(dialog, edt1);
            if (!name) return false;
            SetText(name, path);
            Press(dialog, IDOK);
        }
        return gui::WaitFor([&] { return !IsWindow(dialog); });
    }
    const char* OpenTitle() const { return Japanese() ? "マウス操作ファイルの読み込み" : "Load Mouse operation File"; }
    const char* SaveTitle() const { return Japanese() ? "マウス操作ファイルの保存" : "Save Mouse operation File"; }

    // File > Open of `path` (a list that is not modified, so New asks
    // nothing); true when the dialog came and went and the command is done
    // (or waits in a message box).
    bool Open(const std::string& path) {
        Post(ID_FILE_OPEN);
        if (!CompleteFileDialog(OpenTitle(), path)) return false;
        Sync();
        return true;
    }

    // File > Open of a list of n rows, timed from the dialog's OK until the
    // view has every row and its first screen is drawn; `position` gives the
    // position text each of those rows must show. -1 when the dialog did not
    // come, the rows did not, or a row showed another text.
    double OpenTimed(const std::string& path, int n, const std::function<std::string(int row)>& position) {
        HWND view = View();
        Post(ID_FILE_OPEN);
        HWND dialog = WaitFor(OpenTitle());
        if (!dialog) return -1;
        SetText(GetDlgItem(dialog, cmb13), path);
        const double start = NowMs();
        Press(dialog, IDOK);
        if (!PollLong([&] { return Count() == n; })) return -1;
        const int perPage = static_cast<int>(SendBounded(view, LVM_GETCOUNTPERPAGE, 0, 0));
        bool shown = true;
        for (int row = 0; row < perPage; ++row) shown &= Cell(row, 2) == position(row);
        UpdateWindow(view);
        const double ms = NowMs() - start;
        return shown ? ms : -1;
    }

    bool Iconic() const { return IsIconic(main_) != 0; }

    // Exit; the exit code, answering an unsaved-changes question with No
    // when one comes (`asked` tells whether it did).
    long Exit(bool* asked = nullptr) {
        Post(ID_APP_EXIT);
        const std::string caption = Japanese() ? "操作の更新" : "Operation update";
        bool question = false;
        long code = -1;
        gui::WaitFor([&] {
            if (HWND box = FindOwnWindow(run_.Pid(), caption)) {
                question = true;
                Press(box, IDNO);
                gui::WaitFor([&] { return !IsWindow(box); });
            }
            code = run_.WaitForExit(10);
            return code != -1;
        });
        if (asked) *asked = question;
        return code;
    }

private:
    gui::CProgramRun run_;
    HWND main_ = nullptr;
    int language_ = 0;
};

}  // namespace drive
