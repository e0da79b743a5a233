#include "core/platform.h"

size_t WideLength(const wchar_t* text) {
    if (!text) return 0;
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

int WideCompare(const wchar_t* a, const wchar_t* b) {
    if (!a) a = L"";
    if (!b) b = L"";
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    unsigned ua = static_cast<unsigned short>(*a), ub = static_cast<unsigned short>(*b);
    return ua < ub ? -1 : ua > ub ? 1 : 0;
}
