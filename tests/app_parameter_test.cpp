#include "doctest.h"

#include <string>
#include <vector>

#include "config/version.h"
#include "config_sandbox.h"

using namespace configtest;
using testutil::ReadBytes;
using testutil::Utf8;
using testutil::WriteBytes;

namespace {

std::string UdpFile(const std::string& myAdress, const std::string& myPort) {
    return ConfigFile("<udp>" + Element("my_adress", myAdress) + Element("my_port", myPort) +
                      Element("you_adress", "10.0.0.2") + Element("you_port", "7") + "</udp>\r\n");
}

// Colours as the writer gives them: "%d" of the COLORREF value.
const char* const kProductColorText[12][2] = {
    {"0", "16777215"},        {"0", "16777215"},        {"0", "65535"},    {"0", "65280"},
    {"16777215", "16711680"}, {"16777215", "16711680"}, {"8421504", "16777215"},
    {"8421504", "16777215"},  {"255", "16777215"},      {"255", "16777215"},
    {"13158600", "16777215"}, {"8421504", "16777215"},
};

std::string ColorText(int index, const std::string& text, const std::string& background) {
    return "<color>" + Element("index", std::to_string(index)) + Element("text", text) +
           Element("background", background) + "</color>\r\n";
}

}  // namespace

TEST_CASE("the product answers with its own names, resources and help pages") {
    CAppParameter config;
    CHECK(Utf8(config.GetVersionText()) == "1.0.3.0");
    CHECK(Utf8(config.GetProductName(1)) == "Taplore");
    CHECK(Utf8(config.GetProductName(0)) == "Taplore");
    for (int number = 10011; number <= 10016; ++number) {
        CAPTURE(number);
        CHECK(config.GetResourceName(number) == ResourceIdName(number));
    }
    CHECK(config.GetResourceName(10010) == nullptr);
    CHECK(config.GetResourceName(10017) == nullptr);
    CHECK(config.GetMenuName(1) == ResourceIdName(10013));
    CHECK(config.GetMenuName(0) == ResourceIdName(10014));
    CHECK(config.GetMenuName(2) == ResourceIdName(10014));
    // The help pages lie in the program's folder, one per language.
    CHECK(Utf8(config.GetHelpUrl(1)) == "help\\ja.html");
    CHECK(Utf8(config.GetHelpUrl(0)) == "help\\en.html");
    CHECK(Utf8(config.GetHelpUrl(2)) == "help\\en.html");
    // The version dialog's text and the version resource's numbers come from
    // one header and must agree.
    CHECK(std::to_string(TAPLORE_VERSION_MAJOR) + "." + std::to_string(TAPLORE_VERSION_MINOR) + "." +
              std::to_string(TAPLORE_VERSION_PATCH) + "." + std::to_string(TAPLORE_VERSION_BUILD) ==
          Utf8(config.GetVersionText()));
    CHECK(config.GetSubMenuPosition(L"Window") == 0);

    config.SetupParameters();
    CHECK(Text(config.main_window_class) == "TAPLORE MAIN WINDOW");
    CHECK(Text(config.child_window_class) == "TAPLORE CHILD WINDOW");
    CHECK(Text(config.control_item_class) == "TAPLORE CONTROL ITEM WINDOW");
    CHECK(Text(config.mdi_client_class) == "TAPLORE MDI CLIENT WINDOW");
    CHECK(config.toolbar_switchable == 0);
    CHECK(config.break_key == 112);

    g_config = &config;
    CHECK(TheAppParameter() == &config);
    CCommConfig plain;
    g_config = &plain;
    CHECK(TheAppParameter() == nullptr);
    g_config = nullptr;
}

TEST_CASE("the udp block takes exactly one complete address and then its port") {
    SettingsSandbox box;
    struct Case {
        const char* address;
        const char* port;
        uint32_t wantAddress;
        uint16_t wantPort;
    };
    const uint32_t kept = 0x01020304;
    const Case cases[] = {
        {"192.168.0.10", "5000", 0xC0A8000A, 5000},
        {"192.168.0", "5000", kept, 99},         // three numbers
        {"1.2.3.256", "5000", kept, 99},         // a number above 255
        {"1.2.3.4x", "5000", kept, 99},          // trailing characters
        {"1.2.3.4 5.6.7.8", "5000", kept, 99},   // two addresses
        {"", "5000", kept, 99},                  // no text
        {"1.2.3.4.5", "5000", 0x01020304, 5000}, // the trailing number does not count
        {"  10.0.0.1  ", "1", 0x0A000001, 1},    // blanks around
        {"255.255.255.255", "70000", 0xFFFFFFFF, 4464},
        {"0.0.0.1", "-1", 1, 65535},
        {"0.0.0.2", "port", 2, 0},               // an invalid port reads as 0
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.address));
        REQUIRE(WriteBytes(box.LocalIni(), UdpFile(c.address, c.port)));
        CAppParameter config;
        config.my_adress = kept;
        config.my_port = 99;
        config.Initialize();
        CHECK(config.my_adress == c.wantAddress);
        CHECK(config.my_port == c.wantPort);
        CHECK(config.you_adress == 0x0A000002);  // independent of my_adress
        CHECK(config.you_port == 7);
    }

    // Written back unchanged, the port as its 16-bit value.
    REQUIRE(WriteBytes(box.LocalIni(), UdpFile("192.168.0.10", "70000")));
    CAppParameter config;
    config.Initialize();
    CHECK(config.my_port == 4464);
    REQUIRE(config.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()).find("<udp>" + Element("my_adress", "192.168.0.10") +
                                         Element("my_port", "4464") + Element("you_adress", "10.0.0.2") +
                                         Element("you_port", "7") + "</udp>\r\n") != std::string::npos);

    // Without udp in the file the written block holds zeros.
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(Element("language", "0"))));
    CAppParameter fresh;
    fresh.Initialize();
    REQUIRE(fresh.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()).find("<udp>" + Element("my_adress", "0.0.0.0") + Element("my_port", "0") +
                                         Element("you_adress", "0.0.0.0") + Element("you_port", "0") +
                                         "</udp>\r\n" + Element("break_key", "112") + Element("play_speed", "100") +
                                         Element("record_hotkey", "1874") + Element("play_hotkey", "1872") + Element("record_motion", "0") +
                                         "</config>\r\n") !=
          std::string::npos);
}

TEST_CASE("break_key takes any integer and falls back to F1") {
    SettingsSandbox box;
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0}, {"abc", 112}, {"", 112}, {"186", 186}, {"-5", -5}, {" 27 ", 27}, {"2 7", 112},
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.first));
        LoadedParameters loaded(box, ConfigFile(Element("break_key", c.first)));
        CHECK(loaded.config.break_key == c.second);
    }
    // Missing, with a udp block present or not, and a previous value does not survive.
    for (const std::string& children : {std::string("<udp/>\r\n"), Element("language", "1")}) {
        REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(children)));
        CAppParameter config;
        config.break_key = 27;
        config.Initialize();
        CHECK(config.break_key == 112);
    }
}

TEST_CASE("the hotkeys: none (0) or a key with Shift, Ctrl and Alt flags; anything else is the default") {
    SettingsSandbox box;
    struct Case {
        const char* text;
        int32_t record, play;
    } cases[] = {
        {"0", 0, 0},           {"1874", 0x752, 0x752}, {"120", 120, 120},     {"1144", 0x478, 0x478},
        {"2130", 0x752, 0x750}, {"1792", 0x752, 0x750}, {"2047", 0x752, 0x750}, {"-1", 0x752, 0x750},
        {"x", 0x752, 0x750},    {"", 0x752, 0x750},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.text));
        LoadedParameters loaded(box, ConfigFile(Element("record_hotkey", c.text) + Element("play_hotkey", c.text)));
        CHECK(loaded.config.record_hotkey == c.record);
        CHECK(loaded.config.play_hotkey == c.play);
    }
    LoadedParameters fresh(box, ConfigFile(Element("language", "0")));
    CHECK(fresh.config.record_hotkey == ((kHotkeyControl | kHotkeyAlt | kHotkeyShift) << 8 | 'R'));
    CHECK(fresh.config.play_hotkey == ((kHotkeyControl | kHotkeyAlt | kHotkeyShift) << 8 | 'P'));
}

TEST_CASE("a hotkey may not take ordinary typing: without Ctrl or Alt only F1 to F24") {
    const int32_t shift = kHotkeyShift << 8, ctrl = kHotkeyControl << 8, alt = kHotkeyAlt << 8;
    struct Case {
        int32_t hotkey;
        bool takesTyping;
    } cases[] = {
        {0, false},              // none
        {'R', true},             {'7', true},          {0x20, true},          {0x0D, true},  // letter, digit, space, Enter
        {shift | 'R', true},     {shift | 0x09, true},  {0xBA, true},          {0x60, true},  // capitals, Shift+Tab, ";", numpad 0
        {0x25, true},            {0x1B, true},          {0x2E, true},                         // arrow, Esc, Delete
        {0x6F, true},            {0x88, true},                                                // the codes beside F1 and F24
        {0x70, false},           {0x87, false},         {shift | 0x78, false},                // F1, F24, Shift+F9
        {ctrl | 'R', false},     {alt | '7', false},    {ctrl | shift | 0x20, false},
        {kDefaultRecordHotkey, false}, {kDefaultPlayHotkey, false},
    };
    for (const Case& c : cases) {
        CAPTURE(c.hotkey);
        CHECK(HotkeyTakesTyping(c.hotkey) == c.takesTyping);
    }
}

TEST_CASE("record_motion is on only for 1, and is written back") {
    SettingsSandbox box;
    const std::pair<const char*, int32_t> cases[] = {{"1", 1}, {" 1", 1}, {"0", 0}, {"2", 0}, {"-1", 0}, {"x", 0}, {"", 0}};
    for (const auto& c : cases) {
        CAPTURE(std::string(c.first));
        LoadedParameters loaded(box, ConfigFile(Element("record_motion", c.first)));
        CHECK(loaded.config.record_motion == c.second);
    }
    LoadedParameters on(box, ConfigFile(Element("record_motion", "1")));
    REQUIRE(on.config.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()).find(Element("record_motion", "1")) != std::string::npos);
}

TEST_CASE("play_speed takes x0.1 .. x100 in hundredths and falls back to x1") {
    SettingsSandbox box;
    const std::pair<const char*, int32_t> cases[] = {
        {"25", 25},  {"1000", 1000}, {"10", 10},   {"10000", 10000}, {"9", 100},
        {"0", 100},  {"-200", 100},  {"10001", 100}, {"x2", 100},     {"", 100},
    };
    for (const auto& c : cases) {
        CAPTURE(std::string(c.first));
        LoadedParameters loaded(box, ConfigFile(Element("play_speed", c.first)));
        CHECK(loaded.config.play_speed == c.second);
    }
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(Element("language", "1"))));
    CAppParameter config;
    config.play_speed = 400;
    config.Initialize();
    CHECK(config.play_speed == 100);
}

TEST_CASE("recent files: at most four, most recent first, one entry per path, kept in the settings file") {
    SettingsSandbox box;
    // Read: empty and repeated entries (letter case ignored) are skipped,
    // and only the first four are kept; elements other than file are not
    // entries.
    LoadedParameters loaded(box, ConfigFile("<recent_files>" + Element("file", "C:\\a.mou") + Element("file", "") +
                                            Element("other", "C:\\x.mou") + Element("file", "c:\\A.MOU") +
                                            Element("file", "C:\\b.mou") + Element("file", "C:\\c.mou") +
                                            Element("file", "C:\\d.mou") + Element("file", "C:\\e.mou") +
                                            "</recent_files>\r\n"));
    CAppParameter& config = loaded.config;
    auto entries = [&] {
        std::vector<std::string> list;
        for (CString& entry : config.recent_files) list.push_back(Text(entry));
        return list;
    };
    CHECK(entries() == std::vector<std::string>{"C:\\a.mou", "C:\\b.mou", "C:\\c.mou", "C:\\d.mou"});

    CHECK(config.AddRecentFile(L"C:\\c.mou"));
    CHECK(entries() == std::vector<std::string>{"C:\\c.mou", "C:\\a.mou", "C:\\b.mou", "C:\\d.mou"});
    CHECK_FALSE(config.AddRecentFile(L"C:\\c.mou"));
    CHECK_FALSE(config.AddRecentFile(L""));
    CHECK_FALSE(config.AddRecentFile(nullptr));
    // The same file in other letter case replaces the entry.
    CHECK(config.AddRecentFile(L"C:\\B.mou"));
    CHECK(entries() == std::vector<std::string>{"C:\\B.mou", "C:\\c.mou", "C:\\a.mou", "C:\\d.mou"});
    // A new one pushes the last out.
    CHECK(config.AddRecentFile(L"D:\\new.mou"));
    CHECK(entries() == std::vector<std::string>{"D:\\new.mou", "C:\\B.mou", "C:\\c.mou", "C:\\a.mou"});
    config.RemoveRecentFile(1);
    config.RemoveRecentFile(9);
    CHECK(entries() == std::vector<std::string>{"D:\\new.mou", "C:\\c.mou", "C:\\a.mou", ""});

    // Written after the other settings, and read back the same.
    REQUIRE(config.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()).find(Element("play_hotkey", "1872") + Element("record_motion", "0") + "<recent_files>" +
                                         Element("file", "D:\\new.mou") + Element("file", "C:\\c.mou") +
                                         Element("file", "C:\\a.mou") + "</recent_files>\r\n</config>") !=
          std::string::npos);
    CAppParameter again;
    again.Initialize();
    CHECK(Text(again.recent_files[0]) == "D:\\new.mou");
    CHECK(Text(again.recent_files[2]) == "C:\\a.mou");
    CHECK(again.recent_files[3].GetLength() == 0);
}

TEST_CASE("the settings file is written byte for byte in the fixed element order") {
    SettingsSandbox box;
    // Read from a file with its elements shuffled and an unknown one, which
    // is kept after the known ones.
    REQUIRE(WriteBytes(box.LocalIni(),
                       ConfigFile(Element("break_key", "27") + Element("extra", "x") + Element("language", "1") +
                                  Element("play_speed", "50") +
                                  "<udp>" + Element("you_port", "9") + Element("my_adress", "192.168.0.10") +
                                  Element("my_port", "5000") + "</udp>\r\n" + Element("log_path", "L") +
                                  Element("font_size", "12"))));
    CAppParameter config;
    config.Initialize();
    config.temp_path.Assign(L"a&b <c> \"d\" 'e'");
    config.current_colors[2].text = 0x123456;
    config.current_colors[3].background = 0xFFFFFFFF;
    REQUIRE(config.SaveSettings() == 1);

    std::string colors = "<colors>";
    for (int i = 0; i < 12; ++i) {
        std::string text = kProductColorText[i][0];
        std::string background = kProductColorText[i][1];
        if (i == 2) text = "1193046";
        if (i == 3) background = "-1";
        colors += ColorText(i, text, background);
    }
    colors += "</colors>\r\n";
    const std::string expected =
        kDeclaration + "<config>" + Element("language", "1") + "<font_name/>\r\n" + Element("font_size", "12") +
        Element("temp_path", "a&amp;b &lt;c&gt; &quot;d&quot; &apos;e&apos;") + Element("log_enabled", "0") +
        Element("log_path", "L") + Element("view_toolbar", "1") + Element("view_statusbar", "1") + colors +
        "<udp>" + Element("my_adress", "192.168.0.10") + Element("my_port", "5000") +
        Element("you_adress", "0.0.0.0") + Element("you_port", "0") + "</udp>\r\n" + Element("break_key", "27") +
        Element("play_speed", "50") + Element("record_hotkey", "1874") + Element("play_hotkey", "1872") + Element("record_motion", "0") +
        Element("extra", "x") + "</config>\r\n";
    CHECK(ReadBytes(box.LocalIni()) == expected);

    // What was written reads back to the same fields.
    CAppParameter again;
    again.Initialize();
    CHECK(Text(again.temp_path) == "a&b <c> \"d\" 'e'");
    CHECK(again.current_colors[3].background == 0xFFFFFFFF);
    CHECK(again.my_adress == 0xC0A8000A);
    CHECK(again.break_key == 27);
    REQUIRE(again.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()) == expected);
}

TEST_CASE("the plain store writes its own two-colour file") {
    SettingsSandbox box;
    CCommConfig config;
    config.ini_file.Assign(testutil::Join(box.Dir(), "plain.ini").c_str());
    config.language = 0;
    config.font_name.Assign(L"Mono");
    config.temp_path.Assign(L"T");
    config.log_path.Clear();
    config.view_statusbar = 0;
    REQUIRE(config.SaveSettings() == 1);
    const std::string expected = kDeclaration + "<config>" + Element("language", "0") + Element("font_name", "Mono") +
                                 Element("font_size", "0") + Element("temp_path", "T") + Element("log_enabled", "0") +
                                 "<log_path/>\r\n" + Element("view_toolbar", "1") + Element("view_statusbar", "0") +
                                 "<colors>" + ColorText(0, "0", "16777215") + ColorText(1, "13158600", "16777215") +
                                 "</colors>\r\n</config>\r\n";
    CHECK(ReadBytes(testutil::Join(box.Dir(), "plain.ini")) == expected);
    std::remove(testutil::Join(box.Dir(), "plain.ini").c_str());
}

TEST_CASE("settings paths that do not fit are never cut to another file's name") {
    SettingsSandbox box;
    const char sep = testutil::Separator();
    CCommConfig config;

    // A directory ending in a separator gets no second one.
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(Element("language", "1"))));
    config.current_path.Assign((box.Dir() + sep).c_str());
    config.app_path.Assign(L"unused");
    config.LocateSettingsFile();
    CHECK(Text(config.ini_file) == box.LocalIni());

    // 250 characters of directory leave no room for the name: the candidate is
    // skipped rather than shortened.
    std::string longDir = box.Dir() + sep + std::string(250 - box.Dir().size() - 1, 'd');
    config.current_path.Assign(longDir.c_str());
    config.app_path.Assign(box.Dir().c_str());
    config.LocateSettingsFile();
    CHECK(Text(config.ini_file) == box.LocalIni());

    // Neither fits, or neither is known: no settings file at all.
    config.app_path.Assign(longDir.c_str());
    config.LocateSettingsFile();
    CHECK(config.ini_file.GetLength() == 0);
    config.current_path.Clear();
    config.app_path.Clear();
    config.LocateSettingsFile();
    CHECK(config.ini_file.GetLength() == 0);
    config.language = 0;
    CHECK(config.LoadSettings() == 0);
    CHECK(config.language == 0);
    CHECK(config.SaveSettings() == 0);

    // A folder that does not exist cannot receive the file.
    config.ini_file.Assign((box.Dir() + sep + "missing" + sep + "Taplore.ini").c_str());
    CHECK(config.SaveSettings() == 0);
    CHECK(config.LoadSettings() == 0);
}

TEST_CASE("two copies on one settings file write their own changes and keep each other's") {
    SettingsSandbox box;
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(Element("language", "0") + Element("break_key", "112") +
                                                  Element("newer", "5"))));
    CAppParameter a, b;
    a.Initialize();
    b.Initialize();

    a.break_key = 27;
    a.AddRecentFile(L"C:\\work\\a.mou");
    REQUIRE(a.SaveSettings() == 1);
    b.play_speed = 200;
    REQUIRE(b.SaveSettings() == 1);
    // b goes on with its own break key, and a's stays in the file.
    CHECK(b.break_key == 112);
    CHECK(b.recent_files[0].GetLength() == 0);
    b.record_hotkey = 0;
    REQUIRE(b.SaveSettings() == 1);
    a.language = 1;
    REQUIRE(a.SaveSettings() == 1);
    // A value set back to what a copy last saved is its change too.
    a.break_key = 112;
    b.break_key = 27;  // b changes its own, which it last saved as 112
    REQUIRE(a.SaveSettings() == 1);
    REQUIRE(b.SaveSettings() == 1);

    CAppParameter fresh;
    fresh.Initialize();
    CHECK(fresh.break_key == 27);
    CHECK(fresh.play_speed == 200);
    CHECK(fresh.record_hotkey == 0);
    CHECK(fresh.language == 1);
    CHECK(Text(fresh.recent_files[0]) == "C:\\work\\a.mou");
    const std::string file = ReadBytes(box.LocalIni());
    CHECK(file.find(Element("newer", "5")) != std::string::npos);
    CHECK(file.find("<break_key>") == file.rfind("<break_key>"));

    // A file that is gone, or no settings file any more, takes all of a
    // copy's settings.
    std::remove(box.LocalIni().c_str());
    REQUIRE(a.SaveSettings() == 1);
    CAppParameter after;
    after.Initialize();
    CHECK(after.break_key == 112);
    CHECK(after.play_speed == kSpeedNormal);
    CHECK(after.language == 1);
    REQUIRE(WriteBytes(box.LocalIni(), kDeclaration + "<other/>\r\n"));
    REQUIRE(b.SaveSettings() == 1);
    after.Initialize();
    CHECK(after.break_key == 27);
    CHECK(after.play_speed == 200);
}
