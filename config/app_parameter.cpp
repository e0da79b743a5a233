#include "config/app_parameter.h"

#include "config/settings_xml.h"
#include "config/version.h"
#include "core/xml.h"

namespace {

// The help pages ship with the program, in its folder (README, "Help pages"):
// no address outside the project's hands decides what users see.
const wchar_t kHelpUrlJapanese[] = L"help\\ja.html";
const wchar_t kHelpUrlEnglish[] = L"help\\en.html";

const ColorPair kProductColors[] = {
    {0x000000, 0xFFFFFF}, {0x000000, 0xFFFFFF}, {0x000000, 0x00FFFF}, {0x000000, 0x00FF00},
    {0xFFFFFF, 0xFF0000}, {0xFFFFFF, 0xFF0000}, {0x808080, 0xFFFFFF}, {0x808080, 0xFFFFFF},
    {0x0000FF, 0xFFFFFF}, {0x0000FF, 0xFFFFFF}, {0xC8C8C8, 0xFFFFFF}, {0x808080, 0xFFFFFF},
};

const ColorEntry kProductEntries[] = {
    {L"Text Color (Normal)", L"通常のテキスト表示", 0, 0},
    {L"Marker Color", L"マーク行の色", 3, 0},
    {L"Cursor Color", L"カーソル行の色", 2, 0},
    {L"Title Color", L"タイトル行の表示", 4, 0},
    {L"GrayOut Color", L"グレイアウト", 6, 0},
    {L"Error Color", L"エラー行の色", 8, 0},
    {L"Line Color", L"罫線の色", 10, 1},
};

// An address is taken only when its text holds exactly one complete dotted
// address; only then is the port read, keeping its low 16 bits.
void ReadAddress(XmlElement* items, const wchar_t* addressName, const wchar_t* portName,
                 uint32_t& address, uint16_t& port) {
    uint8_t bytes[8];
    if (ParseDottedQuads(TextOf(FindElement(items, addressName)), bytes, sizeof bytes) != 4) return;
    address = (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
              (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
    port = static_cast<uint16_t>(static_cast<uint32_t>(IntOf(FindElement(items, portName), 0)));
}

// 0 (no hotkey), or a key code 1 .. 254 with modifier flags from the three.
int32_t ReadHotkey(XmlElement* items, const wchar_t* name, int32_t fallback) {
    const int32_t value = IntOf(FindElement(items, name), fallback);
    if (value == 0) return 0;
    const int32_t key = value & 0xFF, modifiers = value >> 8;
    if (key == 0 || key == 0xFF || (modifiers & ~(kHotkeyShift | kHotkeyControl | kHotkeyAlt)) != 0) return fallback;
    return value;
}

// Paths compared as the file system does for the letters A to Z.
bool SamePath(CString& stored, const wchar_t* path) {
    const wchar_t* held = stored.GetWide();
    if (!held) return false;
    for (;; ++held, ++path) {
        wchar_t a = *held, b = *path;
        if (a >= L'A' && a <= L'Z') a = static_cast<wchar_t>(a - L'A' + L'a');
        if (b >= L'A' && b <= L'Z') b = static_cast<wchar_t>(b - L'A' + L'a');
        if (a != b) return false;
        if (!a) return true;
    }
}

}  // namespace

bool HotkeyTakesTyping(int32_t hotkey) {
    if (hotkey == 0) return false;
    if ((hotkey >> 8) & (kHotkeyControl | kHotkeyAlt)) return false;
    const int32_t key = hotkey & 0xFF;
    const int32_t f1 = 0x70, f24 = 0x87;
    return key < f1 || key > f24;
}

CAppParameter::CAppParameter() {}

CAppParameter::~CAppParameter() {}

const wchar_t* CAppParameter::GetVersionText() const { return L"" TAPLORE_VERSION_TEXT; }

const wchar_t* CAppParameter::GetProductName(int) const { return L"Taplore"; }

const wchar_t* CAppParameter::GetMenuName(int language) const {
    return GetResourceName(language == 1 ? kResourceMenuJapanese : kResourceMenuEnglish);
}

const wchar_t* CAppParameter::GetHelpUrl(int language) const {
    return language == 1 ? kHelpUrlJapanese : kHelpUrlEnglish;
}

const wchar_t* CAppParameter::GetResourceName(int number) const {
    if (number >= kResourceAppIcon && number <= kResourceAccelerators) return ResourceIdName(number);
    return nullptr;
}

void CAppParameter::SetupParameters() {
    toolbar_switchable = 0;
    statusbar_switchable = 0;
    main_window_class.Assign(L"TAPLORE MAIN WINDOW");
    child_window_class.Assign(L"TAPLORE CHILD WINDOW");
    control_item_class.Assign(L"TAPLORE CONTROL ITEM WINDOW");
    mdi_client_class.Assign(L"TAPLORE MDI CLIENT WINDOW");
    LocateSettingsFile();
}

void CAppParameter::Initialize() {
    SetupParameters();
    SetColorTable(kProductColors, sizeof kProductColors / sizeof kProductColors[0], kProductEntries,
                  sizeof kProductEntries / sizeof kProductEntries[0]);
    LoadSettings();
}

void CAppParameter::ReadSettings(XmlElement* first) {
    CCommConfig::ReadSettings(first);
    XmlElement* config = FindElement(first, L"config");
    if (!config) return;
    XmlElement* items = settings::FirstChild(config);
    XmlElement* udp = FindElement(items, L"udp");
    if (udp) {
        XmlElement* fields = settings::FirstChild(udp);
        ReadAddress(fields, L"my_adress", L"my_port", my_adress, my_port);
        ReadAddress(fields, L"you_adress", L"you_port", you_adress, you_port);
    }
    break_key = IntOf(FindElement(items, L"break_key"), kDefaultBreakKey);
    play_speed = IntOf(FindElement(items, L"play_speed"), kSpeedNormal);
    if (play_speed < kSpeedMin || play_speed > kSpeedMax) play_speed = kSpeedNormal;
    record_hotkey = ReadHotkey(items, L"record_hotkey", kDefaultRecordHotkey);
    play_hotkey = ReadHotkey(items, L"play_hotkey", kDefaultPlayHotkey);
    record_motion = IntOf(FindElement(items, L"record_motion"), 0) == 1 ? 1 : 0;
    for (CString& entry : recent_files) entry.Clear();
    XmlElement* recent = FindElement(items, L"recent_files");
    int count = 0;
    for (XmlElement* file = recent ? settings::FirstChild(recent) : nullptr; file && count < kRecentFileCount;
         file = file->next) {
        if (!file->name || !file->name->IsEqual(L"file")) continue;
        const wchar_t* path = TextOf(file);
        if (!path || !path[0]) continue;
        bool listed = false;
        for (int i = 0; i < count && !listed; ++i) listed = SamePath(recent_files[i], path);
        if (!listed) recent_files[count++].Assign(path);
    }
}

bool CAppParameter::AddRecentFile(const wchar_t* path) {
    if (!path || !path[0]) return false;
    if (SamePath(recent_files[0], path) && recent_files[0].IsEqual(path)) return false;
    int found = kRecentFileCount - 1;
    for (int i = 0; i < kRecentFileCount; ++i) {
        if (SamePath(recent_files[i], path)) {
            found = i;
            break;
        }
    }
    for (int i = found; i > 0; --i) recent_files[i].Assign(recent_files[i - 1]);
    recent_files[0].Assign(path);
    return true;
}

void CAppParameter::RemoveRecentFile(int index) {
    if (index < 0 || index >= kRecentFileCount) return;
    for (int i = index; i + 1 < kRecentFileCount; ++i) recent_files[i].Assign(recent_files[i + 1]);
    recent_files[kRecentFileCount - 1].Clear();
}

void CAppParameter::WriteSettings(XmlElement* holder) {
    if (!holder) return;
    CCommConfig::WriteSettings(holder);
    XmlElement* config = FindElement(settings::FirstChild(holder), L"config");
    if (!config) {
        config = AppendNewChild(holder, L"config", nullptr);
        if (!config) return;
    }
    XmlElement* udp = FindElement(settings::FirstChild(config), L"udp");
    if (!udp) udp = AppendNewChild(config, L"udp", nullptr);
    if (udp) {
        settings::AppendAddress(udp, L"my_adress", my_adress);
        settings::AppendInt(udp, L"my_port", my_port);
        settings::AppendAddress(udp, L"you_adress", you_adress);
        settings::AppendInt(udp, L"you_port", you_port);
    }
    settings::AppendInt(config, L"break_key", break_key);
    settings::AppendInt(config, L"play_speed", play_speed);
    settings::AppendInt(config, L"record_hotkey", record_hotkey);
    settings::AppendInt(config, L"play_hotkey", play_hotkey);
    settings::AppendInt(config, L"record_motion", record_motion);
    if (recent_files[0].GetLength() == 0) return;
    XmlElement* recent = AppendNewChild(config, L"recent_files", nullptr);
    if (!recent) return;
    for (CString& entry : recent_files) {
        if (entry.GetLength() > 0) settings::AppendText(recent, L"file", entry);
    }
}

CAppParameter* TheAppParameter() { return dynamic_cast<CAppParameter*>(g_config); }
