#include "core/cstring.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

bool IsTrimBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0';
}

}  // namespace

CString::CString(const wchar_t* wide) {
    if (wide && wide[0]) Assign(wide, -1);
}

CString::~CString() {}

void CString::Clear() {
    text_.Free();
    wide_.Free();
    std::memset(inline_, 0, sizeof inline_);
    length_ = 0;
    capacity_ = 0;
}

int CString::Grow(int extra) {
    if (extra < 0) return 0;
    long long wanted = static_cast<long long>(capacity_) + extra + 1;
    if (wanted > INT_MAX) return 0;
    if (wanted > kInlineCapacity) {
        // Leaving the inline room: its bytes move to the heap, and stay where
        // they were too, since an assignment may be copying from them.
        const bool wasInline = capacity_ > 0 && capacity_ <= kInlineCapacity;
        if (!text_.Reserve(static_cast<int>(wanted))) return 0;
        if (wasInline) std::memcpy(text_.Data(), inline_, static_cast<size_t>(length_));
    }
    capacity_ = static_cast<int>(wanted);
    return 1;
}

void CString::AssignBytes(const char* bytes, int length) {
    if (length < 0) length = 0;
    if (length == INT_MAX) return;
    if (capacity_ < length + 1) {
        if (!Grow(length + 1)) return;
    }
    char* buffer = Buffer();
    // memmove: the source may lie inside our own buffer (Trim, self-assignment).
    if (length > 0) std::memmove(buffer, bytes, length);
    if (length < length_) std::memset(buffer + length, 0, static_cast<size_t>(length_ - length));
    buffer[length] = 0;
    length_ = length;
}

void CString::Assign(const char* narrow) {
    if (!narrow) {
        Clear();
        return;
    }
    size_t n = std::strlen(narrow);
    if (n >= static_cast<size_t>(INT_MAX)) return;
    AssignBytes(narrow, static_cast<int>(n));
}

void CString::Assign(const CString& other) {
    if (&other == this) return;
    if (!other.GetText()) {
        Clear();
        return;
    }
    AssignBytes(other.GetText(), other.GetLength());
}

void CString::Assign(const wchar_t* wide, int length) {
    if (!wide || length == 0) {
        Clear();
        return;
    }
    if (length < 0) {
        size_t n = WideLength(wide);
        if (n == 0 || n >= static_cast<size_t>(INT_MAX)) {
            Clear();
            return;
        }
        length = static_cast<int>(n);
    }
    // Converted straight into the buffer, which grows as AssignBytes grows
    // it; as WideToMulti, a failed conversion reads as an empty text, and the
    // text ends at its first zero byte.
    const int needed = PlatformWideToMulti(kCodePageAnsi, wide, length, nullptr, 0);
    if (needed <= 0 || needed >= INT_MAX - 1) {
        AssignBytes("", 0);
        return;
    }
    if (capacity_ < needed + 1 && !Grow(needed + 1)) return;
    char* buffer = Buffer();
    const int oldLength = length_;
    int kept = PlatformWideToMulti(kCodePageAnsi, wide, length, buffer, needed) == needed ? 0 : -1;
    if (kept == 0) {
        while (kept < needed && buffer[kept] != 0) ++kept;
    } else {
        kept = 0;
    }
    const int dirty = needed > oldLength ? needed : oldLength;
    std::memset(buffer + kept, 0, static_cast<size_t>(dirty - kept));
    length_ = kept;
}

bool CString::AssignFrom(const char* bytes, int count, int codePage) {
    if (!bytes || count <= 0) {
        Clear();
        return true;
    }
    if (CopiesUnconverted(bytes, count, codePage, kCodePageAnsi)) {
        AssignBytes(bytes, count);
        return GetText() != nullptr;
    }
    // A short text is decoded on the stack; as MultiToWide, a failed
    // conversion gives no text.
    wchar_t small[kInlineCapacity * 8];
    const int needed = PlatformMultiToWide(codePage, bytes, count, nullptr, 0);
    if (needed <= 0) {
        Clear();
        return true;
    }
    CArray<wchar_t> large;
    wchar_t* wide = small;
    if (needed >= static_cast<int>(sizeof small / sizeof *small)) {
        if (needed >= INT_MAX || !large.Resize(needed + 1)) return false;
        wide = large.Data();
    }
    if (PlatformMultiToWide(codePage, bytes, count, wide, needed) != needed) {
        Clear();
        return true;
    }
    wide[needed] = 0;
    Assign(wide, -1);
    return true;
}

const wchar_t* CString::GetWide() {
    if (!GetText() || GetLength() == 0) {
        wide_.Free();
        return nullptr;
    }
    return MultiToWide(GetText(), GetLength(), kCodePageAnsi, &wide_);
}

int CString::IsEqual(const wchar_t* wide) const {
    CString other(wide);
    if (!GetText() && !other.GetText()) return 1;
    if (!GetText() || !other.GetText()) return 0;
    return std::strcmp(GetText(), other.GetText()) == 0 ? 1 : 0;
}

int CString::Mid(int start, int count, CString* piece) const {
    const int length = GetLength();
    if (!GetText() || start < 0 || start >= length || count < 0) return 0;
    if (count > length - start) count = length - start;
    CString cut;
    cut.AssignBytes(GetText() + start, count);
    if (!cut.GetText()) return 0;
    piece->Assign(cut);
    return 1;
}

void CString::Trim() {
    char* text = Buffer();
    if (!text) return;
    int i = 0;
    int j = GetLength() - 1;
    while (i <= j && IsTrimBlank(text[i])) ++i;
    while (j >= i && IsTrimBlank(text[j])) --j;
    const int n = i > j ? 0 : j - i + 1;
    if (n > 0) std::memmove(text, text + i, n);
    std::memset(text + n, 0, static_cast<size_t>(length_ - n));
    length_ = n;
}

wchar_t* MultiToWide(const char* bytes, int count, int codePage, CArray<wchar_t>* out) {
    int needed = PlatformMultiToWide(codePage, bytes, count, nullptr, 0);
    if (needed <= 0) needed = count > 0 ? count : 0;
    if (needed >= INT_MAX) return nullptr;
    out->Clear();
    if (!out->Resize(needed + 1)) return nullptr;
    if (count != 0) PlatformMultiToWide(codePage, bytes, count, out->Data(), needed + 1);
    return out->Data();
}

char* WideToMulti(const wchar_t* text, int count, int codePage, CArray<char>* out) {
    int needed = PlatformWideToMulti(codePage, text, count, nullptr, 0);
    if (needed < 0 || needed >= INT_MAX) needed = 0;
    out->Clear();
    if (!out->Resize(needed + 1)) return nullptr;
    if (needed > 0) PlatformWideToMulti(codePage, text, count, out->Data(), needed + 1);
    return out->Data();
}

bool CopiesUnconverted(const char* bytes, int count, int from, int to) {
    if (from == kCodePageAnsi) from = PlatformAnsiCodePage();
    if (to == kCodePageAnsi) to = PlatformAnsiCodePage();
    if (from != kCodePageUtf8 || to != kCodePageUtf8 || !bytes || count < 0) return false;
    // The forms the UTF-8 decoder takes as they stand: no overlong form, no
    // surrogate, nothing past U+10FFFF, no sequence cut short.
    const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes);
    for (int i = 0; i < count;) {
        const unsigned c = s[i];
        if (c >= 0x01 && c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned low = 0x80, high = 0xBF;  // the range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (count - i <= extra || s[i + 1] < low || s[i + 1] > high) return false;
        for (int j = 2; j <= extra; ++j) {
            if ((s[i + j] & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

int FormatNarrowV(char* buffer, size_t size, const char* format, va_list args) {
    if (!buffer || size == 0 || !format) return -1;
    int n = std::vsnprintf(buffer, size, format, args);
    if (n < 0 || static_cast<size_t>(n) >= size) return -1;
    return n;
}

int FormatNarrow(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = FormatNarrowV(buffer, size, format, args);
    va_end(args);
    return n;
}

int FormatDecimal(int32_t value, wchar_t* out) {
    // The magnitude is unsigned so that INT32_MIN has one.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    wchar_t digits[10];
    int d = 0;
    do {
        digits[d++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    int n = 0;
    if (value < 0) out[n++] = L'-';
    while (d) out[n++] = digits[--d];
    out[n] = 0;
    return n;
}

int ParseDottedQuads(const wchar_t* text, uint8_t* output, int capacity) {
    if (!text || !text[0] || !output) return 0;
    CString narrow(text);
    const char* p = narrow.GetText();
    if (!p) return 0;
    enum { kExpectNumber, kInNumber, kAfterBlank } state = kExpectNumber;
    unsigned value = 0;
    int stored = 0;
    bool stop = false;
    auto store = [&]() {
        if (value > 255 || stored >= capacity) return false;
        output[stored++] = static_cast<uint8_t>(value);
        value = 0;
        return true;
    };
    for (int i = 0; i < narrow.GetLength() && !stop; ++i) {
        char c = p[i];
        bool blank = c == ' ' || c == '\t';
        bool digit = c >= '0' && c <= '9';
        switch (state) {
        case kExpectNumber:
            if (blank) break;
            if (digit) {
                value = c - '0';
                state = kInNumber;
            } else {
                stop = true;
            }
            break;
        case kInNumber:
            if (digit) {
                // Saturate: any value past 255 is refused anyway.
                value = value > 255 ? 256 : value * 10 + (c - '0');
            } else if (c == '.') {
                if (!store()) stop = true;
                else state = kExpectNumber;
            } else if (blank) {
                if (!store()) stop = true;
                else state = (stored % 4 == 0) ? kExpectNumber : kAfterBlank;
            } else {
                stop = true;
            }
            break;
        case kAfterBlank:
            if (blank) break;
            if (c == '.') state = kExpectNumber;
            else stop = true;
            break;
        }
    }
    if (!stop && state == kInNumber) store();
    return stored - stored % 4;
}
