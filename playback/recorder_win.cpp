#include "playback/recorder_win.h"

#include <cstddef>

#include "config/app_parameter.h"
#include "core/debug.h"

namespace {

// Header plus the part of RAWINPUT's data union that one event type uses:
// a read shorter than this does not hold the fields the recorder looks at.
const UINT kMouseEventSize = offsetof(RAWINPUT, data) + sizeof(RAWMOUSE);
const UINT kKeyboardEventSize = offsetof(RAWINPUT, data) + sizeof(RAWKEYBOARD);

// Buffer size for the class name and the text of the window under the cursor.
const int kWindowTextCapacity = 256;

}  // namespace

namespace {

// The popup of `window` that must have the keyboard: the last active one,
// or, while a modal popup keeps the window disabled, an enabled popup it
// owns; the same again for a popup of that popup. Null when there is none.
HWND OpenPopup(HWND window) {
    HWND popup = GetLastActivePopup(window);
    if (!popup || popup == window) {
        popup = nullptr;
        if (!IsWindowEnabled(window)) {
            struct Search {
                HWND owner;
                HWND found;
            } search = {window, nullptr};
            EnumThreadWindows(
                GetWindowThreadProcessId(window, nullptr),
                [](HWND w, LPARAM p) -> BOOL {
                    Search* s = reinterpret_cast<Search*>(p);
                    if (GetWindow(w, GW_OWNER) != s->owner || !IsWindowEnabled(w)) return TRUE;
                    s->found = w;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            popup = search.found;
        }
    }
    if (!popup) return nullptr;
    HWND inner = OpenPopup(popup);
    return inner ? inner : popup;
}

}  // namespace

void RestoreWindow(HWND window) {
    if (!window) return;
    // Looked up first: restoring activates the window, which then counts
    // as its own last active popup.
    HWND popup = OpenPopup(window);
    ShowWindow(window, SW_RESTORE);
    if (!popup || !IsWindow(popup)) return;
    SetForegroundWindow(popup);
    BringWindowToTop(popup);
    SetActiveWindow(popup);
}

namespace {

// The window that takes the front from `window`, or null for none.
HWND NextInFront(HWND window) {
    struct Search {
        DWORD process;
        HWND found;
    } search = {0, nullptr};
    GetWindowThreadProcessId(window, &search.process);
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            Search* s = reinterpret_cast<Search*>(p);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            if (process == s->process || !IsWindowVisible(w) || !IsWindowEnabled(w) || IsIconic(w)) return TRUE;
            if (GetWindowLongPtrW(w, GWL_EXSTYLE) & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW)) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

void MinimiseWindow(HWND window) {
    if (!window) return;
    ShowWindow(window, SW_MINIMIZE);
    if (GetForegroundWindow() != window) return;
    HWND next = NextInFront(window);
    if (!next) next = GetShellWindow();
    if (!next) next = GetDesktopWindow();
    SetForegroundWindow(next);
}

CRecorder::CRecorder(CPlayer& player, ActionList& list)
    : player_(player), list_(list), clock_(GetTickCount()) {}

CRecorder::~CRecorder() { StopWatchingBreakKey(); }

void CRecorder::SetBreakKeySource(BreakKeySource source, void* context) {
    breakKeySource_ = source;
    breakKeyContext_ = context;
}

void CRecorder::SetRowAppended(RowAppended handler, void* context) {
    rowAppended_ = handler;
    rowContext_ = context;
}

void CRecorder::SetMotionSource(MotionSource source, void* context) {
    motionSource_ = source;
    motionContext_ = context;
}

bool CRecorder::RegisterInput(RegisterDevices registerDevices) {
    HWND window = window_;
    RAWINPUTDEVICE devices[2] = {};
    devices[0].usUsagePage = 1;
    devices[0].usUsage = 2;  // mouse
    devices[0].dwFlags = RIDEV_INPUTSINK;
    devices[0].hwndTarget = window;
    devices[1].usUsagePage = 1;
    devices[1].usUsage = 6;  // keyboard
    devices[1].dwFlags = RIDEV_INPUTSINK;
    devices[1].hwndTarget = window;
    inputReady_ = window && registerDevices(devices, 2, sizeof devices[0]);
    return inputReady_;
}

void CRecorder::OnRawInput(HRAWINPUT input) {
    // Mouse and keyboard events fit a RAWINPUT: one read into the stack, a
    // thousand times a second while the pointer moves. A larger event (of a
    // device not registered here) fails the read and is dropped.
    RAWINPUT raw;
    UINT capacity = sizeof raw;
    const UINT read = GetRawInputData(input, RID_INPUT, &raw, &capacity, sizeof(RAWINPUTHEADER));
    if (read == static_cast<UINT>(-1) || read < sizeof(RAWINPUTHEADER) || read > sizeof raw) return;
    // The player's own input coming back has been delivered: each event's
    // extra information goes to the player first.
    if (raw.header.dwType == RIM_TYPEMOUSE && read >= kMouseEventSize) {
        const RAWMOUSE& mouse = raw.data.mouse;
        player_.NoteInputArrived(mouse.ulExtraInformation);
        // An absolute device reports where the pointer is with every
        // event; whether it moved is judged by the cursor position.
        const bool absolute = (mouse.usFlags & MOUSE_MOVE_ABSOLUTE) != 0;
        const bool moved = absolute || mouse.lLastX != 0 || mouse.lLastY != 0;
        EventFromMessage(mouse.lLastX, mouse.lLastY, !absolute);
        OnMouseEvent(mouse.usButtonFlags, mouse.usButtonData, moved);
    } else if (raw.header.dwType == RIM_TYPEKEYBOARD && read >= kKeyboardEventSize) {
        player_.NoteInputArrived(raw.data.keyboard.ExtraInformation);
        EventFromMessage(0, 0, false);
        OnKeyEvent(raw.data.keyboard.VKey, raw.data.keyboard.Flags, raw.data.keyboard.MakeCode);
    }
    event_.placed = false;
    event_.timed = false;
}

bool CRecorder::MessagesTellEvents() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void CRecorder::EventFromMessage(LONG dx, LONG dy, bool withPosition) {
    event_.placed = false;
    event_.timed = false;
    if (!fromMessages_ || !motion_ || player_.GetRunState() != RunState::Recording) return;
    if (withPosition) {
        const DWORD position = GetMessagePos();
        event_.point.x = static_cast<SHORT>(LOWORD(position)) + dx;
        event_.point.y = static_cast<SHORT>(HIWORD(position)) + dy;
        event_.placed = true;
    }
    // The first event of the recording is taken at the moment it is
    // handled, each later one as far after it as its stamp says. An event
    // is never handled before it happened: one that would be after now
    // shows that the first was handled later after its event than this one,
    // and this one becomes the reference. Never before the last record
    // (stamps of the two devices a little out of step).
    const DWORD stamp = static_cast<DWORD>(GetMessageTime());
    const uint32_t now = clock_.Now();
    uint32_t moment = anchorClock_ + (stamp - anchorStamp_);
    if (!anchored_ || static_cast<int32_t>(moment - now) > 0) {
        anchored_ = true;
        anchorClock_ = now;
        anchorStamp_ = stamp;
        moment = now;
    }
    if (static_cast<int32_t>(moment - lastEventTick_) < 0) moment = lastEventTick_;
    event_.moment = moment;
    event_.timed = true;
}

void CRecorder::OnMouseEvent(USHORT buttonFlags, USHORT buttonData, bool moved) {
    if (motion_ && player_.GetRunState() == RunState::Recording) {
        RecordMotion(buttonFlags, buttonData, moved);
        return;
    }
    if (buttonFlags & RI_MOUSE_LEFT_BUTTON_DOWN) {
        RecordMouse(ActionKind::MouseLeftPush);
        leftHeld_ = true;
    } else if (leftHeld_) {
        RecordMouse(ActionKind::MouseLeftRelease);
        leftHeld_ = false;
    }
    if (buttonFlags & RI_MOUSE_RIGHT_BUTTON_DOWN) {
        RecordMouse(ActionKind::MouseRightPush);
        rightHeld_ = true;
    } else if (rightHeld_) {
        RecordMouse(ActionKind::MouseRightRelease);
        rightHeld_ = false;
    }
}

void CRecorder::RecordMotion(USHORT buttonFlags, USHORT buttonData, bool moved) {
    // The pointer moved before the buttons of the same event acted.
    if (moved) RecordMove();
    static const struct {
        USHORT down, up;
        ActionKind push, release;
    } buttons[] = {
        {RI_MOUSE_LEFT_BUTTON_DOWN, RI_MOUSE_LEFT_BUTTON_UP, ActionKind::MouseLeftPush, ActionKind::MouseLeftRelease},
        {RI_MOUSE_RIGHT_BUTTON_DOWN, RI_MOUSE_RIGHT_BUTTON_UP, ActionKind::MouseRightPush,
         ActionKind::MouseRightRelease},
        {RI_MOUSE_MIDDLE_BUTTON_DOWN, RI_MOUSE_MIDDLE_BUTTON_UP, ActionKind::MouseMiddlePush,
         ActionKind::MouseMiddleRelease},
        {RI_MOUSE_BUTTON_4_DOWN, RI_MOUSE_BUTTON_4_UP, ActionKind::MouseX1Push, ActionKind::MouseX1Release},
        {RI_MOUSE_BUTTON_5_DOWN, RI_MOUSE_BUTTON_5_UP, ActionKind::MouseX2Push, ActionKind::MouseX2Release},
    };
    for (const auto& b : buttons) {
        if (buttonFlags & b.down) RecordMouse(b.push);
        if (buttonFlags & b.up) RecordMouse(b.release);
    }
    if (buttonFlags & (RI_MOUSE_LEFT_BUTTON_DOWN | RI_MOUSE_LEFT_BUTTON_UP)) {
        leftHeld_ = (buttonFlags & RI_MOUSE_LEFT_BUTTON_UP) == 0;
    }
    if (buttonFlags & (RI_MOUSE_RIGHT_BUTTON_DOWN | RI_MOUSE_RIGHT_BUTTON_UP)) {
        rightHeld_ = (buttonFlags & RI_MOUSE_RIGHT_BUTTON_UP) == 0;
    }
    // The delta as the device gave it: 120 a notch, less from a touchpad.
    const int32_t delta = static_cast<SHORT>(buttonData);
    if (buttonFlags & RI_MOUSE_WHEEL) RecordMouse(ActionKind::MouseWheel, delta);
    if (buttonFlags & RI_MOUSE_HWHEEL) RecordMouse(ActionKind::MouseHWheel, delta);
}

int CRecorder::ReadTrail(POINT point, MOUSEMOVEPOINT* out, int capacity) const {
    if (!trail_) return 0;
    // Asked in display points, the point goes in as 16-bit values: left of
    // and above the primary screen its negative coordinates would match no
    // entry of the trail.
    MOUSEMOVEPOINT at = {};
    at.x = point.x & 0xFFFF;
    at.y = point.y & 0xFFFF;
    const int n = trail_(sizeof at, &at, out, capacity, GMMP_USE_DISPLAY_POINTS);
    if (n <= 0) return 0;
    int kept = 0;
    for (; kept < n && kept < capacity; ++kept) {
        // Wine fills the part of its history not yet used with zeros.
        if (out[kept].time == 0) break;
        // Display points come as 16-bit values: left of and above the
        // primary screen they are negative.
        if (out[kept].x > 32767) out[kept].x -= 65536;
        if (out[kept].y > 32767) out[kept].y -= 65536;
    }
    return kept;
}

void CRecorder::RecordMove() {
    if (event_.placed) {
        MoveAt(event_.point, event_.moment);
        return;
    }
    POINT point = {0, 0};
    cursor_(&point);
    const uint32_t now = clock_.Now();
    // The trail's entries after the last recorded one, and their moments on
    // the recording's clock: the same distance before now as their stamps
    // before the stamp of the current position, which keeps the moment it
    // was read at. Under Wine the stamps count milliseconds, so the
    // intervals are the stamps' differences. Where that cannot be (stamps
    // in coarser steps, or entries whose moments would fall before the last
    // record because its event was handled as late as theirs) the entries
    // follow each other a millisecond apart and end a millisecond apart
    // before now, so that each keeps its place in the order.
    MOUSEMOVEPOINT trail[64];
    const int n = ReadTrail(point, trail, 64);
    if (n == 0) stamped_ = false;
    // A position the trail had before the last recorded one is a stale
    // reading (under Wine the cursor position follows the X pointer, which
    // follows injected moves a little later): the pointer is past it.
    if (n > 0 && stamped_ && static_cast<int32_t>(trail[0].time - lastStamp_) < 0) return;
    int newer = 0;
    if (n > 0 && stamped_) {
        for (; newer < n; ++newer) {
            const int32_t since = static_cast<int32_t>(trail[newer].time - lastStamp_);
            if (since < 0) break;
            if (since == 0 && trail[newer].x == lastPoint_.x && trail[newer].y == lastPoint_.y) break;
        }
        for (int i = newer - 1; i >= 1; --i) {
            uint32_t moment = now - (trail[0].time - trail[i].time);
            const uint32_t latest = now - static_cast<uint32_t>(i);
            if (static_cast<int32_t>(moment - latest) > 0) moment = latest;
            if (static_cast<int32_t>(moment - lastEventTick_) <= 0) moment = lastEventTick_ + 1;
            if (static_cast<int32_t>(moment - now) > 0) moment = now;
            MoveAt(POINT{trail[i].x, trail[i].y}, moment);
        }
    }
    MoveAt(point, now);
    if (n > 0) {
        stamped_ = true;
        lastStamp_ = trail[0].time;
        lastPoint_ = point;
    }
}

void CRecorder::MoveAt(POINT point, uint32_t moment) {
    const int last = list_.count() - 1;
    const ActionRecord* previous = list_.at(last);
    // Movement that left the pointer where the last mouse action put it
    // (at a screen edge, or a button event of an absolute device) is none.
    if (previous && previous->device == ActionDevice::Mouse && previous->x == point.x && previous->y == point.y) {
        return;
    }
    if (lastMove_ == last && previous && moment == lastEventTick_) {
        ActionRecord moved = *previous;
        moved.x = point.x;
        moved.y = point.y;
        list_.replace(last, moved);
        if (rowAppended_) rowAppended_(rowContext_, last);
        return;
    }
    WriteWindowUnder(point);
    AppendAt(moment, ActionDevice::Mouse, ActionKind::MouseMove, point.x, point.y, 0);
    lastMove_ = list_.count() - 1;
}

void CRecorder::OnKeyEvent(USHORT virtualKey, USHORT flags, USHORT makeCode) {
    if (virtualKey == 0xFF) return;
    if (virtualKey < 256) {
        const uint8_t bit = static_cast<uint8_t>(1u << (virtualKey & 7));
        if (flags & RI_KEY_BREAK) {
            pushed_[virtualKey >> 3] &= static_cast<uint8_t>(~bit);
        } else {
            pushed_[virtualKey >> 3] |= bit;
        }
    }
    const RunState state = player_.GetRunState();
    if (state != RunState::Recording && state != RunState::Playing) return;
    if (state == RunState::Recording && virtualKey < 256 && (ignored_[virtualKey >> 3] & (1u << (virtualKey & 7)))) {
        if (flags & RI_KEY_BREAK) ignored_[virtualKey >> 3] &= static_cast<uint8_t>(~(1u << (virtualKey & 7)));
        return;
    }
    const int32_t key = virtualKey;
    const int32_t breakKey = BreakKey();
    // A key of the E1 prefix (Pause) sends more than one scan code: it is
    // played by its virtual key alone.
    const int32_t stroke = (flags & RI_KEY_E1) || makeCode > kKeyScanMask
                               ? 0
                               : makeCode | ((flags & RI_KEY_E0) ? kKeyExtended : 0);
    if (flags & RI_KEY_BREAK) {
        if (key == breakKey) {
            BreakKeyReleased(state);
        } else if (state == RunState::Recording) {
            RecordKey(ActionKind::ReleaseKey, virtualKey, stroke);
        }
    } else if (key == breakKey) {
        breakKeyDown_ = true;
        polledKey_ = breakKey;
    } else if (state == RunState::Recording) {
        RecordKey(ActionKind::PushKey, virtualKey, stroke);
    }
}

void CRecorder::BreakKeyReleased(RunState state) {
    StopWatchingBreakKey();
    DebugPrint(L"push stop key\n");
    // Only the state just read is replaced: a play run that ended
    // meanwhile has already gone back to Idle.
    player_.ChangeRunState(state, RunState::Idle);
    if (restores_) RestoreWindow(window_);
    if (window_) PostMessageW(window_, WM_BREAK_KEY_END, 0, 0);
}

CRecorder* CRecorder::watching_ = nullptr;
HHOOK CRecorder::hook_ = nullptr;

void CRecorder::WatchBreakKey() {
    if (!window_) return;
    if (watching_ && watching_ != this) watching_->StopWatchingBreakKey();
    polledKey_ = BreakKey();
    breakKeyDown_ = (GetAsyncKeyState(polledKey_) & 0x8000) != 0;
    watching_ = this;
    SetTimer(window_, kBreakKeyTimerId, kBreakKeyPollMs, PollBreakKey);
    if (!hook_) hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, TakeBreakKey, GetModuleHandleW(nullptr), 0);
}

void CRecorder::StopWatchingBreakKey() {
    breakKeyDown_ = false;
    if (watching_ != this) return;
    if (window_) KillTimer(window_, kBreakKeyTimerId);
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    watching_ = nullptr;
}

namespace {

// Whether the key of a low-level keyboard event is `breakKey`. The hook
// names the modifier keys by their side; raw input and the key lists also
// by their generic codes.
bool IsBreakKey(DWORD key, int32_t breakKey) {
    if (static_cast<int32_t>(key) == breakKey) return true;
    switch (breakKey) {
    case VK_SHIFT: return key == VK_LSHIFT || key == VK_RSHIFT;
    case VK_CONTROL: return key == VK_LCONTROL || key == VK_RCONTROL;
    case VK_MENU: return key == VK_LMENU || key == VK_RMENU;
    default: return false;
    }
}

}  // namespace

LRESULT CALLBACK CRecorder::TakeBreakKey(int code, WPARAM wParam, LPARAM lParam) {
    CRecorder* self = watching_;
    if (code == HC_ACTION && self) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const RunState state = self->player_.GetRunState();
        const int32_t breakKey = self->BreakKey();
        if ((state == RunState::Recording || state == RunState::Playing) && IsBreakKey(key->vkCode, breakKey)) {
            if (key->flags & LLKHF_UP) {
                self->BreakKeyReleased(state);
            } else {
                self->breakKeyDown_ = true;
                self->polledKey_ = breakKey;
            }
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK CRecorder::PollBreakKey(HWND, UINT, UINT_PTR, DWORD) {
    CRecorder* self = watching_;
    if (!self) return;
    const RunState state = self->player_.GetRunState();
    if (state != RunState::Recording && state != RunState::Playing) {
        self->StopWatchingBreakKey();
        return;
    }
    // A break key changed meanwhile starts afresh: a push of the new key
    // before the change is no push of the break key.
    const int32_t breakKey = self->BreakKey();
    if (breakKey != self->polledKey_) {
        self->polledKey_ = breakKey;
        self->breakKeyDown_ = false;
    }
    if (GetAsyncKeyState(breakKey) & 0x8000) {
        self->breakKeyDown_ = true;
    } else if (self->breakKeyDown_) {
        self->BreakKeyReleased(state);
    }
}

bool CRecorder::CanStartRecord() const { return player_.CanStart(); }

int CRecorder::StartRecord() {
    if (!CanStartRecord() || !inputReady_) return 0;
    if (!player_.ChangeRunState(RunState::Idle, RunState::Recording)) return 0;
    list_.clear();
    list_.filePath.Clear();
    list_.modified = 0;
    list_.ident = CurrentMachineIdent();
    lastEventTick_ = clock_.Now();
    anchored_ = false;
    lastMove_ = -1;
    motion_ = MotionWanted();
    // Where the pointer is now, and since when: the trail's older entries
    // are not part of the recording.
    stamped_ = false;
    if (motion_ && !fromMessages_) {
        POINT point = {0, 0};
        cursor_(&point);
        MOUSEMOVEPOINT trail[1];
        if (ReadTrail(point, trail, 1) == 1) {
            stamped_ = true;
            lastStamp_ = trail[0].time;
            lastPoint_ = point;
        }
    }
    WatchBreakKey();
    IgnoreKeysDown();
    MinimiseWindow(window_);
    return 1;
}

void CRecorder::IgnoreKeysDown() {
    for (uint8_t& bits : ignored_) bits = 0;
    // The Enter that answered the save question is still down, or its
    // release still waits in the queue: a key pushed in raw input handled so
    // far counts as down while raw input is waiting. (Without any waiting,
    // a push whose release raw input lost would leave its key out of every
    // later recording until released once more.)
    MSG waiting;
    const bool queued = PeekMessageW(&waiting, nullptr, WM_INPUT, WM_INPUT, PM_NOREMOVE) != 0;
    const int32_t breakKey = BreakKey();
    // From VK_BACK on: the codes below it are the mouse buttons. The break
    // key is never recorded, and its release ends the recording as ever.
    for (int key = VK_BACK; key < 0xFF; ++key) {
        const uint8_t bit = static_cast<uint8_t>(1u << (key & 7));
        if (key == breakKey) continue;
        if ((GetAsyncKeyState(key) & 0x8000) || (queued && (pushed_[key >> 3] & bit))) ignored_[key >> 3] |= bit;
    }
}

void CRecorder::IgnoreHeldKeys(int32_t hotkey) {
    if (hotkey == 0) return;
    const int32_t flags = hotkey >> 8;
    int keys[10];
    int n = 0;
    keys[n++] = hotkey & 0xFF;
    // Raw input names a modifier by its generic code or by its side.
    if (flags & kHotkeyShift) {
        keys[n++] = VK_SHIFT;
        keys[n++] = VK_LSHIFT;
        keys[n++] = VK_RSHIFT;
    }
    if (flags & kHotkeyControl) {
        keys[n++] = VK_CONTROL;
        keys[n++] = VK_LCONTROL;
        keys[n++] = VK_RCONTROL;
    }
    if (flags & kHotkeyAlt) {
        keys[n++] = VK_MENU;
        keys[n++] = VK_LMENU;
        keys[n++] = VK_RMENU;
    }
    for (int i = 0; i < n; ++i) {
        const uint8_t bit = static_cast<uint8_t>(1u << (keys[i] & 7));
        if ((GetAsyncKeyState(keys[i]) & 0x8000) || (pushed_[keys[i] >> 3] & bit)) ignored_[keys[i] >> 3] |= bit;
    }
}

int CRecorder::StopRecord() {
    return player_.ChangeRunState(RunState::Recording, RunState::Idle) ? 1 : 0;
}

int32_t CRecorder::BreakKey() const {
    if (breakKeySource_) return breakKeySource_(breakKeyContext_);
    const CAppParameter* parameters = TheAppParameter();
    return parameters ? parameters->break_key : kDefaultBreakKey;
}

bool CRecorder::MotionWanted() const {
    if (motionSource_) return motionSource_(motionContext_);
    const CAppParameter* parameters = TheAppParameter();
    return parameters && parameters->record_motion == 1;
}

void CRecorder::RecordMouse(ActionKind kind, int32_t keyCode) {
    if (player_.GetRunState() != RunState::Recording) return;
    POINT point = event_.point;
    if (!event_.placed) cursor_(&point);
    WriteWindowUnder(point);
    Append(ActionDevice::Mouse, kind, point.x, point.y, keyCode);
}

void CRecorder::RecordKey(ActionKind kind, USHORT virtualKey, int32_t stroke) {
    Append(ActionDevice::Keyboard, kind, stroke, 0, virtualKey);
}

void CRecorder::Append(ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                       int32_t keyCode) {
    AppendAt(Moment(), device, kind, x, y, keyCode);
}

void CRecorder::AppendAt(uint32_t moment, ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                         int32_t keyCode) {
    const uint32_t interval = moment - lastEventTick_;
    lastEventTick_ = moment;
    if (!list_.append(device, kind, x, y, keyCode, interval)) return;
    if (rowAppended_) rowAppended_(rowContext_, list_.count() - 1);
}

void CRecorder::WriteWindowUnder(POINT point) const {
    // Three lookups a recorded action, a thousand a second while the pointer
    // moves: not made while the lines go nowhere.
    if (DebugPrint == DebugOutputFallback) return;
    HWND window = WindowFromPoint(point);
    if (!window) return;
    // Window handles carry 32 significant bits, also in 64-bit processes.
    DebugPrint(L"HWND = %08X ", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    wchar_t text[kWindowTextCapacity];
    if (GetClassNameW(window, text, kWindowTextCapacity) > 0) DebugPrint(L"CLASS = %s ", text);
    if (GetWindowTextW(window, text, kWindowTextCapacity) > 0) DebugPrint(L"TEXT = %s ", text);
    DebugPrint(L"\n");
}
