// motion_bench.exe: a minute of pointer motion at 1 ms spacing, recorded and
// played under Wine, in two runs of a helper (a second copy of this program).
//
// Recording: the helper injects 60,000 moves to distinct positions with the
// system's SendInput, each in a millisecond of its own and stamped with it:
// when the system holds it up, the following moves come that much later
// rather than several within one millisecond, which the recorder would
// rightly fold into one. Meanwhile
// this copy records them as the main window does: a window registered for raw
// input hands every event to the recorder with motion on, and the new records
// grow a virtual list view every 50 ms (the window stays in front, see
// below).
//
// Playback: the helper plays the same moves, 1 ms apart, through the player,
// timing every SendInput call.
//
// Then it prints
//   motion_kept_pct     the share of the positions recorded in their order,
//   motion_drift_ms     how far the player's last calls fell behind its first,
//   motion_late_p99_ms  the 99th percentile of each call's lateness after the
//                       call before (the playback benchmark's measure).
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "play_window.h"
#include "playback/clock_win.h"
#include "playback/input_win.h"
#include "playback/recorder_win.h"

namespace {

int kMoves = 60000;  // a shorter run on request: motion_bench.exe MOVES
const int kColumns = 1500;  // positions run row by row over a band of the screen
const int kLeft = 100, kTop = 100;

POINT PositionOf(int i) { return POINT{kLeft + i % kColumns, kTop + i / kColumns}; }

double Ms(int64_t ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(f.QuadPart);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// The system's input, noting when each action was handed to SendInput.
class CTimedInput : public CSystemInput {
public:
    UINT Send(UINT count, INPUT* inputs) override {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        sent.push_back(now.QuadPart);
        const UINT result = CSystemInput::Send(count, inputs);
        LARGE_INTEGER after;
        QueryPerformanceCounter(&after);
        took.push_back(Ms(after.QuadPart - now.QuadPart));
        return result;
    }
    std::vector<int64_t> sent;
    std::vector<double> took;  // how long each call took
};

int WriteResult(const wchar_t* resultPath, const char* text) {
    FILE* out = _wfopen(resultPath, L"w");
    if (!out) return 6;
    std::fputs(text, out);
    std::fclose(out);
    return 0;
}

// The recording run's helper: injects the moves, each in a millisecond after
// the one before on the player's clock, and writes how long that took and
// how often the system held a call up for more than a millisecond.
int Inject(const wchar_t* resultPath) {
    CTimedInput input;
    const RECT desktop = input.VirtualDesktop();
    input.sent.reserve(kMoves);
    // Milliseconds of the counter's clock, the one Wine stamps input with.
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    CPlayClock clock(static_cast<uint32_t>(counter.QuadPart / (frequency.QuadPart / 1000)));
    clock.CenterOnCounterMs();
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    timeBeginPeriod(1);
    uint32_t last = clock.Now();
    for (int i = 0; i < kMoves; ++i) {
        const POINT p = PositionOf(i);
        const ActionRecord record = {1, ActionDevice::Mouse, ActionKind::MouseMove, p.x, p.y, 0};
        INPUT inputs[kMaxActionInputs];
        const int n = BuildActionInputs(record, desktop, inputs);
        while (i > 0 && clock.Now() - last < 1) clock.WaitUntil(last, 1, 50);
        last = clock.Now();
        // Stamped with the millisecond it is sent in, as a device's driver
        // stamps its events: left to the system, under Wine a move is
        // stamped when the server gets to it, and when the server is busy
        // that can still be the millisecond of the move before.
        for (int k = 0; k < n; ++k) inputs[k].mi.time = last;
        if (input.Send(static_cast<UINT>(n), inputs) != static_cast<UINT>(n)) return 7;
    }
    timeEndPeriod(1);
    int held = 0;
    for (size_t i = 1; i < input.sent.size(); ++i) held += Ms(input.sent[i] - input.sent[i - 1]) > 2.0;
    char text[64];
    std::snprintf(text, sizeof text, "%.1f %d\n", Ms(input.sent.back() - input.sent.front()), held);
    return WriteResult(resultPath, text);
}

// The playback run's helper: plays the moves and writes "drift late_p99
// late_p50 late_max offset_p99 bunched took_p99 took_max" into `resultPath`.
int Play(const wchar_t* resultPath) {
    PlayWindow window;
    CTimedInput input;
    CPlayer player(&input);
    window.SetPlayer(&player);
    player.SetMainWindow(window.hwnd());
    if (!player.StartThread()) return 3;
    ActionList list;
    for (int i = 0; i < kMoves; ++i) {
        const POINT p = PositionOf(i);
        list.append(ActionDevice::Mouse, ActionKind::MouseMove, p.x, p.y, 0, i == 0 ? 0 : 1);
    }
    input.sent.reserve(kMoves);
    if (!player.RequestPlay(list, 0) || !window.WaitForPlayEnd(1, 10 * 60 * 1000)) return 4;
    player.StopThread();
    const std::vector<int64_t>& sent = input.sent;
    if (sent.size() != static_cast<size_t>(kMoves)) return 5;
    std::vector<double> late, offsets;
    for (size_t i = 1; i < sent.size(); ++i) {
        late.push_back(Ms(sent[i] - sent[i - 1]) - 1.0);
        offsets.push_back(Ms(sent[i] - sent[0]) - static_cast<double>(i));
    }
    // The end against the start, each the median of ten calls, so that one
    // late call does not count as drift.
    std::vector<double> first(offsets.begin(), offsets.begin() + 10), last(offsets.end() - 10, offsets.end());
    const double drift = Percentile(last, 0.5) - Percentile(first, 0.5);
    // Calls that came less than half a millisecond after the one before:
    // moves catching up after a stall.
    int bunched = 0;
    for (double l : late) bunched += l < -0.5;
    char text[256];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f %.3f %.3f %d %.3f %.3f\n", drift, Percentile(late, 0.99),
                  Percentile(late, 0.5), Percentile(late, 1.0), Percentile(offsets, 0.99), bunched,
                  Percentile(input.took, 0.99), Percentile(input.took, 1.0));
    return WriteResult(resultPath, text);
}

// Starts this program again as the helper in `mode`, handles this thread's
// messages until it ends, and returns its exit code (-1: not started) and
// the text it wrote.
long RunHelper(const wchar_t* mode, std::string* result) {
    wchar_t exe[MAX_PATH], temp[MAX_PATH], path[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    GetTempPathW(MAX_PATH, temp);
    wsprintfW(path, L"%staplore_motion_%lu.txt", temp, GetCurrentProcessId());
    DeleteFileW(path);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" " + mode + L" \"" + path + L"\" " + std::to_wstring(kMoves);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 15 * 60 * 1000, QS_ALLINPUT | QS_RAWINPUT);
        if (r != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // The raw input still queued.
    MSG msg;
    const DWORD until = GetTickCount() + 2000;
    while (GetTickCount() < until) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(10);
    }
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    result->clear();
    if (FILE* in = _wfopen(path, L"r")) {
        char line[256];
        if (std::fgets(line, sizeof line, in)) *result = line;
        std::fclose(in);
    }
    DeleteFileW(path);
    return static_cast<long>(code);
}

struct Recording {
    CPlayer player;
    ActionList list;
    CRecorder recorder{player, list};
    HWND host = nullptr;
    HWND view = nullptr;
    bool rowsPending = false;
};
const UINT_PTR kRowsTimer = 1;
Recording* g_recording = nullptr;
std::vector<DWORD> g_times;  // each raw event's message time
// How long the recorder took for each event: reading it, the record, the row.
std::vector<double> g_handling;
std::vector<double> g_rows;  // and for each growth of the list view

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INPUT && g_recording) {
        g_times.push_back(static_cast<DWORD>(GetMessageTime()));
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        g_recording->recorder.OnRawInput(reinterpret_cast<HRAWINPUT>(lParam));
        QueryPerformanceCounter(&b);
        g_handling.push_back(Ms(b.QuadPart - a.QuadPart));
        return 0;
    }
    if (message == WM_TIMER && wParam == kRowsTimer && g_recording) {
        LARGE_INTEGER a, b;
        QueryPerformanceCounter(&a);
        KillTimer(window, kRowsTimer);
        g_recording->rowsPending = false;
        SendMessageW(g_recording->view, LVM_SETITEMCOUNT, g_recording->list.count(),
                     LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        QueryPerformanceCounter(&b);
        g_rows.push_back(Ms(b.QuadPart - a.QuadPart));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && lstrcmpW(argv[1], L"--play") == 0) {
        kMoves = _wtoi(argv[3]);
        return Play(argv[2]);
    }
    if (argc == 4 && lstrcmpW(argv[1], L"--inject") == 0) {
        kMoves = _wtoi(argv[3]);
        return Inject(argv[2]);
    }
    if (argc == 2 && _wtoi(argv[1]) >= 20) kMoves = _wtoi(argv[1]);

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    Recording rec;
    g_recording = &rec;
    g_handling.reserve(4 * kMoves);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MotionBenchHost";
    RegisterClassW(&wc);
    rec.host = CreateWindowExW(0, wc.lpszClassName, L"motion bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 1200, 600,
                               600, 400, nullptr, nullptr, wc.hInstance, nullptr);
    // Not shown, as in the main window, which is minimised while recording.
    rec.view = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 580,
                               360, rec.host, nullptr, wc.hInstance, nullptr);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 200;
    SendMessageW(rec.view, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    rec.recorder.SetWindow(rec.host);
    rec.recorder.SetMotionSource([](void*) { return true; }, nullptr);
    // As the main window shows new records while recording: the view grows
    // by all that came, at most every 50 ms.
    rec.recorder.SetRowAppended(
        [](void* context, int) {
            Recording* r = static_cast<Recording*>(context);
            if (r->rowsPending) return;
            r->rowsPending = true;
            SetTimer(r->host, kRowsTimer, 50, nullptr);
        },
        &rec);
    if (!rec.recorder.RegisterInput() || !rec.recorder.StartRecord()) {
        std::printf("recording did not start\n");
        return 1;
    }

    // Under Wine 8 the input another process injects reaches the raw input
    // of a window in the background not at all (xdotool's does): the
    // recording window stays in front.
    ShowWindow(rec.host, SW_RESTORE);
    SetForegroundWindow(rec.host);
    std::string injected;
    const long injectCode = RunHelper(L"--inject", &injected);
    rec.recorder.StopRecord();

    // The positions recorded in their order: each record that names a
    // position later than the last one counted.
    int kept = 0, last = -1, moves = 0, others = 0;
    for (int i = 0; i < rec.list.count(); ++i) {
        const ActionRecord& r = *rec.list.at(i);
        if (r.kind != ActionKind::MouseMove) {
            ++others;
            continue;
        }
        ++moves;
        const int row = r.y - kTop, col = r.x - kLeft;
        if (row < 0 || col < 0 || col >= kColumns) continue;
        const int index = row * kColumns + col;
        if (index > last && index < kMoves) {
            ++kept;
            last = index;
        }
    }
    double spanMs = -1;
    int held = -1;
    if (std::sscanf(injected.c_str(), "%lf %d", &spanMs, &held) != 2) spanMs = -1;
    std::printf("recorded %d moves (%d other records) of %d injected in %.1f ms (%d calls held up for over a "
                "millisecond) from %zu raw events; helper exit code %ld\n",
                moves, others, kMoves, spanMs, held, g_times.size(), injectCode);
    int shared = 0;
    for (size_t i = 1; i < g_times.size(); ++i) shared += g_times[i] == g_times[i - 1];
    std::printf("raw events stamped with the millisecond of the one before: %d\n", shared);
    std::printf("recorder's handling of one event: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n",
                Percentile(g_handling, 0.5), Percentile(g_handling, 0.99), Percentile(g_handling, 1.0));
    std::printf("list view grown %zu times, each p50 %.3f ms, max %.3f ms\n", g_rows.size(), Percentile(g_rows, 0.5),
                Percentile(g_rows, 1.0));

    // The playback run, with nothing recording.
    g_recording = nullptr;
    std::string played;
    const long playCode = RunHelper(L"--play", &played);
    double drift = -1, lateP99 = -1, lateP50 = -1, lateMax = -1, offsetP99 = -1;
    int bunched = -1;
    double tookP99 = -1, tookMax = -1;
    if (std::sscanf(played.c_str(), "%lf %lf %lf %lf %lf %d %lf %lf", &drift, &lateP99, &lateP50, &lateMax,
                    &offsetP99, &bunched, &tookP99, &tookMax) != 8) {
        drift = -1;
    }
    std::printf("playback at SendInput (helper exit code %ld): lateness p50 %.3f ms, max %.3f ms; behind the 1 ms "
                "timeline p99 %.3f ms; %d calls bunched after a stall; SendInput took p99 %.3f ms, max %.3f ms\n",
                playCode, lateP50, lateMax, offsetP99, bunched, tookP99, tookMax);
    std::printf("motion_kept_pct: %.3f\n", 100.0 * kept / kMoves);
    std::printf("motion_drift_ms: %.3f\n", drift);
    std::printf("motion_late_p99_ms: %.3f\n", lateP99);
    return injectCode == 0 && playCode == 0 ? 0 : 1;
}
