#pragma once
// CActionEditDialog: the modal dialog that edits one operation (templates
// 2001 Japanese, 2101 English). The caller fills the public fields (or uses
// SetRecord for Modify; a new object holds the values for Add), runs Show or
// DoModal, and after a result of 1 takes Record().
#include <windows.h>

#include <cstdint>

#include "frame/dialog.h"
#include "model/action.h"

// The number rule of the dialogs' edits: leading blanks and tabs, one optional
// "-", then decimal digits to the end of the text; a text with nothing after
// the blanks (or after the "-") is 0. Values from -2147483648 to 4294967295
// are accepted and stored as their 32-bit pattern, so 4294967295 and -1 both
// give the interval 4294967295. Returns 1 and sets *value, or 0 and leaves
// *value alone for any other text, a null one or a number out of that range.
int ParseEditNumber(const wchar_t* text, int32_t* value);

class CActionEditDialog : public CDialogOf<CActionEditDialog> {
public:
    // Slots of kind_per_device.
    enum : int { kMouseSlot = 0, kKeyboardSlot = 1, kDisplaySlot = 2, kSlotCount = 3 };

    // One notch of a wheel.
    enum : int32_t { kWheelNotch = 120 };

    // The values of Add: device Mouse, kinds MouseLeftPush, PushKey and
    // Screenshot, a wheel delta of one notch away from the user, everything
    // else 0.
    CActionEditDialog();
    ~CActionEditDialog() override;

    // The values of Modify: the record's fields, its kind as the remembered
    // kind of its device, the Add kinds for the other devices. A wheel
    // record's keyCode is its delta: it goes to wheel_delta, and key_code
    // starts at 0.
    void SetRecord(const ActionRecord& record);
    // The record the dialog holds: device, the kind of that device, position,
    // key code and interval, all six whatever the device; a wheel kind takes
    // wheel_delta as its keyCode, a key record the stroke (as its x).
    ActionRecord Record() const;

    // The slot that remembers the kind of `device`: Keyboard and Display have
    // their own, every other value (Mouse included) uses the mouse slot.
    static int SlotOf(int32_t device);
    int32_t& KindOf(int32_t device) { return kind_per_device[SlotOf(device)]; }
    int32_t KindOf(int32_t device) const { return kind_per_device[SlotOf(device)]; }

    // Runs the template of the configuration's ui_language (2001 when it is
    // 1, else 2101) owned by `owner`: 1 after OK, 0 after Cancel, -1 when the
    // dialog could not be made.
    INT_PTR Show(HWND owner);

    void OnInitDialog(HWND dialog) override;
    // Device, operation and key-name selection changes; OK and Cancel as
    // the base does.
    void OnCommand(HWND dialog, int id, int code) override;
    // Takes device, kind, position, wheel delta, key code and interval from
    // the controls; always returns 1.
    int OnOK(HWND dialog) override;

    // Milliseconds; -1 stands for the interval 4294967295.
    int32_t interval = 0;
    // ActionDevice value: 0 Mouse, 1 Keyboard, 2 Display.
    int32_t device = 0;
    // ActionKind chosen for Mouse, Keyboard and Display, kept apart so that
    // switching the device back and forth keeps each choice.
    int32_t kind_per_device[kSlotCount];
    int32_t x = 0;
    int32_t y = 0;
    int32_t key_code = 0;
    // Signed: positive away from the user (vertical) or to the right
    // (horizontal).
    int32_t wheel_delta = kWheelNotch;
    // The stroke of the key record being modified (model/action.h) and its
    // key code: a key record keeps its stroke while its key stays that key
    // and gets none (the key's natural one) for another key; X shows 0 for
    // it, as a key has no position. 0 for Add and other records.
    int32_t key_stroke = 0;
    int32_t stroke_key = 0;

private:
    void FillDeviceList(HWND dialog);
    // Refills the operation list with the kinds of `device` and selects the
    // one remembered for it.
    void FillKindList(HWND dialog, int32_t forDevice);
    // The wheel delta's edit is open only while a wheel kind is chosen.
    static void EnableWheelDelta(HWND dialog);
};
