#pragma once
// Combo boxes whose items carry a value as item data: the lists of devices,
// kinds, keys and formats all show a text and stand for a number.
#include <windows.h>

// Adds `text` (null: an empty text) with `data`; in a sorted box the item
// lands in sorted order. Returns its index, -1 when the box refused it.
int AddComboItem(HWND combo, const wchar_t* text, LPARAM data);
// Inserts at `index` (-1: at the end), keeping that place even in a sorted
// box. Returns the index, -1 when the box refused it.
int InsertComboItem(HWND combo, int index, const wchar_t* text, LPARAM data);

// Selects the first item whose item data equals `value` and returns 1;
// returns 0 and leaves the selection alone when no item matches.
int SelectComboItemByData(HWND combo, LPARAM value);

// The item data of the selected item, 0 when nothing is selected.
LPARAM SelectedComboData(HWND combo);
