#pragma once
// Pieces shared by the XML reader, writer and tree code; not for other callers.
#include <atomic>
#include <cstddef>

#include "core/xml.h"

namespace xmldetail {

// Bump allocation for the elements of one tree (a read document, or the
// children made with AppendNewChild), freed as a whole with the element that
// owns it. Names are kept once per arena and shared by the elements that
// carry them, which saves a string per element of a large document.
class XmlArena {
public:
    XmlArena() {}
    ~XmlArena();
    XmlArena(const XmlArena&) = delete;
    XmlArena& operator=(const XmlArena&) = delete;

    // 16-byte aligned room, or null when memory ran out.
    void* Allocate(size_t bytes);
    // The arena's string for these name bytes (decoded from codePage when
    // first seen), or null when memory ran out.
    CString* Intern(const char* bytes, int32_t length, int codePage);

    XmlArena* nextToFree = nullptr;  // FreeElements' list of arenas to drop

private:
    struct Entry {
        CString* string;
        const char* key;
        int32_t length;
        int32_t codePage;
        uint32_t hash;
    };
    bool GrowTable();
    CString* Insert(const char* bytes, int32_t length, int codePage);

    // The last name seen per slot of (length, some bytes): most documents
    // repeat a few names, which then need no hashing.
    struct Recent {
        const char* key;
        int32_t length;
        int32_t codePage;
        CString* string;
    };
    static constexpr unsigned kRecent = 32;
    Recent recent_[kRecent] = {};

    struct Chunk;
    Chunk* chunks_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    size_t nextChunk_ = 64 * 1024;
    Entry* table_ = nullptr;
    uint32_t tableSize_ = 0;
    uint32_t tableCount_ = 0;
};

// Every element is allocated with room for its own text (and, outside an
// arena, its own name), so that reading or making an element costs no
// allocation beyond its string buffers. XmlElement comes first: the block's
// address is the element's.
struct ElementBlock {
    XmlElement element;
    // The arena for elements made under this one: the one it lives in, or
    // the one it owns.
    XmlArena* arena;
    bool inArena;    // the block's memory belongs to `arena`
    bool ownsArena;  // freeing this element frees `arena`
    // Where AppendChild linked last, valid while firstChild is still
    // `hintFirst`: appending stays O(1) for elements with many children.
    XmlElement* hintFirst;
    XmlElement* hintLast;
    alignas(CString) unsigned char textStore[sizeof(CString)];
    // Last, and not allocated for arena blocks (their names are interned).
    alignas(CString) unsigned char nameStore[sizeof(CString)];
};

// A zeroed element without strings, from the arena when one is given; null
// when memory ran out.
XmlElement* AllocElement(XmlArena* arena);
ElementBlock* BlockOf(XmlElement* element);
// The element's name (or text) string, constructed empty in its embedded
// storage when the element has none yet. Not for names of arena elements.
CString* EmbeddedName(XmlElement* element);
CString* EmbeddedText(XmlElement* element);
// Leaves the element without text.
void DropText(XmlElement* element);
// Stores wide text; false when memory ran out.
bool StoreWide(CString* out, const wchar_t* wide);

// True when the bytes 1..127 of codePage are the same UTF-16 units and back:
// such bytes may then be copied between code pages without converting.
// Known code pages are checked once (the hot paths ask for every string).
bool ComputeAsciiIdentity(int codePage);
extern std::atomic<signed char> g_asciiIdentity[3];  // ANSI, UTF-8, 932; -1 unknown

inline bool AsciiIdentity(int codePage) {
    int slot = codePage == kCodePageAnsi ? 0 : codePage == kCodePageUtf8 ? 1 : codePage == kCodePageShiftJis ? 2 : -1;
    if (slot < 0) return ComputeAsciiIdentity(codePage);
    signed char known = g_asciiIdentity[slot].load(std::memory_order_relaxed);
    if (known < 0) {
        known = ComputeAsciiIdentity(codePage) ? 1 : 0;
        g_asciiIdentity[slot].store(known, std::memory_order_relaxed);
    }
    return known != 0;
}

// Byte comparison for the short names and keys of documents.
inline bool SameBytes(const char* a, const char* b, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}
// True when every byte is in 1..127.
bool IsPlainAscii(const char* bytes, int32_t count);
// Stores `count` bytes of text in codePage into a CString (ANSI code page).
bool StoreDecoded(const char* bytes, int32_t count, int codePage, CString* out);

}  // namespace xmldetail
