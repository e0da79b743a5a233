#pragma once
// XML element trees for the operation and settings files. The reader accepts
// the system's small dialect (a declaration, then one or more top-level
// elements; lenient about damage, keeping what it could read) and the writer
// produces exactly that dialect in UTF-8 with CR LF after every closed element.
//
// Names, texts and attribute values are held as CString, that is in the
// process's ANSI code page. A tree read from a file lives only for the call of
// its consumer; trees built for writing are freed by SaveXmlFile.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/cstring.h"

namespace xmldetail {
class XmlArena;
}

struct XmlAttribute {
    XmlAttribute* next;
    CString* name;
    CString* value;  // null for an empty value
};

// A plain record. Elements are made only by NewElement, AppendNewChild and
// the reader, and freed only by FreeElements (they carry storage for their
// own strings). The elements of a read document, and those made with
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

struct XmlCursor {
    const char* bytes;  // not terminated; nothing at index size or beyond is read
    int32_t size;
    int32_t position;
};

// Positions are signed 32-bit: longer documents are refused before reading.
constexpr int64_t kXmlMaxDocumentSize = 0x7FFFFFF0;
// Content nested deeper than this ends the document where it stands (the
// enclosing elements are kept), so a hostile file cannot exhaust the stack.
constexpr int kXmlMaxDepth = 1000;

class CXml {
public:
    CXml() {}
    virtual ~CXml();
    CXml(const CXml&) = delete;
    CXml& operator=(const CXml&) = delete;

    // Code page of the document bytes: 65001 (UTF-8) or 932 (Shift_JIS).
    int32_t codePage = kCodePageUtf8;

    // Reads "<?xml" and its attributes up to "?>"; the encoding value, if
    // any, is moved into *encoding (an earlier one is deleted). 1 or 0.
    int ParseDeclaration(XmlCursor* cursor, CString** encoding);
    // A new element with its attributes and content, or null.
    XmlElement* ParseElement(XmlCursor* cursor);
    // A new attribute, linked at the end of element's list when one is given.
    XmlAttribute* ParseAttribute(XmlCursor* cursor, XmlElement* element);
    CString* ParseName(XmlCursor* cursor);
    // quote: '"' or '\'' for an attribute value, 0 for element content.
    CString* ParseText(XmlCursor* cursor, int quote);

    // The whole document for the sibling chain from `first`, zero-terminated,
    // as a new buffer the caller releases with std::free; null when memory
    // ran out. *length (when given) receives the byte count without
    // terminator.
    char* BuildXmlText(const XmlElement* first, int32_t* length = nullptr);

    // A whole document: the declaration, then every top-level element. The
    // head of the chain (freed with FreeElements) or null, as for
    // ParseXmlDocument.
    XmlElement* ParseDocument(const char* bytes, size_t size);

private:
    XmlElement* ParseElementAt(XmlCursor* cursor, int depth);
    // Shared by ParseName/ParseText and the element's own embedded strings.
    int ReadName(XmlCursor* cursor, CString* out);
    int ReadText(XmlCursor* cursor, int quote, CString* out);
    char* Scratch(int32_t size);

    xmldetail::XmlArena* arena_ = nullptr;  // elements of the document being read
    bool asciiDirect_ = false;  // its ASCII texts need no conversion
    char* scratch_ = nullptr;  // decoding room for texts with entities or blanks
    int32_t scratchSize_ = 0;
};

// Parses a document held in memory (declaration and top-level elements, as a
// file is read). Returns the head of the top-level chain, which the caller
// frees with FreeElements, or null when the document is refused.
XmlElement* ParseXmlDocument(const char* bytes, size_t size);

// Reads the whole file, parses it and hands the head of the top-level chain to
// the consumer; the tree is freed when the consumer returns, so it must copy
// what it needs. False for a missing, unreadable, empty or oversized file, a
// declaration that cannot be read or a text without a top-level element.
typedef void (*XmlConsumer)(XmlElement* first, void* context);
bool LoadXmlFile(const wchar_t* path, XmlConsumer consumer, void* context);

template <class F>
bool LoadXmlFile(const wchar_t* path, F&& consumer) {
    using Fn = typename std::remove_reference<F>::type;
    return LoadXmlFile(
        path, [](XmlElement* first, void* context) { (*static_cast<Fn*>(context))(first); },
        const_cast<void*>(static_cast<const void*>(&consumer)));
}

// The first element of the sibling chain from `first` (inclusive) whose name
// equals `name` exactly (case matters), or null. Search children by passing
// an element's firstChild.
XmlElement* FindElement(const XmlElement* first, const wchar_t* name);
// The element's text as UTF-16, valid until the next TextOf of the same
// element; an empty text (never null) for a null element or a missing text.
const wchar_t* TextOf(const XmlElement* element);
// The text as a whole number: blanks and tabs, one optional "-", then digits
// only, accumulated modulo 2^32; anything else (or no text) gives def.
int32_t IntOf(const XmlElement* element, int32_t def);
// Frees a sibling chain with all attributes, strings and descendants. A read
// document is freed through its head, and a tree with AppendNewChild children
// through the element they were made under (or an ancestor's chain).
void FreeElements(XmlElement* first);

// A new element without children. A null name or text gives none; an empty
// text gives an empty one ("<e></e>" rather than "<e/>"). Null when memory
// ran out (nothing is left allocated).
XmlElement* NewElement(const wchar_t* name, const wchar_t* text);
// Makes an element as NewElement does and links it at the end of parent's
// children; its memory comes with the parent's (a block shared by the tree,
// freed when the tree is), which makes building a large tree cheap. Null when
// memory ran out (parent is unchanged).
XmlElement* AppendNewChild(XmlElement* parent, const wchar_t* name, const wchar_t* text);
// Links child (with any siblings it has) at the end of parent's children;
// nothing when either is null. Constant time when the children were linked by
// AppendChild alone, as trees built for writing are.
void AppendChild(XmlElement* parent, XmlElement* child);

// Output buffer of the writer: kept zero-terminated, grown geometrically (by
// at least 256 bytes). A piece that cannot be appended (memory, or the output
// would pass 2 GiB) marks the buffer as failed instead of leaving a hole.
class CXmlString {
public:
    CXmlString() {}
    virtual ~CXmlString();
    CXmlString(const CXmlString&) = delete;
    CXmlString& operator=(const CXmlString&) = delete;

    // Wide text of `count` units (-1: up to the terminator), converted to the
    // output code page.
    void Append(const wchar_t* piece, int32_t count = -1);
    // Bytes that are already in the output code page (ASCII literals).
    void AppendBytes(const char* bytes, int32_t count);
    // Text with the five special characters written as entities.
    void AppendEscaped(const CString* text);

    const char* GetBytes() const { return bytes_; }
    int32_t GetLength() const { return length_; }
    bool Failed() const { return failed_; }
    // Hands the buffer (null when nothing was appended) to the caller, who
    // releases it with std::free.
    char* Detach();

    int32_t codePage = kCodePageUtf8;

private:
    char* Reserve(int32_t count);

    char* bytes_ = nullptr;
    int32_t capacity_ = 0;
    int32_t length_ = 0;
    bool failed_ = false;
};

// Writes the children of `holder` as the top-level elements of the file at
// path. The bytes go to a temporary file beside the target ("<path>.tmp"),
// which replaces the target only when every byte was written and flushed, so a failed save leaves the old
// file as it was. Frees the whole tree, holder included, in every case.
// True when the file was written; false for a null or childless holder.
bool SaveXmlFile(const wchar_t* path, XmlElement* holder);
