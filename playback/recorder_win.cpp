#include "playback/recorder_win.h"

#include <cstddef>
#include <new>

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

CRecorder::CRecorder(CPlayer& player, ActionList& list)
    : player_(player), list_(list), clock_(GetTickCount()) {}

void CRecorder::SetBreakKeySource(BreakKeySource source, void* context) {
    breakKeySource_ = source;
    breakKeyContext_ = context;
}

void CRecorder::SetRowAppended(RowAppended handler, void* context) {
    rowAppended_ = handler;
    rowContext_ = context;
}

BOOL CRecorder::RegisterInput(HWND window) {
    RAWINPUTDEVICE devices[2] = {};
    devices[0].usUsagePage = 1;
    devices[0].usUsage = 2;  // mouse
    devices[0].dwFlags = RIDEV_INPUTSINK;
    devices[0].hwndTarget = window;
    devices[1].usUsagePage = 1;
    devices[1].usUsage = 6;  // keyboard
    devices[1].dwFlags = RIDEV_INPUTSINK;
    devices[1].hwndTarget = window;
    return RegisterRawInputDevices(devices, 2, sizeof devices[0]);
}

void CRecorder::OnRawInput(HRAWINPUT input) {
    UINT size = 0;
    if (GetRawInputData(input, RID_INPUT, nullptr, &size, sizeof(RAWINPUTHEADER)) != 0) return;
    if (size < sizeof(RAWINPUTHEADER)) return;
    BYTE* buffer = new (std::nothrow) BYTE[size];
    if (!buffer) return;
    UINT capacity = size;
    UINT read = GetRawInputData(input, RID_INPUT, buffer, &capacity, sizeof(RAWINPUTHEADER));
    if (read != static_cast<UINT>(-1) && read >= sizeof(RAWINPUTHEADER) && read <= size) {
        const RAWINPUT* raw = reinterpret_cast<const RAWINPUT*>(buffer);
        if (raw->header.dwType == RIM_TYPEMOUSE && read >= kMouseEventSize) {
            OnMouseEvent(raw->data.mouse.usButtonFlags);
        } else if (raw->header.dwType == RIM_TYPEKEYBOARD && read >= kKeyboardEventSize) {
            OnKeyEvent(raw->data.keyboard.VKey, raw->data.keyboard.Flags);
        }
    }
    delete[] buffer;
}

void CRecorder::OnMouseEvent(USHORT buttonFlags) {
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

void CRecorder::OnKeyEvent(USHORT virtualKey, USHORT flags) {
    const RunState state = player_.GetRunState();
    if (state != RunState::Recording && state != RunState::Playing) return;
    const int32_t key = virtualKey;
    const int32_t breakKey = BreakKey();
    if (flags & RI_KEY_BREAK) {
        if (key == breakKey) {
            DebugPrint(L"push stop key\n");
            // Only the state just read is replaced: a play run that ended
            // meanwhile has already gone back to Idle.
            player_.ChangeRunState(state, RunState::Idle);
            if (window_) ShowWindow(window_, SW_RESTORE);
        } else if (state == RunState::Recording) {
            RecordKey(ActionKind::ReleaseKey, virtualKey);
        }
    } else if (key != breakKey && state == RunState::Recording) {
        RecordKey(ActionKind::PushKey, virtualKey);
    }
}

bool CRecorder::CanStartRecord() const { return player_.CanStart(); }

int CRecorder::StartRecord() {
    if (!CanStartRecord()) return 0;
    if (!player_.ChangeRunState(RunState::Idle, RunState::Recording)) return 0;
    list_.clear();
    list_.filePath.Clear();
    list_.modified = 0;
    list_.ident = CurrentMachineIdent();
    lastEventTick_ = clock_.Now();
    if (window_) ShowWindow(window_, SW_MINIMIZE);
    return 1;
}

int CRecorder::StopRecord() {
    return player_.ChangeRunState(RunState::Recording, RunState::Idle) ? 1 : 0;
}

int32_t CRecorder::BreakKey() const {
    if (breakKeySource_) return breakKeySource_(breakKeyContext_);
    const CAppParameter* parameters = TheAppParameter();
    return parameters ? parameters->break_key : kDefaultBreakKey;
}

void CRecorder::RecordMouse(ActionKind kind) {
    if (player_.GetRunState() != RunState::Recording) return;
    POINT point = {0, 0};
    GetCursorPos(&point);
    WriteWindowUnder(point);
    Append(ActionDevice::Mouse, kind, point.x, point.y, 0);
}

void CRecorder::RecordKey(ActionKind kind, USHORT virtualKey) {
    Append(ActionDevice::Keyboard, kind, 0, 0, virtualKey);
}

void CRecorder::Append(ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                       int32_t keyCode) {
    const uint32_t now = clock_.Now();
    const uint32_t interval = now - lastEventTick_;
    lastEventTick_ = now;
    if (!list_.append(device, kind, x, y, keyCode, interval)) return;
    if (rowAppended_) rowAppended_(rowContext_, list_.count() - 1);
}

void CRecorder::WriteWindowUnder(POINT point) const {
    HWND window = WindowFromPoint(point);
    if (!window) return;
    // Window handles carry 32 significant bits, also in 64-bit processes.
    DebugPrint(L"HWND = %08X ", static_cast<unsigned>(reinterpret_cast<uintptr_t>(window)));
    wchar_t text[kWindowTextCapacity];
    if (GetClassNameW(window, text, kWindowTextCapacity) > 0) DebugPrint(L"CLASS = %s ", text);
    if (GetWindowTextW(window, text, kWindowTextCapacity) > 0) DebugPrint(L"TEXT = %s ", text);
    DebugPrint(L"\n");
}
