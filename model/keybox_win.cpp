#include "model/keynames.h"

int fillKeyBox(HWND comboBox, int currentCode) {
    SendMessageW(comboBox, CB_RESETCONTENT, 0, 0);
    int selected = -1;
    for (int i = 0; i < kKeyNameCount; ++i) {
        // Inserting at an explicit index keeps table order even in a box
        // created with CBS_SORT, where CB_ADDSTRING would sort the names.
        LRESULT index = SendMessageW(comboBox, CB_INSERTSTRING, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(KeyNameTable[i].name));
        if (index == CB_ERR || index == CB_ERRSPACE) return 0;
        SendMessageW(comboBox, CB_SETITEMDATA, static_cast<WPARAM>(index),
                     static_cast<LPARAM>(KeyNameTable[i].code));
        if (currentCode >= 0 && KeyNameTable[i].code == static_cast<uint32_t>(currentCode)) {
            selected = static_cast<int>(index);
        }
    }
    SendMessageW(comboBox, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    return 1;
}

int keyBoxSelectedCode(HWND comboBox) {
    LRESULT index = SendMessageW(comboBox, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    LRESULT data = SendMessageW(comboBox, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : static_cast<int>(data);
}
