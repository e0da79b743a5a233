// The reader: one pass over a document held whole in memory. No read looks at
// a byte at index size or beyond, and every loop that could stall has a
// progress guard that writes "XML parse error (%d)" and gives up.
#include <cstring>
#include <new>

#include "core/debug.h"
#include "core/file.h"
#include "core/xml_internal.h"

using namespace xmldetail;

namespace {

// A pass that begins where the previous one began has made no progress; the
// first pass compares against a position no document has.
constexpr int32_t kNoPosition = -1;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameDelimiter(char c) {
    switch (c) {
    case '\0': case '\t': case '\n': case '\r': case ' ':
    case '"': case '&': case '\'': case '/': case '<': case '=': case '>':
        return true;
    default:
        return false;
    }
}

void SkipBlanks(XmlCursor* cursor) {
    while (cursor->position < cursor->size && IsBlank(cursor->bytes[cursor->position])) {
        ++cursor->position;
    }
}

bool LooksAt(const XmlCursor* cursor, const char* literal, int32_t length) {
    return cursor->size - cursor->position >= length &&
           std::memcmp(cursor->bytes + cursor->position, literal, length) == 0;
}

void ReportStall(int32_t position) {
    DebugPrint(L"XML parse error (%d)\n", static_cast<int>(position));
}

// At "<!--" with at least five bytes left: moves past the closing "-->",
// which counts only when a byte follows it, or to the end of the input.
void SkipComment(XmlCursor* cursor) {
    int32_t i = cursor->position + 4;
    const char* bytes = cursor->bytes;
    int32_t size = cursor->size;
    for (; size - i >= 4; ++i) {
        if (bytes[i] == '-' && bytes[i + 1] == '-' && bytes[i + 2] == '>') {
            cursor->position = i + 3;
            return;
        }
    }
    cursor->position = size;
}

bool IsCommentStart(const XmlCursor* cursor) {
    return cursor->size - cursor->position >= 5 && LooksAt(cursor, "<!--", 4);
}

struct Entity {
    const char* text;
    int32_t length;
    char character;
};

constexpr Entity kEntities[] = {
    {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

bool EqualsIgnoringAsciiCase(const char* text, const char* lower) {
    for (; *lower; ++text, ++lower) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lower) return false;
    }
    return *text == '\0';
}

void FreeAttribute(XmlAttribute* attribute) {
    delete attribute->name;
    delete attribute->value;
    delete attribute;
}

}  // namespace

CXml::~CXml() {
    delete[] scratch_;
}

char* CXml::Scratch(int32_t size) {
    if (size > scratchSize_) {
        delete[] scratch_;
        int64_t grown = static_cast<int64_t>(scratchSize_) * 2;
        int32_t wanted = grown > size && grown <= kXmlMaxDocumentSize ? static_cast<int32_t>(grown) : size;
        scratch_ = new (std::nothrow) char[wanted];
        scratchSize_ = scratch_ ? wanted : 0;
    }
    return scratch_;
}

int CXml::ReadName(XmlCursor* cursor, CString* out) {
    const char* bytes = cursor->bytes;
    int32_t start = cursor->position;
    int32_t end = start;
    while (end < cursor->size && !IsNameDelimiter(bytes[end])) ++end;
    if (end == start || end >= cursor->size) return 0;
    if (!StoreDecoded(bytes + start, end - start, codePage, out)) return 0;
    cursor->position = end;
    return 1;
}

int CXml::ReadText(XmlCursor* cursor, int quote, CString* out) {
    const char* bytes = cursor->bytes;
    const int32_t size = cursor->size;
    const int32_t start = cursor->position;
    const char closing = static_cast<char>(quote);

    // The extent runs to the first '<', '>' or closing quote; most texts are
    // a plain run of ASCII that can be taken straight from the input.
    int32_t end = start;
    bool simple = true;
    for (; end < size; ++end) {
        char c = bytes[end];
        if (c == '<' || c == '>' || (quote && c == closing)) break;
        if (c == '&' || IsBlank(c) || c == 0 || static_cast<unsigned char>(c) >= 0x80) simple = false;
    }
    if (end == start) {
        if (quote && end < size && bytes[end] == closing) cursor->position = end + 1;
        return 0;
    }
    if (simple && end < size) {
        char stop = bytes[end];
        bool closes = quote ? stop == closing : stop == '<';
        if (closes) {
            if (asciiDirect_) {
                out->AssignBytes(bytes + start, end - start);
                if (!out->GetText()) return 0;
            } else if (!StoreDecoded(bytes + start, end - start, codePage, out)) {
                return 0;
            }
            cursor->position = quote ? end + 1 : end;
            return 1;
        }
    }

    char* buffer = Scratch(end - start + 1);
    if (!buffer) return 0;
    int32_t stored = 0;
    int32_t i = start;
    bool ended = false;
    // A zero byte ends what a CString can hold: the rest of the text is read
    // but not kept, and the blanks before the zero are still trimmed.
    int32_t kept = -1;
    while (i < size) {
        char c = bytes[i];
        if (c == 0 && kept < 0) kept = stored;
        if (quote && c == closing) {
            ++i;
            ended = true;
            break;
        }
        if (c == '<') {
            ended = !quote;
            break;
        }
        if (c == '>') break;
        if (c == '&') {
            char decoded = '&';
            int32_t consumed = 1;
            for (const Entity& entity : kEntities) {
                if (size - i >= entity.length && std::memcmp(bytes + i, entity.text, entity.length) == 0) {
                    decoded = entity.character;
                    consumed = entity.length;
                    break;
                }
            }
            buffer[stored++] = decoded;
            i += consumed;
        } else if (IsBlank(c)) {
            if (stored > 0 && buffer[stored - 1] != ' ') buffer[stored++] = ' ';
            ++i;
        } else {
            buffer[stored++] = c;
            ++i;
        }
    }
    if (!ended) {
        cursor->position = i == start ? start + 1 : i;
        return 0;
    }
    if (kept >= 0) stored = kept;
    if (stored > 0 && buffer[stored - 1] == ' ') --stored;
    if (!StoreDecoded(buffer, stored, codePage, out)) return 0;
    cursor->position = i;
    return 1;
}

CString* CXml::ParseName(XmlCursor* cursor) {
    CString* name = new (std::nothrow) CString();
    if (name && !ReadName(cursor, name)) {
        delete name;
        name = nullptr;
    }
    return name;
}

CString* CXml::ParseText(XmlCursor* cursor, int quote) {
    CString* text = new (std::nothrow) CString();
    if (text && !ReadText(cursor, quote, text)) {
        delete text;
        text = nullptr;
    }
    return text;
}

XmlAttribute* CXml::ParseAttribute(XmlCursor* cursor, XmlElement* element) {
    SkipBlanks(cursor);
    CString* name = ParseName(cursor);
    if (!name) return nullptr;
    SkipBlanks(cursor);
    bool ok = cursor->position < cursor->size && cursor->bytes[cursor->position] == '=';
    char quote = 0;
    if (ok) {
        ++cursor->position;
        SkipBlanks(cursor);
        quote = cursor->position < cursor->size ? cursor->bytes[cursor->position] : 0;
        ok = quote == '"' || quote == '\'';
    }
    XmlAttribute* attribute = ok ? new (std::nothrow) XmlAttribute() : nullptr;
    if (!attribute) {
        delete name;
        return nullptr;
    }
    attribute->name = name;
    ++cursor->position;
    // A value that cannot be read (damage, or the input ending) stays null,
    // like an empty one; what follows decides whether the element survives.
    attribute->value = ParseText(cursor, quote);
    if (element) {
        XmlAttribute** link = &element->firstAttribute;
        while (*link) link = &(*link)->next;
        *link = attribute;
    }
    return attribute;
}

int CXml::ParseDeclaration(XmlCursor* cursor, CString** encoding) {
    SkipBlanks(cursor);
    if (!LooksAt(cursor, "<?xml", 5) || cursor->size - cursor->position < 6 ||
        !IsBlank(cursor->bytes[cursor->position + 5])) {
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
            delete *encoding;
            *encoding = attribute->value;
            attribute->value = nullptr;
        }
        FreeAttribute(attribute);
        if (cursor->position >= cursor->size) return 0;
    }
}

XmlElement* CXml::ParseElement(XmlCursor* cursor) {
    return ParseElementAt(cursor, 0);
}

XmlElement* CXml::ParseElementAt(XmlCursor* cursor, int depth) {
    const char* bytes = cursor->bytes;
    const int32_t size = cursor->size;
    if (depth >= kXmlMaxDepth) {
        // Too deep to follow safely: the document ends here.
        ReportStall(cursor->position);
        cursor->position = size;
        return nullptr;
    }
    XmlElement* element = AllocElement(arena_);
    if (!element) return nullptr;

    // Opening: comments may stand before the element.
    int32_t previous = kNoPosition;
    for (;;) {
        if (cursor->position >= size) goto fail;
        if (cursor->position == previous) {
            ReportStall(cursor->position);
            goto fail;
        }
        previous = cursor->position;
        SkipBlanks(cursor);
        if (cursor->position >= size || bytes[cursor->position] != '<') goto fail;
        if (IsCommentStart(cursor)) {
            SkipComment(cursor);
            continue;
        }
        ++cursor->position;
        break;
    }

    {
        const int32_t nameStart = cursor->position;
        if (arena_) {
            int32_t end = nameStart;
            while (end < size && !IsNameDelimiter(bytes[end])) ++end;
            if (end == nameStart || end >= size) goto fail;
            element->name = arena_->Intern(bytes + nameStart, end - nameStart, codePage);
            if (!element->name) goto fail;
            cursor->position = end;
        } else if (!ReadName(cursor, EmbeddedName(element))) {
            goto fail;
        }
        const int32_t nameLength = cursor->position - nameStart;

        if (IsBlank(bytes[cursor->position])) {
            SkipBlanks(cursor);
        } else if (bytes[cursor->position] != '/' && bytes[cursor->position] != '>') {
            goto fail;
        }
        if (LooksAt(cursor, "/>", 2)) {
            cursor->position += 2;
            return element;
        }
        if (cursor->position < size && bytes[cursor->position] == '>') {
            ++cursor->position;
        } else {
            previous = kNoPosition;
            XmlAttribute** attributeTail = &element->firstAttribute;
            for (;;) {
                if (cursor->position == previous) {
                    ReportStall(cursor->position);
                    break;
                }
                previous = cursor->position;
                SkipBlanks(cursor);
                if (LooksAt(cursor, "/>", 2)) {
                    cursor->position += 2;
                    return element;
                }
                if (cursor->position < size && bytes[cursor->position] == '>') {
                    ++cursor->position;
                    break;
                }
                XmlAttribute* attribute = ParseAttribute(cursor, nullptr);
                if (!attribute) goto fail;
                *attributeTail = attribute;
                attributeTail = &attribute->next;
                if (cursor->position >= size) break;
            }
        }

        // Content: text, children and comments up to the matching end tag.
        XmlElement* lastChild = nullptr;
        previous = kNoPosition;
        for (;;) {
            if (cursor->position >= size) return element;
            if (cursor->position == previous) {
                ReportStall(cursor->position);
                return element;
            }
            previous = cursor->position;
            SkipBlanks(cursor);
            if (cursor->position >= size) return element;
            if (bytes[cursor->position] != '<') {
                if (!ReadText(cursor, 0, EmbeddedText(element))) DropText(element);
                continue;
            }
            if (LooksAt(cursor, "</", 2)) {
                cursor->position += 2;
                if (size - cursor->position >= nameLength &&
                    SameBytes(bytes + cursor->position, bytes + nameStart, nameLength)) {
                    cursor->position += nameLength;
                    SkipBlanks(cursor);
                    if (cursor->position < size && bytes[cursor->position] == '>') {
                        ++cursor->position;
                        return element;
                    }
                    continue;
                }
                // A mismatched end tag ends the document; this element and
                // every enclosing one are kept as read so far.
                cursor->position = size;
                return element;
            }
            if (IsCommentStart(cursor)) {
                SkipComment(cursor);
                continue;
            }
            XmlElement* child = ParseElementAt(cursor, depth + 1);
            if (child) {
                if (lastChild) {
                    lastChild->next = child;
                } else {
                    element->firstChild = child;
                }
                lastChild = child;
            }
        }
    }

fail:
    FreeElements(element);
    return nullptr;
}

XmlElement* CXml::ParseDocument(const char* bytes, size_t size) {
    if (!bytes || size == 0 || size > static_cast<uint64_t>(kXmlMaxDocumentSize)) return nullptr;
    XmlCursor cursor = {bytes, static_cast<int32_t>(size), 0};
    codePage = kCodePageUtf8;
    CString* encoding = nullptr;
    if (!ParseDeclaration(&cursor, &encoding)) {
        delete encoding;
        return nullptr;
    }
    asciiDirect_ = AsciiIdentity(codePage) && AsciiIdentity(kCodePageAnsi);
    arena_ = new (std::nothrow) XmlArena();
    XmlElement* first = arena_ ? ParseElement(&cursor) : nullptr;
    if (!first) {
        delete arena_;
        arena_ = nullptr;
        delete encoding;
        return nullptr;
    }
    // The head owns the arena in which the whole document lives.
    BlockOf(first)->ownsArena = true;
    first->encoding = encoding;
    XmlElement* last = first;
    while (XmlElement* next = ParseElement(&cursor)) {
        last->next = next;
        last = next;
    }
    arena_ = nullptr;
    asciiDirect_ = false;
    return first;
}

XmlElement* ParseXmlDocument(const char* bytes, size_t size) {
    CXml xml;
    return xml.ParseDocument(bytes, size);
}

bool LoadXmlFile(const wchar_t* path, XmlConsumer consumer, void* context) {
    if (!path) return false;
    CFile file;
    CString name(path);
    if (!file.OpenRead(name)) return false;
    uint64_t size = file.GetSize();
    if (size == 0 || size > static_cast<uint64_t>(kXmlMaxDocumentSize)) return false;
    char* buffer = new (std::nothrow) char[size];
    if (!buffer) return false;
    uint32_t read = file.Read(buffer, static_cast<uint32_t>(size), 0);
    file.Close();
    XmlElement* first = read == size ? ParseXmlDocument(buffer, size) : nullptr;
    // The tree holds copies of everything: the bytes can go before the
    // consumer runs, which lowers the peak memory of a large load.
    delete[] buffer;
    if (!first) return false;
    if (consumer) consumer(first, context);
    FreeElements(first);
    return true;
}
