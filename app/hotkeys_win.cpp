// The global hotkeys of Start Record and Start Play: registered for the main
// window, so they reach it whichever program has the focus. They act only
// while the program is idle, exactly as the buttons do.
#include "app/app_main.h"

#include "config/app_parameter.h"
#include "core/array.h"
#include "model/keynames.h"

namespace {

enum : int {
    kRecordHotkeyId = 1,
    kPlayHotkeyId = 2,
};

// A run started by the hotkey waits until its keys are up, so the run's
// first input does not reach the target with Ctrl, Alt or Shift still held.
// A key held longer than kReleaseWaitMs is taken as held on purpose.
enum : UINT { kReleasePollMs = 15 };
enum : DWORD { kReleaseWaitMs = 5000 };

bool Down(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

bool HotkeyHeld(int32_t hotkey) {
    const int32_t flags = hotkey >> 8;
    return Down(hotkey & 0xFF) || ((flags & kHotkeyShift) && Down(VK_SHIFT)) ||
           ((flags & kHotkeyControl) && Down(VK_CONTROL)) || ((flags & kHotkeyAlt) && Down(VK_MENU));
}

UINT PlatformModifiers(int32_t hotkey) {
    const int32_t flags = hotkey >> 8;
    UINT modifiers = MOD_NOREPEAT;
    if (flags & kHotkeyControl) modifiers |= MOD_CONTROL;
    if (flags & kHotkeyAlt) modifiers |= MOD_ALT;
    if (flags & kHotkeyShift) modifiers |= MOD_SHIFT;
    return modifiers;
}

}  // namespace

int HotkeyText(int32_t hotkey, wchar_t* out) {
    out[0] = 0;
    if (hotkey == 0) return 0;
    const int32_t flags = hotkey >> 8;
    if (flags & kHotkeyControl) lstrcatW(out, L"Ctrl+");
    if (flags & kHotkeyAlt) lstrcatW(out, L"Alt+");
    if (flags & kHotkeyShift) lstrcatW(out, L"Shift+");
    wchar_t key[kKeyNameCapacity];
    keyName(hotkey & 0xFF, key);
    // Letters and digits as they are, other keys by their name without the
    // "VK_" of the key list.
    lstrcatW(out, key[0] == L'V' && key[1] == L'K' && key[2] == L'_' ? key + 3 : key);
    return lstrlenW(out);
}

void CAppMain::RegisterHotkeys() {
    CAppParameter* parameters = TheAppParameter();
    if (!parameters || !main_window) return;
    const int32_t hotkeys[2] = {parameters->record_hotkey, parameters->play_hotkey};
    for (int i = 0; i < 2; ++i) {
        const int id = i == 0 ? kRecordHotkeyId : kPlayHotkeyId;
        UnregisterHotKey(main_window, id);
        hotkeyActive_[i] = hotkeys[i] != 0 &&
                           RegisterHotKey(main_window, id, PlatformModifiers(hotkeys[i]), hotkeys[i] & 0xFF) != 0;
        if (hotkeys[i] == 0 || hotkeyActive_[i] || hotkeys[i] == hotkeyReported_[i]) continue;
        // Told once for each hotkey that another program holds; the settings
        // dialog shows it as not active from then on.
        hotkeyReported_[i] = hotkeys[i];
        wchar_t name[kHotkeyTextCapacity];
        HotkeyText(hotkeys[i], name);
        ShowFormatted(main_window, UiText(TextId::HotkeyCaption),
                      UiText(i == 0 ? TextId::RecordHotkeyBusyFormat : TextId::PlayHotkeyBusyFormat), name,
                      MB_ICONWARNING);
    }
}

void CAppMain::OnHotkey(int id) {
    // Only while idle, as the buttons: a recording or a run goes on. Nor
    // while one of the program's dialogs or questions is open: it was opened
    // on the list that a recording would replace.
    if (player.GetRunState() != RunState::Idle || ModalOpen()) return;
    CAppParameter* parameters = TheAppParameter();
    if (id == kRecordHotkeyId) {
        if (!StartRecord()) return;
        // The keys of the hotkey are still down: their releases belong to
        // the hotkey, not to the recording.
        recorder.IgnoreHeldKeys(parameters ? parameters->record_hotkey : 0);
    } else if (id == kPlayHotkeyId) {
        if (playHotkeySince_) return;
        playHotkeySince_ = GetTickCount();
        if (playHotkeySince_ == 0) playHotkeySince_ = 1;
        OnPlayHotkeyTimer();
    }
    UpdateControls();
}

void CAppMain::OnPlayHotkeyTimer() {
    CAppParameter* parameters = TheAppParameter();
    const int32_t hotkey = parameters ? parameters->play_hotkey : 0;
    if (hotkey != 0 && HotkeyHeld(hotkey) && GetTickCount() - playHotkeySince_ < kReleaseWaitMs) {
        SetTimer(main_window, kPlayHotkeyTimerId, kReleasePollMs, nullptr);
        return;
    }
    KillTimer(main_window, kPlayHotkeyTimerId);
    playHotkeySince_ = 0;
    // A recording or a run may have begun meanwhile, or a dialog opened.
    if (player.GetRunState() != RunState::Idle || ModalOpen()) return;
    StartPlay();
    UpdateControls();
}
