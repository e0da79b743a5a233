#include "dialogs/action_edit_dialog_win.h"

#include <cwchar>
#include <initializer_list>

#include "config/comm_config.h"
#include "model/keynames.h"
#include "resources/resource.h"

namespace {

// Edits hold at most this many characters of a number, terminator included.
constexpr int kNumberTextCapacity = 64;

// The item data of the selected item, 0 when nothing is selected.
int32_t SelectedData(HWND combo) { return static_cast<int32_t>(SelectedComboData(combo)); }

void SetNumber(HWND dialog, int id, int32_t value) {
    wchar_t text[16];
    _snwprintf(text, sizeof text / sizeof text[0], L"%d", static_cast<int>(value));
    text[sizeof text / sizeof text[0] - 1] = L'\0';
    SetDlgItemTextW(dialog, id, text);
}

// Parses the edit's text into *field; a text that does not parse, or one too
// long to be read whole, keeps the field as it was.
void ReadNumber(HWND dialog, int id, int32_t* field) {
    HWND edit = GetDlgItem(dialog, id);
    if (!edit || GetWindowTextLengthW(edit) >= kNumberTextCapacity) return;
    wchar_t text[kNumberTextCapacity] = {};
    GetWindowTextW(edit, text, kNumberTextCapacity);
    ParseEditNumber(text, field);
}

}  // namespace

int ParseEditNumber(const wchar_t* text, int32_t* value) {
    if (!text) return 0;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t') ++p;
    const bool negative = *p == L'-';
    if (negative) ++p;
    // The magnitude is capped just past the largest accepted value, so long
    // runs of digits can neither overflow nor wrap into range.
    constexpr uint64_t kLimit = 0x100000000ull;
    uint64_t magnitude = 0;
    for (; *p; ++p) {
        if (*p < L'0' || *p > L'9') return 0;
        magnitude = magnitude * 10 + static_cast<uint64_t>(*p - L'0');
        if (magnitude >= kLimit) return 0;
    }
    if (negative && magnitude > 0x80000000ull) return 0;
    const uint32_t bits = negative ? 0u - static_cast<uint32_t>(magnitude) : static_cast<uint32_t>(magnitude);
    *value = static_cast<int32_t>(bits);
    return 1;
}

CActionEditDialog::CActionEditDialog()
    : kind_per_device{static_cast<int32_t>(ActionKind::MouseLeftPush), static_cast<int32_t>(ActionKind::PushKey),
                      static_cast<int32_t>(ActionKind::Screenshot)} {}

CActionEditDialog::~CActionEditDialog() {}

int CActionEditDialog::SlotOf(int32_t forDevice) {
    switch (forDevice) {
    case static_cast<int32_t>(ActionDevice::Keyboard):
        return kKeyboardSlot;
    case static_cast<int32_t>(ActionDevice::Display):
        return kDisplaySlot;
    default:
        return kMouseSlot;
    }
}

void CActionEditDialog::SetRecord(const ActionRecord& record) {
    device = static_cast<int32_t>(record.device);
    kind_per_device[kMouseSlot] = static_cast<int32_t>(ActionKind::MouseLeftPush);
    kind_per_device[kKeyboardSlot] = static_cast<int32_t>(ActionKind::PushKey);
    kind_per_device[kDisplaySlot] = static_cast<int32_t>(ActionKind::Screenshot);
    KindOf(device) = static_cast<int32_t>(record.kind);
    key_stroke = KeyStrokeOf(record);
    stroke_key = record.keyCode;
    x = record.device == ActionDevice::Keyboard ? 0 : record.x;
    y = record.y;
    const bool wheel = IsWheelKind(record.kind);
    key_code = wheel ? 0 : record.keyCode;
    wheel_delta = wheel ? record.keyCode : static_cast<int32_t>(kWheelNotch);
    interval = static_cast<int32_t>(record.interval);
}

ActionRecord CActionEditDialog::Record() const {
    ActionRecord record;
    record.interval = static_cast<uint32_t>(interval);
    record.device = static_cast<ActionDevice>(device);
    record.kind = static_cast<ActionKind>(KindOf(device));
    record.x = x;
    record.y = y;
    record.keyCode = IsWheelKind(record.kind) ? wheel_delta : key_code;
    if (record.device == ActionDevice::Keyboard) record.x = key_code == stroke_key ? key_stroke : 0;
    return record;
}

INT_PTR CActionEditDialog::Show(HWND owner) {
    return DoModal(DialogTemplateId(IDD_ACTION_EDIT_JA, UiLanguage()), owner);
}

void CActionEditDialog::FillDeviceList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_EDIT_DEVICE);
    const int language = UiLanguage();
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (ActionDevice each : {ActionDevice::Mouse, ActionDevice::Keyboard, ActionDevice::Display}) {
        AddComboItem(list, ActionDeviceText(each, language), static_cast<LPARAM>(each));
    }
    SelectComboItemByData(list, device);
}

void CActionEditDialog::FillKindList(HWND dialog, int32_t forDevice) {
    HWND list = GetDlgItem(dialog, IDC_EDIT_KIND);
    const int language = UiLanguage();
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    switch (SlotOf(forDevice)) {
    case kKeyboardSlot:
        for (ActionKind kind : {ActionKind::PushKey, ActionKind::ReleaseKey}) {
            AddComboItem(list, ActionKindText(kind, language), static_cast<LPARAM>(kind));
        }
        break;
    case kDisplaySlot:
        AddComboItem(list, TextFor(TextId::DesktopScreenshot, language), static_cast<LPARAM>(ActionKind::Screenshot));
        break;
    default:
        // The buttons of today's recordings first, then movement, the other
        // buttons and the wheels.
        for (int kind = static_cast<int>(ActionKind::MouseLeftPush);
             kind <= static_cast<int>(ActionKind::MouseRightDoubleClick); ++kind) {
            AddComboItem(list, ActionKindText(static_cast<ActionKind>(kind), language), kind);
        }
        for (int kind = static_cast<int>(ActionKind::MouseMove); kind <= static_cast<int>(ActionKind::MouseHWheel);
             ++kind) {
            AddComboItem(list, ActionKindText(static_cast<ActionKind>(kind), language), kind);
        }
        break;
    }
    SelectComboItemByData(list, KindOf(forDevice));
    EnableWheelDelta(dialog);
}

void CActionEditDialog::EnableWheelDelta(HWND dialog) {
    const int32_t chosen = SelectedData(GetDlgItem(dialog, IDC_EDIT_KIND));
    EnableWindow(GetDlgItem(dialog, IDC_EDIT_WHEEL_DELTA), IsWheelKind(static_cast<ActionKind>(chosen)));
}

void CActionEditDialog::OnInitDialog(HWND dialog) {
    SetDialogSmallIcon(dialog);
    FillDeviceList(dialog);
    FillKindList(dialog, device);
    SetNumber(dialog, IDC_EDIT_INTERVAL, interval);
    SetNumber(dialog, IDC_EDIT_X, x);
    SetNumber(dialog, IDC_EDIT_Y, y);
    SetNumber(dialog, IDC_EDIT_KEYCODE, key_code);
    SetNumber(dialog, IDC_EDIT_WHEEL_DELTA, wheel_delta);
    fillKeyBox(GetDlgItem(dialog, IDC_EDIT_KEYNAME), key_code);
}

void CActionEditDialog::OnCommand(HWND dialog, int id, int code) {
    if (id == IDC_EDIT_DEVICE && code == CBN_SELCHANGE) {
        // The kind shown so far belongs to the device shown so far.
        KindOf(device) = SelectedData(GetDlgItem(dialog, IDC_EDIT_KIND));
        device = SelectedData(GetDlgItem(dialog, IDC_EDIT_DEVICE));
        FillKindList(dialog, device);
    } else if (id == IDC_EDIT_KIND && code == CBN_SELCHANGE) {
        EnableWheelDelta(dialog);
    } else if (id == IDC_EDIT_KEYNAME && code == CBN_SELCHANGE) {
        const int32_t chosen = keyBoxSelectedCode(GetDlgItem(dialog, IDC_EDIT_KEYNAME));
        if (chosen > 0) {
            key_code = chosen;
            SetNumber(dialog, IDC_EDIT_KEYCODE, key_code);
        }
    } else {
        CDialog::OnCommand(dialog, id, code);
    }
}

int CActionEditDialog::OnOK(HWND dialog) {
    device = SelectedData(GetDlgItem(dialog, IDC_EDIT_DEVICE));
    KindOf(device) = SelectedData(GetDlgItem(dialog, IDC_EDIT_KIND));
    ReadNumber(dialog, IDC_EDIT_X, &x);
    ReadNumber(dialog, IDC_EDIT_Y, &y);
    ReadNumber(dialog, IDC_EDIT_KEYCODE, &key_code);
    ReadNumber(dialog, IDC_EDIT_WHEEL_DELTA, &wheel_delta);
    ReadNumber(dialog, IDC_EDIT_INTERVAL, &interval);
    return 1;
}
