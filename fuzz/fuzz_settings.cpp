// Feeds arbitrary bytes to the settings loader as "Taplore.ini" in the
// current directory, exactly as start-up reads it, and checks that whatever
// was read survives a save and a second load: saving, loading and saving
// again must give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include "config/app_parameter.h"

namespace {

bool ReadWhole(const char* path, std::string* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    out->clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out->append(buffer, n);
    std::fclose(f);
    return true;
}

char g_folder[] = "/tmp/taplore_fuzz_settings_XXXXXX";

void RemoveFolder() {
    std::remove("Taplore.ini");
    rmdir(g_folder);
}

}  // namespace

// Corpus paths given to the fuzzer must be absolute: it works from a folder
// of its own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!mkdtemp(g_folder) || chdir(g_folder) != 0) std::abort();
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen("Taplore.ini", "wb");
    if (!f) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);

    CAppParameter first;
    first.Initialize();
    if (first.color_count != 12) std::abort();
    if (first.SaveSettings() != 1) std::abort();
    std::string saved;
    if (!ReadWhole("Taplore.ini", &saved)) std::abort();

    CAppParameter second;
    second.Initialize();
    if (second.break_key != first.break_key || second.language != first.language ||
        second.my_adress != first.my_adress || second.my_port != first.my_port ||
        second.you_adress != first.you_adress || second.you_port != first.you_port)
        std::abort();
    for (int i = 0; i < 12; ++i) {
        if (second.current_colors[i].text != first.current_colors[i].text ||
            second.current_colors[i].background != first.current_colors[i].background)
            std::abort();
    }
    if (second.SaveSettings() != 1) std::abort();
    std::string again;
    if (!ReadWhole("Taplore.ini", &again) || again != saved) std::abort();
    return 0;
}
