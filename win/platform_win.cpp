// Win32 side of the platform seam: thin wrappers over kernel32.
#include "core/platform.h"

#include <windows.h>

namespace {

HANDLE HandleOf(PlatformFile file) { return static_cast<HANDLE>(file); }

PlatformFile FileOf(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }

}  // namespace

int PlatformAnsiCodePage() { return static_cast<int>(GetACP()); }

int PlatformMultiToWide(int codePage, const char* src, int srcLen, wchar_t* dst, int dstLen) {
    return MultiByteToWideChar(static_cast<UINT>(codePage), 0, src, srcLen, dst, dstLen);
}

int PlatformWideToMulti(int codePage, const wchar_t* src, int srcLen, char* dst, int dstLen) {
    return WideCharToMultiByte(static_cast<UINT>(codePage), 0, src, srcLen, dst, dstLen, nullptr, nullptr);
}

PlatformFile PlatformOpenRead(const wchar_t* path) {
    if (!path || !path[0]) return nullptr;
    return FileOf(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS, nullptr));
}

PlatformFile PlatformOpenWrite(const wchar_t* path) {
    if (!path || !path[0]) return nullptr;
    return FileOf(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_RANDOM_ACCESS, nullptr));
}

void PlatformClose(PlatformFile file) {
    if (file) CloseHandle(HandleOf(file));
}

bool PlatformRead(PlatformFile file, void* buffer, uint32_t count, uint32_t* done) {
    DWORD got = 0;
    BOOL ok = file && ReadFile(HandleOf(file), buffer, count, &got, nullptr);
    *done = ok ? got : 0;
    return ok != FALSE;
}

bool PlatformWrite(PlatformFile file, const void* buffer, uint32_t count, uint32_t* done) {
    DWORD put = 0;
    BOOL ok = file && WriteFile(HandleOf(file), buffer, count, &put, nullptr);
    *done = ok ? put : 0;
    return ok != FALSE;
}

bool PlatformSeek(PlatformFile file, int64_t position) {
    if (!file || position < 0) return false;
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(HandleOf(file), to, nullptr, FILE_BEGIN) != FALSE;
}

bool PlatformTell(PlatformFile file, int64_t* position) {
    if (!file) return false;
    LARGE_INTEGER zero, now;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(HandleOf(file), zero, &now, FILE_CURRENT)) return false;
    *position = now.QuadPart;
    return true;
}

bool PlatformFileSize(PlatformFile file, uint64_t* size) {
    LARGE_INTEGER n;
    if (!file || !GetFileSizeEx(HandleOf(file), &n)) return false;
    *size = static_cast<uint64_t>(n.QuadPart);
    return true;
}

bool PlatformFlush(PlatformFile file) {
    return file && FlushFileBuffers(HandleOf(file)) != FALSE;
}

PlatformFile PlatformCreateNew(const wchar_t* path, bool* exists) {
    *exists = false;
    if (!path || !path[0]) return nullptr;
    PlatformFile file = FileOf(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    // A folder of that name gives "access denied" rather than "exists".
    if (!file) *exists = GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    return file;
}

bool PlatformGetTraits(const wchar_t* path, PlatformFileTraits* traits) {
    const DWORD attributes = path && path[0] ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    *traits = PlatformFileTraits{};
    traits->bits = attributes;
    traits->readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    traits->directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool PlatformSetTraits(const wchar_t* path, const PlatformFileTraits& traits) {
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = traits.bits & kept;
    return SetFileAttributesW(path, attributes ? attributes : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool PlatformReplaceFile(const wchar_t* source, const wchar_t* target) {
    return MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool PlatformDeleteFile(const wchar_t* path) {
    return DeleteFileW(path) != FALSE;
}

int PlatformComputerName(wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    DWORD n = static_cast<DWORD>(capacity);
    if (!GetComputerNameW(buffer, &n)) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(n);
}

int PlatformProgramPath(wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(capacity));
    if (n == 0 || n >= static_cast<DWORD>(capacity)) {
        buffer[0] = 0;  // truncated paths are refused rather than half used
        return 0;
    }
    return static_cast<int>(n);
}

int PlatformCurrentDirectory(wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(capacity), buffer);
    if (n == 0 || n >= static_cast<DWORD>(capacity)) {
        buffer[0] = 0;
        return 0;
    }
    return static_cast<int>(n);
}

PlatformLibrary PlatformLoadLibrary(const wchar_t* fullPath) {
    if (!fullPath || !fullPath[0]) return nullptr;
    // The named file only, and its own dependencies only beside it or in
    // System32: never in the current folder or on PATH, where anyone who can
    // put a file next to an operation file could plant one.
    return LoadLibraryExW(fullPath, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* PlatformLibrarySymbol(PlatformLibrary library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void PlatformFreeLibrary(PlatformLibrary library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

wchar_t PlatformPathSeparator() { return L'\\'; }
