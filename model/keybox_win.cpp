#include "model/keynames.h"

#include "win/combo_box_win.h"

int fillKeyBox(HWND comboBox, int currentCode) {
    SendMessageW(comboBox, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (int i = 0; i < kKeyNameCount; ++i) {
        // Inserting at an explicit index keeps table order even in a box
        // created with CBS_SORT, where CB_ADDSTRING would sort the names.
        int index = InsertComboItem(comboBox, i, KeyNameTable[i].name, static_cast<LPARAM>(KeyNameTable[i].code));
        if (index < 0) return 0;
        if (currentCode >= 0 && KeyNameTable[i].code == static_cast<uint32_t>(currentCode)) selected = index;
    }
    SendMessageW(comboBox, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    return 1;
}

int keyBoxSelectedCode(HWND comboBox) { return static_cast<int>(SelectedComboData(comboBox)); }
