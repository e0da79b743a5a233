#pragma once
// Small helpers shared by the tests: temporary folders, whole-file reads and
// writes, and UTF-8 views of wide text for readable assertions.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#include <unistd.h>
#endif

namespace testutil {

// A new empty folder; the returned path is ASCII and has no trailing separator.
inline std::string MakeTempDir() {
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%staplore_%lu_%u", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(path, nullptr)) return path;
    }
#else
    char templ[] = "/tmp/taplore_XXXXXX";
    return mkdtemp(templ);
#endif
}

inline char Separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

inline std::string Join(const std::string& dir, const std::string& name) {
    return dir + Separator() + name;
}

inline bool ReadBytes(const std::string& path, std::string* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    std::fclose(f);
    return true;
}

inline std::string ReadBytes(const std::string& path) {
    std::string s;
    ReadBytes(path, &s);
    return s;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline bool FileExists(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// UTF-16 to UTF-8, independent of the platform's wchar_t functions.
inline std::string Utf8(const wchar_t* w) {
    std::string out;
    if (!w) return out;
    for (size_t i = 0; w[i]; ++i) {
        unsigned c = static_cast<unsigned short>(w[i]);
        if (c >= 0xD800 && c < 0xDC00 && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(w[++i]) - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace testutil
