#pragma once
// Real X input for tests that run under Wine: runs xdotool on the X display
// Wine draws on, and observes the raw input that reaches a test window.
//
// Wine starts a Unix program named in CreateProcessW, but asynchronously and
// without a usable process handle, so each request is a small shell script
// in a temporary folder: it runs the xdotool commands, then presses and
// releases the sentinel key, then writes the exit status into a file. A
// request is complete when that file exists and the sentinel's release has
// arrived as raw input; the raw-input queue is ordered, so every event the
// commands made has been handled by then.
//
// The test window must be registered for raw input and hand every WM_INPUT
// to CRawLog::Observe before acting on it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace xdo {

// Pause: no test presses it otherwise, Wine maps it plainly (no prefix, one
// event each way), and it starts no menu or help action in the target.
const USHORT kSentinelKey = VK_PAUSE;
const char kSentinelKeyName[] = "Pause";

// Windows path to Unix path through Wine's own export; empty when not under
// Wine.
inline std::string UnixPath(const std::wstring& path) {
    typedef char*(CDECL * Convert)(LPCWSTR);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    Convert convert = kernel ? reinterpret_cast<Convert>(reinterpret_cast<void*>(
                                   GetProcAddress(kernel, "wine_get_unix_file_name")))
                             : nullptr;
    if (!convert) return std::string();
    char* unix = convert(path.c_str());
    if (!unix) return std::string();
    std::string result(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Handles sent and posted messages of this thread until `done` holds or
// `timeoutMs` has passed; returns whether `done` held.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

struct RawEvent {
    DWORD type;          // RIM_TYPEMOUSE or RIM_TYPEKEYBOARD
    USHORT buttonFlags;  // mouse
    SHORT buttonData;    // mouse: the wheel's delta
    bool moved;          // mouse: a relative movement, or an absolute position
    USHORT virtualKey;   // keyboard
    USHORT keyFlags;     // keyboard
    ULONG extra;         // the sender's dwExtraInfo
    POINT cursor;        // GetCursorPos when the event was handled
    POINT at;            // the message position, moved by a relative movement
    DWORD time;          // the message time
    uint32_t ms;         // the caller's clock before the event was handled
    uint32_t doneMs;     // and after (see CRawLog::Handled)

    bool IsKey(USHORT key, bool released) const {
        return type == RIM_TYPEKEYBOARD && virtualKey == key &&
               ((keyFlags & RI_KEY_BREAK) != 0) == released;
    }
};

// Every raw event the test window received, in order. The window calls
// Observe before it acts on an event and Handled afterwards, so that what it
// did is known to have happened between the two clock readings.
class CRawLog {
public:
    void Handled(uint32_t nowMs) {
        if (observed_) events.back().doneMs = nowMs;
        observed_ = false;
    }

    void Observe(HRAWINPUT input, uint32_t nowMs) {
        observed_ = false;
        UINT size = 0;
        if (GetRawInputData(input, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
        std::vector<BYTE> buffer(size + sizeof(RAWINPUT));
        if (GetRawInputData(input, RID_INPUT, buffer.data(), &size, sizeof(RAWINPUTHEADER)) ==
            static_cast<UINT>(-1)) {
            return;
        }
        const RAWINPUT* raw = reinterpret_cast<const RAWINPUT*>(buffer.data());
        RawEvent event = {};
        event.type = raw->header.dwType;
        event.ms = nowMs;
        event.doneMs = nowMs;
        GetCursorPos(&event.cursor);
        const DWORD position = GetMessagePos();
        event.at = POINT{static_cast<SHORT>(LOWORD(position)), static_cast<SHORT>(HIWORD(position))};
        event.time = static_cast<DWORD>(GetMessageTime());
        if (event.type == RIM_TYPEMOUSE && !(raw->data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE)) {
            event.at.x += raw->data.mouse.lLastX;
            event.at.y += raw->data.mouse.lLastY;
        }
        if (event.type == RIM_TYPEMOUSE) {
            event.buttonFlags = raw->data.mouse.usButtonFlags;
            event.buttonData = static_cast<SHORT>(raw->data.mouse.usButtonData);
            event.moved = (raw->data.mouse.usFlags & MOUSE_MOVE_ABSOLUTE) || raw->data.mouse.lLastX != 0 ||
                          raw->data.mouse.lLastY != 0;
            event.extra = raw->data.mouse.ulExtraInformation;
        } else if (event.type == RIM_TYPEKEYBOARD) {
            event.virtualKey = raw->data.keyboard.VKey;
            event.keyFlags = raw->data.keyboard.Flags;
            event.extra = raw->data.keyboard.ExtraInformation;
        } else {
            return;
        }
        if (event.IsKey(kSentinelKey, true)) ++sentinels;
        events.push_back(event);
        observed_ = true;
    }

    // Events other than the sentinel's, from index `from` on.
    std::vector<RawEvent> Since(size_t from) const {
        std::vector<RawEvent> out;
        for (size_t i = from; i < events.size(); ++i) {
            if (events[i].type == RIM_TYPEKEYBOARD && events[i].virtualKey == kSentinelKey)
                continue;
            out.push_back(events[i]);
        }
        return out;
    }

    std::vector<RawEvent> events;
    int sentinels = 0;

private:
    bool observed_ = false;
};

class CXdo {
public:
    CXdo() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        folder_ = std::wstring(base) + L"taplore_xdo_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        unixFolder_ = UnixPath(folder_);
    }

    ~CXdo() {
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    CXdo(const CXdo&) = delete;
    CXdo& operator=(const CXdo&) = delete;

    // Runs `xdotool <commands>` (one command chain, e.g. "mousemove 10 20
    // click 1"), then the sentinel, and handles this thread's messages until
    // the request is complete. On failure `error` says why.
    bool Run(const std::string& commands, CRawLog& log, std::string* error,
             DWORD timeoutMs = 20000) {
        if (unixFolder_.empty()) return Fail(error, "not running under Wine (no Unix paths)");
        const int sentinelsBefore = log.sentinels;
        const size_t eventsBefore = log.events.size();
        std::wstring status, output;
        if (!Start("xdotool " + commands, &status, &output, error)) return false;
        const auto written = [&] { return GetFileAttributesW(status.c_str()) != INVALID_FILE_ATTRIBUTES; };
        const auto seen = [&] { return log.sentinels > sentinelsBefore; };
        bool finished = PumpUntil(written, timeoutMs) && PumpUntil(seen, 10000);
        // Seen a few times on loaded machines: a request timed out without its
        // sentinel. When the script has ended, the sentinel is pressed again
        // (ten seconds after the script, a first press that is only late would
        // not count for the next request); the output tells how often.
        int resent = 0;
        for (; !finished && written() && resent < 2; ++resent) {
            std::wstring again, againOutput;
            if (!Start("", &again, &againOutput, error)) return false;
            finished = PumpUntil(seen, 5000);
        }
        if (resent > 0) std::fprintf(stderr, "xdo: sentinel pressed %d more time(s)\n", resent);
        std::string rc = ReadText(status);
        if (!finished || rc.empty() || rc[0] != '0') {
            return Fail(error, "xdotool " + commands + ": " +
                                   (finished ? "status " + rc
                                             : std::string("timed out, script ") +
                                                   (written() ? "ended (status " + rc + ")" : "still running")) +
                                   ", sentinels " + std::to_string(log.sentinels - sentinelsBefore) +
                                   ", raw events " + std::to_string(log.events.size() - eventsBefore) +
                                   ", output: " + ReadText(output));
        }
        return true;
    }

private:
    // Starts a request script: `command` (none for the sentinel alone), then
    // the sentinel, then the status file.
    bool Start(const std::string& command, std::wstring* status, std::wstring* output, std::string* error) {
        const int n = ++requests_;
        const std::wstring id = std::to_wstring(n);
        const std::wstring script = Path(L"run-" + id + L".sh");
        *status = Path(L"status-" + id);
        *output = Path(L"output-" + id);
        const std::string unixStatus = unixFolder_ + "/status-" + std::to_string(n);
        const std::string unixOutput = unixFolder_ + "/output-" + std::to_string(n);
        std::string text = "PATH=/usr/bin:/bin:$PATH\n";
        text += command.empty() ? "true\n" : command + " >'" + unixOutput + "' 2>&1\n";
        text += "rc=$?\n";
        text += std::string("xdotool key ") + kSentinelKeyName + " >>'" + unixOutput + "' 2>&1\n";
        text += "echo $rc >'" + unixStatus + ".tmp' && mv '" + unixStatus + ".tmp' '" + unixStatus + "'\n";
        if (!WriteText(script, text)) return Fail(error, "cannot write the request script");
        files_.push_back(script);
        files_.push_back(*status);
        files_.push_back(*output);
        // Windows quoting: Wine splits the command line into the Unix arguments.
        std::wstring line = L"/bin/sh \"" + Widen(unixFolder_) + L"/run-" + id + L".sh\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            return Fail(error, "cannot start /bin/sh, error " + std::to_string(GetLastError()));
        }
        // Wine gives no usable handles for a Unix process; closing is harmless.
        if (process.hThread) CloseHandle(process.hThread);
        if (process.hProcess) CloseHandle(process.hProcess);
        return true;
    }

    static bool Fail(std::string* error, const std::string& why) {
        if (error) *error = why;
        return false;
    }

    static std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

    std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }

    static bool WriteText(const std::wstring& path, const std::string& text) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
        return ok && written == text.size();
    }

    static std::string ReadText(const std::wstring& path) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::string();
        char buffer[4096];
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer, &read, nullptr);
        CloseHandle(file);
        std::string text(buffer, read);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        return text;
    }

    std::wstring folder_;
    std::string unixFolder_;
    std::vector<std::wstring> files_;
    int requests_ = 0;
};

}  // namespace xdo
