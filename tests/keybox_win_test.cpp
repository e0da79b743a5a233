#include <windows.h>

#include <string>

#include "doctest.h"
#include "model/keynames.h"
#include "test_util.h"

using testutil::Utf8;

namespace {

// A real top-level window holding a real drop-down list combo box.
struct KeyBoxWindow {
    HWND parent = nullptr;
    HWND box = nullptr;

    explicit KeyBoxWindow(DWORD extraStyle = 0) {
        parent = CreateWindowExW(0, L"STATIC", L"keybox test", WS_OVERLAPPEDWINDOW, 10, 10, 300, 300,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        box = CreateWindowExW(0, L"COMBOBOX", L"",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | extraStyle, 5, 5,
                              200, 200, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~KeyBoxWindow() {
        if (parent) DestroyWindow(parent);
    }

    int count() const { return static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0)); }
    int selection() const { return static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0)); }
    std::string text(int i) const {
        wchar_t buffer[64] = {0};
        LRESULT len = SendMessageW(box, CB_GETLBTEXTLEN, i, 0);
        if (len < 0 || len >= 64) return "<bad length>";
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
        return Utf8(buffer);
    }
    LRESULT data(int i) const { return SendMessageW(box, CB_GETITEMDATA, i, 0); }
};

void CheckTableOrder(const KeyBoxWindow& w) {
    REQUIRE(w.count() == kKeyNameCount);
    for (int i = 0; i < kKeyNameCount; ++i) {
        CAPTURE(i);
        CHECK(w.text(i) == Utf8(KeyNameTable[i].name));
        CHECK(w.data(i) == static_cast<LRESULT>(KeyNameTable[i].code));
    }
}

}  // namespace

TEST_CASE("fillKeyBox fills a real drop-down list in table order") {
    KeyBoxWindow w;
    REQUIRE(w.parent != nullptr);
    REQUIRE(w.box != nullptr);

    SUBCASE("code 13 selects VK_RETURN, the fourth item") {
        CHECK(fillKeyBox(w.box, 13) == 1);
        CheckTableOrder(w);
        CHECK(w.selection() == 3);
        CHECK(w.text(w.selection()) == "VK_RETURN");
        CHECK(keyBoxSelectedCode(w.box) == 13);
    }
    SUBCASE("a code without a name fills all 122 and selects none") {
        for (int code : {200, 0, -1, 256 + 13}) {
            CAPTURE(code);
            CHECK(fillKeyBox(w.box, code) == 1);
            CheckTableOrder(w);
            CHECK(w.selection() == CB_ERR);
            CHECK(keyBoxSelectedCode(w.box) == 0);
        }
    }
    SUBCASE("refilling empties the box first and moves the selection") {
        SendMessageW(w.box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"stale"));
        CHECK(fillKeyBox(w.box, 112) == 1);
        CHECK(w.text(w.selection()) == "VK_F1");
        CHECK(fillKeyBox(w.box, 165) == 1);
        CheckTableOrder(w);
        CHECK(w.selection() == kKeyNameCount - 1);
        CHECK(keyBoxSelectedCode(w.box) == 165);
        CHECK(fillKeyBox(w.box, 200) == 1);
        CHECK(w.selection() == CB_ERR);
    }
    SUBCASE("the selected code follows the user's choice") {
        CHECK(fillKeyBox(w.box, 8) == 1);
        CHECK(keyBoxSelectedCode(w.box) == 8);
        SendMessageW(w.box, CB_SETCURSEL, 4, 0);
        CHECK(keyBoxSelectedCode(w.box) == 16);
    }
}

TEST_CASE("fillKeyBox keeps table order in a sorted box") {
    KeyBoxWindow w(CBS_SORT);
    REQUIRE(w.box != nullptr);
    CHECK(fillKeyBox(w.box, 48) == 1);
    CheckTableOrder(w);
    CHECK(w.text(w.selection()) == "0");
    CHECK(keyBoxSelectedCode(w.box) == 48);
}

TEST_CASE("an empty box has no selected code") {
    KeyBoxWindow w;
    REQUIRE(w.box != nullptr);
    CHECK(keyBoxSelectedCode(w.box) == 0);
}
