#include "doctest.h"

#include <string>

#include "core/debug.h"
#include "test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#endif

using testutil::Join;
using testutil::ReadBytes;

// The test libraries and the probe program are built beside this executable
// (tests/support/files.cmake); the library reads its output path from
// TAPLORE_DEBUGLIB_OUT at every call.
namespace {

#ifdef _WIN32
const char kProbeName[] = "debuglib_probe.exe";
#else
const char kProbeName[] = "debuglib_probe";
#endif
const char kLibraryName[] = "vostrel64.dll";
const char kNoExportName[] = "debuglib_noexport.dll";
const char kDependencyName[] = "debugdep.dll";
#ifdef _WIN32
// A library that imports kDependencyName.
const char kDependentName[] = "debuglib_dependent.dll";
#endif

std::string ProgramDir() {
    wchar_t buffer[4096];
    int n = PlatformProgramPath(buffer, 4096);
    REQUIRE(n > 0);
    std::string path = testutil::Utf8(buffer);
    return path.substr(0, path.find_last_of("\\/"));
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    SetEnvironmentVariableA(name, value.empty() ? nullptr : value.c_str());
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

std::string GetEnv(const char* name) {
#ifdef _WIN32
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
#else
    const char* value = getenv(name);
    return value ? value : "";
#endif
}

void CopyInto(const std::string& source, const std::string& target) {
    std::string bytes;
    REQUIRE(testutil::ReadBytes(source, &bytes));
    REQUIRE(!bytes.empty());
    REQUIRE(testutil::WriteBytes(target, bytes));
#ifndef _WIN32
    REQUIRE(chmod(target.c_str(), 0755) == 0);
#endif
}

void RemoveFlat(const std::string& dir) {
    const char* names[] = {kProbeName, kLibraryName, kDependencyName, "lines.txt"};
    for (const char* name : names) std::remove(Join(dir, name).c_str());
#ifdef _WIN32
    RemoveDirectoryA(dir.c_str());
#else
    rmdir(dir.c_str());
#endif
}

// Exit code bits of debuglib_probe.
enum : int {
    kProbeRan = 16,
    kBound = 1,
    kLibraryHeld = 2,
    kLineWritten = 4,
    kUnbound = 8,
};

}  // namespace

TEST_CASE("the fallback stands in before binding and after unbinding") {
    UnbindDebugOutput();
    CHECK((DebugPrint == DebugOutputFallback));
    CHECK(DebugOutputLibrary() == nullptr);
    CHECK(DebugPrint(L"ini_file = %s\n", L"C:\\x") == 0);
    CHECK(DebugPrint(L"HWND = %08X ", 0x1234u) == 0);
    CHECK(DebugOutputFallback(nullptr) == 0);
    UnbindDebugOutput();  // unbinding twice is harmless
    CHECK((DebugPrint == DebugOutputFallback));
}

TEST_CASE("the library beside the program receives every line until unbinding") {
    const std::string dir = testutil::MakeTempDir();
    const std::string out = Join(dir, "lines.txt");
    SetEnv("TAPLORE_DEBUGLIB_OUT", out);

    REQUIRE(BindDebugOutput() == 1);
    CHECK(DebugOutputLibrary() != nullptr);
    CHECK((DebugPrint != DebugOutputFallback));

    // The lines the system writes, with the directives it uses.
    CHECK(DebugPrint(L"App Close\n") == 10);
    CHECK(DebugPrint(L"ini_file = %s\n", L"C:\\Taplore\\Taplore.ini") == 34);
    CHECK(DebugPrint(L"HWND = %08X ", 0x2A0Bu) == 16);
    DebugPrint(L"CLASS = %s ", L"#32770");
    DebugPrint(L"TEXT = %s ", L"\u30de\u30a6\u30b9");  // katakana "mausu"
    DebugPrint(L"\n");
    DebugPrint(L"XML parse error (%d)\n", 1234);
    DebugPrint(L"HWND = %08X ", 0xDEADBEEFu);
    DebugPrint(L"\n");

    // Binding again keeps working with the same library.
    REQUIRE(BindDebugOutput() == 1);
    CHECK(DebugPrint(L"app_path     = %s\n", L"/opt/taplore") == 28);

    UnbindDebugOutput();
    CHECK((DebugPrint == DebugOutputFallback));
    CHECK(DebugOutputLibrary() == nullptr);
    CHECK(DebugPrint(L"lost after unbinding\n") == 0);

    CHECK(ReadBytes(out) ==
          "App Close\n"
          "ini_file = C:\\Taplore\\Taplore.ini\n"
          "HWND = 00002A0B CLASS = #32770 TEXT = \xE3\x83\x9E\xE3\x82\xA6\xE3\x82\xB9 \n"
          "XML parse error (1234)\n"
          "HWND = DEADBEEF \n"
          "app_path     = /opt/taplore\n");
    SetEnv("TAPLORE_DEBUGLIB_OUT", "");
    RemoveFlat(dir);
}

// Each case puts a copy of the probe program into a fresh folder, maybe with a
// library beside it, maybe plants the exporting library in its current
// folder or on its library search path, and runs it.
TEST_CASE("only a library beside the program is loaded, and its dependencies only from there") {
    enum Beside { kNothing, kExporting, kNoExport, kDependent, kDependentWithDependency };
    struct Case {
        const char* name;
        Beside beside;
        bool plantInCwd;
        bool plantOnSearchPath;
        int expected;
        bool lineExpected;
    } cases[] = {
#ifdef _WIN32
        // The planted folder holds the dependency too: it is never taken.
        {"dependency beside", kDependentWithDependency, true, true,
         kBound | kLibraryHeld | kLineWritten | kUnbound, true},
        {"dependency planted in the current folder", kDependent, true, false, kUnbound, false},
        {"dependency planted on the search path", kDependent, false, true, kUnbound, false},
#endif
        {"exporting library beside", kExporting, false, false, kBound | kLibraryHeld | kLineWritten | kUnbound,
         true},
        {"no library", kNothing, false, false, kUnbound, false},
        {"library without the export", kNoExport, false, false, kLibraryHeld | kUnbound, false},
        {"planted in the current folder", kNothing, true, false, kUnbound, false},
        {"planted on the search path", kNothing, false, true, kUnbound, false},
        {"beside wins over a planted one", kNoExport, true, true, kLibraryHeld | kUnbound, false},
    };
    const std::string from = ProgramDir();
    const std::string plant = testutil::MakeTempDir();
    CopyInto(Join(from, kLibraryName), Join(plant, kLibraryName));
#ifdef _WIN32
    CopyInto(Join(from, kDependencyName), Join(plant, kDependencyName));
    const char* searchVariable = "PATH";
    const std::string searchList = plant + ";" + GetEnv("PATH");
#else
    const char* searchVariable = "LD_LIBRARY_PATH";
    const std::string searchList = plant;
#endif
    const std::string savedSearch = GetEnv(searchVariable);
    const std::string outDir = testutil::MakeTempDir();
    const std::string out = Join(outDir, "lines.txt");

    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        const std::string dir = testutil::MakeTempDir();
        const std::string probe = Join(dir, kProbeName);
        CopyInto(Join(from, kProbeName), probe);
        if (c.beside == kExporting) CopyInto(Join(from, kLibraryName), Join(dir, kLibraryName));
        if (c.beside == kNoExport) CopyInto(Join(from, kNoExportName), Join(dir, kLibraryName));
#ifdef _WIN32
        if (c.beside == kDependent || c.beside == kDependentWithDependency) {
            CopyInto(Join(from, kDependentName), Join(dir, kLibraryName));
        }
        if (c.beside == kDependentWithDependency) CopyInto(Join(from, kDependencyName), Join(dir, kDependencyName));
#endif

        std::remove(out.c_str());
        SetEnv("TAPLORE_DEBUGLIB_OUT", out);
        if (c.plantOnSearchPath) SetEnv(searchVariable, searchList);
        std::string why;
        int code = testutil::RunProgram(probe, "", c.plantInCwd ? plant : dir, &why);
        INFO(why);
        SetEnv(searchVariable, savedSearch);
        SetEnv("TAPLORE_DEBUGLIB_OUT", "");

        CHECK(code == kProbeRan + c.expected);
        if (c.lineExpected) CHECK(ReadBytes(out) == "probe line 7\n");
        else CHECK_FALSE(testutil::FileExists(out));
        RemoveFlat(dir);
    }
    RemoveFlat(outDir);
    RemoveFlat(plant);
}
