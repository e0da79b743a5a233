// The configuration as start-up makes it, in a process of its own, so that
// config_test can place this program (and a settings file beside it) in a
// folder of its choosing. Writes what it found to "probe.txt" in the current
// directory (break_key as loaded); with the argument "save" it then sets
// break_key to 27 and saves.
#include <cstdio>
#include <cstring>

#include "config/app_parameter.h"
#include "tests/test_util.h"

int main(int argc, char** argv) {
    CAppParameter config;
    config.Initialize();
    const int loadedBreakKey = config.break_key;
    int saved = -1;
    if (argc > 1 && std::strcmp(argv[1], "save") == 0) {
        config.break_key = 27;
        saved = config.SaveSettings();
    }
    FILE* report = std::fopen("probe.txt", "wb");
    if (!report) return 2;
    std::fprintf(report, "ini_file=%s\napp_path=%s\ncurrent_path=%s\nlanguage=%d\nbreak_key=%d\nsaved=%d\n",
                 testutil::Utf8(config.ini_file.GetWide()).c_str(), testutil::Utf8(config.app_path.GetWide()).c_str(),
                 testutil::Utf8(config.current_path.GetWide()).c_str(), static_cast<int>(config.language),
                 loadedBreakKey, saved);
    return std::fclose(report) == 0 ? 0 : 3;
}
