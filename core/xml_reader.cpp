// The reader: one pass over a document held whole in memory, giving what it
// meets as events to a handler (the tree builder of xml_reader_tree.cpp, or a
// consumer that takes what it needs as it goes); names and texts are read in
// xml_reader_text.cpp. No read looks at a byte at index size or beyond, and
// every loop that could stall has a progress guard that writes
// "XML parse error (%d)" and gives up. Whatever it recovers from is recorded
// as damage, and running out of memory ends the input where it happened, so
// the caller learns how the document ended.
#include <cstring>
#include <utility>

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

// The first delimiter at or after the position (size when there is none).
int32_t NameEnd(const XmlCursor* cursor) {
    int32_t end = cursor->position;
    while (end < cursor->size && !IsNameDelimiter(cursor->bytes[end])) ++end;
    return end;
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

bool CXml::ScanAttribute(XmlCursor* cursor, XmlBytes* name, XmlBytes* value, bool* hasValue) {
    SkipBlanks(cursor);
    const char* bytes = cursor->bytes;
    const int32_t start = cursor->position;
    const int32_t end = NameEnd(cursor);
    if (end == start || end >= cursor->size) {
        Damage(cursor->position);
        return false;
    }
    *name = XmlBytes{bytes + start, end - start, codePage, IsPlainAscii(bytes + start, end - start)};
    cursor->position = end;
    SkipBlanks(cursor);
    char quote = 0;
    if (IsByte(cursor, '=')) {
        ++cursor->position;
        SkipBlanks(cursor);
        if (IsByte(cursor, '"') || IsByte(cursor, '\'')) quote = cursor->bytes[cursor->position];
    }
    if (!quote) {
        Damage(cursor->position);
        return false;
    }
    ++cursor->position;
    // A value that cannot be read (damage, or the input ending) stays null,
    // like an empty one; what follows decides whether the element survives.
    const Piece read = ScanText(cursor, quote, value);
    if (read == Piece::NoMemory) return false;
    *hasValue = read == Piece::Read;
    return true;
}

XmlAttribute* CXml::ParseAttribute(XmlCursor* cursor, XmlElement* element) {
    XmlBytes name, value;
    bool hasValue = false;
    if (!ScanAttribute(cursor, &name, &value, &hasValue)) return nullptr;
    XmlAttribute* attribute = MakeAttribute(name, hasValue ? &value : nullptr);
    if (!attribute) {
        RunOutOfMemory(cursor);
        return nullptr;
    }
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

bool CXml::ReadElement(XmlCursor* cursor, XmlHandler* handler, int depth) {
    if (depth >= kXmlMaxDepth) {
        // Too deep to follow safely: the document ends here.
        ReportStall(cursor->position);
        Damage(cursor->position);
        cursor->position = cursor->size;
        return false;
    }
    if (!EnterElement(cursor)) return false;
    const int32_t nameStart = cursor->position;
    XmlBytes name;
    if (!ReadElementName(cursor, &name)) return false;
    if (!handler->StartElement(name)) {
        RunOutOfMemory(cursor);
        return false;
    }
    const StartTag tag = ReadStartTag(cursor, handler);
    if (tag == StartTag::Broken) {
        handler->DropElement();
        return false;
    }
    if (tag == StartTag::Open && !ReadContent(cursor, handler, nameStart, name.length, depth)) {
        handler->EndCutElement();
    } else {
        handler->EndElement();
    }
    return true;
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

bool CXml::ReadElementName(XmlCursor* cursor, XmlBytes* name) {
    const char* bytes = cursor->bytes;
    const int32_t start = cursor->position;
    const int32_t end = NameEnd(cursor);
    if (end == start || end >= cursor->size) {
        Damage(end);
        return false;
    }
    *name = XmlBytes{bytes + start, end - start, codePage, IsPlainAscii(bytes + start, end - start)};
    cursor->position = end;
    return true;
}

// After the name: blanks and attributes up to "/>" (an empty element) or ">"
// (content follows). Input that ends inside the tag leaves the element open.
CXml::StartTag CXml::ReadStartTag(XmlCursor* cursor, XmlHandler* handler) {
    if (IsXmlBlank(cursor->bytes[cursor->position])) {
        SkipBlanks(cursor);
    } else if (!IsByte(cursor, '/') && !IsByte(cursor, '>')) {
        Damage(cursor->position);
        return StartTag::Broken;
    }
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
        XmlBytes name, value;
        bool hasValue = false;
        if (!ScanAttribute(cursor, &name, &value, &hasValue)) return StartTag::Broken;
        if (!handler->Attribute(name, hasValue ? &value : nullptr)) {
            RunOutOfMemory(cursor);
            return StartTag::Broken;
        }
        if (cursor->position >= cursor->size) return StartTag::Open;
        SkipBlanks(cursor);
    }
}

// Text, children and comments up to the element's end tag. An element that
// is never closed is kept as it stands.
bool CXml::ReadContent(XmlCursor* cursor, XmlHandler* handler, int32_t nameStart, int32_t nameLength, int depth) {
    int32_t previous = kNoPosition;
    for (;;) {
        if (cursor->position >= cursor->size) {
            Damage(cursor->size);
            return false;
        }
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            Damage(cursor->position);
            return true;
        }
        previous = cursor->position;
        SkipBlanks(cursor);
        if (cursor->position >= cursor->size) continue;
        if (!IsByte(cursor, '<')) {
            ReadContentText(cursor, handler);
        } else if (LooksAt(cursor, "</", 2)) {
            if (ReadEndTag(cursor, nameStart, nameLength)) return true;
        } else if (IsCommentStart(cursor)) {
            if (!SkipComment(cursor)) Damage(cursor->size);
        } else {
            // A child that fails is dropped and reading goes on where it stopped.
            ReadElement(cursor, handler, depth + 1);
        }
    }
}

// At "</": true when the tag ends the element, which its own end tag does and
// a mismatched one does too, ending the whole document there (this element
// and every enclosing one are kept as read so far).
bool CXml::ReadEndTag(XmlCursor* cursor, int32_t nameStart, int32_t nameLength) {
    const int32_t tagStart = cursor->position;
    cursor->position += 2;
    // An end tag that the input ends inside does not end its element.
    const bool cut = cursor->size - cursor->position < nameLength;
    if (cut || !SameBytes(cursor->bytes + cursor->position, cursor->bytes + nameStart, nameLength)) {
        Damage(tagStart);
        cursor->position = cursor->size;
        return !cut;
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
void CXml::ReadContentText(XmlCursor* cursor, XmlHandler* handler) {
    XmlBytes text;
    const Piece read = ScanText(cursor, 0, &text);
    if (read == Piece::Read && handler->Text(text)) return;
    if (read == Piece::Read) RunOutOfMemory(cursor);
    handler->DropText();
}

XmlLoad CXml::ReadDocument(const char* bytes, size_t size, XmlHandler* handler, COwner<CString>* encoding) {
    XmlLoad read;
    end_ = XmlEnd::Complete;
    endOffset_ = -1;
    if (size > static_cast<uint64_t>(kXmlMaxDocumentSize)) {
        read.end = XmlEnd::Unreadable;
        return read;
    }
    if (!bytes || size == 0) {
        read.end = XmlEnd::Damaged;
        read.offset = 0;
        return read;
    }
    XmlCursor cursor = {bytes, static_cast<int32_t>(size), 0};
    codePage = kCodePageUtf8;
    COwner<CString> declared;
    if (ParseDeclaration(&cursor, &declared)) read.consumed = ReadElement(&cursor, handler, 0);
    if (read.consumed) {
        while (ReadElement(&cursor, handler, 0)) {
        }
    } else {
        // Refused: no declaration, or no element after it.
        Damage(cursor.position);
    }
    if (encoding) *encoding = std::move(declared);
    read.end = end_;
    read.offset = endOffset_;
    return read;
}

XmlLoad ReadXmlDocument(const char* bytes, size_t size, XmlHandler* handler) {
    CXml xml;
    return xml.ReadDocument(bytes, size, handler, nullptr);
}

namespace {

// The whole file in one read, as the loaders take it. False with the load's
// end set when it cannot be had.
bool ReadWholeFile(const wchar_t* path, CArray<char>* buffer, XmlLoad* load) {
    if (!path) return false;
    CFile file;
    CString name(path);
    if (!file.OpenRead(name)) return false;
    const uint64_t size = file.GetSize();
    if (size > static_cast<uint64_t>(kXmlMaxDocumentSize)) return false;
    if (size > 0) {
        if (!ReaderMayAllocate() || !buffer->Resize(static_cast<int>(size))) {
            load->end = XmlEnd::OutOfMemory;
            load->offset = 0;
            return false;
        }
        if (file.Read(buffer->Data(), static_cast<uint32_t>(size), 0) != size) return false;
    }
    return true;
}

}  // namespace

XmlLoad ReadXmlFile(const wchar_t* path, XmlHandler* handler) {
    XmlLoad load;
    CArray<char> buffer;
    if (!ReadWholeFile(path, &buffer, &load)) return load;
    return ReadXmlDocument(buffer.Data(), static_cast<size_t>(buffer.Count()), handler);
}

XmlLoad LoadXmlFile(const wchar_t* path, XmlConsumer consumer, void* context) {
    XmlLoad load;
    CArray<char> buffer;
    if (!ReadWholeFile(path, &buffer, &load)) return load;
    XmlDocument document = ParseXmlDocument(buffer.Data(), static_cast<size_t>(buffer.Count()));
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
