#include "doctest.h"

#include <cstdarg>
#include <map>
#include <string>
#include <vector>

#include "config_sandbox.h"
#include "core/debug.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#endif

using namespace configtest;
using testutil::Join;
using testutil::ReadBytes;
using testutil::Utf8;
using testutil::WriteBytes;

namespace {

std::vector<std::string> g_debugLines;

int CaptureDebug(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = Utf8(format);
    size_t at = line.find("%s");
    if (at != std::string::npos) line.replace(at, 2, Utf8(va_arg(args, const wchar_t*)));
    va_end(args);
    g_debugLines.push_back(line);
    return 0;
}

using ProbeReport = std::map<std::string, std::string>;

#ifdef _WIN32
const char kProbeName[] = "config_probe.exe";
const char kProgramName[] = "Taplore.exe";
#else
const char kProbeName[] = "config_probe";
const char kProgramName[] = "Taplore";
#endif

// A private folder holding a copy of config_probe, so that the program's own
// folder (where the configuration looks second) belongs to one test alone.
class ProgramFolder {
public:
    ProgramFolder() : dir_(testutil::MakeTempDir()) {
        std::string bytes;
        REQUIRE(ReadBytes(Join(ProgramDirectory(), kProbeName), &bytes));
        REQUIRE(WriteBytes(Program(), bytes));
#ifndef _WIN32
        REQUIRE(chmod(Program().c_str(), 0755) == 0);
#endif
    }
    ~ProgramFolder() {
        std::remove(Program().c_str());
        std::remove(Ini().c_str());
        SettingsSandbox::RemoveFolder(dir_);
    }
    const std::string& Dir() const { return dir_; }
    std::string Ini() const { return Join(dir_, "Taplore.ini"); }
    std::string Program() const { return Join(dir_, kProgramName); }

    // Starts the program in cwd and reads back what it reported.
    ProbeReport Run(const std::string& cwd, const std::string& argument) const {
        const std::string reportPath = Join(cwd, "probe.txt");
        std::remove(reportPath.c_str());
        REQUIRE(testutil::RunProgram(Program(), argument, cwd) == 0);
        std::string text;
        REQUIRE(ReadBytes(reportPath, &text));
        std::remove(reportPath.c_str());
        ProbeReport report;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find('\n', at);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(at, end - at);
            const size_t equals = line.find('=');
            if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
            at = end + 1;
        }
        return report;
    }

private:
    std::string dir_;
};

}  // namespace

TEST_CASE("construction resolves the program and current directories") {
    SettingsSandbox box;
    g_debugLines.clear();
    DebugOutputFunction saved = DebugPrint;
    DebugPrint = CaptureDebug;
    CCommConfig config;
    config.LocateSettingsFile();
    DebugPrint = saved;

    CHECK(Text(config.current_path) == CurrentDirectory());
    CHECK(Text(config.app_path) == ProgramDirectory());
    CHECK(Text(config.temp_path) == CurrentDirectory());
    CHECK(Text(config.log_path) == CurrentDirectory());
    const std::string programIni = Join(ProgramDirectory(), "Taplore.ini");
    CHECK(Text(config.ini_file) == programIni);  // taken whether or not it exists
    REQUIRE(g_debugLines.size() == 3);
    CHECK(g_debugLines[0] == "app_path     = " + ProgramDirectory() + "\n");
    CHECK(g_debugLines[1] == "current_path = " + CurrentDirectory() + "\n");
    CHECK(g_debugLines[2] == "ini_file = " + programIni + "\n");

    CHECK(config.language == -1);
    CHECK(config.ui_language == 0);
    CHECK(config.view_toolbar == 1);
    CHECK(config.view_statusbar == 1);
    CHECK(config.font_name.GetLength() == 0);
    REQUIRE(config.color_count == 2);
    CHECK(config.current_colors[1].text == 0xC8C8C8);
    CHECK(config.default_colors[1].background == 0xFFFFFF);
    REQUIRE(config.color_entry_count == 2);
    CHECK(Utf8(config.color_entries[1].english_label) == "Line Color");
    CHECK(config.color_entries[1].entry_kind == 1);
    CHECK(Utf8(config.GetVersionText()) == "0.0.0.0");
    CHECK(Utf8(config.GetProductName(1)) == "");
    CHECK(Utf8(config.GetHelpUrl(0)) == "");
    CHECK(Utf8(config.GetResourceName(10011)) == "");
    CHECK(config.GetSubMenuPosition(L"Window") == 0);
}

TEST_CASE("a settings file in the current directory wins and receives every save") {
    SettingsSandbox box;
    ProgramFolder program;
    REQUIRE(WriteBytes(program.Ini(), ConfigFile(Element("language", "0") + Element("break_key", "65"))));
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(Element("language", "1") + Element("break_key", "66"))));
    const std::string programBefore = ReadBytes(program.Ini());

    ProbeReport report = program.Run(box.Dir(), "save");
    CHECK(report["app_path"] == program.Dir());
    CHECK(report["current_path"] == box.Dir());
    CHECK(report["ini_file"] == box.LocalIni());
    CHECK(report["language"] == "1");
    CHECK(report["break_key"] == "66");
    CHECK(report["saved"] == "1");
    CHECK(ReadBytes(box.LocalIni()).find("<break_key>27</break_key>") != std::string::npos);
    CHECK(ReadBytes(program.Ini()) == programBefore);

    // A read-only settings file is left alone, and the save says so.
    const std::string localBefore = ReadBytes(box.LocalIni());
#ifdef _WIN32
    REQUIRE(SetFileAttributesA(box.LocalIni().c_str(), FILE_ATTRIBUTE_READONLY));
#else
    REQUIRE(chmod(box.LocalIni().c_str(), 0444) == 0);
#endif
    report = program.Run(box.Dir(), "save");
    CHECK(report["saved"] == "0");
    CHECK(ReadBytes(box.LocalIni()) == localBefore);
#ifdef _WIN32
    REQUIRE(SetFileAttributesA(box.LocalIni().c_str(), FILE_ATTRIBUTE_NORMAL));
#endif

    // Without a file in the current directory the one beside the program is used.
    std::remove(box.LocalIni().c_str());
    report = program.Run(box.Dir(), "");
    CHECK(report["ini_file"] == program.Ini());
    CHECK(report["language"] == "0");
    CHECK(report["break_key"] == "65");
}

TEST_CASE("with no settings file anywhere the defaults hold and a save creates it beside the program") {
    SettingsSandbox box;
    ProgramFolder program;
    ProbeReport report = program.Run(box.Dir(), "save");
    CHECK(report["ini_file"] == program.Ini());
    CHECK(report["language"] == "-1");
    CHECK(report["saved"] == "1");
    CHECK(testutil::FileExists(program.Ini()));
    CHECK_FALSE(testutil::FileExists(box.LocalIni()));

    report = program.Run(box.Dir(), "");
    CHECK(report["language"] == "-1");
    CHECK(report["break_key"] == "27");

    // In-process, with a readable file that holds no `config`: every default in force.
    std::remove(program.Ini().c_str());
    REQUIRE(WriteBytes(box.LocalIni(), kDeclaration + "<other/>\r\n"));
    CAppParameter config;
    config.Initialize();
    CHECK(config.LoadSettings() == 1);
    CHECK(config.language == -1);
    CHECK(config.break_key == 112);
    CHECK(config.my_adress == 0);
    CHECK(config.view_toolbar == 1);
    CHECK(Text(config.temp_path) == box.Dir());
    REQUIRE(config.color_count == 12);
    CHECK(config.current_colors[4].background == 0xFF0000);
}

TEST_CASE("a settings file that cannot be read leaves every field as it was") {
    SettingsSandbox box;
    const std::string bad[] = {
        "",
        "<config><language>1</language></config>",                // no declaration
        "\xEF\xBB\xBF" + ConfigFile(Element("language", "1")),    // byte-order mark
        kDeclaration,                                              // no element
        kDeclaration + "garbage",
    };
    for (const std::string& text : bad) {
        CAPTURE(text);
        REQUIRE(WriteBytes(box.LocalIni(), text));
        CAppParameter config;
        config.Initialize();
        config.language = 0;
        config.break_key = 5;
        config.current_colors[3].text = 7;
        CHECK(config.LoadSettings() == 0);
        CHECK(config.language == 0);
        CHECK(config.break_key == 5);
        CHECK(config.current_colors[3].text == 7);
    }

    // A readable document without `config` loads but changes nothing.
    REQUIRE(WriteBytes(box.LocalIni(), kDeclaration + "<other><language>1</language></other>\r\n"));
    CAppParameter config;
    config.Initialize();
    config.language = 0;
    config.break_key = 5;
    CHECK(config.LoadSettings() == 1);
    CHECK(config.language == 0);
    CHECK(config.break_key == 5);

    // `config` need not be the first top-level element.
    REQUIRE(WriteBytes(box.LocalIni(), kDeclaration + "<other/>\r\n" +
                                           "<config>" + Element("language", "1") + "</config>\r\n"));
    CHECK(config.LoadSettings() == 1);
    CHECK(config.language == 1);
}

TEST_CASE("each base setting falls back to its own default when missing or invalid") {
    SettingsSandbox box;
    struct Case {
        const char* name;
        const char* broken;  // nullptr: the element is left out
    };
    const Case cases[] = {
        {"language", nullptr},     {"language", "1 1"},       {"language", "+1"},
        {"font_name", nullptr},    {"font_name", ""},        {"font_size", "9x"},
        {"temp_path", nullptr},    {"temp_path", "  "},      {"log_enabled", ""},
        {"log_path", nullptr},     {"log_path", ""},         {"view_toolbar", "yes"},
        {"view_statusbar", nullptr},
    };
    const std::string names[] = {"language", "font_name", "font_size", "temp_path", "log_enabled",
                                 "log_path", "view_toolbar", "view_statusbar"};
    const std::string values[] = {"1", "Gothic", "9", "TMP", "1", "LOG", "0", "0"};
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        CAPTURE(std::string(c.broken ? c.broken : "(absent)"));
        std::string children = Element("unknown", "1");
        for (int i = 0; i < 8; ++i) {
            if (names[i] != c.name) {
                children += Element(names[i], values[i]);
            } else if (c.broken) {
                children += Element(names[i], c.broken);
            }
        }
        REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(children)));
        CCommConfig config;
        config.language = 0;  // a previous value does not survive a missing element
        config.LocateSettingsFile();
        CHECK(config.LoadSettings() == 1);
        const std::string cwd = CurrentDirectory();
        const std::string expected[] = {"-1", "", "0", cwd, "0", cwd, "1", "1"};
        const std::string actual[] = {
            std::to_string(config.language), Text(config.font_name), std::to_string(config.font_size),
            Text(config.temp_path),          std::to_string(config.log_enabled), Text(config.log_path),
            std::to_string(config.view_toolbar), std::to_string(config.view_statusbar)};
        for (int i = 0; i < 8; ++i) {
            CAPTURE(names[i]);
            CHECK(actual[i] == (names[i] == c.name ? expected[i] : values[i]));
        }
    }
}

TEST_CASE("integers accept leading blanks and a minus sign only") {
    SettingsSandbox box;
    LoadedParameters loaded(box, ConfigFile(Element("font_size", " \t-12") + Element("log_enabled", "-") +
                                            Element("language", "4294967295")));
    CHECK(loaded.config.font_size == -12);
    CHECK(loaded.config.log_enabled == 0);
    CHECK(loaded.config.language == -1);
}

TEST_CASE("colours are read against the product's twelve indexes") {
    SettingsSandbox box;
    std::string colors =
        "<colors>" + std::string("<color>") + Element("index", "0") + Element("text", "255") +
        Element("background", "65280") + "</color>\r\n" + "<color>" + Element("index", "1") +
        Element("text", "1") + Element("background", "2") + "</color>\r\n" +
        "<color>" + Element("index", "-1") + Element("text", "9") + "</color>\r\n" +
        "<color>" + Element("index", "12") + Element("text", "9") + "</color>\r\n" +
        "<color>" + Element("text", "9") + "</color>\r\n" +
        "<color>" + Element("index", "4") + Element("background", "17") + "</color>\r\n" +
        "<other>" + Element("index", "5") + Element("text", "9") + "</other>\r\n" +
        "<color>" + Element("index", "1") + Element("text", "3") + "</color>\r\n" + "</colors>\r\n";
    REQUIRE(WriteBytes(box.LocalIni(), ConfigFile(colors)));

    CAppParameter config;
    config.Initialize();
    REQUIRE(config.color_count == 12);
    CHECK(config.current_colors[0].text == 255);
    CHECK(config.current_colors[0].background == 65280);
    // A later entry for the same index wins; its missing background resets to the default.
    CHECK(config.current_colors[1].text == 3);
    CHECK(config.current_colors[1].background == 0xFFFFFF);
    // Text missing: the default of index 4, not the value held before.
    CHECK(config.current_colors[4].text == 0xFFFFFF);
    CHECK(config.current_colors[4].background == 17);
    const uint32_t untouched[][2] = {{2, 0x00FFFF}, {3, 0x00FF00}, {5, 0xFF0000}, {11, 0xFFFFFF}};
    for (const auto& u : untouched) {
        CAPTURE(u[0]);
        CHECK(config.current_colors[u[0]].background == u[1]);
        CHECK(config.default_colors[u[0]].background == u[1]);
    }
    CHECK(config.default_colors[0].text == 0);
    CHECK(config.default_colors[11].text == 0x808080);
    REQUIRE(config.color_entry_count == 7);
    CHECK(Utf8(config.color_entries[1].english_label) == "Marker Color");
    CHECK(config.color_entries[1].color_index == 3);
    CHECK(config.color_entries[2].color_index == 2);
    CHECK(config.color_entries[6].entry_kind == 1);
    CHECK(config.color_entries[6].color_index == 10);

    // A file written by the plain store (two indexes) feeds indexes 0 and 1 only.
    CCommConfig plain;
    plain.current_colors[0].text = 0x123456;
    plain.current_colors[1].background = 0x654321;
    plain.ini_file.Assign(config.ini_file);
    REQUIRE(plain.SaveSettings() == 1);
    CAppParameter product;
    product.Initialize();
    CHECK(product.current_colors[0].text == 0x123456);
    CHECK(product.current_colors[1].background == 0x654321);
    for (int i = 2; i < 12; ++i) {
        CHECK(product.current_colors[i].text == product.default_colors[i].text);
        CHECK(product.current_colors[i].background == product.default_colors[i].background);
    }
}

TEST_CASE("large and deeply nested settings files load without harm") {
    SettingsSandbox box;
    std::string colors = "<colors>";
    for (int i = 0; i < 100000; ++i) {
        colors += "<color><index>" + std::to_string(i % 13) + "</index><text>" + std::to_string(i) + "</text></color>";
    }
    colors += "</colors>";
    const std::string longName(1 << 20, 'n');
    std::string nested;
    for (int i = 0; i < 20000; ++i) nested += "<a>";
    REQUIRE(WriteBytes(box.LocalIni(),
                       ConfigFile(Element("font_name", longName) + colors + Element("break_key", "9") + nested)));
    CAppParameter config;
    config.Initialize();
    CHECK(config.font_name.GetLength() == (1 << 20));
    CHECK(config.current_colors[11].text == 99994);  // the last i below 100000 with i % 13 == 11
    CHECK(config.break_key == 9);
    CHECK(config.SaveSettings() == 1);
    CHECK(ReadBytes(box.LocalIni()).size() > (1u << 20));
}
