#pragma once
// Driving the real Taplore.exe from a test program: a private copy of the
// program in a temporary folder, a separate current directory, and helpers
// that find its windows and read their controls across the process border.
// Every wait has a time limit, and a program still running when its
// CProgramRun goes out of scope is killed, so no test can hang on it.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "win/handles_win.h"
#include "test_util.h"

namespace gui {

constexpr DWORD kWaitMs = 15000;

inline std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    return out;
}

inline std::string Narrow(const std::wstring& wide) { return testutil::Utf8(wide.c_str()); }

// Folder of this test executable, without a trailing separator.
inline std::string ExeDirectory() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::string s = testutil::Utf8(std::wstring(path, n).c_str());
    return s.substr(0, s.find_last_of("\\/"));
}

inline std::string ParentOf(const std::string& dir) { return dir.substr(0, dir.find_last_of("\\/")); }

// Whole-file reads and writes by UTF-8 path.
inline bool WriteFileAt(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

// Shares deletion too: a test that polls a file the program saves must not
// make the program's replacement of it fail.
inline std::string ReadFileAt(const std::string& path, bool* found = nullptr) {
    std::string bytes;
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (found) *found = file != INVALID_HANDLE_VALUE;
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline bool FileExistsAt(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The program built beside the tests: <build>/Taplore.exe for <build>/tests/x.exe.
inline std::string BuiltProgram() { return testutil::Join(ParentOf(ExeDirectory()), "Taplore.exe"); }

// Polls `condition` every 10 ms until it holds or `timeoutMs` has passed.
template <class F>
bool WaitFor(F condition, DWORD timeoutMs = kWaitMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(10);
    }
}

inline std::string WindowText(HWND window) {
    wchar_t buffer[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        5000, &copied);
    buffer[511] = L'\0';
    return testutil::Utf8(buffer);
}

inline std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

inline std::string ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return testutil::Utf8(name);
}

// The top-level window of process `pid` whose caption is `caption`; only a
// visible one unless `visibleOnly` is false (a modal dialog exists before its
// loop first shows it).
inline HWND FindTopWindow(DWORD pid, const std::string& caption, bool visibleOnly = true) {
    struct Search {
        DWORD pid;
        std::string caption;
        bool visibleOnly;
        HWND found;
    } search{pid, caption, visibleOnly, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid && (!s->visibleOnly || IsWindowVisible(window)) &&
                WindowText(window) == s->caption) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForTopWindow(DWORD pid, const std::string& caption, DWORD timeoutMs = kWaitMs) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopWindow(pid, caption)) != nullptr; }, timeoutMs);
    return found;
}

// Visible top-level windows of `pid`, by caption.
inline std::vector<std::string> TopWindowCaptions(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<std::string> captions;
    } search{pid, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->pid && IsWindowVisible(window)) s->captions.push_back(WindowText(window));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.captions;
}

struct ComboState {
    std::vector<std::string> items;
    std::vector<LRESULT> data;
    LRESULT selected = CB_ERR;
};

// Combo-box texts are marshalled by the system, so a local buffer works.
inline ComboState ReadCombo(HWND combo) {
    ComboState state;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 255) {
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        state.items.push_back(testutil::Utf8(text));
        state.data.push_back(SendMessageW(combo, CB_GETITEMDATA, i, 0));
    }
    state.selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return state;
}

struct ColumnInfo {
    std::string heading;
    int width;
    int format;
};

// List-view messages carry pointers the system does not marshal: the column
// record and its text buffer are placed in the program's own memory.
inline std::vector<ColumnInfo> ReadListViewColumns(HANDLE process, HWND view) {
    std::vector<ColumnInfo> columns;
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    const SIZE_T textBytes = 256 * sizeof(wchar_t);
    char* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVCOLUMNW) + textBytes, MEM_COMMIT, PAGE_READWRITE));
    if (!remote) return columns;
    for (int i = 0; i < count; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVCOLUMNW));
        column.cchTextMax = 256;
        wchar_t text[256] = {};
        SIZE_T moved = 0;
        if (!WriteProcessMemory(process, remote, &column, sizeof column, &moved)) break;
        if (!SendMessageW(view, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(remote))) break;
        if (!ReadProcessMemory(process, remote, &column, sizeof column, &moved)) break;
        if (!ReadProcessMemory(process, remote + sizeof(LVCOLUMNW), text, textBytes, &moved)) break;
        text[255] = L'\0';
        columns.push_back({testutil::Utf8(text), column.cx, column.fmt});
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return columns;
}

// A private copy of Taplore.exe in its own folder, started from a separate
// current directory. Settings files can be placed beside the program or in
// the current directory before Start.
//
// Paths are UTF-8 here and reach the system through the wide calls, so the
// folders may carry names outside this process's code page.
class CProgramRun {
public:
    explicit CProgramRun(const std::string& currentName = "current") : root_(testutil::MakeTempDir()) {
        programDir_ = testutil::Join(root_, "program");
        currentDir_ = testutil::Join(root_, currentName);
        CreateDirectoryW(Wide(programDir_).c_str(), nullptr);
        CreateDirectoryW(Wide(currentDir_).c_str(), nullptr);
        copied_ = CopyFileW(Wide(BuiltProgram()).c_str(), Wide(ProgramPath()).c_str(), FALSE) != 0;
    }
    ~CProgramRun() {
        Kill();
        DeleteTree(root_);
    }
    CProgramRun(const CProgramRun&) = delete;
    CProgramRun& operator=(const CProgramRun&) = delete;

    bool Copied() const { return copied_; }
    std::string ProgramPath() const { return testutil::Join(programDir_, "Taplore.exe"); }
    std::string ProgramIni() const { return testutil::Join(programDir_, "Taplore.ini"); }
    std::string CurrentIni() const { return testutil::Join(currentDir_, "Taplore.ini"); }

    // Starts the program; `environment` entries ("NAME=value") are added to
    // this process's own environment for the child, `arguments` to its
    // command line after the program's quoted path.
    bool Start(const std::vector<std::string>& environment = {}, const std::string& arguments = "") {
        std::wstring block;
        if (!environment.empty()) {
            // Entries named in `environment` replace this process's own.
            auto named = [&](const std::wstring& entry) {
                for (const std::string& wanted : environment) {
                    std::wstring name = Wide(wanted.substr(0, wanted.find('=') + 1));
                    if (entry.compare(0, name.size(), name) == 0) return true;
                }
                return false;
            };
            wchar_t* own = GetEnvironmentStringsW();
            for (const wchar_t* p = own; *p; p += lstrlenW(p) + 1) {
                std::wstring entry(p);
                if (!named(entry)) block.append(entry.c_str(), entry.size() + 1);
            }
            FreeEnvironmentStringsW(own);
            for (const std::string& entry : environment) {
                block += Wide(entry);
                block += L'\0';
            }
            block += L'\0';
        }
        std::wstring commandLine = L"\"" + Wide(ProgramPath()) + L"\"";
        if (!arguments.empty()) commandLine += L" " + Wide(arguments);
        // Wine starts the desktop's own process from the first process that
        // asks for the desktop window. Were that the program, the desktop
        // would join the program's job below and end with it, and every
        // program started later would fail creating its window under the
        // desktop's vanished one (X BadWindow): so this process asks first.
        GetDesktopWindow();
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                            CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                            environment.empty() ? nullptr : &block[0], Wide(currentDir_).c_str(), &startup,
                            &info_)) {
            return false;
        }
        // In a job that ends with this process, so that not even a crashed
        // test leaves the program running.
        job_.Reset(CreateJobObjectW(nullptr, nullptr));
        if (job_) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
            AssignProcessToJobObject(job_.Get(), info_.hProcess);
        }
        ResumeThread(info_.hThread);
        CloseHandle(info_.hThread);
        info_.hThread = nullptr;
        return true;
    }

    DWORD Pid() const { return info_.dwProcessId; }
    HANDLE Process() const { return info_.hProcess; }

    HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = kWaitMs) const {
        return WaitForTopWindow(Pid(), caption, timeoutMs);
    }

    // The exit code, or -1 when the program did not end in time.
    long WaitForExit(DWORD timeoutMs = kWaitMs) {
        if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        CloseHandle(info_.hProcess);
        info_.hProcess = nullptr;
        return static_cast<long>(code);
    }

    void Kill() {
        if (info_.hProcess) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
            CloseHandle(info_.hProcess);
            info_.hProcess = nullptr;
        }
        job_.Reset();
    }

private:
    static void DeleteTree(const std::string& dir) {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW(Wide(testutil::Join(dir, "*")).c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::string name = testutil::Utf8(entry.cFileName);
                if (name == "." || name == "..") continue;
                std::string path = testutil::Join(dir, name);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    DeleteTree(path);
                } else {
                    DeleteFileW(Wide(path).c_str());
                }
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(Wide(dir).c_str());
    }

    std::string root_;
    std::string programDir_;
    std::string currentDir_;
    bool copied_ = false;
    PROCESS_INFORMATION info_ = {};
    CScopedKernelHandle job_;
};

}  // namespace gui
