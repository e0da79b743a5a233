// The reader: one pass over a document held whole in memory; names and texts
// are read in xml_reader_text.cpp. No read looks at
// a byte at index size or beyond, and every loop that could stall has a
// progress guard that writes "XML parse error (%d)" and gives up. Whatever it
// recovers from is recorded as damage, and running out of memory ends the
// input where it happened, so the caller learns how the document ended.
#include <cstring>

#include "core/debug.h"
#include "core/file.h"
#include "core/xml_internal.h"

using namespace xmldetail;

namespace {

// A pass that begins where the previous one began has made no progress; the
// first pass compares against a position no document has.
constexpr int32_t kNoPosition = -1;

void SkipBlanks(XmlCursor* cursor) {
    while (cursor->position < cursor->size && IsXmlBlank(cursor->bytes[cursor->position])) {
        ++cursor->position;
    }
}

// SameBytes rather than memcmp: these literals are compared at nearly every
// byte of markup, and a sanitizer build intercepts each memcmp call.
bool LooksAt(const XmlCursor* cursor, const char* literal, int32_t length) {
    return cursor->size - cursor->position >= length &&
           SameBytes(cursor->bytes + cursor->position, literal, static_cast<size_t>(length));
}

bool IsByte(const XmlCursor* cursor, char c) {
    return cursor->position < cursor->size && cursor->bytes[cursor->position] == c;
}

void ReportStall(int32_t position) {
    DebugPrint(L"XML parse error (%d)\n", static_cast<int>(position));
}

// At "<!--" with at least five bytes left: moves past the closing "-->",
// which counts only when a byte follows it. False when there is none (the
// position is then at the end of the input).
bool SkipComment(XmlCursor* cursor) {
    const char* bytes = cursor->bytes;
    const int32_t size = cursor->size;
    for (int32_t i = cursor->position + 4; size - i >= 4; ++i) {
        if (bytes[i] == '-' && bytes[i + 1] == '-' && bytes[i + 2] == '>') {
            cursor->position = i + 3;
            return true;
        }
    }
    cursor->position = size;
    return false;
}

bool IsCommentStart(const XmlCursor* cursor) {
    return cursor->size - cursor->position >= 5 && LooksAt(cursor, "<!--", 4);
}

bool EqualsIgnoringAsciiCase(const char* text, const char* lower) {
    for (; *lower; ++text, ++lower) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lower) return false;
    }
    return *text == '\0';
}

}  // namespace

CXml::~CXml() {}

XmlAttribute* CXml::ParseAttribute(XmlCursor* cursor, XmlElement* element) {
    SkipBlanks(cursor);
    COwner<CString> name = ParseName(cursor);
    if (!name) {
        Damage(cursor->position);
        return nullptr;
    }
    SkipBlanks(cursor);
    char quote = 0;
    if (IsByte(cursor, '=')) {
        ++cursor->position;
        SkipBlanks(cursor);
        if (IsByte(cursor, '"') || IsByte(cursor, '\'')) quote = cursor->bytes[cursor->position];
    }
    if (!quote) {
        Damage(cursor->position);
        return nullptr;
    }
    COwner<XmlAttribute> made;
    if (ReaderMayAllocate()) made = COwner<XmlAttribute>::New();
    if (!made) {
        RunOutOfMemory(cursor);
        return nullptr;
    }
    ++cursor->position;
    // A value that cannot be read (damage, or the input ending) stays null,
    // like an empty one; what follows decides whether the element survives.
    COwner<CString> value = ParseText(cursor, quote);
    if (end_ == XmlEnd::OutOfMemory) return nullptr;
    XmlAttribute* attribute = made.Release();
    attribute->name = name.Release();
    attribute->value = value.Release();
    if (element) {
        XmlAttribute** link = &element->firstAttribute;
        while (*link) link = &(*link)->next;
        *link = attribute;
    }
    return attribute;
}

int CXml::ParseDeclaration(XmlCursor* cursor, COwner<CString>* encoding) {
    SkipBlanks(cursor);
    if (!LooksAt(cursor, "<?xml", 5) || cursor->size - cursor->position < 6 ||
        !IsXmlBlank(cursor->bytes[cursor->position + 5])) {
        return 0;
    }
    cursor->position += 5;
    int32_t previous = kNoPosition;
    for (;;) {
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            return 0;
        }
        previous = cursor->position;
        SkipBlanks(cursor);
        if (cursor->position >= cursor->size) return 0;
        if (LooksAt(cursor, "?>", 2)) {
            cursor->position += 2;
            return 1;
        }
        XmlAttribute* attribute = ParseAttribute(cursor, nullptr);
        if (!attribute) return 0;
        const char* name = attribute->name->GetText();
        if (name && std::strcmp(name, "encoding") == 0) {
            codePage = kCodePageUtf8;
            const char* value = attribute->value ? attribute->value->GetText() : nullptr;
            if (value && EqualsIgnoringAsciiCase(value, "shift_jis")) codePage = kCodePageShiftJis;
            encoding->Reset(attribute->value);
            attribute->value = nullptr;
        }
        FreeAttributes(attribute);
        if (cursor->position >= cursor->size) return 0;
    }
}

XmlTree CXml::ParseElement(XmlCursor* cursor) {
    return XmlTree(ParseElementAt(cursor, 0));
}

XmlElement* CXml::ParseElementAt(XmlCursor* cursor, int depth) {
    if (depth >= kXmlMaxDepth) {
        // Too deep to follow safely: the document ends here.
        ReportStall(cursor->position);
        Damage(cursor->position);
        cursor->position = cursor->size;
        return nullptr;
    }
    if (!EnterElement(cursor)) return nullptr;
    XmlTree element(ReaderMayAllocate() ? AllocElement(arena_.Get()) : nullptr);
    if (!element) {
        RunOutOfMemory(cursor);
        return nullptr;
    }
    const int32_t nameStart = cursor->position;
    const bool named = ReadElementName(cursor, element.Get());
    const int32_t nameLength = cursor->position - nameStart;
    const StartTag tag = named ? ReadStartTag(cursor, element.Get()) : StartTag::Broken;
    if (tag == StartTag::Broken) return nullptr;
    if (tag == StartTag::Open) ReadContent(cursor, element.Get(), nameStart, nameLength, depth);
    return element.Release();
}

// Moves past the "<" that opens the next element, over blanks and comments.
// False at the end of the input, or (recorded as damage) at anything else.
bool CXml::EnterElement(XmlCursor* cursor) {
    int32_t previous = kNoPosition;
    for (;;) {
        if (cursor->position >= cursor->size) return false;
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            Damage(cursor->position);
            return false;
        }
        previous = cursor->position;
        SkipBlanks(cursor);
        if (cursor->position >= cursor->size) return false;
        if (!IsByte(cursor, '<')) {
            Damage(cursor->position);
            return false;
        }
        if (!IsCommentStart(cursor)) {
            ++cursor->position;
            return true;
        }
        if (!SkipComment(cursor)) Damage(cursor->size);
    }
}

bool CXml::ReadElementName(XmlCursor* cursor, XmlElement* element) {
    if (!arena_) {
        const Piece name = ReadName(cursor, EmbeddedName(element));
        if (name == Piece::None) Damage(cursor->position);
        return name == Piece::Read;
    }
    const char* bytes = cursor->bytes;
    const int32_t start = cursor->position;
    int32_t end = start;
    while (end < cursor->size && !IsNameDelimiter(bytes[end])) ++end;
    if (end == start || end >= cursor->size) {
        Damage(end);
        return false;
    }
    element->name = ReaderMayAllocate() ? arena_->Intern(bytes + start, end - start, codePage) : nullptr;
    if (!element->name) {
        RunOutOfMemory(cursor);
        return false;
    }
    cursor->position = end;
    return true;
}

// After the name: blanks and attributes up to "/>" (an empty element) or ">"
// (content follows). Input that ends inside the tag leaves the element open.
CXml::StartTag CXml::ReadStartTag(XmlCursor* cursor, XmlElement* element) {
    if (IsXmlBlank(cursor->bytes[cursor->position])) {
        SkipBlanks(cursor);
    } else if (!IsByte(cursor, '/') && !IsByte(cursor, '>')) {
        Damage(cursor->position);
        return StartTag::Broken;
    }
    XmlAttribute** tail = &element->firstAttribute;
    int32_t previous = kNoPosition;
    for (;;) {
        if (LooksAt(cursor, "/>", 2)) {
            cursor->position += 2;
            return StartTag::Empty;
        }
        if (IsByte(cursor, '>')) {
            ++cursor->position;
            return StartTag::Open;
        }
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            Damage(cursor->position);
            return StartTag::Open;
        }
        previous = cursor->position;
        XmlAttribute* attribute = ParseAttribute(cursor, nullptr);
        if (!attribute) return StartTag::Broken;
        *tail = attribute;
        tail = &attribute->next;
        if (cursor->position >= cursor->size) return StartTag::Open;
        SkipBlanks(cursor);
    }
}

// Text, children and comments up to the element's end tag. An element that
// is never closed is kept as it stands.
void CXml::ReadContent(XmlCursor* cursor, XmlElement* element, int32_t nameStart, int32_t nameLength,
                       int depth) {
    XmlElement* lastChild = nullptr;
    int32_t previous = kNoPosition;
    for (;;) {
        if (cursor->position >= cursor->size) {
            Damage(cursor->size);
            return;
        }
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            Damage(cursor->position);
            return;
        }
        previous = cursor->position;
        SkipBlanks(cursor);
        if (cursor->position >= cursor->size) continue;
        if (!IsByte(cursor, '<')) {
            ReadContentText(cursor, element);
        } else if (LooksAt(cursor, "</", 2)) {
            if (ReadEndTag(cursor, nameStart, nameLength)) return;
        } else if (IsCommentStart(cursor)) {
            if (!SkipComment(cursor)) Damage(cursor->size);
        } else if (XmlElement* child = ParseElementAt(cursor, depth + 1)) {
            // A child that fails is dropped and reading goes on where it stopped.
            if (lastChild) {
                lastChild->next = child;
            } else {
                element->firstChild = child;
            }
            lastChild = child;
        }
    }
}

// At "</": true when the tag ends the element, which its own end tag does and
// a mismatched one does too, ending the whole document there (this element
// and every enclosing one are kept as read so far).
bool CXml::ReadEndTag(XmlCursor* cursor, int32_t nameStart, int32_t nameLength) {
    const int32_t tagStart = cursor->position;
    cursor->position += 2;
    if (cursor->size - cursor->position < nameLength ||
        !SameBytes(cursor->bytes + cursor->position, cursor->bytes + nameStart, nameLength)) {
        Damage(tagStart);
        cursor->position = cursor->size;
        return true;
    }
    cursor->position += nameLength;
    SkipBlanks(cursor);
    if (IsByte(cursor, '>')) {
        ++cursor->position;
        return true;
    }
    Damage(cursor->position);
    return false;
}

// An element keeps only the last run of text read in its content.
void CXml::ReadContentText(XmlCursor* cursor, XmlElement* element) {
    if (ReadText(cursor, 0, EmbeddedText(element)) != Piece::Read) DropText(element);
}

XmlDocument CXml::ParseDocument(const char* bytes, size_t size) {
    XmlDocument document;
    end_ = XmlEnd::Complete;
    endOffset_ = -1;
    if (size > static_cast<uint64_t>(kXmlMaxDocumentSize)) {
        document.end = XmlEnd::Unreadable;
        return document;
    }
    if (!bytes || size == 0) {
        document.end = XmlEnd::Damaged;
        document.offset = 0;
        return document;
    }
    XmlCursor cursor = {bytes, static_cast<int32_t>(size), 0};
    codePage = kCodePageUtf8;
    COwner<CString> encoding;
    if (ParseDeclaration(&cursor, &encoding)) {
        asciiDirect_ = AsciiIdentity(codePage) && AsciiIdentity(kCodePageAnsi);
        if (ReaderMayAllocate()) arena_ = COwner<XmlArena>::New();
        if (arena_) {
            document.first = ParseElement(&cursor);
        } else {
            RunOutOfMemory(&cursor);
        }
    }
    if (XmlElement* first = document.first.Get()) {
        // The head owns the arena in which the whole document lives.
        BlockOf(first)->ownsArena = true;
        first->encoding = encoding.Release();
        XmlElement* last = first;
        while (XmlTree next = ParseElement(&cursor)) {
            last->next = next.Release();
            last = last->next;
        }
        arena_.Release();
    } else {
        // Refused: no declaration, or no element after it.
        arena_.Reset();
        Damage(cursor.position);
    }
    asciiDirect_ = false;
    document.end = end_;
    document.offset = endOffset_;
    return document;
}

XmlDocument ParseXmlDocument(const char* bytes, size_t size) {
    CXml xml;
    return xml.ParseDocument(bytes, size);
}

XmlLoad LoadXmlFile(const wchar_t* path, XmlConsumer consumer, void* context) {
    XmlLoad load;
    if (!path) return load;
    CFile file;
    CString name(path);
    if (!file.OpenRead(name)) return load;
    const uint64_t size = file.GetSize();
    if (size > static_cast<uint64_t>(kXmlMaxDocumentSize)) return load;
    CArray<char> buffer;
    if (size > 0) {
        if (!ReaderMayAllocate() || !buffer.Resize(static_cast<int>(size))) {
            load.end = XmlEnd::OutOfMemory;
            load.offset = 0;
            return load;
        }
        if (file.Read(buffer.Data(), static_cast<uint32_t>(size), 0) != size) return load;
    }
    file.Close();
    XmlDocument document = ParseXmlDocument(buffer.Data(), static_cast<size_t>(size));
    // The tree holds copies of everything: the bytes can go before the
    // consumer runs, which lowers the peak memory of a large load.
    buffer.Free();
    load.end = document.end;
    load.offset = document.offset;
    if (document.first) {
        if (consumer) consumer(document.first.Get(), context);
        load.consumed = true;
    }
    return load;
}
