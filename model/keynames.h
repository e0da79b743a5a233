#pragma once
// Names of virtual-key codes, shown wherever a key is shown to the user: the
// Keycode column of the operation list, the key box of the operation edit
// dialog and the break-key box of the settings dialog. One table, one order.
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

struct KeyNameEntry {
    uint32_t code;
    const wchar_t* name;
};

enum : int {
    kKeyNameCount = 122,
    // Longest name ("VK_MODECHANGE") or signed decimal number, plus terminator.
    kKeyNameCapacity = 14,
};

// Ascending by code; the order is the order of every key box.
extern const KeyNameEntry KeyNameTable[kKeyNameCount];

// The table's name for code, or null when the code has none.
const wchar_t* FindKeyName(int32_t code);

// Writes the code's name into out (at least kKeyNameCapacity units), or the
// code as a signed decimal number when it has none; returns the length.
int keyName(int32_t code, wchar_t* out);

#ifdef _WIN32
// Empties a drop-down list combo box, adds the table's names in table order
// (whatever the box's sort style) with each code as item data, and selects the
// item of currentCode, or none when that code has no name. Returns 1, or 0
// when the box refused an item.
int fillKeyBox(HWND comboBox, int currentCode);
// The item data of the selected item: its key code; 0 when none is selected.
int keyBoxSelectedCode(HWND comboBox);
#endif
