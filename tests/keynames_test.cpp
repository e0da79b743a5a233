#include <cstring>
#include <string>

#include "doctest.h"
#include "model/keynames.h"
#include "test_util.h"

using testutil::Utf8;

namespace {

std::string Name(int32_t code) {
    wchar_t out[kKeyNameCapacity + 8];
    for (wchar_t& c : out) c = 0x5555;
    int n = keyName(code, out);
    std::string text = Utf8(out);
    CHECK(n == static_cast<int>(text.size()));
    CHECK(n <= kKeyNameCapacity - 1);
    for (int i = n + 1; i < kKeyNameCapacity + 8; ++i) REQUIRE(out[i] == 0x5555);
    return text;
}

}  // namespace

TEST_CASE("the table holds the 122 codes in ascending order") {
    // Written out independently of the table: every named code, by ranges.
    const int ranges[][2] = {{8, 9},   {12, 13},   {16, 21},   {23, 25},   {27, 31},
                             {32, 40}, {41, 47},   {48, 57},   {65, 90},   {91, 93},
                             {95, 95}, {96, 105},  {106, 111}, {112, 135}, {144, 145},
                             {160, 165}};
    int index = 0;
    for (const auto& range : ranges) {
        for (int code = range[0]; code <= range[1]; ++code) {
            REQUIRE(index < kKeyNameCount);
            CHECK(KeyNameTable[index].code == static_cast<uint32_t>(code));
            ++index;
        }
    }
    CHECK(index == kKeyNameCount);
    for (int i = 0; i < kKeyNameCount; ++i) {
        CAPTURE(i);
        CHECK(FindKeyName(static_cast<int32_t>(KeyNameTable[i].code)) == KeyNameTable[i].name);
    }
}

TEST_CASE("names of named codes") {
    struct Case {
        int32_t code;
        const char* name;
    } cases[] = {
        {8, "VK_BACK"},        {9, "VK_TAB"},          {12, "VK_CLEAR"},     {13, "VK_RETURN"},
        {16, "VK_SHIFT"},      {17, "VK_CONTROL"},     {18, "VK_MENU"},      {19, "VK_PAUSE"},
        {20, "VK_CAPITAL"},    {21, "VK_KANA"},        {23, "VK_JUNJA"},     {24, "VK_FINAL"},
        {25, "VK_KANJI"},      {27, "VK_ESCAPE"},      {28, "VK_CONVERT"},   {29, "VK_NONCONVERT"},
        {30, "VK_ACCEPT"},     {31, "VK_MODECHANGE"},  {32, "VK_SPACE"},     {33, "VK_PRIOR"},
        {34, "VK_NEXT"},       {35, "VK_END"},         {36, "VK_HOME"},      {37, "VK_LEFT"},
        {38, "VK_UP"},         {39, "VK_RIGHT"},       {40, "VK_DOWN"},      {41, "VK_SELECT"},
        {42, "VK_PRINT"},      {43, "VK_EXECUTE"},     {44, "VK_SNAPSHOT"},  {45, "VK_INSERT"},
        {46, "VK_DELETE"},     {47, "VK_HELP"},        {48, "0"},            {57, "9"},
        {65, "A"},             {77, "M"},              {90, "Z"},            {91, "VK_LWIN"},
        {92, "VK_RWIN"},       {93, "VK_APPS"},        {95, "VK_SLEEP"},     {96, "VK_NUMPAD0"},
        {105, "VK_NUMPAD9"},   {106, "VK_MULTIPLY"},   {107, "VK_ADD"},      {108, "VK_SEPARATOR"},
        {109, "VK_SUBTRACT"},  {110, "VK_DECIMAL"},    {111, "VK_DIVIDE"},   {112, "VK_F1"},
        {121, "VK_F10"},       {135, "VK_F24"},        {144, "VK_NUMLOCK"},  {145, "VK_SCROLL"},
        {160, "VK_LSHIFT"},    {161, "VK_RSHIFT"},     {162, "VK_LCONTROL"}, {163, "VK_RCONTROL"},
        {164, "VK_LMENU"},     {165, "VK_RMENU"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.code);
        CHECK(Name(c.code) == c.name);
    }
    // Every digit and letter is the character itself; F keys count up.
    for (int code = 48; code <= 57; ++code) CHECK(Name(code) == std::string(1, static_cast<char>(code)));
    for (int code = 65; code <= 90; ++code) CHECK(Name(code) == std::string(1, static_cast<char>(code)));
    for (int code = 112; code <= 135; ++code) CHECK(Name(code) == "VK_F" + std::to_string(code - 111));
    for (int code = 96; code <= 105; ++code) CHECK(Name(code) == "VK_NUMPAD" + std::to_string(code - 96));
}

TEST_CASE("codes without a name print as signed decimal") {
    const int32_t unnamed[] = {0,   10,  11,  14,  15,  22,  26,  58,  64,  94,  136,
                               143, 146, 159, 166, 186, 255, 256, 1000, -1, 2147483647,
                               -2147483647 - 1};
    for (int32_t code : unnamed) {
        CAPTURE(code);
        CHECK(FindKeyName(code) == nullptr);
        CHECK(Name(code) == std::to_string(code));
    }
    CHECK(Name(-2147483647 - 1) == "-2147483648");
    // Codes whose low byte is a named code stay unnamed.
    CHECK(Name(256 + 65) == "321");
    CHECK(Name(65536 + 13) == "65549");
    CHECK(Name(-256 + 65) == "-191");
}
