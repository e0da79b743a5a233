#include "model/keynames.h"

#include "core/cstring.h"

const KeyNameEntry KeyNameTable[kKeyNameCount] = {
    {8, L"VK_BACK"},        {9, L"VK_TAB"},
    {12, L"VK_CLEAR"},      {13, L"VK_RETURN"},
    {16, L"VK_SHIFT"},      {17, L"VK_CONTROL"},    {18, L"VK_MENU"},
    {19, L"VK_PAUSE"},      {20, L"VK_CAPITAL"},    {21, L"VK_KANA"},
    {23, L"VK_JUNJA"},      {24, L"VK_FINAL"},      {25, L"VK_KANJI"},
    {27, L"VK_ESCAPE"},     {28, L"VK_CONVERT"},    {29, L"VK_NONCONVERT"},
    {30, L"VK_ACCEPT"},     {31, L"VK_MODECHANGE"},
    {32, L"VK_SPACE"},      {33, L"VK_PRIOR"},      {34, L"VK_NEXT"},
    {35, L"VK_END"},        {36, L"VK_HOME"},       {37, L"VK_LEFT"},
    {38, L"VK_UP"},         {39, L"VK_RIGHT"},      {40, L"VK_DOWN"},
    {41, L"VK_SELECT"},     {42, L"VK_PRINT"},      {43, L"VK_EXECUTE"},
    {44, L"VK_SNAPSHOT"},   {45, L"VK_INSERT"},     {46, L"VK_DELETE"},
    {47, L"VK_HELP"},
    {48, L"0"}, {49, L"1"}, {50, L"2"}, {51, L"3"}, {52, L"4"},
    {53, L"5"}, {54, L"6"}, {55, L"7"}, {56, L"8"}, {57, L"9"},
    {65, L"A"}, {66, L"B"}, {67, L"C"}, {68, L"D"}, {69, L"E"}, {70, L"F"},
    {71, L"G"}, {72, L"H"}, {73, L"I"}, {74, L"J"}, {75, L"K"}, {76, L"L"},
    {77, L"M"}, {78, L"N"}, {79, L"O"}, {80, L"P"}, {81, L"Q"}, {82, L"R"},
    {83, L"S"}, {84, L"T"}, {85, L"U"}, {86, L"V"}, {87, L"W"}, {88, L"X"},
    {89, L"Y"}, {90, L"Z"},
    {91, L"VK_LWIN"},       {92, L"VK_RWIN"},       {93, L"VK_APPS"},
    {95, L"VK_SLEEP"},
    {96, L"VK_NUMPAD0"},    {97, L"VK_NUMPAD1"},    {98, L"VK_NUMPAD2"},
    {99, L"VK_NUMPAD3"},    {100, L"VK_NUMPAD4"},   {101, L"VK_NUMPAD5"},
    {102, L"VK_NUMPAD6"},   {103, L"VK_NUMPAD7"},   {104, L"VK_NUMPAD8"},
    {105, L"VK_NUMPAD9"},
    {106, L"VK_MULTIPLY"},  {107, L"VK_ADD"},       {108, L"VK_SEPARATOR"},
    {109, L"VK_SUBTRACT"},  {110, L"VK_DECIMAL"},   {111, L"VK_DIVIDE"},
    {112, L"VK_F1"},  {113, L"VK_F2"},  {114, L"VK_F3"},  {115, L"VK_F4"},
    {116, L"VK_F5"},  {117, L"VK_F6"},  {118, L"VK_F7"},  {119, L"VK_F8"},
    {120, L"VK_F9"},  {121, L"VK_F10"}, {122, L"VK_F11"}, {123, L"VK_F12"},
    {124, L"VK_F13"}, {125, L"VK_F14"}, {126, L"VK_F15"}, {127, L"VK_F16"},
    {128, L"VK_F17"}, {129, L"VK_F18"}, {130, L"VK_F19"}, {131, L"VK_F20"},
    {132, L"VK_F21"}, {133, L"VK_F22"}, {134, L"VK_F23"}, {135, L"VK_F24"},
    {144, L"VK_NUMLOCK"},   {145, L"VK_SCROLL"},
    {160, L"VK_LSHIFT"},    {161, L"VK_RSHIFT"},    {162, L"VK_LCONTROL"},
    {163, L"VK_RCONTROL"},  {164, L"VK_LMENU"},     {165, L"VK_RMENU"},
};

const wchar_t* FindKeyName(int32_t code) {
    if (code < 0) return nullptr;
    uint32_t key = static_cast<uint32_t>(code);
    int lo = 0;
    int hi = kKeyNameCount;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (KeyNameTable[mid].code < key) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo < kKeyNameCount && KeyNameTable[lo].code == key ? KeyNameTable[lo].name : nullptr;
}

int keyName(int32_t code, wchar_t* out) {
    int n = 0;
    if (const wchar_t* name = FindKeyName(code)) {
        while (name[n] && n < kKeyNameCapacity - 1) {
            out[n] = name[n];
            ++n;
        }
        out[n] = 0;
        return n;
    }
    return FormatDecimal(code, out);
}
