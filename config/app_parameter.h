#pragma once
// CAppParameter: the product's own configuration on top of the framework's
// store: version, names, resources, help address, window class names, the
// product colour table, and the two settings it adds to the settings file,
// the `udp` address block (carried only) and the break key.
#include <cstdint>

#include "config/comm_config.h"
#include "model/play_speed.h"
#include "resources/resource.h"

// Resource numbers the program asks GetResourceName for.
enum : int {
    kResourceAppIcon = IDI_APP,
    kResourceChildIcon = 10012,
    kResourceMenuJapanese = IDR_MENU_JA,
    kResourceMenuEnglish = IDR_MENU_EN,
    kResourceUnused = 10015,
    kResourceAccelerators = 10016,
};

// Operation files the File menu offers again, the most recent first.
constexpr int kRecentFileCount = 4;

// A hotkey as the platform's hotkey field holds it: the virtual-key code in
// the low byte, the modifier flags above it (kHotkeyShift, kHotkeyControl,
// kHotkeyAlt); 0 means none.
enum : int32_t {
    kHotkeyShift = 0x01,
    kHotkeyControl = 0x02,
    kHotkeyAlt = 0x04,
    // Ctrl+Alt+Shift+R and Ctrl+Alt+Shift+P.
    kDefaultRecordHotkey = ((kHotkeyShift | kHotkeyControl | kHotkeyAlt) << 8) | 'R',
    kDefaultPlayHotkey = ((kHotkeyShift | kHotkeyControl | kHotkeyAlt) << 8) | 'P',
};

// Whether `hotkey` would take keys of ordinary typing away from every
// program. Without Ctrl or Alt a key types (Shift only makes capitals), so
// only the function keys F1 to F24 may stand alone or with Shift. 0, no
// hotkey, takes nothing.
bool HotkeyTakesTyping(int32_t hotkey);

// VK_F1: the break key until the user picks another.
constexpr int32_t kDefaultBreakKey = 112;

class CAppParameter : public CCommConfig {
public:
    CAppParameter();
    ~CAppParameter() override;

    const wchar_t* GetVersionText() const override;
    const wchar_t* GetProductName(int language) const override;
    const wchar_t* GetMenuName(int language) const override;
    const wchar_t* GetHelpUrl(int language) const override;
    const wchar_t* GetResourceName(int number) const override;
    void SetupParameters() override;
    void Initialize() override;
    void ReadSettings(XmlElement* first) override;
    void WriteSettings(XmlElement* holder) override;

    // IPv4 addresses hold the first number of the dotted form in the most
    // significant byte.
    uint32_t my_adress = 0;
    uint16_t my_port = 0;
    uint32_t you_adress = 0;
    uint16_t you_port = 0;
    // Virtual-key code whose release stops recording and playback; any value
    // read from the settings file is kept.
    int32_t break_key = kDefaultBreakKey;
    // Playback speed in hundredths (model/play_speed.h); a stored value
    // outside x0.1 .. x100 reads as the normal speed.
    int32_t play_speed = kSpeedNormal;
    // The global hotkeys of Start Record and Start Play; a stored value
    // other than 0 or a key with modifiers reads as the default.
    int32_t record_hotkey = kDefaultRecordHotkey;
    int32_t play_hotkey = kDefaultPlayHotkey;
    // 1: a recording also keeps movement, the wheel and the middle and side
    // buttons, and releases where the button really came up; any other
    // stored value reads as 0, the classic recording. Read when a recording
    // starts.
    int32_t record_motion = 0;
    // The last operation files opened or saved, most recent first; the
    // empty ones are at the end. Kept in the settings file as `file`
    // elements of `recent_files`, which is written only when one is set.
    CString recent_files[kRecentFileCount];

    // `path` becomes the first entry; the same path further down (letter
    // case ignored) goes, and the last falls off. False when the list stays
    // as it was (an empty path, or the first entry already).
    bool AddRecentFile(const wchar_t* path);
    // Removes entry `index`; those after it move up.
    void RemoveRecentFile(int index);
};

// The process-wide configuration as the product's own class, or null while
// none (or only a plain CCommConfig) is published.
CAppParameter* TheAppParameter();
