#pragma once
// The process-wide debug-output function. Diagnostic lines are for the
// developer only; the maker's optional library vostrel64.dll supplies the
// function (its export vostrelwprintf), and a built-in one that does nothing
// stands in when it is missing. DebugPrint is never null:
//     DebugPrint(L"ini_file = %s\n", path);
// Directives used by callers: %s (a wide string), %d and %08X.
#include "core/platform.h"

typedef int (*DebugOutputFunction)(const wchar_t* format, ...);
extern DebugOutputFunction DebugPrint;

// The stand-in: accepts anything, writes nothing, returns 0.
int DebugOutputFallback(const wchar_t* format, ...);

// Loads vostrel64.dll from the program's own folder (by full path, never
// from the current directory or the search path) and binds its export.
// Returns 1 when the export was bound, 0 when the fallback stays in place;
// a library without the export stays loaded until UnbindDebugOutput.
// Called while no other thread writes lines; a second call rebinds.
int BindDebugOutput();
// Puts the fallback back first, then frees the library.
void UnbindDebugOutput();
// The loaded library, null when none is held.
PlatformLibrary DebugOutputLibrary();

// The debug library's file name and export.
extern const wchar_t kDebugLibraryName[];
extern const char kDebugExportName[];
