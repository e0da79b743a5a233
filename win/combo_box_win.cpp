#include "win/combo_box_win.h"

namespace {

int SetData(HWND combo, LRESULT index, LPARAM data) {
    if (index == CB_ERR || index == CB_ERRSPACE) return -1;
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return static_cast<int>(index);
}

}  // namespace

int AddComboItem(HWND combo, const wchar_t* text, LPARAM data) {
    LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : L""));
    return SetData(combo, index, data);
}

int InsertComboItem(HWND combo, int index, const wchar_t* text, LPARAM data) {
    LRESULT at = SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(index),
                              reinterpret_cast<LPARAM>(text ? text : L""));
    return SetData(combo, at, data);
}

int SelectComboItemByData(HWND combo, LPARAM value) {
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (SendMessageW(combo, CB_GETITEMDATA, i, 0) == value) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return 1;
        }
    }
    return 0;
}

LPARAM SelectedComboData(HWND combo) {
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    LRESULT data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? 0 : data;
}
