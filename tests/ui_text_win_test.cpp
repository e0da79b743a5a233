// What the user reads: the dialog fonts render as on Windows (Tahoma for the
// English templates, real caption glyphs, a Japanese font only for the
// Japanese templates), and every label, button and list column of both
// languages shows its whole text at 96 and at 144 dpi. The templates are the
// program's own, read from Taplore.exe; their layout is computed the way the
// dialog manager does it (dialog units from the template font's average
// character size), checked against real dialogs at this screen's dpi.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_main.h"
#include "doctest.h"
#include "gui_driver_win.h"
#include "resources/resource.h"
#include "test_util.h"
#include "win/handles_win.h"

namespace {

HMODULE ProgramResources() {
    static HMODULE module = LoadLibraryExW(gui::Wide(gui::BuiltProgram()).c_str(), nullptr,
                                           LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

struct Control {
    DWORD style = 0;
    int id = 0, x = 0, y = 0, cx = 0, cy = 0;
    int classOrdinal = 0;  // 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box; 0 named class
    bool hotkey = false;   // a hotkey field (msctls_hotkey32)
    std::wstring text;
};

struct Template {
    int pointSize = 0, weight = 0, charset = 0;
    std::wstring face;
    std::vector<Control> controls;
};

// Reads a DLGTEMPLATEEX resource (every template of the program has one).
Template ReadTemplate(int id) {
    Template t;
    HRSRC found = FindResourceW(ProgramResources(), MAKEINTRESOURCEW(id), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(ProgramResources(), found) : nullptr;
    const WORD* p = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!p || p[0] != 1 || p[1] != 0xFFFF) return t;
    const BYTE* base = reinterpret_cast<const BYTE*>(p);
    const DWORD style = *reinterpret_cast<const DWORD*>(base + 12);
    const int count = p[8];
    p = reinterpret_cast<const WORD*>(base + 26);
    auto skipNameOrOrdinal = [&](int* ordinal, std::wstring* text) {
        if (*p == 0xFFFF) {
            if (ordinal) *ordinal = p[1];
            p += 2;
            return;
        }
        const wchar_t* s = reinterpret_cast<const wchar_t*>(p);
        if (text) *text = s;
        p += lstrlenW(s) + 1;
    };
    skipNameOrOrdinal(nullptr, nullptr);  // menu
    skipNameOrOrdinal(nullptr, nullptr);  // class
    skipNameOrOrdinal(nullptr, nullptr);  // title
    if (style & (DS_SETFONT | DS_SHELLFONT)) {
        t.pointSize = p[0];
        t.weight = p[1];
        t.charset = reinterpret_cast<const BYTE*>(p)[5];
        p += 3;
        t.face = reinterpret_cast<const wchar_t*>(p);
        p += t.face.size() + 1;
    }
    for (int i = 0; i < count; ++i) {
        const BYTE* item = reinterpret_cast<const BYTE*>(
            (reinterpret_cast<ULONG_PTR>(p) - reinterpret_cast<ULONG_PTR>(base) + 3) / 4 * 4 + base);
        Control c;
        c.style = *reinterpret_cast<const DWORD*>(item + 8);
        const short* pos = reinterpret_cast<const short*>(item + 12);
        c.x = pos[0];
        c.y = pos[1];
        c.cx = pos[2];
        c.cy = pos[3];
        c.id = *reinterpret_cast<const int*>(item + 20);
        p = reinterpret_cast<const WORD*>(item + 24);
        std::wstring className;
        skipNameOrOrdinal(&c.classOrdinal, &className);
        // A CONTROL statement names the class: its buttons are checked too.
        if (c.classOrdinal == 0 && lstrcmpiW(className.c_str(), L"Button") == 0) c.classOrdinal = 0x80;
        c.hotkey = c.classOrdinal == 0 && lstrcmpiW(className.c_str(), HOTKEY_CLASSW) == 0;
        skipNameOrOrdinal(nullptr, &c.text);
        p += 1 + *p / sizeof(WORD);
        t.controls.push_back(c);
    }
    return t;
}

// A template's font at `dpi`, with the dialog base units it gives.
class CDialogFont {
public:
    CDialogFont(const Template& t, int dpi) : dc_(CreateCompatibleDC(nullptr)) {
        LOGFONTW lf = {};
        lf.lfHeight = -MulDiv(t.pointSize, dpi, 72);
        lf.lfWeight = t.weight;
        lf.lfCharSet = static_cast<BYTE>(t.charset);
        lstrcpynW(lf.lfFaceName, t.face.c_str(), LF_FACESIZE);
        font_.Reset(CreateFontIndirectW(&lf));
        previous_ = SelectObject(dc_.Get(), font_.Get());
        SIZE size = {};
        const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        GetTextExtentPoint32W(dc_.Get(), alphabet, 52, &size);
        baseX_ = (size.cx / 26 + 1) / 2;
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc_.Get(), &metrics);
        baseY_ = metrics.tmHeight;
    }
    ~CDialogFont() { SelectObject(dc_.Get(), previous_); }
    HDC Dc() const { return dc_.Get(); }
    int Width(int units) const { return MulDiv(units, baseX_, 4); }
    int Height(int units) const { return MulDiv(units, baseY_, 8); }
    // The width the text takes on screen: "&" marks the access key.
    int TextWidth(const std::wstring& text) const {
        RECT rect = {0, 0, 10000, 1000};
        DrawTextW(dc_.Get(), text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE);
        return rect.right;
    }

private:
    CScopedMemoryDc dc_;
    CScopedGdiObject font_;
    HGDIOBJ previous_ = nullptr;
    int baseX_ = 0, baseY_ = 0;
};

// Room a control needs beside its text, pixels at 96 dpi: the push
// button's edges, the check box's box and gap, the group box's indents.
int NeededWidth(const Control& c, int textWidth, int dpi) {
    if (c.classOrdinal != 0x80) return textWidth;
    switch (c.style & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
        return textWidth + MulDiv(13 + 6, dpi, 96);
    case BS_GROUPBOX:
        return textWidth + MulDiv(16, dpi, 96);
    default:
        return textWidth + MulDiv(8, dpi, 96);
    }
}

// The platform's name of a key, as a hotkey field writes it.
std::wstring KeyName(UINT vk) {
    wchar_t name[64] = {};
    GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16), name, 64);
    return name;
}

// The texts a hotkey field can show: every modifier and a letter, digit or
// function key ("Ctrl + Shift + Alt + F12").
std::vector<std::wstring> HotkeyTexts() {
    const std::wstring modifiers =
        KeyName(VK_CONTROL) + L" + " + KeyName(VK_SHIFT) + L" + " + KeyName(VK_MENU) + L" + ";
    std::vector<std::wstring> texts;
    for (UINT vk = 'A'; vk <= 'Z'; ++vk) texts.push_back(modifiers + KeyName(vk));
    for (UINT vk = '0'; vk <= '9'; ++vk) texts.push_back(modifiers + KeyName(vk));
    for (UINT vk = VK_F1; vk <= VK_F24; ++vk) texts.push_back(modifiers + KeyName(vk));
    return texts;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

const int kTemplates[] = {IDD_MAIN_JA,        IDD_MAIN_EN,        IDD_LANGUAGE_JA, IDD_LANGUAGE_EN,
                          IDD_ABOUT_JA,       IDD_ABOUT_EN,       IDD_ACTION_EDIT_JA, IDD_ACTION_EDIT_EN,
                          IDD_SETTINGS_JA,    IDD_SETTINGS_EN};

// The pixels font `face` draws for `text` in a box of one line's height.
std::vector<uint32_t> Draw(const wchar_t* face, int height, const wchar_t* text, int* ink = nullptr) {
    const int width = 200, rows = 2 * height + 4;
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -rows, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    CScopedGdiObject bitmap(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CScopedGdiObject font(CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                      NONANTIALIASED_QUALITY, 0, face));
    std::vector<uint32_t> pixels;
    if (!bits) return pixels;
    {
        CSelectObject selectBitmap(dc.Get(), bitmap.Get());
        CSelectObject selectFont(dc.Get(), font.Get());
        RECT all = {0, 0, width, rows};
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc.Get(), &metrics);
        // Clipped to one line, as a label of the template's height draws it.
        RECT line = {2, 2, width, 2 + metrics.tmHeight};
        DrawTextW(dc.Get(), text, -1, &line, DT_SINGLELINE | DT_NOPREFIX);
        GdiFlush();
    }
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    pixels.assign(p, p + width * rows);
    if (ink) {
        *ink = 0;
        for (uint32_t pixel : pixels) *ink += (pixel & 0xFFFFFF) != 0xFFFFFF;
    }
    return pixels;
}

std::wstring FaceOf(const wchar_t* face) {
    CScopedMemoryDc dc(CreateCompatibleDC(nullptr));
    CScopedGdiObject font(CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, face));
    CSelectObject selected(dc.Get(), font.Get());
    wchar_t name[LF_FACESIZE] = {};
    GetTextFaceW(dc.Get(), LF_FACESIZE, name);
    return name;
}

}  // namespace

TEST_CASE("the dialog fonts draw as on Windows: backslash, underscore, caption glyphs, Japanese") {
    REQUIRE(ProgramResources() != nullptr);
    const Template english = ReadTemplate(IDD_MAIN_EN), japanese = ReadTemplate(IDD_MAIN_JA);
    REQUIRE(english.face == L"MS Shell Dlg");
    REQUIRE(japanese.face == L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
    for (int dpi : {96, 144}) {
        CAPTURE(dpi);
        const int height = MulDiv(english.pointSize, dpi, 72);
        // The English interface draws as Tahoma does: a backslash, not the
        // yen sign a Japanese font puts there, and a visible underscore.
        CHECK(Draw(L"MS Shell Dlg", height, L"\\") == Draw(L"Tahoma", height, L"\\"));
        CHECK(Draw(L"MS Shell Dlg", height, L"\\") != Draw(L"MS Shell Dlg", height, L"\x00A5"));
        int ink = 0;
        Draw(L"MS Shell Dlg", height, L"_", &ink);
        CHECK(ink > 0);
        // The caption buttons' font has its own glyphs, not letters.
        CHECK(FaceOf(L"Marlett") == L"Marlett");
        CHECK(Draw(L"Marlett", height, L"0") != Draw(L"Tahoma", height, L"0"));
        // The Japanese interface has glyphs for its texts.
        WORD glyphs[6] = {};
        CScopedMemoryDc dc(CreateCompatibleDC(nullptr));
        CScopedGdiObject font(CreateFontW(-height, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                          japanese.face.c_str()));
        CSelectObject selected(dc.Get(), font.Get());
        REQUIRE(GetGlyphIndicesW(dc.Get(), L"\x30D5\x30A9\x30FC\x30DE\x30C3\x30C8", 6, glyphs,
                                 GGI_MARK_NONEXISTING_GLYPHS) == 6);
        for (WORD glyph : glyphs) CHECK(glyph != 0xFFFF);
        Draw(japanese.face.c_str(), height, L"\x4FDD\x5B58\x5148", &ink);
        CHECK(ink > 0);
    }
}

TEST_CASE("the layout computed from a template matches the real dialog") {
    REQUIRE(ProgramResources() != nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    for (int id : kTemplates) {
        CAPTURE(id);
        const Template t = ReadTemplate(id);
        REQUIRE(!t.controls.empty());
        CDialogFont font(t, dpi);
        HWND dialog = CreateDialogParamW(ProgramResources(), MAKEINTRESOURCEW(id), nullptr, QuietDialog, 0);
        REQUIRE(dialog != nullptr);
        for (const Control& c : t.controls) {
            if (c.id <= 0 || c.classOrdinal != 0x80) continue;
            HWND control = GetDlgItem(dialog, c.id);
            REQUIRE(control != nullptr);
            RECT rect;
            GetWindowRect(control, &rect);
            CAPTURE(c.id);
            CHECK(std::abs((rect.right - rect.left) - font.Width(c.cx)) <= 1);
            CHECK(std::abs((rect.bottom - rect.top) - font.Height(c.cy)) <= 1);
        }
        DestroyWindow(dialog);
    }
}

TEST_CASE("every label, button and list column shows its whole text at 96 and 144 dpi") {
    REQUIRE(ProgramResources() != nullptr);
    for (int dpi : {96, 144}) {
        for (int id : kTemplates) {
            const Template t = ReadTemplate(id);
            CDialogFont font(t, dpi);
            for (const Control& c : t.controls) {
                CAPTURE(dpi);
                CAPTURE(id);
                // Fields whose text the program or the control sets: the
                // hotkeys with their border and margin, and the mark of a
                // hotkey that is not active.
                const int language = id == IDD_SETTINGS_JA ? 1 : 0;
                std::vector<std::wstring> shown;
                int margin = 0;
                if (c.hotkey) {
                    shown = HotkeyTexts();
                    margin = MulDiv(6, dpi, 96);
                }
                if (c.id == IDC_RECORD_HOTKEY_STATE || c.id == IDC_PLAY_HOTKEY_STATE) {
                    shown = {TextFor(TextId::HotkeyInactive, language)};
                }
                for (const std::wstring& text : shown) {
                    CAPTURE(testutil::Utf8(text.c_str()));
                    CHECK(font.TextWidth(text) + margin <= font.Width(c.cx));
                }
                const bool labelled = c.classOrdinal == 0x80 || (c.classOrdinal == 0x82 && !(c.style & SS_ICON));
                if (!labelled || c.text.empty()) continue;
                CAPTURE(testutil::Utf8(c.text.c_str()));
                const int text = font.TextWidth(c.text);
                CHECK(NeededWidth(c, text, dpi) <= font.Width(c.cx));
                CHECK(font.Height(c.cy) >= font.Height(8));
            }
        }
        // The list columns, in the main dialog's font, for every text a
        // cell or heading can show.
        for (int language : {0, 1}) {
            CDialogFont font(ReadTemplate(language == 1 ? IDD_MAIN_JA : IDD_MAIN_EN), dpi);
            for (int column = 0; column < kRowColumns; ++column) {
                CAPTURE(dpi);
                CAPTURE(language);
                CAPTURE(column);
                const int width = ListColumnWidth(font.Dc(), column, language, dpi);
                CHECK(width >= MulDiv(kListColumnWidths[column], dpi, 96));
                std::vector<std::wstring> texts = {RowColumnHeading(column, language)};
                if (column == 2) texts = {L"(x=-32768, y=-32768)", L"(x=1800, y=1080)", L"(x=-1920, y=-1080)"};
                if (column == 0 || column == 1) texts.push_back(L"1193:02:47.295");
                if (column == 4) {
                    for (int kind = 1; kind <= kLastActionKind; ++kind) {
                        texts.push_back(ActionKindText(static_cast<ActionKind>(kind), language));
                    }
                    texts.push_back(language == 1 ? L"マウスの横ホイール -2147483648"
                                                  : L"Mouse horizontal wheel -2147483648");
                }
                for (const std::wstring& text : texts) {
                    CAPTURE(testutil::Utf8(text.c_str()));
                    CHECK(font.TextWidth(text) + MulDiv(12, dpi, 96) <= width);
                }
            }
        }
    }
}
