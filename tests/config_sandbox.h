#pragma once
// A sandbox for the configuration tests (a fresh temporary current directory)
// and builders for settings texts.
#include <cstdio>
#include <string>

#include "config/app_parameter.h"
#include "config/comm_config.h"
#include "core/platform.h"
#include "doctest.h"
#include "test_util.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace configtest {

using testutil::Join;
using testutil::ReadBytes;
using testutil::Utf8;
using testutil::WriteBytes;

inline const std::string kDeclaration = "<?xml version=\"1.0\" ?>\r\n";

inline std::string Text(CString& s) { return Utf8(s.GetWide()); }

inline std::string CurrentDirectory() {
    wchar_t buffer[kConfigPathCapacity];
    return PlatformCurrentDirectory(buffer, kConfigPathCapacity) > 0 ? Utf8(buffer) : std::string();
}

inline std::string ProgramDirectory() {
    wchar_t buffer[kConfigPathCapacity];
    if (PlatformProgramPath(buffer, kConfigPathCapacity) <= 0) return std::string();
    std::string path = Utf8(buffer);
    return path.substr(0, path.find_last_of("\\/"));
}

inline bool ChangeDirectory(const std::string& path) {
#ifdef _WIN32
    return SetCurrentDirectoryA(path.c_str()) != 0;
#else
    return chdir(path.c_str()) == 0;
#endif
}

// Runs a test from a fresh temporary current directory, so that the settings
// file a configuration finds first is the sandbox's own "Taplore.ini". Nothing
// is written beside the test program: other tests in its folder run at the
// same time.
class SettingsSandbox {
public:
    SettingsSandbox() : previousDir_(CurrentDirectory()), dir_(testutil::MakeTempDir()) {
        REQUIRE(ChangeDirectory(dir_));
    }
    ~SettingsSandbox() {
        ChangeDirectory(previousDir_);
        std::remove(LocalIni().c_str());
        RemoveFolder(dir_);
    }
    const std::string& Dir() const { return dir_; }
    std::string LocalIni() const { return Join(dir_, "Taplore.ini"); }

    static void RemoveFolder(const std::string& dir) {
#ifdef _WIN32
        RemoveDirectoryA(dir.c_str());
#else
        rmdir(dir.c_str());
#endif
    }

private:
    std::string previousDir_;
    std::string dir_;
};

inline std::string Element(const std::string& name, const std::string& text) {
    return "<" + name + ">" + text + "</" + name + ">\r\n";
}

inline std::string ConfigFile(const std::string& children) {
    return kDeclaration + "<config>" + children + "</config>\r\n";
}

// Every base setting at a value different from its default.
inline std::string FullBaseSettings() {
    return Element("language", "1") + Element("font_name", "Gothic") + Element("font_size", "9") +
           Element("temp_path", "TMP") + Element("log_enabled", "1") + Element("log_path", "LOG") +
           Element("view_toolbar", "0") + Element("view_statusbar", "0");
}

// A product configuration that has read the given settings text from the
// sandbox's current directory.
struct LoadedParameters {
    explicit LoadedParameters(const SettingsSandbox& box, const std::string& text) {
        REQUIRE(WriteBytes(box.LocalIni(), text));
        config.Initialize();
    }
    CAppParameter config;
};


}  // namespace configtest
