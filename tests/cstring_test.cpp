#include "doctest.h"

#include <climits>
#include <cstring>
#include <string>
#include <utility>

#include "core/array.h"
#include "core/cstring.h"
#include "test_util.h"

using testutil::Utf8;

namespace {

std::string Text(const CString& s) { return s.GetText() ? std::string(s.GetText(), s.GetLength()) : "<null>"; }

}  // namespace

TEST_CASE("CString storage follows the capacity and length rules") {
    CString s;
    CHECK(s.GetText() == nullptr);
    CHECK(s.GetCapacity() == 0);

    s.Assign(L"abc");
    CHECK(Text(s) == "abc");
    CHECK(s.GetLength() == 3);
    CHECK(s.GetCapacity() == 5);  // first store of n bytes: n + 2

    s.Assign(L"abcd");
    CHECK(s.GetCapacity() == 5);  // fits: no growth
    CHECK(s.GetText()[4] == '\0');

    s.Assign("0123456789");
    CHECK(s.GetCapacity() == 5 + 11 + 1);  // Grow(n + 1) adds to the old capacity
    CHECK(s.GetLength() == 10);
    CHECK(Text(s) == "0123456789");  // moved out of the inline room whole

    s.Assign("x");
    CHECK(s.GetCapacity() == 17);  // never shrinks
    CHECK(Text(s) == "x");
    // Every byte past the length is zero, inline or not.
    for (int i = 1; i < s.GetCapacity(); ++i) CHECK(s.GetText()[i] == '\0');
    CString inlined;
    inlined.Assign("  0123456789  ");
    CHECK(inlined.GetCapacity() <= CString::kInlineCapacity);
    inlined.Trim();
    CHECK(Text(inlined) == "0123456789");
    for (int i = 10; i < inlined.GetCapacity(); ++i) CHECK(inlined.GetText()[i] == '\0');

    s.Clear();
    CHECK(s.GetText() == nullptr);
    CHECK(s.GetLength() == 0);
    CHECK(s.GetCapacity() == 0);
}

TEST_CASE("empty, null and narrow-empty assignments") {
    CString s(L"abc");
    s.Assign(static_cast<const wchar_t*>(nullptr));
    CHECK(s.GetText() == nullptr);
    s.Assign(L"abc");
    s.Assign(L"");
    CHECK(s.GetText() == nullptr);
    CHECK(s.GetWide() == nullptr);
    CHECK(s.IsEqual(L"") == 1);

    s.Assign(L"hello", 2);
    CHECK(Text(s) == "he");
    // Wide text holding a zero ends there; what a longer text left is cleared.
    CString cut(L"a text longer than the inline room");
    cut.Assign(L"ab\0cd", 5);
    CHECK(Text(cut) == "ab");
    for (int i = 2; i < cut.GetCapacity(); ++i) CHECK(cut.GetText()[i] == '\0');
    // Past the inline room, as the conversion gives it.
    wchar_t longWide[101];
    for (wchar_t& unit : longWide) unit = L'\x65e5';
    longWide[100] = 0;
    CArray<char> reference;
    REQUIRE(WideToMulti(longWide, -1, kCodePageAnsi, &reference) != nullptr);
    cut.Assign(longWide);
    CHECK(Text(cut) == std::string(reference.Data()));
    CHECK(cut.GetLength() > CString::kInlineCapacity);

    CString narrowEmpty;
    narrowEmpty.Assign("");
    CHECK(narrowEmpty.GetText() != nullptr);
    CHECK(narrowEmpty.GetCapacity() == 2);
    CHECK(narrowEmpty.IsEqual(L"") == 0);
}

TEST_CASE("Assign from another CString copies bytes or clears") {
    CString a(L"value"), b, empty;
    b.Assign(a);
    CHECK(Text(b) == "value");
    CHECK(b.GetText() != a.GetText());
    b.Assign(empty);
    CHECK(b.GetText() == nullptr);
    a.Assign(a);
    CHECK(Text(a) == "value");
}

TEST_CASE("Trim removes blanks, line breaks and zero bytes at both ends") {
    struct Case { const char* in; const char* out; } cases[] = {
        {"  a  ", "a"}, {" \t\r\n", ""}, {"a b", "a b"}, {"\t x\n", "x"}, {"abc", "abc"}, {"", ""},
    };
    for (const auto& c : cases) {
        CAPTURE(c.in);
        CString s;
        s.Assign(c.in);
        int capacity = s.GetCapacity();
        s.Trim();
        CHECK(Text(s) == c.out);
        CHECK(s.GetLength() == static_cast<int>(std::strlen(c.out)));
        CHECK(s.GetCapacity() == capacity);
    }
    CString blank;
    blank.Assign(" ");
    blank.Trim();
    CHECK(blank.GetText() != nullptr);
    CHECK(blank.IsEqual(L"") == 0);

    CString high;
    high.Assign("\xC3\xA9 ");  // bytes from 0x80 up are never blank
    high.Trim();
    CHECK(Text(high) == "\xC3\xA9");

    CString withZero;
    withZero.AssignBytes("\0ab\0", 4);
    withZero.Trim();
    CHECK(Text(withZero) == "ab");
}

TEST_CASE("Mid cuts pieces and refuses bad ranges") {
    CString s(L"abcdef");
    struct Case { int start, count; const char* out; } cases[] = {
        {2, 100, "cdef"}, {0, 3, "abc"}, {5, 1, "f"}, {0, 6, "abcdef"}, {6, 1, nullptr},
        {-1, 2, nullptr}, {1, -1, nullptr}, {100, 1, nullptr},
    };
    for (const auto& c : cases) {
        CAPTURE(c.start);
        CAPTURE(c.count);
        CString piece(L"untouched");
        if (!c.out) {
            CHECK(s.Mid(c.start, c.count, &piece) == 0);
            CHECK(Text(piece) == "untouched");
        } else {
            REQUIRE(s.Mid(c.start, c.count, &piece) == 1);
            CHECK(Text(piece) == c.out);
        }
    }
    CString zero;
    REQUIRE(s.Mid(0, 0, &zero) == 1);
    CHECK(zero.GetLength() == 0);
    CHECK(zero.GetCapacity() == 2);
    CHECK(zero.GetText() != nullptr);
    CString none;
    CHECK(none.Mid(0, 0, &zero) == 0);
}

TEST_CASE("IsEqual compares exactly, case included") {
    CString s(L"Config");
    CHECK(s.IsEqual(L"Config") == 1);
    CHECK(s.IsEqual(L"config") == 0);
    CHECK(s.IsEqual(L"Conf") == 0);
    CHECK(s.IsEqual(L"Configs") == 0);
    CHECK(s.IsEqual(L"") == 0);
    CHECK(s.IsEqual(nullptr) == 0);
    CString none;
    CHECK(none.IsEqual(nullptr) == 1);
}

TEST_CASE("GetWide round-trips text and replaces the previous view") {
    CString s(L"path\\to\\file.mou");
    const wchar_t* w = s.GetWide();
    REQUIRE(w != nullptr);
    CHECK(Utf8(w) == "path\\to\\file.mou");
    s.Assign(L"other");
    CHECK(Utf8(s.GetWide()) == "other");
}

TEST_CASE("text outside the code page") {
    // A character the ANSI code page lacks comes back as its default character;
    // with a UTF-8 code page nothing is lost.
    CString s(L"\x65e5\x672c");
    const wchar_t* w = s.GetWide();
    REQUIRE(w != nullptr);
    if (PlatformAnsiCodePage() == kCodePageUtf8 || PlatformAnsiCodePage() == kCodePageShiftJis) {
        CHECK(Utf8(w) == "\xE6\x97\xA5\xE6\x9C\xAC");
    } else {
        CHECK(Utf8(w) == "??");
    }
}

TEST_CASE("code-page conversions") {
    SUBCASE("UTF-8 both ways, surrogate pairs included") {
        const char* bytes = "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80";
        CArray<wchar_t> wide;
        CArray<char> narrow;
        const wchar_t* w = MultiToWide(bytes, static_cast<int>(std::strlen(bytes)), kCodePageUtf8, &wide);
        REQUIRE(w != nullptr);
        CHECK(WideLength(w) == 5);
        CHECK(wide.Count() == 6);  // the terminator counts
        CHECK(Utf8(w) == bytes);
        const char* back = WideToMulti(w, -1, kCodePageUtf8, &narrow);
        REQUIRE(back != nullptr);
        CHECK(std::string(back) == bytes);
        // A second conversion into the same array replaces the first.
        CHECK(Utf8(MultiToWide("xy", 2, kCodePageUtf8, &wide)) == "xy");
        CHECK(wide.Count() == 3);
    }
    SUBCASE("Shift_JIS decodes to the same characters") {
        const char sjis[] = "\x93\xfa\x96\x7b";  // 日本
        CArray<wchar_t> wide;
        CArray<char> narrow;
        const wchar_t* w = MultiToWide(sjis, 4, kCodePageShiftJis, &wide);
        REQUIRE(w != nullptr);
        CHECK(Utf8(w) == "\xE6\x97\xA5\xE6\x9C\xAC");
        const char* back = WideToMulti(w, -1, kCodePageShiftJis, &narrow);
        CHECK(std::string(back) == sjis);
    }
    SUBCASE("invalid UTF-8 becomes replacement characters, never a crash") {
        const char bad[] = "a\xFF\xC3";
        CArray<wchar_t> wide;
        const wchar_t* w = MultiToWide(bad, 3, kCodePageUtf8, &wide);
        REQUIRE(w != nullptr);
        CHECK(w[0] == L'a');
        CHECK(static_cast<unsigned short>(w[1]) == 0xFFFD);
    }
    SUBCASE("nothing to convert gives an empty text") {
        CArray<wchar_t> wide;
        const wchar_t* w = MultiToWide("", 0, kCodePageUtf8, &wide);
        REQUIRE(w != nullptr);
        CHECK(w[0] == 0);
    }
    SUBCASE("copying instead of converting, and AssignFrom, give what the conversions give") {
        // Each edge of well-formed UTF-8 and the forms just past it; both
        // code pages' texts, short and long enough for the heap.
        const std::string longText = std::string(300, 'x') + "\xC3\xA9" + std::string(300, '\xFF');
        struct Case { std::string bytes; int codePage; bool copies; } cases[] = {
            {"plain", kCodePageUtf8, true},
            {"\xC2\x80 \xDF\xBF", kCodePageUtf8, true},
            {"\xC1\xBF", kCodePageUtf8, false},            // overlong
            {"\xE0\xA0\x80 \xEF\xBF\xBF", kCodePageUtf8, true},
            {"\xE0\x9F\xBF", kCodePageUtf8, false},        // overlong
            {"\xED\x9F\xBF", kCodePageUtf8, true},
            {"\xED\xA0\x80", kCodePageUtf8, false},        // a surrogate
            {"\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF", kCodePageUtf8, true},
            {"\xF0\x8F\xBF\xBF", kCodePageUtf8, false},    // overlong
            {"\xF4\x90\x80\x80", kCodePageUtf8, false},    // past U+10FFFF
            {"\xF5\x80\x80\x80", kCodePageUtf8, false},
            {"ab\xE3\x81", kCodePageUtf8, false},           // cut short
            {"a\xE3\x41\x82", kCodePageUtf8, false},
            {"\x80", kCodePageUtf8, false},
            {std::string("a\0b", 3), kCodePageUtf8, false},   // the text ends at the zero
            {std::string("\0", 1), kCodePageUtf8, false},
            {std::string(40, '\xFF'), kCodePageUtf8, false},
            {std::string(300, 'y') + "\xE6\x97\xA5", kCodePageUtf8, true},
            {longText, kCodePageUtf8, false},
            {"\x93\xfa\x96\x7b", kCodePageShiftJis, false},
            {"\x82\xA0" + std::string(200, 'z'), kCodePageShiftJis, false},
        };
        const bool ansiIsUtf8 = PlatformAnsiCodePage() == kCodePageUtf8;
        for (const Case& c : cases) {
            CAPTURE(c.bytes);
            const int count = static_cast<int>(c.bytes.size());
            CHECK(CopiesUnconverted(c.bytes.data(), count, c.codePage, kCodePageAnsi) == (c.copies && ansiIsUtf8));
            CHECK(CopiesUnconverted(c.bytes.data(), count, c.codePage, kCodePageUtf8) == c.copies);
            CArray<wchar_t> wide;
            REQUIRE(MultiToWide(c.bytes.data(), count, c.codePage, &wide) != nullptr);
            CString expected;
            expected.Assign(wide.Data(), -1);
            // Over a longer text, so that what it held must be cleared.
            CString s(L"a previous text longer than most of these");
            REQUIRE(s.AssignFrom(c.bytes.data(), count, c.codePage));
            CHECK(Text(s) == Text(expected));
            if (s.GetText()) {
                for (int i = s.GetLength(); i < s.GetCapacity(); ++i) CHECK(s.GetText()[i] == '\0');
            }
            if (c.copies && ansiIsUtf8) CHECK(Text(s) == c.bytes);
        }
        CString none(L"x");
        CHECK(none.AssignFrom("abc", 0, kCodePageUtf8));
        CHECK(none.GetText() == nullptr);
    }
    SUBCASE("Shift_JIS both ways, many times over") {
        // Each conversion starts afresh: a text cut off after a lead byte
        // leaves nothing behind for the next one.
        for (int i = 0; i < 50; ++i) {
            CArray<wchar_t> wide;
            CArray<char> narrow;
            const wchar_t* cut = MultiToWide("\x93\xfa\x82", 3, kCodePageShiftJis, &wide);
            REQUIRE(cut != nullptr);
            CHECK(WideLength(cut) == 2);
            CHECK(cut[0] == L'\x65e5');
            const wchar_t* w = MultiToWide("\x96\x7b", 2, kCodePageShiftJis, &wide);
            REQUIRE(w != nullptr);
            CHECK(Utf8(w) == "\xE6\x9C\xAC");
            CHECK(std::string(WideToMulti(w, -1, kCodePageShiftJis, &narrow)) == "\x96\x7b");
        }
    }
}

TEST_CASE("FormatNarrow is bounded by the caller's buffer") {
    char buffer[8];
    CHECK(FormatNarrow(buffer, sizeof buffer, "%d", 1234567) == 7);
    CHECK(std::string(buffer) == "1234567");
    CHECK(FormatNarrow(buffer, sizeof buffer, "%d", 12345678) == -1);
    CHECK(buffer[7] == '\0');
    CHECK(FormatNarrow(buffer, 0, "x") == -1);
}

TEST_CASE("ParseDottedQuads") {
    struct Case { const wchar_t* text; int result; uint8_t bytes[8]; } cases[] = {
        {L"192.168.0.1", 4, {192, 168, 0, 1}},
        {L" 10 . 0 . 0 . 1 ", 4, {10, 0, 0, 1}},
        {L"1.2.3", 0, {}},
        {L"1.2.256.4", 0, {}},
        {L"1.2.3.4 5.6.7.8", 8, {1, 2, 3, 4, 5, 6, 7, 8}},
        {L"1.2.3.4.5", 4, {1, 2, 3, 4}},
        {L"1 2", 0, {}},
        {L"1.2.3.4x", 0, {}},
        {L"", 0, {}},
        {L"99999999999999999999.1.1.1", 0, {}},
    };
    for (const auto& c : cases) {
        CAPTURE(Utf8(c.text));
        uint8_t out[8] = {};
        int n = ParseDottedQuads(c.text, out, 8);
        CHECK(n == c.result);
        for (int i = 0; i < n; ++i) CHECK(out[i] == c.bytes[i]);
    }
    uint8_t small[4];
    CHECK(ParseDottedQuads(L"1.2.3.4 5.6.7.8", small, 4) == 4);  // stops at capacity
    CHECK(ParseDottedQuads(nullptr, small, 4) == 0);
}

TEST_CASE("FormatDecimal writes what %d writes") {
    struct Case { int32_t value; const char* text; } cases[] = {
        {0, "0"}, {7, "7"}, {-1, "-1"}, {1200, "1200"}, {-1294967296, "-1294967296"},
        {2147483647, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (const auto& c : cases) {
        wchar_t out[12];
        int n = FormatDecimal(c.value, out);
        CHECK(Utf8(out) == c.text);
        CHECK(n == static_cast<int>(std::strlen(c.text)));
    }
}

TEST_CASE("CArray grows, keeps unused slots zero, and fails without changing anything") {
    CArray<int32_t> a;
    CHECK(a.Data() == nullptr);
    CHECK(a.Count() == 0);
    for (int i = 0; i < 100; ++i) REQUIRE(a.Append(i * 3) != nullptr);
    CHECK(a.Count() == 100);
    CHECK(a.Capacity() >= 100);
    for (int i = 0; i < 100; ++i) CHECK(a[i] == i * 3);
    for (int i = a.Count(); i < a.Capacity(); ++i) CHECK(a.Data()[i] == 0);

    a.RemoveAt(0);
    a.RemoveAt(98);  // the last one
    CHECK(a.Count() == 98);
    CHECK(a[0] == 3);
    CHECK(a[97] == 294);
    CHECK(a.Data()[98] == 0);
    CHECK(a.Data()[99] == 0);
    int32_t popped = 0;
    CHECK(a.Pop(&popped));
    CHECK(popped == 294);
    CHECK(a.Count() == 97);
    CHECK(a.Data()[97] == 0);  // the slot it left is cleared
    CHECK(a.Append(294) != nullptr);

    const int32_t more[] = {7, 8, 9};
    CHECK(a.Append(more, 3));
    CHECK(a.Append(more, 0));
    CHECK(a[100] == 9);
    CHECK(a.Resize(2));
    CHECK(a.Data()[2] == 0);  // a shrink clears what it drops
    CHECK(a.Resize(5));
    CHECK(a[4] == 0);

    // A size beyond an int's range leaves the array as it was.
    const int32_t* before = a.Data();
    const int capacity = a.Capacity();
    FailArrayGrowths(1);
    CHECK_FALSE(a.Reserve(capacity + 1));  // as when memory runs out
    CHECK_FALSE(a.Grow(INT_MAX));
    CHECK_FALSE(a.Resize(-1));
    CHECK(a.Data() == before);
    CHECK(a.Capacity() == capacity);
    CHECK(a.Count() == 5);
    CHECK(a[1] == 6);

    // Reserve is exact; Grow adds at least half.
    CArray<uint8_t> b;
    CHECK(b.Reserve(10));
    CHECK(b.Capacity() == 10);
    CHECK(b.Grow(11));
    CHECK(b.Capacity() == 16);
    CHECK(b.Grow(17));
    CHECK(b.Capacity() == 24);

    CArray<int32_t> moved(std::move(a));
    CHECK(a.Data() == nullptr);
    CHECK(a.Count() == 0);
    CHECK(moved.Count() == 5);
    moved.Clear();
    CHECK(moved.Count() == 0);
    CHECK(moved.Capacity() == capacity);
    CHECK(moved.Data()[1] == 0);
    CHECK_FALSE(moved.Pop(&popped));  // an empty array gives nothing
    CHECK(popped == 294);
    moved.Free();
    CHECK(moved.Data() == nullptr);
    CHECK(moved.Capacity() == 0);
}

TEST_CASE("COwner deletes what it owns, once") {
    static int alive = 0;
    struct Counted {
        explicit Counted(int v) : value(v) { ++alive; }
        ~Counted() { --alive; }
        int value;
    };
    {
        COwner<Counted> one = COwner<Counted>::New(5);
        REQUIRE(one);
        CHECK(one->value == 5);
        CHECK(alive == 1);
        COwner<Counted> two(std::move(one));
        CHECK_FALSE(one);
        CHECK(alive == 1);
        two.Reset(new Counted(6));
        CHECK(alive == 1);
        CHECK((*two).value == 6);
        Counted* loose = two.Release();
        CHECK(alive == 1);
        delete loose;
    }
    CHECK(alive == 0);
}
