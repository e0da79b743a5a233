// Stand-in for the maker's debug-output library, used by the debug channel's
// tests. It formats a wide printf-style line and appends it as UTF-8 to the
// file named by TAPLORE_DEBUGLIB_OUT (nothing is written when that is unset).
// Only the directives the system uses are understood: %s (wide string), %d,
// %u, %x, %X, %c and %%, with the '0' and '-' flags and a width.
// Built twice: as vostrel64.dll with the export vostrelwprintf, and under
// another name with DEBUGLIB_EXPORT_NAME set to a different export; on
// Windows a third time with DEBUGLIB_DEPENDENCY, importing debugdep.dll.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_util.h"

#ifdef _WIN32
#include <windows.h>
#define DEBUGLIB_EXPORT __declspec(dllexport)
#else
#define DEBUGLIB_EXPORT __attribute__((visibility("default")))
#endif

#ifndef DEBUGLIB_EXPORT_NAME
#define DEBUGLIB_EXPORT_NAME vostrelwprintf
#endif

namespace {

typedef std::vector<unsigned> Units;

void PutPadded(Units* out, const Units& body, int width, bool left, bool zero) {
    int pad = width - static_cast<int>(body.size());
    if (!left && pad > 0) out->insert(out->end(), pad, zero ? '0' : ' ');
    out->insert(out->end(), body.begin(), body.end());
    if (left && pad > 0) out->insert(out->end(), pad, ' ');
}

Units Digits(unsigned long long value, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    Units reversed;
    do {
        reversed.push_back(digits[value % base]);
        value /= base;
    } while (value);
    return Units(reversed.rbegin(), reversed.rend());
}

Units Format(const wchar_t* format, va_list args) {
    Units out;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') {
            out.push_back(static_cast<unsigned short>(*p));
            continue;
        }
        ++p;
        bool left = false, zero = false;
        for (; *p == L'-' || *p == L'0'; ++p) (*p == L'-' ? left : zero) = true;
        int width = 0;
        for (; *p >= L'0' && *p <= L'9'; ++p) width = width * 10 + (*p - L'0');
        Units body;
        switch (*p) {
        case L's': {
            const wchar_t* s = va_arg(args, const wchar_t*);
            if (!s) s = L"(null)";
            for (; *s; ++s) body.push_back(static_cast<unsigned short>(*s));
            zero = false;
            break;
        }
        case L'd': {
            int v = va_arg(args, int);
            unsigned long long magnitude = v < 0 ? 0ull - static_cast<unsigned long long>(v) : v;
            body = Digits(magnitude, 10, false);
            if (v < 0) {
                if (zero && width > 0) {
                    out.push_back('-');
                    --width;
                } else {
                    body.insert(body.begin(), '-');
                }
            }
            break;
        }
        case L'u': body = Digits(va_arg(args, unsigned), 10, false); break;
        case L'x': body = Digits(va_arg(args, unsigned), 16, false); break;
        case L'X': body = Digits(va_arg(args, unsigned), 16, true); break;
        case L'c': body.push_back(static_cast<unsigned short>(va_arg(args, int))); break;
        case L'%': body.push_back('%'); break;
        default:  // unknown or cut-off directive: shown as written
            out.push_back('%');
            if (!*p) return out;
            out.push_back(static_cast<unsigned short>(*p));
            continue;
        }
        PutPadded(&out, body, width, left, zero);
    }
    return out;
}

std::string ToUtf8(const Units& units) {
    std::vector<wchar_t> wide(units.begin(), units.end());
    wide.push_back(0);
    return testutil::Utf8(wide.data());
}

// Read at every call through the operating system, so the tests may change it
// after the library is loaded.
std::string OutputPath() {
#ifdef _WIN32
    char buffer[1024];
    DWORD n = GetEnvironmentVariableA("TAPLORE_DEBUGLIB_OUT", buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
#else
    const char* path = std::getenv("TAPLORE_DEBUGLIB_OUT");
    return path ? path : "";
#endif
}

}  // namespace

#ifdef DEBUGLIB_DEPENDENCY
extern "C" __declspec(dllimport) int debugdep_width();
#endif

extern "C" DEBUGLIB_EXPORT int DEBUGLIB_EXPORT_NAME(const wchar_t* format, ...) {
    if (!format) return -1;
#ifdef DEBUGLIB_DEPENDENCY
    if (debugdep_width() != 1) return -1;
#endif
    va_list args;
    va_start(args, format);
    Units line = Format(format, args);
    va_end(args);
    std::string path = OutputPath();
    if (!path.empty()) {
        std::string bytes = ToUtf8(line);
        FILE* f = std::fopen(path.c_str(), "ab");
        if (!f) return -1;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return static_cast<int>(line.size());
}
