// The operation edit dialog from its real templates (2001 Japanese, 2101
// English), worked from a second thread through its controls.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dialog_harness_win.h"
#include "dialogs/action_edit_dialog_win.h"
#include "doctest.h"
#include "model/keynames.h"
#include "resources/resource.h"

using dialogtest::Choose;
using dialogtest::ChooseText;
using dialogtest::Click;
using dialogtest::ComboState;
using dialogtest::ReadCombo;
using dialogtest::RunDriven;
using dialogtest::SelectedText;
using dialogtest::SetText;
using dialogtest::Text;

namespace {

struct Language {
    int ui_language;
    const char* caption;
    std::vector<std::string> devices;
    std::vector<std::string> mouseKinds;
    std::vector<std::string> keyboardKinds;
    std::string screenshot;
};

const Language kEnglish = {
    0,
    "Edit Mouse Oparation",
    {"Mouse", "Keyboard", "Display"},
    {"Mouse left push", "Mouse left release", "Mouse left click", "Mouse left double click", "Mouse right push",
     "Mouse right release", "Mouse right click", "Mouse right double click", "Mouse move", "Mouse middle push",
     "Mouse middle release", "Mouse side button 1 push", "Mouse side button 1 release", "Mouse side button 2 push",
     "Mouse side button 2 release", "Mouse wheel", "Mouse horizontal wheel"},
    {"Push key", "Release key"},
    "Desktop screenshot",
};

const Language kJapanese = {
    1,
    "マウス操作編集",
    {"マウス", "キーボード", "ディスプレイ"},
    {"マウスの左ボタンを押す", "マウスの左ボタンを離す", "マウスの左ボタンをクリック",
     "マウスの左ボタンをダブルクリック", "マウスの右ボタンを押す", "マウスの右ボタンを離す",
     "マウスの右ボタンをクリック", "マウスの右ボタンをダブルクリック", "マウスを移動", "マウスの中ボタンを押す",
     "マウスの中ボタンを離す", "マウスのサイドボタン1を押す", "マウスのサイドボタン1を離す",
     "マウスのサイドボタン2を押す", "マウスのサイドボタン2を離す", "マウスのホイール", "マウスの横ホイール"},
    {"キーを押す", "キーを離す"},
    "デスクトップのスクリーンショット",
};

// What the driver saw in the dialog before it closed it.
struct Seen {
    std::string caption;
    ComboState devices, kinds, keys;
    std::string x, y, xNote, yNote, keyCode, interval, wheelDelta;
    bool smallIcon = false;
    bool wheelOpen = false;
};

// The wheel delta's edit takes input: shown and enabled.
bool WheelOpen(HWND dialog) {
    HWND edit = GetDlgItem(dialog, IDC_EDIT_WHEEL_DELTA);
    return edit && IsWindowVisible(edit) && IsWindowEnabled(edit);
}

Seen Look(HWND dialog) {
    Seen seen;
    seen.caption = gui::WindowText(dialog);
    seen.devices = ReadCombo(GetDlgItem(dialog, IDC_EDIT_DEVICE));
    seen.kinds = ReadCombo(GetDlgItem(dialog, IDC_EDIT_KIND));
    seen.keys = ReadCombo(GetDlgItem(dialog, IDC_EDIT_KEYNAME));
    seen.x = Text(dialog, IDC_EDIT_X);
    seen.y = Text(dialog, IDC_EDIT_Y);
    seen.xNote = Text(dialog, IDC_EDIT_X_NOTE);
    seen.yNote = Text(dialog, IDC_EDIT_Y_NOTE);
    seen.keyCode = Text(dialog, IDC_EDIT_KEYCODE);
    seen.interval = Text(dialog, IDC_EDIT_INTERVAL);
    seen.wheelDelta = Text(dialog, IDC_EDIT_WHEEL_DELTA);
    seen.smallIcon = dialogtest::HasSmallIcon(dialog);
    seen.wheelOpen = WheelOpen(dialog);
    return seen;
}

template <class Drive>
dialogtest::DrivenRun Run(CActionEditDialog& dialog, Drive drive) {
    return RunDriven([&] { return dialog.Show(nullptr); }, drive);
}

ActionRecord MakeRecord(uint32_t interval, ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                        int32_t keyCode) {
    ActionRecord r;
    r.interval = interval;
    r.device = device;
    r.kind = kind;
    r.x = x;
    r.y = y;
    r.keyCode = keyCode;
    return r;
}

void CheckRecord(const ActionRecord& r, const ActionRecord& expected) {
    CHECK(r.interval == expected.interval);
    CHECK(r.device == expected.device);
    CHECK(r.kind == expected.kind);
    CHECK(r.x == expected.x);
    CHECK(r.y == expected.y);
    CHECK(r.keyCode == expected.keyCode);
}

}  // namespace

TEST_CASE("ParseEditNumber follows the number rule of the edits") {
    struct Case {
        const wchar_t* text;
        int accepted;
        int32_t value;
    };
    const Case cases[] = {
        {L"1500", 1, 1500},
        {L"   1500", 1, 1500},
        {L"\t \t1500", 1, 1500},
        {L"-20", 1, -20},
        {L"  -7", 1, -7},
        {L"007", 1, 7},
        {L"", 1, 0},
        {L"   ", 1, 0},
        {L"-", 1, 0},
        {L"-0", 1, 0},
        {L"-1", 1, -1},
        {L"2147483647", 1, 2147483647},
        {L"-2147483648", 1, INT32_MIN},
        {L"4294967295", 1, -1},
        {L"2147483648", 1, INT32_MIN},
        {L"1,500", 0, 0},
        {L"1500ms", 0, 0},
        {L"1500 ", 0, 0},
        {L"+5", 0, 0},
        {L"--5", 0, 0},
        {L"- 5", 0, 0},
        {L"5-", 0, 0},
        {L"0x10", 0, 0},
        {L"\xFF11", 0, 0},  // a full-width digit
        {L"4294967296", 0, 0},
        {L"-2147483649", 0, 0},
        {L"18446744073709551617", 0, 0},  // wraps 64 bits to 1
        {L"99999999999999999999999999999", 0, 0},
    };
    for (const Case& c : cases) {
        CAPTURE(testutil::Utf8(c.text));
        int32_t value = 12345;
        CHECK(ParseEditNumber(c.text, &value) == c.accepted);
        CHECK(value == (c.accepted ? c.value : 12345));
    }
    int32_t value = 9;
    CHECK(ParseEditNumber(nullptr, &value) == 0);
    CHECK(value == 9);
}

TEST_CASE("Add shows the real dialog and OK without changes gives the default record") {
    for (const Language* lang : {&kEnglish, &kJapanese}) {
        CAPTURE(lang->caption);
        CAppParameter config;
        config.ui_language = lang->ui_language;
        dialogtest::PublishedConfig published(&config);
        CActionEditDialog dialog;
        Seen seen;
        auto run = Run(dialog, [&](HWND d) {
            seen = Look(d);
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(run.result == 1);
        CHECK(seen.caption == lang->caption);
        CHECK(seen.smallIcon);
        CHECK(seen.devices.items == lang->devices);
        CHECK(seen.devices.data == std::vector<LRESULT>{0, 1, 2});
        CHECK(seen.devices.selected == 0);
        CHECK(seen.kinds.items == lang->mouseKinds);
        CHECK(seen.kinds.data == std::vector<LRESULT>{1, 2, 3, 4, 5, 6, 7, 8, 12, 13, 14, 15, 16, 17, 18, 19, 20});
        CHECK(seen.kinds.selected == 0);
        CHECK(seen.x == "0");
        CHECK(seen.y == "0");
        CHECK(seen.keyCode == "0");
        CHECK(seen.interval == "0");
        CHECK(seen.wheelDelta == "120");
        CHECK_FALSE(seen.wheelOpen);
        CHECK(seen.xNote.empty());
        CHECK(seen.yNote.empty());
        REQUIRE(seen.keys.items.size() == static_cast<size_t>(kKeyNameCount));
        for (int i = 0; i < kKeyNameCount; ++i) {
            CHECK(seen.keys.items[i] == testutil::Utf8(KeyNameTable[i].name));
            CHECK(seen.keys.data[i] == static_cast<LRESULT>(KeyNameTable[i].code));
        }
        CHECK(seen.keys.selected == CB_ERR);
        CheckRecord(dialog.Record(), MakeRecord(0, ActionDevice::Mouse, ActionKind::MouseLeftPush, 0, 0, 0));
    }
}

TEST_CASE("a keyboard operation: device, kind and key chosen from the lists") {
    for (const Language* lang : {&kEnglish, &kJapanese}) {
        CAPTURE(lang->caption);
        CAppParameter config;
        config.ui_language = lang->ui_language;
        dialogtest::PublishedConfig published(&config);
        CActionEditDialog dialog;
        ComboState keyboardKinds, displayKinds;
        std::string keyCodeShown;
        bool chosen = true;
        auto run = Run(dialog, [&](HWND d) {
            Choose(d, IDC_EDIT_DEVICE, 2);
            displayKinds = ReadCombo(GetDlgItem(d, IDC_EDIT_KIND));
            Choose(d, IDC_EDIT_DEVICE, 1);
            keyboardKinds = ReadCombo(GetDlgItem(d, IDC_EDIT_KIND));
            chosen = ChooseText(d, IDC_EDIT_KIND, lang->keyboardKinds[1]) && ChooseText(d, IDC_EDIT_KEYNAME, "VK_F5");
            keyCodeShown = Text(d, IDC_EDIT_KEYCODE);
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(chosen);
        CHECK(run.result == 1);
        CHECK(displayKinds.items == std::vector<std::string>{lang->screenshot});
        CHECK(displayKinds.data == std::vector<LRESULT>{11});
        CHECK(displayKinds.selected == 0);
        CHECK(keyboardKinds.items == lang->keyboardKinds);
        CHECK(keyboardKinds.data == std::vector<LRESULT>{9, 10});
        CHECK(keyboardKinds.selected == 0);
        CHECK(keyCodeShown == "116");
        CheckRecord(dialog.Record(), MakeRecord(0, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 116));
    }
}

TEST_CASE("a wheel operation: the delta is open only for a wheel kind and becomes the key code") {
    for (const Language* lang : {&kEnglish, &kJapanese}) {
        CAPTURE(lang->caption);
        CAppParameter config;
        config.ui_language = lang->ui_language;
        dialogtest::PublishedConfig published(&config);
        CActionEditDialog dialog;
        // Opened as each kind is chosen: wheel, move, horizontal wheel,
        // keyboard device, mouse device again (horizontal wheel remembered).
        std::vector<bool> open;
        bool chosen = true;
        auto run = Run(dialog, [&](HWND d) {
            chosen = ChooseText(d, IDC_EDIT_KIND, lang->mouseKinds[15]);
            open.push_back(WheelOpen(d));
            SetText(d, IDC_EDIT_WHEEL_DELTA, "-240");
            chosen = ChooseText(d, IDC_EDIT_KIND, lang->mouseKinds[8]) && chosen;
            open.push_back(WheelOpen(d));
            chosen = ChooseText(d, IDC_EDIT_KIND, lang->mouseKinds[16]) && chosen;
            open.push_back(WheelOpen(d));
            Choose(d, IDC_EDIT_DEVICE, 1);
            open.push_back(WheelOpen(d));
            Choose(d, IDC_EDIT_DEVICE, 0);
            open.push_back(WheelOpen(d));
            // A key code typed meanwhile is not the wheel's.
            SetText(d, IDC_EDIT_KEYCODE, "65");
            SetText(d, IDC_EDIT_X, "640");
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(chosen);
        CHECK(run.result == 1);
        CHECK(open == std::vector<bool>{true, false, true, false, true});
        CHECK(dialog.wheel_delta == -240);
        CheckRecord(dialog.Record(), MakeRecord(0, ActionDevice::Mouse, ActionKind::MouseHWheel, 640, 0, -240));
    }
}

TEST_CASE("Modify of a wheel: the delta shown, kept, changed, and left behind by another kind") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    const ActionRecord wheel = MakeRecord(16, ActionDevice::Mouse, ActionKind::MouseWheel, 300, 200, -360);
    struct Case {
        const char* kind;   // chosen before OK; null keeps the wheel
        const char* delta;  // typed into the delta's edit; null types nothing
        ActionRecord want;
    };
    const Case cases[] = {
        {nullptr, nullptr, wheel},
        {nullptr, "7", MakeRecord(16, ActionDevice::Mouse, ActionKind::MouseWheel, 300, 200, 7)},
        {nullptr, "-2147483648", MakeRecord(16, ActionDevice::Mouse, ActionKind::MouseWheel, 300, 200, INT32_MIN)},
        {nullptr, "1,5", wheel},
        // The delta is no key code: another kind takes the key code's edit.
        {"Mouse middle push", nullptr, MakeRecord(16, ActionDevice::Mouse, ActionKind::MouseMiddlePush, 300, 200, 0)},
    };
    for (const Case& c : cases) {
        CAPTURE(c.kind ? c.kind : "wheel");
        CAPTURE(c.delta ? c.delta : "");
        CActionEditDialog dialog;
        dialog.SetRecord(wheel);
        Seen seen;
        bool chosen = true;
        auto run = Run(dialog, [&](HWND d) {
            seen = Look(d);
            if (c.kind) chosen = ChooseText(d, IDC_EDIT_KIND, c.kind);
            if (c.delta) SetText(d, IDC_EDIT_WHEEL_DELTA, c.delta);
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(chosen);
        CHECK(SelectedText(seen.kinds) == "Mouse wheel");
        CHECK(seen.wheelDelta == "-360");
        CHECK(seen.wheelOpen);
        CHECK(seen.keyCode == "0");
        CHECK(seen.keys.selected == CB_ERR);
        CheckRecord(dialog.Record(), c.want);
    }
}

TEST_CASE("each device keeps its own kind while the device is switched") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    CActionEditDialog dialog;
    std::string afterDisplay, afterKeyboard, keyboardAgain;
    auto run = Run(dialog, [&](HWND d) {
        ChooseText(d, IDC_EDIT_KIND, "Mouse right click");
        Choose(d, IDC_EDIT_DEVICE, 2);
        Choose(d, IDC_EDIT_DEVICE, 0);
        afterDisplay = SelectedText(ReadCombo(GetDlgItem(d, IDC_EDIT_KIND)));
        Choose(d, IDC_EDIT_DEVICE, 1);
        ChooseText(d, IDC_EDIT_KIND, "Release key");
        Choose(d, IDC_EDIT_DEVICE, 0);
        afterKeyboard = SelectedText(ReadCombo(GetDlgItem(d, IDC_EDIT_KIND)));
        Choose(d, IDC_EDIT_DEVICE, 1);
        keyboardAgain = SelectedText(ReadCombo(GetDlgItem(d, IDC_EDIT_KIND)));
        Choose(d, IDC_EDIT_DEVICE, 0);
        Click(d, IDOK);
    });
    REQUIRE(run.driven);
    CHECK(afterDisplay == "Mouse right click");
    CHECK(afterKeyboard == "Mouse right click");
    CHECK(keyboardAgain == "Release key");
    CHECK(dialog.kind_per_device[0] == 7);
    CHECK(dialog.kind_per_device[1] == 10);
    CHECK(dialog.kind_per_device[2] == 11);
    // Only the final device's kind reaches the record.
    CheckRecord(dialog.Record(), MakeRecord(0, ActionDevice::Mouse, ActionKind::MouseRightClick, 0, 0, 0));
}

TEST_CASE("a device chosen with the keyboard refills the operation list") {
    // The combo box itself sends the selection-change notice here.
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    CActionEditDialog dialog;
    ComboState kinds;
    auto run = Run(dialog, [&](HWND d) {
        HWND devices = GetDlgItem(d, IDC_EDIT_DEVICE);
        SendMessageW(devices, WM_KEYDOWN, VK_DOWN, 0);
        SendMessageW(devices, WM_KEYUP, VK_DOWN, 0);
        kinds = ReadCombo(GetDlgItem(d, IDC_EDIT_KIND));
        Click(d, IDOK);
    });
    REQUIRE(run.driven);
    CHECK(kinds.items == kEnglish.keyboardKinds);
    CHECK(dialog.device == 1);
    CHECK(dialog.Record().kind == ActionKind::PushKey);
}

TEST_CASE("typed numbers: accepted ones are taken, others keep the previous value") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    struct Case {
        const char* x;
        const char* y;
        const char* interval;
        int32_t wantX, wantY;
        uint32_t wantInterval;
    };
    const Case cases[] = {
        {"-20", "  300", "1500", -20, 300, 1500},
        {"12abc", "", "   1500", 11, 0, 1500},
        {"1 2", "\t7", "1,500", 11, 7, 250},
        {"-", "99999999999", "1500ms", 0, 22, 250},
        {"2147483647", "-2147483648", "-1", 2147483647, INT32_MIN, 4294967295u},
        {"11", "22", "4294967295", 11, 22, 4294967295u},
        {"11", "22", "4294967296", 11, 22, 250},
        // Longer than an edit's text is read: kept, not cut to a number.
        {"0000000000000000000000000000000000000000000000000000000000000001", "22", "250", 11, 22, 250},
    };
    for (const Case& c : cases) {
        CAPTURE(c.x);
        CAPTURE(c.y);
        CAPTURE(c.interval);
        CActionEditDialog dialog;
        dialog.SetRecord(MakeRecord(250, ActionDevice::Mouse, ActionKind::MouseLeftClick, 11, 22, 0));
        auto run = Run(dialog, [&](HWND d) {
            SetText(d, IDC_EDIT_X, c.x);
            SetText(d, IDC_EDIT_Y, c.y);
            SetText(d, IDC_EDIT_INTERVAL, c.interval);
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(run.result == 1);
        CheckRecord(dialog.Record(),
                    MakeRecord(c.wantInterval, ActionDevice::Mouse, ActionKind::MouseLeftClick, c.wantX, c.wantY, 0));
    }
}

TEST_CASE("Modify shows the record, -1 for the longest interval, and keeps it through OK") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    CActionEditDialog dialog;
    // The keypad's Enter, as recorded: its stroke in x, shown as no position.
    const ActionRecord original =
        MakeRecord(4294967295u, ActionDevice::Keyboard, ActionKind::ReleaseKey, kKeyExtended | 0x1C, -5, 13);
    dialog.SetRecord(original);
    Seen seen;
    auto run = Run(dialog, [&](HWND d) {
        seen = Look(d);
        Click(d, IDOK);
    });
    REQUIRE(run.driven);
    CHECK(seen.interval == "-1");
    CHECK(seen.x == "0");
    CHECK(seen.y == "-5");
    CHECK(seen.keyCode == "13");
    CHECK(seen.devices.selected == 1);
    CHECK(seen.kinds.items == kEnglish.keyboardKinds);
    CHECK(SelectedText(seen.kinds) == "Release key");
    CHECK(SelectedText(seen.keys) == "VK_RETURN");
    CHECK(seen.keys.selected == 3);
    CheckRecord(dialog.Record(), original);
    // The other devices start from the kinds of Add.
    CHECK(dialog.kind_per_device[0] == 1);
    CHECK(dialog.kind_per_device[2] == 11);

    // Another key does not keep the stroke: it plays as that key by nature.
    CActionEditDialog other;
    other.SetRecord(original);
    REQUIRE(Run(other, [&](HWND d) {
                ChooseText(d, IDC_EDIT_KEYNAME, "VK_LEFT");
                Click(d, IDOK);
            }).driven);
    CheckRecord(other.Record(),
                MakeRecord(4294967295u, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, -5, VK_LEFT));
}

TEST_CASE("a key code without a name, and a typed key code, win over the key list") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);

    SUBCASE("no name: no selection, the number shown, kept through OK") {
        CActionEditDialog dialog;
        dialog.SetRecord(MakeRecord(0, ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 186));
        Seen seen;
        auto run = Run(dialog, [&](HWND d) {
            seen = Look(d);
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(seen.keys.selected == CB_ERR);
        CHECK(seen.keyCode == "186");
        CHECK(dialog.key_code == 186);
    }
    SUBCASE("typing 65 after choosing VK_F5 gives 65; the list stays on VK_F5") {
        CActionEditDialog dialog;
        std::string listAfterTyping;
        auto run = Run(dialog, [&](HWND d) {
            ChooseText(d, IDC_EDIT_KEYNAME, "VK_F5");
            SetText(d, IDC_EDIT_KEYCODE, "65");
            listAfterTyping = SelectedText(ReadCombo(GetDlgItem(d, IDC_EDIT_KEYNAME)));
            Click(d, IDOK);
        });
        REQUIRE(run.driven);
        CHECK(listAfterTyping == "VK_F5");
        CHECK(dialog.key_code == 65);
    }
}

TEST_CASE("a device outside the list: nothing selected, and OK gives Mouse") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    CActionEditDialog dialog;
    dialog.SetRecord(MakeRecord(0, static_cast<ActionDevice>(7), ActionKind::MouseLeftDoubleClick, 0, 0, 0));
    Seen seen;
    auto run = Run(dialog, [&](HWND d) {
        seen = Look(d);
        Click(d, IDOK);
    });
    REQUIRE(run.driven);
    CHECK(seen.devices.selected == CB_ERR);
    CHECK(seen.kinds.items == kEnglish.mouseKinds);
    CHECK(SelectedText(seen.kinds) == "Mouse left double click");
    CheckRecord(dialog.Record(), MakeRecord(0, ActionDevice::Mouse, ActionKind::MouseLeftDoubleClick, 0, 0, 0));
}

TEST_CASE("a kind the device does not have is shown unselected and becomes 0 on OK") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    CActionEditDialog dialog;
    dialog.SetRecord(MakeRecord(0, ActionDevice::Display, ActionKind::PushKey, 0, 0, 0));
    ComboState kinds;
    auto run = Run(dialog, [&](HWND d) {
        kinds = ReadCombo(GetDlgItem(d, IDC_EDIT_KIND));
        Click(d, IDOK);
    });
    REQUIRE(run.driven);
    CHECK(kinds.items == std::vector<std::string>{"Desktop screenshot"});
    CHECK(kinds.selected == CB_ERR);
    CHECK(dialog.device == 2);
    CHECK(dialog.kind_per_device[2] == 0);
}

TEST_CASE("Cancel returns 0 and typed texts never reach the fields") {
    CAppParameter config;
    dialogtest::PublishedConfig published(&config);
    const ActionRecord original = MakeRecord(700, ActionDevice::Mouse, ActionKind::MouseRightPush, 5, 6, 0);
    for (bool byClose : {false, true}) {
        CAPTURE(byClose);
        CActionEditDialog dialog;
        dialog.SetRecord(original);
        auto run = Run(dialog, [&](HWND d) {
            SetText(d, IDC_EDIT_X, "999");
            SetText(d, IDC_EDIT_INTERVAL, "1");
            ChooseText(d, IDC_EDIT_KEYNAME, "VK_F5");
            if (byClose) {
                SendMessageW(d, WM_CLOSE, 0, 0);
            } else {
                Click(d, IDCANCEL);
            }
        });
        REQUIRE(run.driven);
        CHECK(run.result == 0);
        CHECK(dialog.device == 0);
        CHECK(dialog.kind_per_device[0] == 5);
        CHECK(dialog.x == 5);
        CHECK(dialog.y == 6);
        CHECK(dialog.interval == 700);
    }
}
