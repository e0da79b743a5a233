#include <cstring>
#include <new>
#include <string>

#include "core/texts.h"
#include "doctest.h"
#include "model/action.h"
#include "test_util.h"

using testutil::Utf8;

namespace {

ActionRecord Rec(uint32_t interval, ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                 int32_t keyCode) {
    return ActionRecord{interval, device, kind, x, y, keyCode};
}

ActionRecord Numbered(int n) {
    return Rec(static_cast<uint32_t>(n), ActionDevice::Mouse, ActionKind::MouseLeftPush, n, -n, 0);
}

bool Same(const ActionRecord& a, const ActionRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool AllZero(const ActionRecord& r) {
    return Same(r, ActionRecord{});
}

// The slots beyond count must stay zero; they are reachable through the
// storage of slot 0 since storage is contiguous.
bool TailIsZero(const ActionList& list) {
    if (list.capacity() == 0) return true;
    const ActionRecord* base = list.count() ? list.at(0) : nullptr;
    if (!base) return true;
    for (int i = list.count(); i < list.capacity(); ++i) {
        if (!AllZero(base[i])) return false;
    }
    return true;
}

void Fill(ActionList& list, int n) {
    for (int i = 0; i < n; ++i) REQUIRE(list.append(Numbered(i)) != nullptr);
}

std::string Texts(const ActionList& list, int i, int language) {
    RowTexts t;
    list.rowTexts(i, language, &t);
    std::string all;
    for (int c = 0; c < kRowColumns; ++c) all += Utf8(t.text[c]) + "|";
    return all;
}

}  // namespace

TEST_CASE("a new list is empty with JPEG and a zero mark") {
    ActionList list;
    CHECK(list.count() == 0);
    CHECK(list.capacity() == 0);
    CHECK(list.modified == 0);
    CHECK(list.filePath.GetLength() == 0);
    CHECK(list.screenshotFolder.GetLength() == 0);
    CHECK(list.screenshotFormat == ScreenshotFormat::JPEG);
    for (uint32_t w : list.ident.w) CHECK(w == 0);
    CHECK(list.at(0) == nullptr);
}

TEST_CASE("append keeps the six fields and grows by 256 slots") {
    ActionList list;
    ActionRecord* r = list.append(ActionDevice::Keyboard, ActionKind::PushKey, 7, -8, 65, 4000000000u);
    REQUIRE(r != nullptr);
    CHECK(Same(*r, Rec(4000000000u, ActionDevice::Keyboard, ActionKind::PushKey, 7, -8, 65)));
    CHECK(list.count() == 1);
    CHECK(list.capacity() == 256);
    CHECK(list.modified == 1);
    CHECK(TailIsZero(list));

    Fill(list, 255);
    CHECK(list.count() == 256);
    CHECK(list.capacity() == 256);
    const ActionRecord* before = list.at(0);

    SUBCASE("the 257th record grows capacity to 512 and keeps the first 256") {
        REQUIRE(list.append(Numbered(999)) != nullptr);
        CHECK(list.count() == 257);
        CHECK(list.capacity() == 512);
        CHECK(Same(*list.at(0), Rec(4000000000u, ActionDevice::Keyboard, ActionKind::PushKey, 7, -8, 65)));
        for (int i = 1; i < 256; ++i) REQUIRE(Same(*list.at(i), Numbered(i - 1)));
        CHECK(Same(*list.at(256), Numbered(999)));
        CHECK(TailIsZero(list));
        // Later growth is by half the size, so long lists build in linear time.
        Fill(list, 512 - 257);
        CHECK(list.capacity() == 512);
        REQUIRE(list.append(Numbered(1000)) != nullptr);
        CHECK(list.capacity() == 768);
        CHECK(Same(*list.at(511), Numbered(254)));
        CHECK(Same(*list.at(512), Numbered(1000)));
        CHECK(TailIsZero(list));
    }
    SUBCASE("out of memory leaves the list unchanged") {
        list.modified = 0;
        FailArrayGrowths(1);
        CHECK(list.append(Numbered(999)) == nullptr);
        FailArrayGrowths(0);
        CHECK(list.count() == 256);
        CHECK(list.capacity() == 256);
        CHECK(list.modified == 0);
        CHECK(list.at(0) == before);
        CHECK(list.at(256) == nullptr);
        CHECK(Same(*list.at(255), Numbered(254)));
        // And it recovers once memory is there again.
        CHECK(list.append(Numbered(999)) != nullptr);
        CHECK(list.capacity() == 512);
    }
}

TEST_CASE("clear frees storage and leaves the companions alone") {
    ActionList list;
    list.filePath.Assign(L"C:\\ops.mou");
    list.screenshotFolder.Assign(L"C:\\Shots");
    list.screenshotFormat = ScreenshotFormat::PNG;
    list.ident = MachineIdent{{1, 2, 3, 4}};
    Fill(list, 300);
    list.clear();
    CHECK(list.count() == 0);
    CHECK(list.capacity() == 0);
    CHECK(list.at(0) == nullptr);
    CHECK(list.modified == 1);
    CHECK(std::string(list.filePath.GetText()) == "C:\\ops.mou");
    CHECK(std::string(list.screenshotFolder.GetText()) == "C:\\Shots");
    CHECK(list.screenshotFormat == ScreenshotFormat::PNG);
    CHECK(list.ident.w[3] == 4);
    REQUIRE(list.append(Numbered(1)) != nullptr);
    CHECK(list.capacity() == 256);
}

TEST_CASE("indexes outside the list do nothing") {
    ActionList list;
    Fill(list, 3);
    list.modified = 0;
    for (int i : {-1, -2147483647 - 1, 3, 4, 2147483647}) {
        CAPTURE(i);
        CHECK(list.at(i) == nullptr);
        CHECK(static_cast<const ActionList&>(list).at(i) == nullptr);
        CHECK(list.remove(i) == 0);
        CHECK(list.replace(i, Numbered(9)) == 0);
    }
    for (int i : {-1, 0, 3, 2147483647}) CHECK(list.moveUp(i) == 0);
    for (int i : {-1, 2, 3, -2147483647 - 1}) CHECK(list.moveDown(i) == 0);
    CHECK(list.count() == 3);
    CHECK(list.modified == 0);
    for (int i = 0; i < 3; ++i) CHECK(Same(*list.at(i), Numbered(i)));
}

TEST_CASE("remove keeps order and zeroes the freed slot") {
    ActionList list;
    SUBCASE("from the middle") {
        Fill(list, 5);
        list.modified = 0;
        CHECK(list.remove(1) == 1);
        CHECK(list.modified == 1);
        REQUIRE(list.count() == 4);
        int expected[] = {0, 2, 3, 4};
        for (int i = 0; i < 4; ++i) CHECK(Same(*list.at(i), Numbered(expected[i])));
        CHECK(TailIsZero(list));
    }
    SUBCASE("the last record of a full array touches nothing beyond it") {
        Fill(list, 256);
        REQUIRE(list.count() == list.capacity());
        CHECK(list.remove(255) == 1);
        CHECK(list.count() == 255);
        CHECK(list.capacity() == 256);
        CHECK(TailIsZero(list));
        CHECK(Same(*list.at(254), Numbered(254)));
    }
    SUBCASE("the first record of a full array") {
        Fill(list, 256);
        CHECK(list.remove(0) == 1);
        for (int i = 0; i < 255; ++i) REQUIRE(Same(*list.at(i), Numbered(i + 1)));
        CHECK(TailIsZero(list));
    }
    SUBCASE("the only record") {
        Fill(list, 1);
        CHECK(list.remove(0) == 1);
        CHECK(list.count() == 0);
        CHECK(list.capacity() == 256);
        CHECK(list.at(0) == nullptr);
    }
}

TEST_CASE("moveUp and moveDown exchange whole records") {
    ActionList list;
    Fill(list, 3);
    list.modified = 0;

    SUBCASE("first up and last down change nothing") {
        CHECK(list.moveUp(0) == 0);
        CHECK(list.moveDown(2) == 0);
        CHECK(list.modified == 0);
        for (int i = 0; i < 3; ++i) CHECK(Same(*list.at(i), Numbered(i)));
    }
    SUBCASE("up") {
        CHECK(list.moveUp(2) == 1);
        CHECK(list.modified == 1);
        CHECK(Same(*list.at(1), Numbered(2)));
        CHECK(Same(*list.at(2), Numbered(1)));
    }
    SUBCASE("down") {
        CHECK(list.moveDown(0) == 1);
        CHECK(list.modified == 1);
        CHECK(Same(*list.at(0), Numbered(1)));
        CHECK(Same(*list.at(1), Numbered(0)));
        CHECK(Same(*list.at(2), Numbered(2)));
    }
    SUBCASE("a single record moves nowhere") {
        ActionList one;
        Fill(one, 1);
        one.modified = 0;
        CHECK(one.moveUp(0) == 0);
        CHECK(one.moveDown(0) == 0);
        CHECK(one.modified == 0);
    }
}

TEST_CASE("replace overwrites all six fields and sets modified") {
    ActionList list;
    Fill(list, 2);
    list.modified = 0;
    ActionRecord r = Rec(5, ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0);
    CHECK(list.replace(1, r) == 1);
    CHECK(Same(*list.at(1), r));
    CHECK(list.modified == 1);
}

TEST_CASE("time codes are running sums that wrap") {
    ActionList list;
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, 0, 0, 0, 1500);
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftRelease, 0, 0, 0, 250);
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftClick, 0, 0, 0, 61000);
    CHECK(list.timeCode(0) == 0);
    CHECK(list.timeCode(1) == 1500);
    CHECK(list.timeCode(2) == 1750);
    CHECK(list.timeCode(3) == 62750);
    CHECK(list.timeCode(99) == 62750);
    CHECK(list.timeCode(-1) == 0);

    uint32_t codes[5] = {7, 7, 7, 7, 7};
    CHECK(list.timeCodes(codes, 5) == 3);
    CHECK(codes[0] == 0);
    CHECK(codes[1] == 1500);
    CHECK(codes[2] == 1750);
    CHECK(codes[3] == 7);
    CHECK(list.timeCodes(codes, -3) == 0);

    ActionList wrap;
    wrap.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65, 4294967295u);
    wrap.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65, 2);
    wrap.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65, 0);
    CHECK(wrap.timeCode(2) == 1);
    CHECK(wrap.timeCodes(codes, 3) == 3);
    CHECK(codes[2] == 1);
    CHECK(Texts(wrap, 1, 0).rfind("1193:02:47.295|", 0) == 0);
    CHECK(Texts(wrap, 2, 0).rfind("00:00:00.001|", 0) == 0);
}

TEST_CASE("durations") {
    struct Case {
        uint32_t ms;
        const char* text;
    } cases[] = {
        {0, "00:00:00.000"},          {1, "00:00:00.001"},
        {999, "00:00:00.999"},        {1000, "00:00:01.000"},
        {59999, "00:00:59.999"},      {60000, "00:01:00.000"},
        {3599999, "00:59:59.999"},    {3600000, "01:00:00.000"},
        {359999999, "99:59:59.999"},  {360000000, "100:00:00.000"},
        {2147483648u, "596:31:23.648"}, {4294967295u, "1193:02:47.295"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.ms);
        wchar_t out[kDurationCapacity];
        int n = FormatDuration(c.ms, out);
        CHECK(Utf8(out) == c.text);
        CHECK(n == static_cast<int>(std::strlen(c.text)));
    }
}

TEST_CASE("row texts in English and Japanese") {
    ActionList list;
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, -5, 1080, 0, 1500);
    list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 13, 250);
    list.append(ActionDevice::Display, ActionKind::Screenshot, 3, 4, 65, 61000);
    list.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 186, 0);
    list.append(ActionDevice::Mouse, static_cast<ActionKind>(21), -2147483647 - 1, 2147483647, 0, 1);
    list.append(static_cast<ActionDevice>(7), ActionKind::MouseRightDoubleClick, 1, 2, 3, 2);
    // Only a wheel shows its key code (its delta), in the Operation column.
    list.append(ActionDevice::Mouse, ActionKind::MouseMove, 1919, 1079, 77, 1);
    list.append(ActionDevice::Mouse, ActionKind::MouseWheel, 10, 20, -120, 0);
    list.append(ActionDevice::Mouse, ActionKind::MouseHWheel, 0, 0, -2147483647 - 1, 0);
    list.append(ActionDevice::Mouse, ActionKind::MouseWheel, 0, 0, 7, 0);
    list.append(ActionDevice::Mouse, ActionKind::MouseX2Release, 3, 4, 5, 0);
    list.append(ActionDevice::Keyboard, ActionKind::MouseHWheel, 3, 4, 65, 0);

    struct Case {
        int row;
        const char* english;
        const char* japanese;
    } cases[] = {
        {0, "00:00:00.000|00:00:01.500|(x=-5, y=1080)||Mouse left push|",
            "00:00:00.000|00:00:01.500|(x=-5, y=1080)||マウスの左ボタンを押す|"},
        {1, "00:00:01.500|00:00:00.250||VK_RETURN|Push key|",
            "00:00:01.500|00:00:00.250||VK_RETURN|キーを押す|"},
        {2, "00:00:01.750|00:01:01.000|||Screenshot|",
            "00:00:01.750|00:01:01.000|||画面のスクリーンショット|"},
        {3, "00:01:02.750|00:00:00.000||186|Release key|",
            "00:01:02.750|00:00:00.000||186|キーを離す|"},
        {4, "00:01:02.750|00:00:00.001|(x=-2147483648, y=2147483647)|||",
            "00:01:02.750|00:00:00.001|(x=-2147483648, y=2147483647)|||"},
        {5, "00:01:02.751|00:00:00.002|||Mouse right double click|",
            "00:01:02.751|00:00:00.002|||マウスの右ボタンをダブルクリック|"},
        {6, "00:01:02.753|00:00:00.001|(x=1919, y=1079)||Mouse move|",
            "00:01:02.753|00:00:00.001|(x=1919, y=1079)||マウスを移動|"},
        {7, "00:01:02.754|00:00:00.000|(x=10, y=20)||Mouse wheel -120|",
            "00:01:02.754|00:00:00.000|(x=10, y=20)||マウスのホイール -120|"},
        {8, "00:01:02.754|00:00:00.000|(x=0, y=0)||Mouse horizontal wheel -2147483648|",
            "00:01:02.754|00:00:00.000|(x=0, y=0)||マウスの横ホイール -2147483648|"},
        {9, "00:01:02.754|00:00:00.000|(x=0, y=0)||Mouse wheel 7|",
            "00:01:02.754|00:00:00.000|(x=0, y=0)||マウスのホイール 7|"},
        {10, "00:01:02.754|00:00:00.000|(x=3, y=4)||Mouse side button 2 release|",
             "00:01:02.754|00:00:00.000|(x=3, y=4)||マウスのサイドボタン2を離す|"},
        {11, "00:01:02.754|00:00:00.000||A|Mouse horizontal wheel 65|",
             "00:01:02.754|00:00:00.000||A|マウスの横ホイール 65|"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.row);
        CHECK(Texts(list, c.row, 0) == c.english);
        CHECK(Texts(list, c.row, 1) == c.japanese);
        CHECK(Texts(list, c.row, 2) == c.english);
        CHECK(Texts(list, c.row, -1) == c.english);
    }
    CHECK(list.count() == 12);

    SUBCASE("a precomputed time code gives the same texts") {
        uint32_t codes[12];
        REQUIRE(list.timeCodes(codes, 12) == 12);
        for (int i = 0; i < 12; ++i) {
            RowTexts fast;
            CHECK(list.rowTexts(i, codes[i], 1, &fast) == 1);
            std::string joined;
            for (auto& text : fast.text) joined += Utf8(text) + "|";
            CHECK(joined == Texts(list, i, 1));
        }
    }
    SUBCASE("rows outside the list give empty texts") {
        RowTexts t;
        std::memset(&t, 0x55, sizeof t);
        CHECK(list.rowTexts(-1, 0, &t) == 0);
        for (auto& text : t.text) CHECK(text[0] == 0);
        std::memset(&t, 0x55, sizeof t);
        CHECK(list.rowTexts(12, 123, 1, &t) == 0);
        for (auto& text : t.text) CHECK(text[0] == 0);
    }
}

TEST_CASE("fixed texts for both languages") {
    const char* english[] = {"Time Code", "Interval", "Mouse Point", "Keycode", "Oparation"};
    const char* japanese[] = {"タイムコード", "間隔", "マウスの位置", "キーコード", "操作"};
    for (int c = 0; c < kRowColumns; ++c) {
        CHECK(Utf8(RowColumnHeading(c, 0)) == english[c]);
        CHECK(Utf8(RowColumnHeading(c, 1)) == japanese[c]);
    }
    CHECK(RowColumnHeading(5, 0) == nullptr);
    CHECK(RowColumnHeading(-1, 1) == nullptr);

    const char* kinds[][2] = {
        {"Mouse left push", "マウスの左ボタンを押す"},
        {"Mouse left release", "マウスの左ボタンを離す"},
        {"Mouse left click", "マウスの左ボタンをクリック"},
        {"Mouse left double click", "マウスの左ボタンをダブルクリック"},
        {"Mouse right push", "マウスの右ボタンを押す"},
        {"Mouse right release", "マウスの右ボタンを離す"},
        {"Mouse right click", "マウスの右ボタンをクリック"},
        {"Mouse right double click", "マウスの右ボタンをダブルクリック"},
        {"Push key", "キーを押す"},
        {"Release key", "キーを離す"},
        {"Screenshot", "画面のスクリーンショット"},
        {"Mouse move", "マウスを移動"},
        {"Mouse middle push", "マウスの中ボタンを押す"},
        {"Mouse middle release", "マウスの中ボタンを離す"},
        {"Mouse side button 1 push", "マウスのサイドボタン1を押す"},
        {"Mouse side button 1 release", "マウスのサイドボタン1を離す"},
        {"Mouse side button 2 push", "マウスのサイドボタン2を押す"},
        {"Mouse side button 2 release", "マウスのサイドボタン2を離す"},
        {"Mouse wheel", "マウスのホイール"},
        {"Mouse horizontal wheel", "マウスの横ホイール"},
    };
    static_assert(sizeof kinds / sizeof kinds[0] == kLastActionKind, "a text pair for every kind");
    for (int k = 1; k <= kLastActionKind; ++k) {
        CAPTURE(k);
        CHECK(Utf8(ActionKindText(static_cast<ActionKind>(k), 0)) == kinds[k - 1][0]);
        CHECK(Utf8(ActionKindText(static_cast<ActionKind>(k), 1)) == kinds[k - 1][1]);
    }
    CHECK(ActionKindText(static_cast<ActionKind>(0), 0) == nullptr);
    CHECK(ActionKindText(static_cast<ActionKind>(21), 1) == nullptr);
    CHECK(ActionKindText(static_cast<ActionKind>(-19), 0) == nullptr);

    CHECK(Utf8(ActionDeviceText(ActionDevice::Mouse, 0)) == "Mouse");
    CHECK(Utf8(ActionDeviceText(ActionDevice::Keyboard, 1)) == "キーボード");
    CHECK(Utf8(ActionDeviceText(ActionDevice::Display, 1)) == "ディスプレイ");
    CHECK(ActionDeviceText(static_cast<ActionDevice>(3), 0) == nullptr);

    CHECK(Utf8(ScreenshotFormatText(ScreenshotFormat::Bitmap)) == "Bitmap");
    CHECK(Utf8(ScreenshotFormatText(ScreenshotFormat::JPEG)) == "JPEG");
    CHECK(Utf8(ScreenshotFormatText(ScreenshotFormat::GIF)) == "GIF");
    CHECK(Utf8(ScreenshotFormatText(ScreenshotFormat::PNG)) == "PNG");
    CHECK(ScreenshotFormatText(static_cast<ScreenshotFormat>(7)) == nullptr);

    // The one table of texts built in code has both languages of every entry;
    // a pair left out would shift every later text onto the wrong id. Both
    // take the same arguments in the same order, as one call formats either.
    const auto conversions = [](const wchar_t* text) {
        std::string found;
        for (; text && *text; ++text) {
            if (*text == L'%' && text[1]) found += static_cast<char>(*++text);
        }
        return found;
    };
    for (int id = 0; id < static_cast<int>(TextId::Count); ++id) {
        CAPTURE(id);
        const wchar_t* english = TextFor(static_cast<TextId>(id), 0);
        const wchar_t* japanese = TextFor(static_cast<TextId>(id), 1);
        REQUIRE(english != nullptr);
        REQUIRE(japanese != nullptr);
        CHECK(english[0] != 0);
        CHECK(Utf8(english) != Utf8(japanese));
        CHECK(TextFor(static_cast<TextId>(id), 2) == english);
        CHECK(conversions(english) == conversions(japanese));
    }
    CHECK(conversions(TextFor(TextId::SaveFailedFormat, 1)) == "s");
    CHECK(conversions(TextFor(TextId::SaveTooLargeFormat, 1)) == "sd");
    CHECK(Utf8(TextFor(TextId::ColumnOperation, 0)) == "Oparation");
    CHECK(Utf8(TextFor(TextId::KindScreenshot, 1)) == "画面のスクリーンショット");
    CHECK(Utf8(TextFor(TextId::DeviceDisplay, 0)) == "Display");
    CHECK(Utf8(TextFor(TextId::ForeignPlayText, 0)).find("Do you still want to run it?") != std::string::npos);
    CHECK(TextFor(TextId::Count, 0) == nullptr);
    CHECK(TextFor(static_cast<TextId>(-1), 1) == nullptr);
}

TEST_CASE("a key record's stroke, and the keys that are extended by nature") {
    // Extended wherever they are: the arrows and the editing block, right Ctrl
    // and Alt, the keypad's "/", Num Lock, Print Screen, the Windows keys,
    // Sleep and the browser and media keys.
    for (int32_t code : {0x03, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2C, 0x2D, 0x2E, 0x5B, 0x5C, 0x5D,
                         0x5F, 0x6F, 0x90, 0xA3, 0xA5, 0xA6, 0xB7}) {
        CAPTURE(code);
        CHECK(IsExtendedByNature(code));
    }
    // Not so the generic and left modifiers, the main Enter, the keypad's
    // digits and the other keypad keys, letters, function keys, Pause, and the
    // neighbours of the ranges.
    for (int32_t code : {0x00, 0x0D, 0x10, 0x11, 0x12, 0x13, 0x20, 0x29, 0x2F, 0x41, 0x5A, 0x5E, 0x60, 0x64, 0x6A,
                         0x6E, 0x70, 0x91, 0xA0, 0xA1, 0xA2, 0xA4, 0xB8, 0xFF, -1, 0x125}) {
        CAPTURE(code);
        CHECK_FALSE(IsExtendedByNature(code));
    }
    // The stroke lives in a key record's x when it is one.
    const ActionRecord rightCtrl = {0, ActionDevice::Keyboard, ActionKind::PushKey, kKeyExtended | 0x1D, 0, 0x11};
    CHECK(KeyStrokeOf(rightCtrl) == 0x11D);
    for (int32_t x : {0, -1, 0x200, 0x7FFFFFFF}) {
        CAPTURE(x);
        CHECK(KeyStrokeOf({0, ActionDevice::Keyboard, ActionKind::PushKey, x, 0, 0x11}) == 0);
    }
    CHECK(KeyStrokeOf({0, ActionDevice::Mouse, ActionKind::PushKey, 0x1D, 0, 0x11}) == 0);
    CHECK(KeyStrokeOf({0, ActionDevice::Keyboard, ActionKind::PushKey, 0x1FF, 0, 0x11}) == 0x1FF);
}
