// Feeds arbitrary bytes to the settings loader as "Taplore.ini" in the
// current directory, exactly as start-up reads it, and checks that whatever
// was read survives a save and a second load: saving, loading and saving
// again must give the same bytes. The saves and the second load stay in
// memory (the bytes a save would write, read back as the file would be):
// the file system's share of the work is the first load, and a save to disk
// per run would cost more than everything else together.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "config/app_parameter.h"
#include "core/xml.h"

namespace {

// The settings with their saves kept in `saved`; once `source` is set, a load
// reads those bytes instead of the file, which is then not looked for.
class CMemorySettings : public CAppParameter {
public:
    void SetupParameters() override {
        if (!source) CAppParameter::SetupParameters();
    }
    int LoadSettings() override {
        if (!source) return CAppParameter::LoadSettings();
        if (source->Count() == 0) return 0;
        XmlDocument document = ParseXmlDocument(source->Data(), static_cast<size_t>(source->Count()));
        if (!document.first) return 0;
        ReadSettings(document.first.Get());
        return 1;
    }
    int SaveSettings() override {
        XmlTree holder = NewElement(L"root", nullptr);
        if (!holder) return 0;
        WriteSettings(holder.Get());
        CArray<char> text;
        const bool built = holder->firstChild && BuildXmlText(holder->firstChild, &text);
        holder.Reset();
        if (!built) return 0;
        saved = std::move(text);
        return 1;
    }

    const CArray<char>* source = nullptr;
    CArray<char> saved;
};

// The file is rewritten on every run: in memory (/dev/shm) that costs a
// little, on a disk file system (truncation, block discards) more than all
// the rest of the run.
char g_folder[] = "/dev/shm/taplore_fuzz_settings_XXXXXX";
char g_diskFolder[] = "/tmp/taplore_fuzz_settings_XXXXXX";
char* g_made = nullptr;

void RemoveFolder() {
    std::remove("Taplore.ini");
    rmdir(g_made);
}

}  // namespace

// Corpus paths given to the fuzzer must be absolute: it works from a folder
// of its own.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_made = mkdtemp(g_folder);
    if (!g_made) g_made = mkdtemp(g_diskFolder);
    if (!g_made || chdir(g_made) != 0) std::abort();
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Plainly, without a stream and its buffer.
    const int fd = open("Taplore.ini", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
    close(fd);

    CMemorySettings first;
    first.Initialize();
    if (first.color_count != 12) std::abort();
    if (first.SaveSettings() != 1) std::abort();

    CMemorySettings second;
    second.source = &first.saved;
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
    if (second.SaveSettings() != 1 || second.saved.Count() != first.saved.Count() ||
        std::memcmp(second.saved.Data(), first.saved.Data(), static_cast<size_t>(first.saved.Count())) != 0)
        std::abort();
    return 0;
}
