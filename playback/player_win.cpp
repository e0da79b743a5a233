#include "playback/player_win.h"

#include <climits>

#include "core/debug.h"
#include "playback/capture_win.h"
#include "win/handles_win.h"

static_assert(sizeof(std::atomic<RunState>) == 4 && std::atomic<RunState>::is_always_lock_free,
              "the run state is one atomic 32-bit value");

// What one run plays: taken from the list on the window thread, owned by the
// player thread from the moment it takes the run on.
struct CPlayer::Snapshot {
    CArray<ActionRecord> records;
    CArray<wchar_t> folder;  // zero-terminated; no storage when none is chosen
    int32_t format = 1;
    int32_t speed = kSpeedNormal;
};

int32_t ParseRepeatCount(const wchar_t* text) {
    if (!text) return 0;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    bool negative = false;
    if (*p == L'-') {
        negative = true;
        ++p;
    }
    if (*p < L'0' || *p > L'9') return 0;
    int64_t value = 0;
    for (; *p; ++p) {
        if (*p < L'0' || *p > L'9') return 0;
        value = value * 10 + (*p - L'0');
        if (value > INT32_MAX) value = INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t ReadRepeatCount(HWND window) {
    if (IsDlgButtonChecked(window, IDC_REPEAT) != BST_CHECKED) return 0;
    wchar_t text[32] = {};
    GetDlgItemTextW(window, IDC_REPEAT_COUNT, text, 32);
    return ParseRepeatCount(text);
}

CPlayer::CPlayer(IInputSink* input, IPlayTimer* timer)
    : input_(input ? input : &systemInput_), timer_(timer ? timer : &preciseTimer_),
      arrival_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CPlayer::~CPlayer() {
    StopThread();
    COwner<Snapshot> dropped(pending_.exchange(nullptr));
    if (arrival_) CloseHandle(arrival_);
}

namespace {

// Whether sequence number `seen` is `sent` or a later one, across the wrap of
// the 24-bit numbers.
bool ReachedSequence(uint32_t seen, uint32_t sent) {
    return ((seen - sent) & kInputSequenceMask) < (kInputSequenceMask + 1) / 2;
}

}  // namespace

UINT CPlayer::CTaggedInput::Send(UINT count, INPUT* inputs) {
    uint32_t sequence = next_;
    for (UINT i = 0; i < count; ++i) {
        sequence = (sequence & kInputSequenceMask) == kInputSequenceMask ? 1 : sequence + 1;
        const ULONG_PTR tag = kInputTagMark | sequence;
        if (inputs[i].type == INPUT_KEYBOARD) {
            inputs[i].ki.dwExtraInfo = tag;
        } else if (inputs[i].type == INPUT_MOUSE) {
            inputs[i].mi.dwExtraInfo = tag;
        }
    }
    UINT accepted = player_.input_->Send(count, inputs);
    if (accepted > count) accepted = count;
    // Only what the system took comes back; a refused record is sent again
    // (a release tried anew) under a new number.
    if (accepted > 0) {
        const ULONG_PTR last =
            inputs[accepted - 1].type == INPUT_KEYBOARD ? inputs[accepted - 1].ki.dwExtraInfo
                                                        : inputs[accepted - 1].mi.dwExtraInfo;
        next_ = static_cast<uint32_t>(last & kInputSequenceMask);
        player_.sentSequence_.store(next_);
    }
    return accepted;
}

void CPlayer::NoteInputArrived(ULONG extraInformation) {
    if ((extraInformation & kInputTagMarkMask) != kInputTagMark) return;
    seenSequence_.store(extraInformation & kInputSequenceMask);
    if (InputArrived()) SetEvent(arrival_);
}

bool CPlayer::InputArrived() const { return ReachedSequence(seenSequence_.load(), sentSequence_.load()); }

void CPlayer::AwaitArrival() {
    if (!watchArrivals_.load() || !arrival_) return;
    const DWORD start = GetTickCount();
    while (!InputArrived() && !hurry_.load() && !closing_.load()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= kArrivalWaitMs) {
            DebugPrint(L"play : input not seen back\n");
            return;
        }
        WaitForSingleObject(arrival_, kArrivalWaitMs - spent);
    }
}

bool CPlayer::ChangeRunState(RunState expected, RunState desired) {
    return state_.compare_exchange_strong(expected, desired);
}

bool CPlayer::CanStart() const {
    return state_.load() == RunState::Idle && requested_.load() == finished_.load();
}

bool CPlayer::StartThread() {
    if (thread_.load()) return threadId_.load() != 0;
    closing_.store(false);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, ThreadProc, this, 0, &id);
    if (!thread) return false;
    thread_.store(thread);
    for (int i = 0; i < 1000 && threadId_.load() == 0; ++i) Sleep(10);
    return threadId_.load() != 0;
}

void CPlayer::WaitForThread(HANDLE thread, DWORD timeout) {
    // Messages sent to this thread's windows are handled during the wait:
    // the player may be setting the pass-count text right now.
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, timeout, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CPlayer::StopThread() {
    // A run still going is ended here, and none begins any more: otherwise
    // an endless run would keep the thread from ever seeing WM_QUIT.
    closing_.store(true);
    if (arrival_) SetEvent(arrival_);
    state_.store(RunState::Idle);
    // Up to a second for the run to notice.
    AwaitRunFinished(1000);
    DWORD id = threadId_.load();
    if (id) PostThreadMessageW(id, WM_QUIT, 0, 0);
    CScopedKernelHandle ended(thread_.exchange(nullptr));
    if (ended) WaitForThread(ended.Get(), INFINITE);
}

bool CPlayer::RequestPlay(ActionList& list, int32_t repeatCount, int32_t speed) {
    if (!CanStart() || closing_.load()) return false;
    DWORD id = threadId_.load();
    if (!id) return false;
    COwner<Snapshot> snapshot = COwner<Snapshot>::New();
    if (!snapshot) return false;
    int count = list.count();
    if (!snapshot->records.Resize(count)) return false;
    for (int i = 0; i < count; ++i) snapshot->records[i] = *list.at(i);
    const wchar_t* folder = list.screenshotFolder.GetWide();
    if (folder && folder[0] && !snapshot->folder.Append(folder, lstrlenW(folder) + 1)) return false;
    snapshot->format = static_cast<int32_t>(list.screenshotFormat);
    snapshot->speed = speed;
    repeat_.store(repeatCount);
    hurry_.store(false);
    // Playing from the request on, not only once the player thread takes the
    // run up: a stop or the break key in between then finds a run to end.
    const bool playing = count > 0;
    if (playing && !ChangeRunState(RunState::Idle, RunState::Playing)) return false;
    COwner<Snapshot> replaced(pending_.exchange(snapshot.Release()));
    requested_.fetch_add(1);
    if (!PostThreadMessageW(id, WM_PLAY_START, 0, 0)) {
        requested_.fetch_sub(1);
        COwner<Snapshot> dropped(pending_.exchange(nullptr));
        if (playing) ChangeRunState(RunState::Playing, RunState::Idle);
        return false;
    }
    return true;
}

bool CPlayer::StopPlay() { return ChangeRunState(RunState::Playing, RunState::Idle); }

bool CPlayer::StopNow(DWORD timeoutMs) {
    hurry_.store(true);
    if (arrival_) SetEvent(arrival_);
    ChangeRunState(RunState::Playing, RunState::Idle);
    return AwaitRunFinished(timeoutMs);
}

bool CPlayer::AwaitRunFinished(DWORD timeoutMs) {
    HANDLE thread = thread_.load();
    const DWORD start = GetTickCount();
    // Polled finely: a stopped run usually ends within one pause.
    while (thread && requested_.load() != finished_.load()) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs) return false;
        WaitForThread(thread, timeoutMs - spent < 10 ? timeoutMs - spent : 10);
    }
    return true;
}

bool CPlayer::OnPlayEnd() {
    if (requested_.load() != finished_.load()) return false;
    ChangeRunState(RunState::Playing, RunState::Idle);
    return true;
}

DWORD WINAPI CPlayer::ThreadProc(LPVOID param) {
    CPlayer* player = static_cast<CPlayer*>(param);
    if (!player) return 0;
    MSG msg;
    // Creates the thread's message queue before the ID is published, so that
    // a WM_PLAY_START posted right after cannot be lost.
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    // Under Wine a thread opens a connection of its own to the X server the
    // first time it calls into the display driver, which takes 10 - 20 ms;
    // for this thread that would be the first injected absolute move, which
    // Wine passes on to the X pointer, so the first action of the first run
    // would come that much late. Creating a window (never shown) makes the
    // call now, before any run.
    {
        CScopedWindow probe(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    }
    player->threadId_.store(GetCurrentThreadId());
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message != WM_PLAY_START) continue;
        COwner<Snapshot> snapshot(player->pending_.exchange(nullptr));
        const bool taken = static_cast<bool>(snapshot);
        player->refused_ = false;
        player->picturesLost_ = false;
        const bool complete = player->Run(snapshot.Get());
        snapshot.Reset();
        player->AwaitArrival();
        const WPARAM end = (player->refused_ ? kPlayEndRefused : kPlayEndNormal) |
                           (player->picturesLost_ ? kPlayEndPicturesLost : kPlayEndNormal);
        player->lastComplete_.store(complete);
        player->lastEnd_.store(end);
        // Only Playing is taken back: a recording the window started after
        // a stopped run is left alone.
        player->ChangeRunState(RunState::Playing, RunState::Idle);
        if (taken) player->finished_.fetch_add(1);
        HWND window = player->window_.load();
        if (window) PostMessageW(window, WM_PLAY_END, end, 0);
    }
    // A last try for releases the system refused during the runs.
    player->held_.ReleaseAll(&player->tagged_);
    player->threadId_.store(0);
    return 0;
}

void CPlayer::ShowPass(const wchar_t* text) {
    HWND window = window_.load();
    HWND field = window ? GetDlgItem(window, IDC_PASS_COUNT) : nullptr;
    if (!field) return;
    // Bounded, so that a window thread that waits for the player cannot
    // hold it up for ever.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL | SMTO_ABORTIFHUNG, 1000, &result);
}

bool CPlayer::Perform(const ActionRecord& record, const RECT& desktop, const Snapshot& snapshot) {
    if (record.kind == ActionKind::Screenshot) {
        // Without a folder no picture is wanted; any other failure loses one.
        const CaptureResult result = TakeScreenshot(snapshot.folder.Data(), snapshot.format);
        if (result != CaptureResult::Saved && result != CaptureResult::NoFolder) picturesLost_ = true;
        return true;
    }
    INPUT inputs[kMaxActionInputs];
    int n = BuildActionInputs(record, desktop, inputs);
    if (n == 0) return true;
    UINT sent = tagged_.Send(static_cast<UINT>(n), inputs);
    if (sent > static_cast<UINT>(n)) sent = static_cast<UINT>(n);
    held_.Note(inputs, sent);
    return sent == static_cast<UINT>(n);
}

bool CPlayer::Run(Snapshot* snapshot) {
    ShowPass(L"");
    if (!snapshot || closing_.load()) return false;
    if (snapshot->records.Empty()) return true;
    // Stopped between the request and now: nothing is played.
    if (state_.load() != RunState::Playing) return false;
    // Releases an earlier run could not make are tried again first.
    if (!held_.Empty()) held_.ReleaseAll(&tagged_);
    timer_->BeginRun();
    uint32_t last = timer_->Now();
    RECT desktop = tagged_.VirtualDesktop();
    int32_t pass = 1;
    int32_t shown = 0;
    int index = 0;
    bool complete = false;
    CIntervalScaler scaler(snapshot->speed);
    const uint32_t catchUp = CatchUpLimit(scaler.Speed());
    const uint32_t moveCatchUp = MoveCatchUpLimit(scaler.Speed());
    // Whether the action performed last was a move (see MoveCatchUpLimit).
    bool afterMove = false;
    // The wait of the action at `index`, scaled once when it becomes due.
    uint32_t interval = 0;
    bool scaled = false;
    do {
        if (index >= snapshot->records.Count()) {
            int32_t repeat = repeat_.load();
            if (repeat == 0) {
                complete = true;
                break;
            }
            if (repeat > 0) {
                repeat_.store(--repeat);
                if (repeat == 0) {
                    complete = true;
                    break;
                }
            }
            // Every further pass counts, also those of an endless run, so
            // the field shows that a run goes on.
            if (pass < INT32_MAX) ++pass;
            index = 0;
        }
        // The field changes only between passes; rewriting the same number
        // while the first action waits would only cost time.
        if (index == 0 && pass != shown) {
            wchar_t text[16];
            wsprintfW(text, L"%d", pass);
            ShowPass(text);
            shown = pass;
        }
        uint32_t now = timer_->Now();
        const ActionRecord& record = snapshot->records[index];
        if (!scaled) {
            interval = scaler.Next(record.interval);
            scaled = true;
        }
        if (now - last >= interval) {
            // The time is read before the action, so its own duration counts
            // toward the next interval. A wake-up a few milliseconds late is
            // not carried into the following actions: they keep to the
            // recorded timeline. After a real stall (a screenshot save, a
            // machine busy for longer) the run goes on from now instead of
            // rushing the following actions to catch up; only a run of
            // moves catches up on more.
            const uint32_t late = now - last - interval;
            const bool move = record.kind == ActionKind::MouseMove;
            last = late <= (move && afterMove ? moveCatchUp : catchUp) ? last + interval : now;
            afterMove = move;
            ++index;
            scaled = false;
            if (!Perform(record, desktop, *snapshot)) {
                // Going on would play the rest of the list into the wrong
                // place, or not at all, without the user knowing.
                refused_ = true;
                ChangeRunState(RunState::Playing, RunState::Idle);
                break;
            }
        } else {
            timer_->Pause(last, interval);
        }
    } while (state_.load() == RunState::Playing);
    // An interrupted run lets go of what it pressed, so no key or button
    // stays down in the system; a run played to its end leaves the list's
    // own presses as they are.
    if (complete) {
        held_.Forget();
    } else {
        held_.ReleaseAll(&tagged_);
    }
    timer_->EndRun();
    return complete;
}
