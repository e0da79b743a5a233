#pragma once
// CCommConfig: the framework's configuration store. One object exists per
// process (created as CAppParameter by start-up and published in g_config);
// every window and dialog reaches the settings through that pointer. The
// settings file "Taplore.ini" is read once at start and rewritten after every
// change made through the user interface; nothing is saved at exit.
//
// Several copies of the program may share one settings file. A save writes
// the settings this copy changed since it last read or saved the file over
// what the file holds at that moment, and keeps the rest of the file: the
// other settings as another copy may have saved them, and elements this
// copy does not know (those of a newer version).
#include <cstdint>

#include "core/array.h"
#include "core/cstring.h"
#include "core/texts.h"
#include "core/xml.h"

// Windows COLORREF values: 0x00BBGGRR.
struct ColorPair {
    uint32_t text;
    uint32_t background;
};

// A named row of the colour table; the labels point to constant strings.
struct ColorEntry {
    const wchar_t* english_label;
    const wchar_t* japanese_label;
    int32_t color_index;
    int32_t entry_kind;  // 0 text colour, 1 line colour
};

// Paths are handled in buffers of this many wide characters, terminator
// included, as the platform's classic path limit.
constexpr int kConfigPathCapacity = 260;

class CCommConfig {
public:
    CCommConfig();
    virtual ~CCommConfig();
    CCommConfig(const CCommConfig&) = delete;
    CCommConfig& operator=(const CCommConfig&) = delete;

    // The language argument is 1 for Japanese, any other value for English.
    virtual const wchar_t* GetVersionText() const;
    virtual const wchar_t* GetProductName(int language) const;
    // Resource names are either a text or an integer identifier in the form
    // of MAKEINTRESOURCEW (see ResourceIdName); null means "no resource".
    virtual const wchar_t* GetMenuName(int language) const;
    virtual const wchar_t* GetHelpUrl(int language) const;
    virtual int GetSubMenuPosition(const wchar_t* subMenuName) const;
    virtual const wchar_t* GetResourceName(int number) const;
    virtual void SetupParameters();
    // Both return 1 on success and 0 on failure. A load, whatever its
    // outcome, and a successful save make the settings as they are now the
    // ones the next save compares with to find this copy's changes.
    virtual int LoadSettings();
    virtual int SaveSettings();
    virtual void Initialize();
    // `first` is the first top-level element of the parsed settings file.
    virtual void ReadSettings(XmlElement* first);
    // Appends a `config` element to the holder of the document being built.
    virtual void WriteSettings(XmlElement* holder);

    void ResolvePaths();
    void LocateSettingsFile();

    // Replaces the colour table; both colour arrays receive `colors`. Returns
    // 0 and keeps the previous table when memory runs out.
    int SetColorTable(const ColorPair* colors, int colorCount, const ColorEntry* entries,
                      int entryCount);

    int32_t toolbar_switchable = 0;
    int32_t statusbar_switchable = 0;
    CString main_window_class;
    CString child_window_class;
    CString control_item_class;
    CString mdi_client_class;
    CString current_path;
    CString app_path;
    CString ini_file;
    int32_t ui_language = 0;
    int32_t language = -1;
    CString font_name;
    int32_t font_size = 0;
    CString temp_path;
    int32_t log_enabled = 0;
    CString log_path;
    int32_t view_toolbar = 1;
    int32_t view_statusbar = 1;
    int32_t color_count = 0;
    CArray<ColorPair> default_colors;
    CArray<ColorPair> current_colors;
    int32_t color_entry_count = 0;
    CArray<ColorEntry> color_entries;

private:
    void ReadColors(XmlElement* colors);
    void WriteColors(XmlElement* config);
    // The holder with this object's settings as WriteSettings gives them.
    XmlTree SettingsTree();

    // The settings as last loaded or saved; empty before the first load, when
    // a save writes everything this object holds.
    XmlTree savedSettings_;
};

// The process-wide configuration, set by start-up and cleared at exit.
extern CCommConfig* g_config;

// The user-interface language of this run, as resolved at start: 1 Japanese,
// any other value English; 0 while no configuration is published.
int UiLanguage();
// A text of the table in the user-interface language.
const wchar_t* UiText(TextId id);

// An integer resource identifier in the form the platform's resource calls
// take (MAKEINTRESOURCEW).
inline const wchar_t* ResourceIdName(int number) {
    return reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(static_cast<uint16_t>(number)));
}

