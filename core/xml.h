#pragma once
// XML element trees for the operation and settings files. The reader accepts
// the system's small dialect (a declaration, then one or more top-level
// elements; lenient about damage, keeping what it could read) and tells how
// a document ended next to the tree it read; the writer produces exactly that
// dialect in UTF-8 with CR LF after every closed element.
//
// Names, texts and attribute values are held as CString, that is in the
// process's ANSI code page. A tree read from a file lives only for the call of
// its consumer; trees built for writing are given to SaveXmlFile.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/cstring.h"

struct XmlAttribute {
    XmlAttribute* next;
    CString* name;
    CString* value;  // null for an empty value
    // The record and its strings live in the arena of a read document and go
    // with it; otherwise the element owns them on the heap.
    bool inArena = false;
};

// A plain record. Elements are made only by NewElement, AppendNewChild and
// the reader, and released only by an XmlTree (they carry storage for their
// own strings, and own every attribute and string they point to). The
// elements of a read document, and those made with
// AppendNewChild, share one string per distinct name: use a name's GetWide
// at once, as another element's may replace it.
struct XmlElement {
    XmlElement* next;
    XmlElement* firstChild;
    XmlAttribute* firstAttribute;
    CString* name;
    CString* text;      // null when the element has no character content
    CString* encoding;  // the declaration's encoding value, on the first
                        // top-level element of a document that was read
};

// Positions are signed 32-bit: longer documents are refused before reading.
constexpr int64_t kXmlMaxDocumentSize = 0x7FFFFFF0;
// Content nested deeper than this ends the document where it stands (the
// enclosing elements are kept), so a hostile file cannot exhaust the stack.
constexpr int kXmlMaxDepth = 1000;

// How reading a document ended. Only Complete means that the tree holds
// everything the bytes say; callers that would write a tree back over its
// file must not treat anything else as the whole document.
enum class XmlEnd : int32_t {
    Complete,     // every byte read by the dialect's rules
    Damaged,      // the reader recovered from damage, or stopped early, at the offset
    OutOfMemory,  // memory ran out at the offset; nothing after it was read
    Unreadable,   // the file could not be opened or read whole, or is too large
};

// Releases a sibling chain with all attributes, strings and descendants. A
// read document goes through its head, and a tree with AppendNewChild
// children through the element they were made under (or an ancestor's
// chain).
struct XmlTreeRelease {
    static void Release(XmlElement* first);
};
// Owns a tree: the top-level chain of a read document, or an element made
// with NewElement and everything made or linked under it.
typedef COwner<XmlElement, XmlTreeRelease> XmlTree;

// A parsed document: the head of the top-level chain (empty when nothing
// could be read) and how the parse ended.
struct XmlDocument {
    XmlTree first;
    XmlEnd end = XmlEnd::Complete;
    int64_t offset = -1;  // byte of the first damage or of the failed allocation
    // How many elements the input ended inside: the last top-level element,
    // its last child and so on down that many levels lack their end tags.
    int32_t cutLevels = 0;
};
XmlDocument ParseXmlDocument(const char* bytes, size_t size);

// Reads the whole file, parses it and, when a tree could be read, hands the
// head of the top-level chain to the consumer; the tree is freed when the
// consumer returns, so it must copy what it needs.
struct XmlLoad {
    XmlEnd end = XmlEnd::Unreadable;
    int64_t offset = -1;
    bool consumed = false;  // the consumer was given a tree
};
typedef void (*XmlConsumer)(XmlElement* first, void* context);
XmlLoad LoadXmlFile(const wchar_t* path, XmlConsumer consumer, void* context);

template <class F>
XmlLoad LoadXmlFile(const wchar_t* path, F&& consumer) {
    using Fn = typename std::remove_reference<F>::type;
    return LoadXmlFile(
        path, [](XmlElement* first, void* context) { (*static_cast<Fn*>(context))(first); },
        const_cast<void*>(static_cast<const void*>(&consumer)));
}

// A name or a run of text met while reading a document: bytes in the
// document's code page (texts with their entities decoded and their blanks
// folded as the tree holds them), valid only during the event that gives
// them. The lookups judge the bytes exactly as the tree's lookups would judge
// the element they would have become.
struct XmlBytes {
    const char* bytes = nullptr;
    int32_t length = 0;
    int32_t codePage = kCodePageUtf8;
    bool plain = false;  // known to be ASCII without zero bytes

    // Equal to `name` (ASCII) as FindElement compares names.
    bool Is(const char* name, int32_t nameLength) const;
    template <size_t N>
    bool Is(const char (&name)[N]) const { return Is(name, static_cast<int32_t>(N - 1)); }
    // IntOf's rule for an element holding this text.
    int32_t Int(int32_t def) const;
    // The text as the tree stores it (in the ANSI code page). Counts as one of
    // the reader's allocations; false when memory ran out.
    bool Store(CString* out) const;
};

// What the reader meets in a document, in document order. Every element
// whose StartElement was accepted ends in exactly one of DropElement (its
// start tag could not be read: no content came, and the tree would not hold
// it) or EndElement (its end tag, or the damage or end of input that closed
// it; the tree holds it as the events said). A handler that answers false
// has run out of memory, which ends the input there.
class XmlHandler {
public:
    virtual ~XmlHandler() {}
    virtual bool StartElement(const XmlBytes& name) = 0;
    // value: null for an empty or unreadable value.
    virtual bool Attribute(const XmlBytes& name, const XmlBytes* value) = 0;
    virtual void DropElement() = 0;
    // A run of text in the open element's content; it replaces the runs
    // before it.
    virtual bool Text(const XmlBytes& text) = 0;
    // A run that could not be read: the element is left without text.
    virtual void DropText() = 0;
    virtual void EndElement() = 0;
    // An element whose end tag never came: the input ended inside it (and
    // so inside every element around it, which end the same way, innermost
    // first). It ends as any other unless the handler has a use for what
    // was cut short.
    virtual void EndCutElement() { EndElement(); }
};

// Reads a document (as ParseXmlDocument does, with the same ends and
// offsets) and gives its events to the handler; no tree is made. `consumed`
// tells whether a top-level element was read, as a tree would have been.
XmlLoad ReadXmlDocument(const char* bytes, size_t size, XmlHandler* handler);
// The same over the bytes of a file, read whole as LoadXmlFile reads them.
XmlLoad ReadXmlFile(const wchar_t* path, XmlHandler* handler);

// For tests of loads that run out of memory: the reader behaves as if memory
// ran out once it has made `count` more allocations (a negative count lifts
// the limit). Process-wide; the reader counts on the calling thread only.
void SetXmlReaderAllocationLimit(int64_t count);

// The first element of the sibling chain from `first` (inclusive) whose name
// equals `name` exactly (case matters), or null. Search children by passing
// an element's firstChild.
XmlElement* FindElement(const XmlElement* first, const wchar_t* name);
// The element's text as UTF-16, valid until the next TextOf of the same
// element; an empty text (never null) for a null element or a missing text.
const wchar_t* TextOf(const XmlElement* element);
// Assigns to `out` what out->Assign(TextOf(e)) would for an element whose
// text is `text` (null: none), without the wide copy when it is not needed.
void AssignTextOf(CString* out, CString* text);
// The text as a whole number: blanks and tabs, one optional "-", then digits
// only, accumulated modulo 2^32; anything else (or no text) gives def.
int32_t IntOf(const XmlElement* element, int32_t def);
// A new element without children. A null name or text gives none; an empty
// text gives an empty one ("<e></e>" rather than "<e/>"). Empty when memory
// ran out (nothing is left allocated).
XmlTree NewElement(const wchar_t* name, const wchar_t* text);
// Makes an element as NewElement does and links it at the end of parent's
// children; its memory comes with the parent's (a block shared by the tree,
// freed when the tree is), which makes building a large tree cheap. Null when
// memory ran out (parent is unchanged).
XmlElement* AppendNewChild(XmlElement* parent, const wchar_t* name, const wchar_t* text);
// Links child (with any siblings it has) at the end of parent's children,
// which own it from then on, and returns it; null (the child is released)
// when either is null. Constant time when the children were linked by
// AppendChild alone, as trees built for writing are.
XmlElement* AppendChild(XmlElement* parent, XmlTree child);

// The whole document for the sibling chain from `first` into `text`: its count
// is the byte count, and a zero follows. False (the text then holds nothing)
// when memory ran out.
bool BuildXmlText(const XmlElement* first, CArray<char>* text);

class CXmlString;
// Writes a document element by element straight into its text, giving the
// bytes BuildXmlText gives for the same tree, for documents too large to be
// built as a tree first. Names are ASCII.
class XmlTextWriter {
public:
    XmlTextWriter();  // writes the declaration
    ~XmlTextWriter();
    XmlTextWriter(const XmlTextWriter&) = delete;
    XmlTextWriter& operator=(const XmlTextWriter&) = delete;

    // The start tag of an element whose children follow: "<name>".
    void Start(const char* name);
    // "</name>" and the line end.
    void End(const char* name);
    // An element without text or children: "<name/>" and the line end.
    void Empty(const char* name);
    // An element whose text is the number in decimal.
    void Number(const char* name, int32_t value);
    // An element made as NewElement(name, text) makes it: no text gives
    // "<name/>", any other text (an empty one too) is written escaped.
    void Text(const char* name, const wchar_t* text);
    // The document into `text` as BuildXmlText gives it; false (the text
    // then holds nothing) when memory ran out or the text grew too large.
    bool Finish(CArray<char>* text);
    // True when the text grew past the longest a document may have, which a
    // file must not have either, as it could not be read back.
    bool TooLarge() const;

private:
    COwner<CXmlString> out_;
};

// The longest text a document may be written with: kXmlMaxDocumentSize − 1
// bytes. For tests of documents too large for one file, `bytes` lowers it on
// the calling thread (a negative count restores it).
void SetXmlTextLimit(int64_t bytes);

// Writes a document's text to the file at path as SaveXmlFile does.
bool SaveXmlText(const wchar_t* path, const CArray<char>& text);

// Writes the children of `holder` as the top-level elements of the file at
// path through WriteFileSafely (core/file.h): a failed save leaves the old
// file as it was, and a read-only file is not replaced. The tree is released
// as soon as its text is built, before the file is written. True when the
// file was written; false for an empty or childless holder.
bool SaveXmlFile(const wchar_t* path, XmlTree holder);
