#include "core/debug.h"

#include <new>

const wchar_t kDebugLibraryName[] = L"vostrel64.dll";
const char kDebugExportName[] = "vostrelwprintf";

int DebugOutputFallback(const wchar_t*, ...) { return 0; }

DebugOutputFunction DebugPrint = DebugOutputFallback;

namespace {

PlatformLibrary g_library = nullptr;

// The program's full path in a buffer the caller frees, or null. The buffer
// grows until the path fits, so a long install folder is never cut short.
wchar_t* ProgramPath() {
    for (int capacity = 260; capacity <= 65536; capacity *= 4) {
        wchar_t* buffer = new (std::nothrow) wchar_t[capacity];
        if (!buffer) return nullptr;
        int n = PlatformProgramPath(buffer, capacity);
        if (n > 0 && n < capacity) return buffer;
        delete[] buffer;
    }
    return nullptr;
}

// `name` beside the program file, or null when the program's folder is unknown.
wchar_t* BesideProgram(const wchar_t* name) {
    wchar_t* program = ProgramPath();
    if (!program) return nullptr;
    size_t folder = 0;  // length including the last separator
    for (size_t i = 0; program[i]; ++i) {
        if (program[i] == L'\\' || program[i] == L'/') folder = i + 1;
    }
    wchar_t* path = nullptr;
    if (folder > 0) {
        size_t nameLength = WideLength(name);
        path = new (std::nothrow) wchar_t[folder + nameLength + 1];
        if (path) {
            for (size_t i = 0; i < folder; ++i) path[i] = program[i];
            for (size_t i = 0; i <= nameLength; ++i) path[folder + i] = name[i];
        }
    }
    delete[] program;
    return path;
}

}  // namespace

int BindDebugOutput() {
    UnbindDebugOutput();
    // Only the copy beside the program is trusted: a library of this name in
    // the current folder (say, next to an operation file) is never loaded.
    wchar_t* path = BesideProgram(kDebugLibraryName);
    if (!path) return 0;
    g_library = PlatformLoadLibrary(path);
    delete[] path;
    if (!g_library) return 0;
    void* symbol = PlatformLibrarySymbol(g_library, kDebugExportName);
    if (!symbol) return 0;
    DebugPrint = reinterpret_cast<DebugOutputFunction>(symbol);
    return 1;
}

void UnbindDebugOutput() {
    DebugPrint = DebugOutputFallback;
    if (g_library) PlatformFreeLibrary(g_library);
    g_library = nullptr;
}

PlatformLibrary DebugOutputLibrary() { return g_library; }
