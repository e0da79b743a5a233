#include "core/debug.h"

#include "core/array.h"

const wchar_t kDebugLibraryName[] = L"vostrel64.dll";
const char kDebugExportName[] = "vostrelwprintf";

int DebugOutputFallback(const wchar_t*, ...) { return 0; }

DebugOutputFunction DebugPrint = DebugOutputFallback;

namespace {

PlatformLibrary g_library = nullptr;

// The program's full path into `path`; false when it is unknown. The buffer
// grows until the path fits, so a long install folder is never cut short.
bool ProgramPath(CArray<wchar_t>* path) {
    for (int capacity = 260; capacity <= 65536; capacity *= 4) {
        if (!path->Resize(capacity)) return false;
        int n = PlatformProgramPath(path->Data(), capacity);
        if (n > 0 && n < capacity) return true;
    }
    return false;
}

// `name` beside the program file into `path`; false when the program's folder
// is unknown.
bool BesideProgram(const wchar_t* name, CArray<wchar_t>* path) {
    CArray<wchar_t> program;
    if (!ProgramPath(&program)) return false;
    int folder = 0;  // length including the last separator
    for (int i = 0; program[i]; ++i) {
        if (program[i] == L'\\' || program[i] == L'/') folder = i + 1;
    }
    const int nameLength = static_cast<int>(WideLength(name));
    return folder > 0 && path->Append(program.Data(), folder) && path->Append(name, nameLength + 1);
}

}  // namespace

int BindDebugOutput() {
    UnbindDebugOutput();
    // Only the copy beside the program is trusted: a library of this name in
    // the current folder (say, next to an operation file) is never loaded.
    CArray<wchar_t> path;
    if (!BesideProgram(kDebugLibraryName, &path)) return 0;
    g_library = PlatformLoadLibrary(path.Data());
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
