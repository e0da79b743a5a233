#pragma once
// Pieces shared by the XML reader, writer and tree code, and the reader's
// own operations (tested one by one); not for other callers.
#include <atomic>
#include <cstddef>
#include <utility>

#include "core/xml.h"

namespace xmldetail {
class XmlArena;
}

// The reading position over a document held whole in memory.
struct XmlCursor {
    const char* bytes;  // not terminated; nothing at index size or beyond is read
    int32_t size;
    int32_t position;
};

// The reader and writer of one document. While reading it keeps the code
// page, the arena the elements go into, and how the document has ended so
// far: the first damage, or memory running out, which ends the input there.
class CXml {
public:
    CXml() {}
    virtual ~CXml();
    CXml(const CXml&) = delete;
    CXml& operator=(const CXml&) = delete;

    // Code page of the document bytes: 65001 (UTF-8) or 932 (Shift_JIS).
    int32_t codePage = kCodePageUtf8;

    // Reads "<?xml" and its attributes up to "?>"; the encoding value, if
    // any, is moved into *encoding (replacing an earlier one). 1 or 0.
    int ParseDeclaration(XmlCursor* cursor, COwner<CString>* encoding);
    // A new element with its attributes and content, or none.
    XmlTree ParseElement(XmlCursor* cursor);
    // A new attribute, linked at the end of element's list (which owns it)
    // when one is given, else the caller's to release with FreeAttributes.
    XmlAttribute* ParseAttribute(XmlCursor* cursor, XmlElement* element);
    COwner<CString> ParseName(XmlCursor* cursor);
    // quote: '"' or '\'' for an attribute value, 0 for element content.
    COwner<CString> ParseText(XmlCursor* cursor, int quote);
    // A whole document: the declaration, then every top-level element.
    XmlDocument ParseDocument(const char* bytes, size_t size);

    // The reader proper. One element with its content as events to the
    // handler; false when none was read (the handler then has nothing open).
    bool ReadElement(XmlCursor* cursor, XmlHandler* handler, int depth);
    // A whole document as events; the declaration's encoding value goes to
    // *encoding when one is given.
    XmlLoad ReadDocument(const char* bytes, size_t size, XmlHandler* handler, COwner<CString>* encoding);

    // How reading has ended so far (Complete while nothing went wrong).
    XmlEnd End() const { return end_; }
    int64_t EndOffset() const { return endOffset_; }

    bool BuildXmlText(const XmlElement* first, CArray<char>* text);

private:
    // What reading a name or a run of text gave.
    enum class Piece { Read, None, Broken, NoMemory };
    // How a start tag ended: "/>", ">", or not at all.
    enum class StartTag { Empty, Open, Broken };

    bool EnterElement(XmlCursor* cursor);
    bool ReadElementName(XmlCursor* cursor, XmlBytes* name);
    StartTag ReadStartTag(XmlCursor* cursor, XmlHandler* handler);
    // False when the input ends before the element's end tag.
    bool ReadContent(XmlCursor* cursor, XmlHandler* handler, int32_t nameStart, int32_t nameLength, int depth);
    // True when the element ends: at its end tag, or at one of another name,
    // which ends the document. False when the input ends inside the tag.
    bool ReadEndTag(XmlCursor* cursor, int32_t nameStart, int32_t nameLength);
    void ReadContentText(XmlCursor* cursor, XmlHandler* handler);
    // An attribute's name and value without storing them; false (damage, or
    // memory) when the start tag cannot go on.
    bool ScanAttribute(XmlCursor* cursor, XmlBytes* name, XmlBytes* value, bool* hasValue);
    Piece ReadName(XmlCursor* cursor, CString* out);
    // A run of text decoded in place: out points into the document, or into
    // the scratch room when entities or blanks had to be rewritten.
    Piece ScanText(XmlCursor* cursor, int quote, XmlBytes* out);
    Piece ReadText(XmlCursor* cursor, int quote, CString* out);
    Piece StoreText(XmlCursor* cursor, const char* bytes, int32_t count, CString* out);
    char* Scratch(int32_t size);

    // Records damage found at `position`, unless the end is known already.
    void Damage(int32_t position);
    // Records that memory ran out at the cursor and ends the input there, so
    // every loop stops and the tree keeps what was read before.
    void RunOutOfMemory(XmlCursor* cursor);

    CArray<char> scratch_;  // decoding room for texts with entities or blanks
    XmlEnd end_ = XmlEnd::Complete;
    int64_t endOffset_ = -1;
};

// Output buffer of the writer: kept zero-terminated, grown geometrically (by
// at least 4 KiB, so that a settings file takes one block). A piece that
// cannot be appended (memory, or the output would pass 2 GiB) marks the
// buffer as failed instead of leaving a hole.
class CXmlString {
public:
    // Wide text of `count` units (-1: up to the terminator), converted to the
    // output code page.
    void Append(const wchar_t* piece, int32_t count = -1);
    // Bytes that are already in the output code page (ASCII literals).
    void AppendBytes(const char* bytes, int32_t count);
    // Text with the five special characters written as entities.
    void AppendEscaped(const CString* text);

    const char* GetBytes() const { return bytes_.Data(); }
    int32_t GetLength() const { return length_; }
    bool Failed() const { return failed_; }
    // The text would have passed the largest document (SetXmlTextLimit).
    bool TooLarge() const { return tooLarge_; }
    // Hands the bytes (no storage when nothing was appended) to the caller,
    // the count set to the length.
    CArray<char> Detach();

    int32_t codePage = kCodePageUtf8;

private:
    char* Reserve(int32_t count);

    // Storage only: the text is the first length_ bytes, and the slots after
    // them are zero, as the array hands them out.
    CArray<char> bytes_;
    int32_t length_ = 0;
    bool failed_ = false;
    bool tooLarge_ = false;
};

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

    // 16-byte aligned room, zeroed, or null when memory ran out.
    void* Allocate(size_t bytes);
    // The arena's string for these name bytes (decoded from codePage when
    // first seen), or null when memory ran out.
    CString* Intern(const char* bytes, int32_t length, int codePage);

    COwner<XmlArena> nextToFree;  // the tree release's list of arenas to drop

private:
    struct Entry {
        CString* string;
        const char* key;
        int32_t length;
        int32_t codePage;
        uint32_t hash;
    };
    void* AllocateInNewChunk(size_t bytes);
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

    // Room for the arena, zeroed as the array hands it out.
    struct Chunk {
        CArray<char> room;
        COwner<Chunk> older;
    };
    COwner<Chunk> chunks_;  // the newest first
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    CArray<Entry> table_;  // a power of two in size, at most half full
    // The next chunk's size: small for a small tree, up to 64 KiB.
    size_t nextChunk_ = 4 * 1024 - 8;
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
// Releases a chain of attributes with their strings.
void FreeAttributes(XmlAttribute* first);
// A new attribute holding copies of name and value (null: none); null when
// memory ran out.
XmlAttribute* MakeAttribute(const XmlBytes& name, const XmlBytes* value);
// The same in the arena, the strings interned (a read document's attributes
// repeat the same few names and values); null when memory ran out.
XmlAttribute* MakeAttribute(XmlArena* arena, const XmlBytes& name, const XmlBytes* value);
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

// The reader's blanks (space, tab, line feed, carriage return) and the bytes
// that end a name.
bool IsXmlBlank(char c);
bool IsNameDelimiter(char c);
// False when the allocation the reader is about to make must fail, as when
// memory runs out (see SetXmlReaderAllocationLimit).
bool ReaderMayAllocate();

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
