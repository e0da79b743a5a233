#include "config/comm_config.h"

#include <cstring>
#include <utility>

#include "config/settings_xml.h"
#include "core/debug.h"
#include "core/file.h"
#include "core/xml.h"

CCommConfig* g_config = nullptr;

int UiLanguage() { return g_config ? g_config->ui_language : 0; }

const wchar_t* UiText(TextId id) { return TextFor(id, UiLanguage()); }

namespace {

const wchar_t kSettingsFileName[] = L"Taplore.ini";

const ColorPair kBaseColors[] = {
    {0x000000, 0xFFFFFF},
    {0xC8C8C8, 0xFFFFFF},
};

const ColorEntry kBaseEntries[] = {
    {L"Text Color (Normal)", L"通常のテキスト表示", 0, 0},
    {L"Line Color", L"罫線の色", 1, 1},
};

const wchar_t* WideOrEmpty(CString& text) {
    const wchar_t* wide = text.GetWide();
    return wide ? wide : L"";
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// dir + separator + "Taplore.ini" into path, or false when the directory is
// unknown or the result would not fit the path buffer. A cut path would name
// some other file, so it is never used.
bool BuildSettingsPath(CString& dir, CString& path) {
    const wchar_t* wideDir = dir.GetWide();
    if (!wideDir) return false;
    size_t dirLength = WideLength(wideDir);
    bool needSeparator = !IsSeparator(wideDir[dirLength - 1]);
    size_t nameLength = sizeof kSettingsFileName / sizeof kSettingsFileName[0] - 1;
    size_t total = dirLength + (needSeparator ? 1 : 0) + nameLength;
    if (total > static_cast<size_t>(kConfigPathCapacity - 1)) return false;
    wchar_t buffer[kConfigPathCapacity];
    size_t at = 0;
    for (size_t i = 0; i < dirLength; ++i) buffer[at++] = wideDir[i];
    if (needSeparator) buffer[at++] = PlatformPathSeparator();
    for (size_t i = 0; i < nameLength; ++i) buffer[at++] = kSettingsFileName[i];
    buffer[at] = 0;
    path.Assign(buffer, static_cast<int>(at));
    return path.GetLength() > 0;
}

bool FileOpensForReading(CString& path) {
    CFile file;
    if (!file.OpenRead(path)) return false;
    file.Close();
    return true;
}

void ReadSettingsConsumer(XmlElement* first, void* context) {
    static_cast<CCommConfig*>(context)->ReadSettings(first);
}

const char* BytesOf(const CString* text) { return text ? text->GetText() : nullptr; }

bool SameBytes(const CString* a, const CString* b) {
    const char* x = BytesOf(a);
    const char* y = BytesOf(b);
    return x && y ? std::strcmp(x, y) == 0 : x == y;
}

// Name, text and children alike, all the way down.
bool SameElement(const XmlElement* a, const XmlElement* b) {
    if (!a || !b) return a == b;
    if (!SameBytes(a->name, b->name) || !SameBytes(a->text, b->text)) return false;
    const XmlElement* x = a->firstChild;
    const XmlElement* y = b->firstChild;
    for (; x && y; x = x->next, y = y->next) {
        if (!SameElement(x, y)) return false;
    }
    return !x && !y;
}

// Appends a copy of `source` with its text and children to `parent`.
void CopyElement(XmlElement* parent, const XmlElement* source) {
    if (!source->name) return;
    CString name;
    name.Assign(*source->name);
    XmlElement* copy = AppendNewChild(parent, name.GetWide(), source->text ? TextOf(source) : nullptr);
    if (!copy) return;
    for (const XmlElement* child = source->firstChild; child; child = child->next) CopyElement(copy, child);
}

XmlElement* ChildNamed(XmlElement* parent, const CString* name) {
    if (!parent || !name) return nullptr;
    for (XmlElement* child = parent->firstChild; child; child = child->next) {
        if (SameBytes(child->name, name)) return child;
    }
    return nullptr;
}

XmlElement* ConfigOf(XmlElement* holder) { return holder ? FindElement(holder->firstChild, L"config") : nullptr; }

// The settings document to write: this copy's settings (`mine`), where each
// one it left as it was when it last loaded or saved (`saved`) is taken as the
// file holds it now (`theirs`: the file as this copy reads it); then what
// only the file has: settings this copy holds none of (another copy's recent
// files) and elements this copy does not know (`file`, a newer version's).
XmlTree MergedSettings(XmlElement* mine, XmlElement* saved, XmlElement* theirs, XmlElement* file) {
    XmlTree holder = NewElement(L"root", nullptr);
    XmlElement* merged = holder ? AppendNewChild(holder.Get(), L"config", nullptr) : nullptr;
    if (!merged) return XmlTree();
    XmlElement* own = ConfigOf(mine);
    XmlElement* before = ConfigOf(saved);
    XmlElement* now = ConfigOf(theirs);
    for (XmlElement* setting = own ? own->firstChild : nullptr; setting; setting = setting->next) {
        XmlElement* kept = ChildNamed(now, setting->name);
        const bool changed = !SameElement(setting, ChildNamed(before, setting->name));
        CopyElement(merged, changed || !kept ? setting : kept);
    }
    for (XmlElement* setting = now ? now->firstChild : nullptr; setting; setting = setting->next) {
        if (!ChildNamed(own, setting->name) && !ChildNamed(before, setting->name)) CopyElement(merged, setting);
    }
    for (XmlElement* element = file ? file->firstChild : nullptr; element; element = element->next) {
        if (!ChildNamed(own, element->name) && !ChildNamed(before, element->name) &&
            !ChildNamed(now, element->name) && !ChildNamed(merged, element->name)) {
            CopyElement(merged, element);
        }
    }
    return holder;
}

}  // namespace

namespace settings {

void AppendInt(XmlElement* parent, const wchar_t* name, int32_t value) {
    wchar_t digits[16];
    FormatDecimal(value, digits);
    AppendNewChild(parent, name, digits);
}

void AppendText(XmlElement* parent, const wchar_t* name, CString& value) {
    AppendNewChild(parent, name, value.GetWide());
}

void AppendAddress(XmlElement* parent, const wchar_t* name, uint32_t address) {
    wchar_t text[20];
    int at = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        wchar_t digits[16];
        FormatDecimal(static_cast<int32_t>((address >> shift) & 0xFF), digits);
        for (int i = 0; digits[i]; ++i) text[at++] = digits[i];
        if (shift > 0) text[at++] = L'.';
    }
    text[at] = 0;
    AppendNewChild(parent, name, text);
}

XmlElement* FirstChild(XmlElement* element) { return element ? element->firstChild : nullptr; }

void ReadText(XmlElement* first, const wchar_t* name, CString& field, const CString* fallback) {
    const wchar_t* text = TextOf(FindElement(first, name));
    if (text && text[0]) {
        field.Assign(text);
    } else if (fallback) {
        field.Assign(*fallback);
    } else {
        field.Clear();
    }
}

}  // namespace settings

CCommConfig::CCommConfig() {
    SetColorTable(kBaseColors, 2, kBaseEntries, 2);
    ResolvePaths();
    temp_path.Assign(current_path);
    log_path.Assign(current_path);
}

CCommConfig::~CCommConfig() {}

const wchar_t* CCommConfig::GetVersionText() const { return L"0.0.0.0"; }

const wchar_t* CCommConfig::GetProductName(int) const { return L""; }

const wchar_t* CCommConfig::GetMenuName(int) const { return L""; }

const wchar_t* CCommConfig::GetHelpUrl(int) const { return L""; }

int CCommConfig::GetSubMenuPosition(const wchar_t*) const { return 0; }

const wchar_t* CCommConfig::GetResourceName(int) const { return L""; }

void CCommConfig::SetupParameters() {}

void CCommConfig::Initialize() { SetupParameters(); }

int CCommConfig::SetColorTable(const ColorPair* colors, int colorCount, const ColorEntry* entries,
                               int entryCount) {
    if (colorCount < 0 || entryCount < 0) return 0;
    CArray<ColorPair> defaults;
    CArray<ColorPair> current;
    CArray<ColorEntry> rows;
    if (!defaults.Append(colors, colorCount) || !current.Append(colors, colorCount) ||
        !rows.Append(entries, entryCount)) {
        return 0;
    }
    default_colors = std::move(defaults);
    current_colors = std::move(current);
    color_entries = std::move(rows);
    color_count = colorCount;
    color_entry_count = entryCount;
    return 1;
}

void CCommConfig::ResolvePaths() {
    wchar_t buffer[kConfigPathCapacity];
    app_path.Clear();
    if (PlatformProgramPath(buffer, kConfigPathCapacity) > 0) {
        CString program(buffer);
        CFileName name;
        if (program.GetText() && name.SetPath(program.GetText())) app_path.Assign(name.GetDirectory());
    }
    current_path.Clear();
    if (PlatformCurrentDirectory(buffer, kConfigPathCapacity) > 0) current_path.Assign(buffer);
    DebugPrint(L"app_path     = %s\n", WideOrEmpty(app_path));
    DebugPrint(L"current_path = %s\n", WideOrEmpty(current_path));
}

void CCommConfig::LocateSettingsFile() {
    CString candidate;
    if (BuildSettingsPath(current_path, candidate) && FileOpensForReading(candidate)) {
        ini_file.Assign(candidate);
    } else if (BuildSettingsPath(app_path, candidate)) {
        ini_file.Assign(candidate);
    } else {
        ini_file.Clear();
    }
    DebugPrint(L"ini_file = %s\n", WideOrEmpty(ini_file));
}

int CCommConfig::LoadSettings() {
    const wchar_t* path = ini_file.GetWide();
    if (!path) return 0;
    const int loaded = LoadXmlFile(path, ReadSettingsConsumer, this).consumed ? 1 : 0;
    savedSettings_ = SettingsTree();
    return loaded;
}

XmlTree CCommConfig::SettingsTree() {
    XmlTree holder = NewElement(L"root", nullptr);
    if (holder) WriteSettings(holder.Get());
    return holder;
}

int CCommConfig::SaveSettings() {
    XmlTree mine = SettingsTree();
    if (!mine) return 0;
    const wchar_t* path = ini_file.GetWide();
    if (!path) return 0;
    XmlTree merged;
    if (savedSettings_) {
        // The file as it is now, read into this object for the moment; a
        // file that cannot be read is written with this copy's settings.
        bool read = false;
        LoadXmlFile(path, [&](XmlElement* first) {
            XmlElement* config = FindElement(first, L"config");
            if (!config) return;
            read = true;
            ReadSettings(first);
            XmlTree theirs = SettingsTree();
            merged = MergedSettings(mine.Get(), savedSettings_.Get(), theirs.Get(), config);
        });
        // This copy goes on with its own values.
        if (read) ReadSettings(mine->firstChild);
    }
    if (!merged) merged = SettingsTree();
    if (!merged || !SaveXmlFile(path, std::move(merged))) return 0;
    savedSettings_ = std::move(mine);
    return 1;
}

void CCommConfig::ReadSettings(XmlElement* first) {
    XmlElement* config = FindElement(first, L"config");
    if (!config) return;
    XmlElement* items = settings::FirstChild(config);
    language = IntOf(FindElement(items, L"language"), -1);
    settings::ReadText(items, L"font_name", font_name, nullptr);
    font_size = IntOf(FindElement(items, L"font_size"), 0);
    settings::ReadText(items, L"temp_path", temp_path, &current_path);
    log_enabled = IntOf(FindElement(items, L"log_enabled"), 0);
    settings::ReadText(items, L"log_path", log_path, &current_path);
    view_toolbar = IntOf(FindElement(items, L"view_toolbar"), 1);
    view_statusbar = IntOf(FindElement(items, L"view_statusbar"), 1);
    XmlElement* colors = FindElement(items, L"colors");
    if (colors) ReadColors(colors);
}

void CCommConfig::ReadColors(XmlElement* colors) {
    for (XmlElement* color = FindElement(settings::FirstChild(colors), L"color"); color;
         color = FindElement(color->next, L"color")) {
        XmlElement* parts = settings::FirstChild(color);
        int32_t index = IntOf(FindElement(parts, L"index"), color_count);
        if (index < 0 || index >= color_count) continue;
        const ColorPair& fallback = default_colors[index];
        current_colors[index].text = static_cast<uint32_t>(
            IntOf(FindElement(parts, L"text"), static_cast<int32_t>(fallback.text)));
        current_colors[index].background = static_cast<uint32_t>(
            IntOf(FindElement(parts, L"background"), static_cast<int32_t>(fallback.background)));
    }
}

void CCommConfig::WriteSettings(XmlElement* holder) {
    if (!holder) return;
    // The whole tree shares the holder's memory (see AppendNewChild): a
    // settings document is some sixty small elements.
    XmlElement* config = AppendNewChild(holder, L"config", nullptr);
    if (!config) return;
    settings::AppendInt(config, L"language", language);
    settings::AppendText(config, L"font_name", font_name);
    settings::AppendInt(config, L"font_size", font_size);
    settings::AppendText(config, L"temp_path", temp_path);
    settings::AppendInt(config, L"log_enabled", log_enabled);
    settings::AppendText(config, L"log_path", log_path);
    settings::AppendInt(config, L"view_toolbar", view_toolbar);
    settings::AppendInt(config, L"view_statusbar", view_statusbar);
    WriteColors(config);
}

void CCommConfig::WriteColors(XmlElement* config) {
    XmlElement* colors = AppendNewChild(config, L"colors", nullptr);
    if (!colors) return;
    for (int32_t i = 0; i < color_count; ++i) {
        XmlElement* color = AppendNewChild(colors, L"color", nullptr);
        if (!color) continue;
        settings::AppendInt(color, L"index", i);
        settings::AppendInt(color, L"text", static_cast<int32_t>(current_colors[i].text));
        settings::AppendInt(color, L"background", static_cast<int32_t>(current_colors[i].background));
    }
}
