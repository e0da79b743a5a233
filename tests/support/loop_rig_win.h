#pragma once
// The whole program driven with real X input: Taplore.exe through its main
// window (drive::CMainWindow), xdotool for the pointer and the keyboard, the
// target program that logs the button and key messages it receives, and a
// hidden window of the test itself that watches the raw input, so that the
// test knows when xdotool's input has arrived and when each event came.
//
// One clock for everything: the performance counter, which is shared by all
// processes, read here in microseconds. The target stamps its messages on it,
// the watch stamps the raw events on it, and the program's recorded intervals
// are differences of the same counter in whole milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "main_window_driver_win.h"
#include "model/action.h"
#include "model/keynames.h"
#include "support/player_target.h"
#include "support/xdo_win.h"

namespace loop {

inline int64_t Frequency() {
    static int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    return frequency;
}

inline int64_t CounterMicros(int64_t counter) {
    const int64_t f = Frequency();
    return counter / f * 1000000 + counter % f * 1000000 / f;
}

inline int64_t Micros() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return CounterMicros(now.QuadPart);
}

// Raw events keep their moment as 32 bits (xdo::RawEvent::ms); here that is
// the microsecond clock modulo 2^32, so only differences of less than an hour
// are meaningful: Moment brings one back next to a full reading.
inline int64_t Moment(uint32_t stamp, int64_t around) {
    return around + static_cast<int32_t>(stamp - static_cast<uint32_t>(around));
}

// The test's own raw-input window: hidden, registered for mouse and keyboard
// in the background, logging every event before anything else happens to it.
class CInputWatch {
public:
    CInputWatch() {
        current_ = this;
        WNDCLASSW wc = {};
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpfnWndProc = Proc;
        wc.lpszClassName = L"LoopInputWatch";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
        RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_INPUTSINK, window_}, {1, 6, RIDEV_INPUTSINK, window_}};
        if (!window_) {
            error = "cannot create the raw-input window";
        } else if (!RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE))) {
            error = "RegisterRawInputDevices failed";
        } else {
            ready = true;
        }
    }
    ~CInputWatch() {
        if (window_) DestroyWindow(window_);
        current_ = nullptr;
    }
    CInputWatch(const CInputWatch&) = delete;
    CInputWatch& operator=(const CInputWatch&) = delete;

    // Runs one xdotool command chain and waits until all its input has come
    // in here; `from` receives the index of its first event in `log`.
    bool Drive(const std::string& commands, size_t* from, std::string* why, DWORD timeoutMs = 20000) {
        *from = log.events.size();
        return xdo.Run(commands, log, why, timeoutMs);
    }

    // Handles this thread's messages for `ms`, or until `done` holds.
    template <class F>
    bool Pump(F done, DWORD ms) {
        return xdo::PumpUntil(done, ms);
    }

    xdo::CRawLog log;
    xdo::CXdo xdo;
    bool ready = false;
    std::string error;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INPUT && current_) {
            current_->log.Observe(reinterpret_cast<HRAWINPUT>(lParam), static_cast<uint32_t>(Micros()));
            current_->log.Handled(static_cast<uint32_t>(Micros()));
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    static inline CInputWatch* current_ = nullptr;
};

// Pieces of xdotool command chains. Key commands wait 12 ms after each key
// unless told otherwise, which would lengthen every gap.
inline std::string Wait(int ms) {
    char text[32];
    snprintf(text, sizeof text, "sleep %d.%03d ", ms / 1000, ms % 1000);
    return text;
}
inline std::string MoveTo(POINT p) { return "mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) + " "; }
inline std::string KeyDown(const std::string& key) { return "keydown --delay 0 " + key + " "; }
inline std::string KeyUp(const std::string& key) { return "keyup --delay 0 " + key + " "; }
inline std::string Tap(const std::string& key, int holdMs) { return KeyDown(key) + Wait(holdMs) + KeyUp(key); }

// --- The program's list, read back from its list view -------------------

inline std::string KindName(ActionKind kind) {
    const wchar_t* text = ActionKindText(kind, 0);
    return text ? testutil::Utf8(text) : "kind " + std::to_string(static_cast<int>(kind));
}

inline bool IsMouseKind(ActionKind kind) {
    return kind >= ActionKind::MouseLeftPush && kind <= ActionKind::MouseRightDoubleClick;
}

// "HH:MM:SS.mmm" to milliseconds; -1 when the text is not such a duration.
inline int64_t ParseDuration(const std::string& text) {
    unsigned h = 0, m = 0, s = 0, ms = 0;
    char tail = 0;
    if (sscanf(text.c_str(), "%u:%u:%u.%u%c", &h, &m, &s, &ms, &tail) != 4) return -1;
    return ((static_cast<int64_t>(h) * 60 + m) * 60 + s) * 1000 + ms;
}

// The list view's rows as records. A row whose texts are not those the
// model gives its record (other than by its interval) is named in `problems`,
// as is a time code that is not the sum of the intervals above it.
inline std::vector<ActionRecord> ReadRecords(drive::CMainWindow& window, std::string* problems) {
    std::vector<ActionRecord> records;
    uint32_t timeCode = 0;
    for (int row = 0, n = window.Count(); row < n; ++row) {
        const drive::Row texts = window.RowAt(row);
        ActionRecord r = {};
        const int64_t interval = ParseDuration(texts[1]);
        r.interval = interval < 0 ? 0 : static_cast<uint32_t>(interval);
        r.kind = static_cast<ActionKind>(0);
        for (int k = 1; k <= 11; ++k) {
            if (KindName(static_cast<ActionKind>(k)) == texts[4]) r.kind = static_cast<ActionKind>(k);
        }
        if (!texts[2].empty()) {
            r.device = ActionDevice::Mouse;
            if (sscanf(texts[2].c_str(), "(x=%d, y=%d)", &r.x, &r.y) != 2) r.x = r.y = -99999;
        } else if (!texts[3].empty()) {
            r.device = ActionDevice::Keyboard;
            r.keyCode = -1;
            for (int code = 0; code < 256; ++code) {
                wchar_t name[kKeyNameCapacity];
                keyName(code, name);
                if (testutil::Utf8(name) == texts[3]) r.keyCode = code;
            }
        } else {
            r.device = ActionDevice::Display;
        }
        const bool timed = interval >= 0 && ParseDuration(texts[0]) == static_cast<int64_t>(timeCode);
        if (!timed || r.kind == static_cast<ActionKind>(0) || r.keyCode < 0 || r.x == -99999) {
            *problems += "row " + std::to_string(row) + " reads \"" + texts[0] + "\" \"" + texts[1] + "\" \"" +
                         texts[2] + "\" \"" + texts[3] + "\" \"" + texts[4] + "\"\n";
        }
        timeCode += r.interval;
        records.push_back(r);
    }
    return records;
}

// A record's operation without its interval, e.g. "Mouse left push (3,4)".
inline std::string Operation(const ActionRecord& r) {
    std::string s = KindName(r.kind);
    if (r.device == ActionDevice::Mouse) {
        s += " (" + std::to_string(r.x) + "," + std::to_string(r.y) + ")";
    } else if (r.device == ActionDevice::Keyboard) {
        s += " key " + std::to_string(r.keyCode);
    }
    return s;
}

inline std::string Describe(const ActionRecord& r) {
    return Operation(r) + " after " + std::to_string(r.interval) + " ms";
}

inline std::string Describe(const std::vector<ActionRecord>& records) {
    std::string s;
    for (size_t i = 0; i < records.size(); ++i) s += std::to_string(i) + ": " + Describe(records[i]) + "\n";
    return s;
}

// Whether two records are the same operation (the interval aside).
inline bool SameOperation(const ActionRecord& a, const ActionRecord& b) {
    return a.device == b.device && a.kind == b.kind && a.x == b.x && a.y == b.y && a.keyCode == b.keyCode;
}

// --- The target's log ------------------------------------------------------

// The message a record becomes when it is played into the target.
inline UINT MessageOf(const ActionRecord& r) {
    switch (r.kind) {
    case ActionKind::MouseLeftPush: return WM_LBUTTONDOWN;
    case ActionKind::MouseLeftRelease: return WM_LBUTTONUP;
    case ActionKind::MouseRightPush: return WM_RBUTTONDOWN;
    case ActionKind::MouseRightRelease: return WM_RBUTTONUP;
    case ActionKind::PushKey: return WM_KEYDOWN;
    case ActionKind::ReleaseKey: return WM_KEYUP;
    default: return 0;
    }
}

// The button and key messages the target logged from index `from` on,
// without the keys in `ignored` (the sentinel, a break key).
inline std::vector<target::Event> TargetEvents(const target::Process& t, LONG from,
                                               const std::vector<UINT>& ignored = {}) {
    std::vector<target::Event> out;
    const target::Log* log = t.log();
    if (!log) return out;
    const LONG count = log->count;
    MemoryBarrier();
    for (LONG i = from; i < count; ++i) {
        const target::Event& e = log->events[i];
        if (target::IsKeyMessage(e.message) &&
            std::find(ignored.begin(), ignored.end(), e.wParam) != ignored.end()) {
            continue;
        }
        if (target::IsButtonMessage(e.message) || target::IsKeyMessage(e.message)) out.push_back(e);
    }
    return out;
}

inline std::string Describe(const target::Event& e) {
    char text[96];
    if (target::IsKeyMessage(e.message)) {
        snprintf(text, sizeof text, "message 0x%04X key %u scan 0x%03X", e.message, e.wParam, (e.lParam >> 16) & 0x1FF);
    } else {
        snprintf(text, sizeof text, "message 0x%04X at (%ld,%ld)", e.message, e.screenX, e.screenY);
    }
    return text;
}

inline std::string Describe(const std::vector<target::Event>& events) {
    std::string s;
    for (size_t i = 0; i < events.size(); ++i) s += std::to_string(i) + ": " + Describe(events[i]) + "\n";
    return s;
}

// Whether the target's message is the one record `r` stands for: the same
// button or key message, at the record's position for a button.
inline bool Matches(const target::Event& e, const ActionRecord& r) {
    if (e.message != MessageOf(r)) return false;
    if (target::IsKeyMessage(e.message)) return static_cast<int32_t>(e.wParam) == r.keyCode;
    return e.screenX == r.x && e.screenY == r.y;
}

// Milliseconds between two of the target's messages.
inline double Between(const target::Event& a, const target::Event& b) {
    return (CounterMicros(b.counter) - CounterMicros(a.counter)) / 1000.0;
}

// Empty when `events` from `first` on begin with the messages of `records`,
// in order; otherwise the first difference.
inline std::string Difference(const std::vector<target::Event>& events, size_t first,
                              const std::vector<ActionRecord>& records) {
    for (size_t i = 0; i < records.size(); ++i) {
        if (first + i >= events.size()) {
            return "message " + std::to_string(first + i) + " missing, for " + Operation(records[i]);
        }
        if (!Matches(events[first + i], records[i])) {
            return "message " + std::to_string(first + i) + " is " + Describe(events[first + i]) + ", not for " +
                   Operation(records[i]);
        }
    }
    return std::string();
}

// --- Figures ---------------------------------------------------------------

// Median, 99th percentile (nearest rank) and maximum of the sizes of `errors`.
struct Spread {
    double median = 0, p99 = 0, max = 0;
    size_t n = 0;
};

inline Spread SpreadOf(const std::vector<double>& errors) {
    std::vector<double> sizes;
    for (double e : errors) sizes.push_back(e < 0 ? -e : e);
    Spread s;
    s.n = sizes.size();
    if (sizes.empty()) return s;
    std::sort(sizes.begin(), sizes.end());
    const size_t n = sizes.size();
    s.median = n % 2 ? sizes[n / 2] : (sizes[n / 2 - 1] + sizes[n / 2]) / 2;
    s.p99 = sizes[std::max<size_t>((n * 99 + 99) / 100, 1) - 1];
    s.max = sizes.back();
    return s;
}

// Prints the spread of `errors` (milliseconds, signed) on stdout; with the
// environment variable TAPLORE_LOOP_ERRORS set, every value as well, for
// figures over many runs.
inline void Report(const char* what, const std::vector<double>& errors) {
    const Spread s = SpreadOf(errors);
    printf("%s: n %u, |error| median %.2f ms, p99 %.2f ms, max %.2f ms\n", what, static_cast<unsigned>(s.n),
           s.median, s.p99, s.max);
    if (GetEnvironmentVariableA("TAPLORE_LOOP_ERRORS", nullptr, 0) > 0) {
        printf("errors %s:", what);
        for (double e : errors) printf(" %.3f", e);
        printf("\n");
    }
    fflush(stdout);
}

}  // namespace loop
