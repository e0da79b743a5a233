// Operation files of 1,000,000 records: our save and load against pugixml
// doing the same work (building the document from the list and writing it;
// reading the file and taking the records into a list). Prints the medians,
// then the ratios and the peak memory of one load in a fresh process.
//
// Modes for bench/bench_motion.sh: --make-motion PATH COUNT writes a
// recording of mouse motion, --make-hostile PATH BYTES a file of empty
// sibling elements, and --peak ours PATH prints the peak, the memory before
// the load and the records loaded.
#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/motion_recording.h"
#include "model/opfile.h"

#ifdef TAPLORE_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

constexpr int kRecords = 1000000;
constexpr int kRuns = 7;

// Processor time of this process: the machine is shared, and wall time would
// measure the neighbours as much as the code.
double Now() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Recorded sessions: mostly mouse pushes and releases over a 1920x1080
// screen, typing, and a few screenshots; intervals from a few milliseconds to
// several seconds.
void Generate(ActionList* list) {
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    for (int i = 0; i < kRecords; ++i) {
        uint32_t pick = next(100);
        uint32_t interval = next(10) == 0 ? next(60000) : next(400);
        if (pick < 65) {
            static const ActionKind kinds[] = {ActionKind::MouseLeftPush, ActionKind::MouseLeftRelease,
                                               ActionKind::MouseRightPush, ActionKind::MouseRightRelease};
            list->append(ActionDevice::Mouse, kinds[next(4)], static_cast<int32_t>(next(1920)),
                         static_cast<int32_t>(next(1080)), 0, interval);
        } else if (pick < 97) {
            list->append(ActionDevice::Keyboard, next(2) ? ActionKind::PushKey : ActionKind::ReleaseKey, 0, 0,
                         static_cast<int32_t>(8 + next(215)), interval);
        } else {
            list->append(ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0, interval);
        }
    }
    list->screenshotFolder.Assign(L"C:\\Users\\operator\\Pictures\\Shots");
    list->screenshotFormat = ScreenshotFormat::PNG;
}

// A line of /proc/self/status in KiB: "VmHWM:" the peak, "VmRSS:" now.
long StatusKiB(const char* key) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    const size_t length = std::strlen(key);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, key, length) == 0) kib = std::strtol(line + length, nullptr, 10);
    }
    std::fclose(f);
    return kib;
}

long PeakKiB() {
    return StatusKiB("VmHWM:");
}

int MakeMotion(const char* path, int count) {
    ActionList list;
    GenerateMotion(&list, count);
    CString name;
    name.Assign(path);
    return list.count() == count && list.save(name.GetWide()) ? 0 : 1;
}

// The declaration, "<action>" and "<a/>" until the file has `bytes`, closed.
int MakeHostile(const char* path, long bytes) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    std::string head = "<?xml version=\"1.0\" ?>\r\n<action>";
    std::fwrite(head.data(), 1, head.size(), f);
    std::string block;
    for (int i = 0; i < 4096; ++i) block += "<a/>";
    for (long written = static_cast<long>(head.size()); written < bytes; written += static_cast<long>(block.size())) {
        std::fwrite(block.data(), 1, block.size(), f);
    }
    std::fputs("</action>\r\n", f);
    return std::fclose(f) == 0 ? 0 : 1;
}

struct WidePath {
    CString text;
    explicit WidePath(const std::string& path) { text.Assign(path.c_str()); }
    const wchar_t* get() { return text.GetWide(); }
};

#ifdef TAPLORE_HAVE_PUGIXML
// pugixml refuses names that begin with a digit, so the four words of the
// mark are named n0..n3 in its copy of the file (8 bytes of 68 MiB differ).
const char* const kWordNames[4] = {"n0", "n1", "n2", "n3"};

bool MakePugiCopy(const std::string& from, const std::string& to) {
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) return false;
    std::string text;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
    std::fclose(in);
    for (const char* word : {"0", "1", "2", "3"}) {
        for (const char* form : {"<", "</"}) {
            std::string tag = std::string(form) + word + ">";
            size_t at = text.find(tag);
            if (at == std::string::npos) return false;
            text.replace(at, tag.size(), std::string(form) + "n" + word + ">");
        }
    }
    FILE* out = std::fopen(to.c_str(), "wb");
    if (!out) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && ok;
}

bool PugiSave(const ActionList& list, const std::string& path) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    pugi::xml_node ident = doc.append_child("ident");
    for (int k = 0; k < 4; ++k) {
        ident.append_child(kWordNames[k]).text() = static_cast<int>(list.ident.w[k] ^ kIdentMasks[k]);
    }
    pugi::xml_node actions = doc.append_child("action");
    const ActionDevice groups[3] = {ActionDevice::Mouse, ActionDevice::Keyboard, ActionDevice::Display};
    for (ActionDevice device : groups) {
        for (int i = 0; i < list.count(); ++i) {
            const ActionRecord* r = list.at(i);
            if (r->device != device) continue;
            int interval = static_cast<int>(r->interval);
            int kind = static_cast<int>(r->kind);
            if (device == ActionDevice::Mouse) {
                pugi::xml_node e = actions.append_child("mouse");
                e.append_child("time").text() = interval;
                e.append_child("x").text() = r->x;
                e.append_child("y").text() = r->y;
                e.append_child("type").text() = kind;
            } else if (device == ActionDevice::Keyboard) {
                pugi::xml_node e = actions.append_child("key");
                e.append_child("time").text() = interval;
                e.append_child("type").text() = kind;
                e.append_child("code").text() = r->keyCode;
            } else {
                pugi::xml_node e = actions.append_child("display");
                e.append_child("time").text() = interval;
                e.append_child("type").text() = kind;
            }
        }
    }
    pugi::xml_node image = doc.append_child("image");
    image.append_child("path").text() = list.screenshotFolder.GetText() ? list.screenshotFolder.GetText() : "";
    image.append_child("type").text() = static_cast<int>(list.screenshotFormat);
    return doc.save_file(path.c_str(), "", pugi::format_raw);
}

bool PugiLoad(ActionList* list, const std::string& path) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) return false;
    pugi::xml_node ident = doc.child("ident");
    for (int k = 0; k < 4; ++k) {
        list->ident.w[k] = static_cast<uint32_t>(ident.child(kWordNames[k]).text().as_int(0)) ^ kIdentMasks[k];
    }
    pugi::xml_node actions = doc.child("action");
    for (pugi::xml_node e = actions.child("mouse"); e; e = e.next_sibling("mouse")) {
        list->append(ActionDevice::Mouse, static_cast<ActionKind>(e.child("type").text().as_int()),
                     e.child("x").text().as_int(), e.child("y").text().as_int(), 0,
                     static_cast<uint32_t>(e.child("time").text().as_int()));
    }
    for (pugi::xml_node e = actions.child("key"); e; e = e.next_sibling("key")) {
        list->append(ActionDevice::Keyboard, static_cast<ActionKind>(e.child("type").text().as_int()), 0, 0,
                     e.child("code").text().as_int(), static_cast<uint32_t>(e.child("time").text().as_int()));
    }
    for (pugi::xml_node e = actions.child("display"); e; e = e.next_sibling("display")) {
        list->append(ActionDevice::Display, static_cast<ActionKind>(e.child("type").text().as_int()), 0, 0, 0,
                     static_cast<uint32_t>(e.child("time").text().as_int()));
    }
    pugi::xml_node image = doc.child("image");
    if (image) {
        list->screenshotFolder.Assign(image.child("path").text().get());
        list->screenshotFormat = static_cast<ScreenshotFormat>(image.child("type").text().as_int(1));
    }
    return true;
}
#endif

// One load in this fresh process; prints the peak resident memory, the
// memory before the load and the records loaded (all -1 when the file could
// not be read, or memory ran out).
int PeakMode(const char* which, const std::string& path) {
    ActionList list;
    int ok = 0;
    const long before = StatusKiB("VmRSS:");
    if (std::strcmp(which, "ours") == 0) {
        WidePath p(path);
        // A damaged file counts too: its peak is that of what was read.
        const XmlEnd end = LoadOperationFile(&list, p.get()).end;
        ok = end == XmlEnd::Complete || end == XmlEnd::Damaged;
#ifdef TAPLORE_HAVE_PUGIXML
    } else {
        ok = PugiLoad(&list, path);
#endif
    }
    if (ok) {
        std::printf("%ld %ld %d\n", PeakKiB(), before, list.count());
    } else {
        std::printf("-1 -1 -1\n");
    }
    return 0;
}

long MeasurePeak(const char* which, const std::string& path) {
    std::string command = "/proc/" + std::to_string(getpid()) + "/exe --peak " + which + " '" + path + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child) return -1;
    long kib = -1;
    long before = -1;
    int count = -1;
    if (std::fscanf(child, "%ld %ld %d", &kib, &before, &count) != 3 || count != kRecords) kib = -1;
    pclose(child);
    return kib;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) return PeakMode(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "--make-motion") == 0) return MakeMotion(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "--make-hostile") == 0) return MakeHostile(argv[2], std::atol(argv[3]));

    char folder[] = "/tmp/taplore_bench_XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::string ours = std::string(folder) + "/ours.mou";
    const std::string theirs = std::string(folder) + "/pugixml.mou";

    ActionList list;
    Generate(&list);
    list.ident = CurrentMachineIdent();

    // Ours and pugixml take turns, so that a busy neighbour weighs on both.
    std::vector<double> saveOurs, loadOurs, savePugi, loadPugi;
    auto saveOnce = [&] {
        WidePath p(ours);
        double start = Now();
        bool ok = list.save(p.get());
        saveOurs.push_back(Now() - start);
        return ok;
    };
    auto loadOnce = [&] {
        ActionList back;
        WidePath p(ours);
        double start = Now();
        bool ok = back.load(p.get()) && back.count() == kRecords;
        loadOurs.push_back(Now() - start);
        return ok;
    };
    if (!saveOnce()) return 1;
#ifdef TAPLORE_HAVE_PUGIXML
    // pugixml reads the file our save wrote (see MakePugiCopy).
    const std::string pugiCopy = std::string(folder) + "/copy.mou";
    if (!MakePugiCopy(ours, pugiCopy)) return 1;
#endif
    for (int run = 0; run < kRuns; ++run) {
        if ((run > 0 && !saveOnce()) || !loadOnce()) return 1;
#ifdef TAPLORE_HAVE_PUGIXML
        double start = Now();
        if (!PugiSave(list, theirs)) return 1;
        savePugi.push_back(Now() - start);
        ActionList back;
        start = Now();
        if (!PugiLoad(&back, pugiCopy) || back.count() != kRecords) return 1;
        loadPugi.push_back(Now() - start);
#endif
    }
    FILE* f = std::fopen(ours.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long bytes = std::ftell(f);
    std::fclose(f);
    std::printf("records: %d, file: %.1f MiB\n", kRecords, bytes / 1048576.0);
    std::printf("ours    save: %.3f s  load: %.3f s (processor time, median of %d)\n", Median(saveOurs),
                Median(loadOurs), kRuns);
    long peakOurs = MeasurePeak("ours", ours);
#ifdef TAPLORE_HAVE_PUGIXML
    std::printf("pugixml save: %.3f s  load: %.3f s (processor time, median of %d)\n", Median(savePugi),
                Median(loadPugi), kRuns);
    std::printf("pugixml load peak memory: %.1f MiB\n", MeasurePeak("pugixml", pugiCopy) / 1024.0);
    std::printf("load_vs_pugixml: %.2f\n", Median(loadOurs) / Median(loadPugi));
    std::printf("save_vs_pugixml: %.2f\n", Median(saveOurs) / Median(savePugi));
#else
    std::printf("pugixml not found: no ratios\n");
#endif
    std::printf("load_peak_memory: %.1f MiB\n", peakOurs / 1024.0);
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
#ifdef TAPLORE_HAVE_PUGIXML
    std::remove(pugiCopy.c_str());
#endif
    rmdir(folder);
    return 0;
}
