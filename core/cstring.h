#pragma once
// CString: the system's one string class. Text is held as bytes in the
// process's ANSI code page; a UTF-16 copy is made on request for the platform's
// wide-character calls. Nothing here throws: allocation failures leave the
// string as it was and are reported by results.
//
// Short texts (names, numbers, most values of a document) are kept inside the
// object: a capacity of up to kInlineCapacity bytes needs no allocation. The
// capacity itself follows the same rule either way (see Grow).
#include <cstdarg>
#include <cstdint>

#include "core/array.h"
#include "core/platform.h"

class CObject {
public:
    virtual ~CObject() {}
};

class CString : public CObject {
public:
    CString() {}
    explicit CString(const wchar_t* wide);
    ~CString() override;
    CString(const CString&) = delete;
    CString& operator=(const CString&) = delete;

    // Wide text of `length` units (-1: up to the terminator); null or 0 clears.
    void Assign(const wchar_t* wide, int length = -1);
    void Assign(const CString& other);
    // Copies the bytes up to the terminator as they are (no conversion).
    void Assign(const char* narrow);
    // Stores exactly `length` bytes (the common tail of every assignment).
    void AssignBytes(const char* bytes, int length);
    // Text of `count` bytes in codePage, converted into the ANSI code page up
    // to its first zero character, as MultiToWide followed by the wide Assign
    // gives it (nothing to keep clears). False, the string left as it was,
    // when memory ran out.
    bool AssignFrom(const char* bytes, int count, int codePage);

    int Grow(int extra);
    // Valid until the next GetWide, Clear or destruction; null when empty.
    const wchar_t* GetWide();
    int IsEqual(const wchar_t* wide) const;
    // Puts `count` bytes from `start` (fewer at the end of the text) into
    // `piece` and returns 1; returns 0, leaving `piece` alone, for a range
    // outside the text or when memory ran out.
    int Mid(int start, int count, CString* piece) const;
    void Trim();
    void Clear();

    // Null until the first store and after Clear.
    const char* GetText() const {
        return capacity_ == 0 ? nullptr : capacity_ <= kInlineCapacity ? inline_ : text_.Data();
    }
    int GetLength() const { return length_; }
    int GetCapacity() const { return capacity_; }

    static constexpr int kInlineCapacity = 16;

private:
    char* Buffer() { return const_cast<char*>(GetText()); }

    // The bytes live in inline_ while the capacity fits it, else in text_
    // (used as storage only); every byte past the length is zero.
    CArray<char> text_;
    CArray<wchar_t> wide_;
    int length_ = 0;
    int capacity_ = 0;  // 0: no buffer
    char inline_[kInlineCapacity] = {};
};

// Both put the zero-terminated conversion into `out` (its count includes the
// terminator) and return it, or null when memory ran out. A failed
// conversion yields an empty text.
wchar_t* MultiToWide(const char* bytes, int count, int codePage, CArray<wchar_t>* out);
char* WideToMulti(const wchar_t* text, int count, int codePage, CArray<char>* out);

// True when `count` bytes of text in code page `from` are exactly what a
// conversion into code page `to` (through UTF-16) gives, so that copying them
// does the conversion: both code pages are UTF-8 (kCodePageAnsi standing for
// the process code page) and the bytes are well-formed UTF-8 without a zero
// byte. Anything else comes out of a conversion changed (a replacement
// character, or the text ending at the zero).
bool CopiesUnconverted(const char* bytes, int count, int from, int to);

// The narrow formatted print, bounded by the caller's buffer size: writes at
// most size bytes including the terminator and returns the number of bytes
// written without it, or -1 on an error or when the output did not fit.
int FormatNarrow(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
int FormatNarrowV(char* buffer, size_t size, const char* format, va_list args);

// "%d" of a 32-bit value as wide text, INT32_MIN included, into `out`, which
// has room for 12 units (sign, ten digits, terminator); returns the length.
// Portable code cannot use the C library's wide printf (see platform.h).
int FormatDecimal(int32_t value, wchar_t* out);

// Dotted IPv4 addresses, possibly several separated by blanks; returns the
// number of bytes in complete addresses (a multiple of 4).
int ParseDottedQuads(const wchar_t* text, uint8_t* output, int capacity);
