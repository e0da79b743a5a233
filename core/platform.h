#pragma once
// The one seam between the portable core and the operating system. Everything
// above it (strings, files, XML, model, configuration) is built and tested both
// natively on Linux and as Win32 code; win/platform_win.cpp and platform_posix.cpp
// are the only places that know which.
//
// Wide text is UTF-16 in both builds: wchar_t is 16 bits under MinGW and the
// native build compiles with -fshort-wchar. Portable code therefore never calls
// the C library's wcs*/swprintf functions or uses std::wstring (they assume a
// 32-bit wchar_t on Linux); it uses WideLength and friends below instead.
#include <cstddef>
#include <cstdint>

static_assert(sizeof(wchar_t) == 2, "wide text must be UTF-16 units");

enum : int {
    kCodePageAnsi = 0,
    kCodePageShiftJis = 932,
    kCodePageUtf8 = 65001,
};

// Code-page conversion with the contract of MultiByteToWideChar /
// WideCharToMultiByte (flags 0): a null or zero-sized destination asks for the
// needed size; returns the number of units written or needed, 0 on failure.
// kCodePageAnsi is the process code page (GetACP on Windows, UTF-8 on POSIX).
int PlatformMultiToWide(int codePage, const char* src, int srcLen, wchar_t* dst, int dstLen);
int PlatformWideToMulti(int codePage, const wchar_t* src, int srcLen, char* dst, int dstLen);
int PlatformAnsiCodePage();

// File handles. A null handle means closed; the opens return null on failure.
typedef void* PlatformFile;
PlatformFile PlatformOpenRead(const wchar_t* path);
PlatformFile PlatformOpenWrite(const wchar_t* path);  // create or truncate
void PlatformClose(PlatformFile file);
bool PlatformRead(PlatformFile file, void* buffer, uint32_t count, uint32_t* done);
bool PlatformWrite(PlatformFile file, const void* buffer, uint32_t count, uint32_t* done);
bool PlatformSeek(PlatformFile file, int64_t position);
bool PlatformTell(PlatformFile file, int64_t* position);
bool PlatformFileSize(PlatformFile file, uint64_t* size);
bool PlatformFlush(PlatformFile file);
// Creates a file that must not exist yet, for writing; null when it cannot
// be made, with *exists telling whether something of that name is there.
PlatformFile PlatformCreateNew(const wchar_t* path, bool* exists);
// Replaces target by source in one step (the target may or may not exist).
bool PlatformReplaceFile(const wchar_t* source, const wchar_t* target);
bool PlatformDeleteFile(const wchar_t* path);

// What a file carries besides its bytes, so that a file written anew can be
// given what the one it replaces had (the attributes on Windows, the mode and
// owner on POSIX).
struct PlatformFileTraits {
    uint32_t bits;  // attributes, or mode
    uint32_t owner;
    uint32_t group;
    bool readOnly;   // the file must not be written (by the user's choice or rights)
    bool directory;
};
// False when nothing of that name exists.
bool PlatformGetTraits(const wchar_t* path, PlatformFileTraits* traits);
// Gives the file the traits (never read-only); false when that failed.
bool PlatformSetTraits(const wchar_t* path, const PlatformFileTraits& traits);

// Writes at most capacity units including the terminator; returns the number
// of units written without the terminator, 0 on failure.
int PlatformComputerName(wchar_t* buffer, int capacity);
int PlatformProgramPath(wchar_t* buffer, int capacity);  // full path of the executable
int PlatformCurrentDirectory(wchar_t* buffer, int capacity);

// Optional libraries, loaded only by full path.
typedef void* PlatformLibrary;
PlatformLibrary PlatformLoadLibrary(const wchar_t* fullPath);
void* PlatformLibrarySymbol(PlatformLibrary library, const char* name);
void PlatformFreeLibrary(PlatformLibrary library);

// The path separator the platform prefers when we build paths ourselves.
wchar_t PlatformPathSeparator();

// UTF-16 helpers that do not depend on the C library's idea of wchar_t.
size_t WideLength(const wchar_t* text);
int WideCompare(const wchar_t* a, const wchar_t* b);
