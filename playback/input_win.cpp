#include "playback/input_win.h"

UINT CSystemInput::Send(UINT count, INPUT* inputs) {
    if (count == 0) return 0;
    return SendInput(count, inputs, sizeof(INPUT));
}

RECT CSystemInput::VirtualDesktop() {
    RECT r;
    r.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    r.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    return r;
}

LONG AbsoluteCoordinate(int32_t pixel, LONG origin, LONG extent) {
    if (extent <= 0) return 0;
    int64_t offset = static_cast<int64_t>(pixel) - origin;
    if (offset <= 0) return 0;
    if (offset >= extent) offset = extent - 1;
    int64_t value = (offset * 65536 + extent - 1) / extent;
    // Only a desktop wider than 65536 pixels can ask for more.
    return static_cast<LONG>(value < 65535 ? value : 65535);
}

namespace {

void MouseRecord(INPUT* in, DWORD flags, LONG dx, LONG dy, DWORD data = 0) {
    in->type = INPUT_MOUSE;
    in->mi.dwFlags = flags;
    in->mi.dx = dx;
    in->mi.dy = dy;
    in->mi.mouseData = data;
}

}  // namespace

int BuildActionInputs(const ActionRecord& record, const RECT& desktop, INPUT out[kMaxActionInputs]) {
    ZeroMemory(out, sizeof(INPUT) * kMaxActionInputs);
    DWORD down = 0, up = 0, data = 0;
    int presses = 0;
    // One record after the move: a release, a wheel turn, or nothing more.
    DWORD single = 0;
    switch (record.kind) {
        case ActionKind::MouseLeftPush: down = MOUSEEVENTF_LEFTDOWN; presses = 1; break;
        case ActionKind::MouseLeftRelease: single = MOUSEEVENTF_LEFTUP; break;
        case ActionKind::MouseLeftClick: down = MOUSEEVENTF_LEFTDOWN; up = MOUSEEVENTF_LEFTUP; presses = 1; break;
        case ActionKind::MouseLeftDoubleClick: down = MOUSEEVENTF_LEFTDOWN; up = MOUSEEVENTF_LEFTUP; presses = 2; break;
        case ActionKind::MouseRightPush: down = MOUSEEVENTF_RIGHTDOWN; presses = 1; break;
        case ActionKind::MouseRightRelease: single = MOUSEEVENTF_RIGHTUP; break;
        case ActionKind::MouseRightClick: down = MOUSEEVENTF_RIGHTDOWN; up = MOUSEEVENTF_RIGHTUP; presses = 1; break;
        case ActionKind::MouseRightDoubleClick: down = MOUSEEVENTF_RIGHTDOWN; up = MOUSEEVENTF_RIGHTUP; presses = 2; break;
        case ActionKind::MouseMove: break;
        case ActionKind::MouseMiddlePush: down = MOUSEEVENTF_MIDDLEDOWN; presses = 1; break;
        case ActionKind::MouseMiddleRelease: single = MOUSEEVENTF_MIDDLEUP; break;
        case ActionKind::MouseX1Push: down = MOUSEEVENTF_XDOWN; data = XBUTTON1; presses = 1; break;
        case ActionKind::MouseX1Release: single = MOUSEEVENTF_XUP; data = XBUTTON1; break;
        case ActionKind::MouseX2Push: down = MOUSEEVENTF_XDOWN; data = XBUTTON2; presses = 1; break;
        case ActionKind::MouseX2Release: single = MOUSEEVENTF_XUP; data = XBUTTON2; break;
        case ActionKind::MouseWheel:
        case ActionKind::MouseHWheel:
            single = record.kind == ActionKind::MouseWheel ? MOUSEEVENTF_WHEEL : MOUSEEVENTF_HWHEEL;
            // The signed delta travels in the unsigned field as its two's
            // complement, as the system expects it.
            data = static_cast<DWORD>(record.keyCode);
            break;
        case ActionKind::PushKey:
        case ActionKind::ReleaseKey: {
            // With its scan code and extended flag the key arrives as the
            // one that was pressed, also to programs that read scan codes.
            const WORD key = static_cast<WORD>(record.keyCode & 0xFFFF);
            const int32_t stroke = KeyStrokeOf(record);
            const bool extended = stroke ? (stroke & kKeyExtended) != 0 : IsExtendedByNature(key);
            out[0].type = INPUT_KEYBOARD;
            out[0].ki.wVk = key;
            out[0].ki.wScan = static_cast<WORD>(stroke & kKeyScanMask);
            if (out[0].ki.wScan == 0) out[0].ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
            out[0].ki.dwFlags = (record.kind == ActionKind::ReleaseKey ? KEYEVENTF_KEYUP : 0) |
                                (extended ? KEYEVENTF_EXTENDEDKEY : 0);
            return 1;
        }
        default:
            return 0;
    }
    // The move is normalised over the whole virtual desktop, so positions on
    // every monitor are reached, not only those on the primary one.
    const DWORD place = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    LONG dx = AbsoluteCoordinate(record.x, desktop.left, desktop.right - desktop.left);
    LONG dy = AbsoluteCoordinate(record.y, desktop.top, desktop.bottom - desktop.top);
    MouseRecord(&out[0], place, dx, dy);
    int n = 1;
    if (single) {
        MouseRecord(&out[n++], place | single, dx, dy, data);
        return n;
    }
    for (int i = 0; i < presses; ++i) {
        MouseRecord(&out[n++], place | down, dx, dy, data);
        if (up) MouseRecord(&out[n++], place | up, dx, dy, data);
    }
    return n;
}

namespace {

// Left and right Ctrl (or Alt) share their virtual key: the flag tells them.
bool SameKey(const KEYBDINPUT& a, const KEYBDINPUT& b) {
    return a.wVk == b.wVk && (a.dwFlags & KEYEVENTF_EXTENDEDKEY) == (b.dwFlags & KEYEVENTF_EXTENDEDKEY);
}

}  // namespace

void CHeldInput::AddKey(const KEYBDINPUT& key) {
    for (int i = 0; i < keys_.Count(); ++i) {
        if (SameKey(keys_[i], key)) return;
    }
    // Without memory the key simply is not remembered: at worst it stays
    // down after an interrupted run, as it would without this record.
    KEYBDINPUT held = {};
    held.wVk = key.wVk;
    held.wScan = key.wScan;
    held.dwFlags = key.dwFlags & KEYEVENTF_EXTENDEDKEY;
    keys_.Append(held);
}

void CHeldInput::RemoveKey(const KEYBDINPUT& key) {
    for (int i = 0; i < keys_.Count(); ++i) {
        if (SameKey(keys_[i], key)) {
            keys_.RemoveAt(i);
            return;
        }
    }
}

void CHeldInput::Note(const INPUT* inputs, UINT count) {
    for (UINT i = 0; i < count; ++i) {
        const INPUT& in = inputs[i];
        if (in.type == INPUT_KEYBOARD) {
            if (in.ki.dwFlags & KEYEVENTF_KEYUP) {
                RemoveKey(in.ki);
            } else {
                AddKey(in.ki);
            }
        } else if (in.type == INPUT_MOUSE) {
            DWORD f = in.mi.dwFlags;
            if ((f & MOUSEEVENTF_MOVE) && (f & MOUSEEVENTF_ABSOLUTE)) {
                place_ = f & (MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK);
                dx_ = in.mi.dx;
                dy_ = in.mi.dy;
            }
            if (f & MOUSEEVENTF_LEFTDOWN) buttons_ |= kLeft;
            if (f & MOUSEEVENTF_LEFTUP) buttons_ &= ~kLeft;
            if (f & MOUSEEVENTF_RIGHTDOWN) buttons_ |= kRight;
            if (f & MOUSEEVENTF_RIGHTUP) buttons_ &= ~kRight;
            if (f & MOUSEEVENTF_MIDDLEDOWN) buttons_ |= kMiddle;
            if (f & MOUSEEVENTF_MIDDLEUP) buttons_ &= ~kMiddle;
            const unsigned x = ((in.mi.mouseData & XBUTTON1) ? kX1 : 0) | ((in.mi.mouseData & XBUTTON2) ? kX2 : 0);
            if (f & MOUSEEVENTF_XDOWN) buttons_ |= x;
            if (f & MOUSEEVENTF_XUP) buttons_ &= ~x;
        }
    }
}

UINT CHeldInput::ReleaseAll(IInputSink* sink) {
    static const struct {
        unsigned bit;
        DWORD flag, data;
    } buttons[] = {{kLeft, MOUSEEVENTF_LEFTUP, 0},
                   {kRight, MOUSEEVENTF_RIGHTUP, 0},
                   {kMiddle, MOUSEEVENTF_MIDDLEUP, 0},
                   {kX1, MOUSEEVENTF_XUP, XBUTTON1},
                   {kX2, MOUSEEVENTF_XUP, XBUTTON2}};
    UINT n = static_cast<UINT>(keys_.Count());
    for (const auto& b : buttons) n += (buttons_ & b.bit) ? 1 : 0;
    if (n == 0) return 0;
    CArray<INPUT> inputs;
    UINT sent = 0;
    if (inputs.Resize(static_cast<int>(n))) {
        UINT k = 0;
        for (const auto& b : buttons) {
            if (buttons_ & b.bit) MouseRecord(&inputs[k++], place_ | b.flag, dx_, dy_, b.data);
        }
        for (int i = keys_.Count() - 1; i >= 0; --i) {
            inputs[k].type = INPUT_KEYBOARD;
            inputs[k].ki = keys_[i];
            inputs[k++].ki.dwFlags |= KEYEVENTF_KEYUP;
        }
        sent = sink->Send(n, inputs.Data());
        if (sent > n) sent = n;
        Note(inputs.Data(), sent);
    }
    return sent;
}

void CHeldInput::Forget() {
    buttons_ = 0;
    keys_.Clear();
}
