// The reader's names and texts: decoding entities and folding blanks, and
// the bookkeeping of how a document ends (damage, memory running out) that
// the rest of the reader shares.
#include <cstring>

#include "core/xml_internal.h"

using namespace xmldetail;

namespace {

// Allocations the reader may still make on this thread; negative: no limit.
thread_local int64_t t_allocationsLeft = -1;

struct Entity {
    const char* text;
    int32_t length;
    char character;
};

constexpr Entity kEntities[] = {
    {"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&amp;", 5, '&'}, {"&quot;", 6, '"'}, {"&apos;", 6, '\''},
};

// The character of the entity at bytes[i] (consuming its length), or the
// "&" itself, which is kept as it stands.
char DecodeAmpersand(const char* bytes, int32_t size, int32_t i, int32_t* consumed) {
    for (const Entity& entity : kEntities) {
        if (size - i >= entity.length && SameBytes(bytes + i, entity.text, static_cast<size_t>(entity.length))) {
            *consumed = entity.length;
            return entity.character;
        }
    }
    *consumed = 1;
    return '&';
}

}  // namespace

namespace xmldetail {

bool ReaderMayAllocate() {
    if (t_allocationsLeft < 0) return true;
    if (t_allocationsLeft == 0) return false;
    --t_allocationsLeft;
    return true;
}

bool IsXmlBlank(char c) {
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

}  // namespace xmldetail

void SetXmlReaderAllocationLimit(int64_t count) {
    t_allocationsLeft = count < 0 ? -1 : count;
}

void CXml::Damage(int32_t position) {
    if (end_ != XmlEnd::Complete) return;
    end_ = XmlEnd::Damaged;
    endOffset_ = position;
}

void CXml::RunOutOfMemory(XmlCursor* cursor) {
    if (end_ != XmlEnd::OutOfMemory) {
        end_ = XmlEnd::OutOfMemory;
        endOffset_ = cursor->position;
    }
    cursor->position = cursor->size;
}

char* CXml::Scratch(int32_t size) {
    const int32_t capacity = scratch_.Capacity();
    if (size > capacity) {
        // What the room held is not needed: it is dropped, not copied.
        scratch_.Free();
        int64_t grown = static_cast<int64_t>(capacity) * 2;
        int32_t wanted = grown > size && grown <= kXmlMaxDocumentSize ? static_cast<int32_t>(grown) : size;
        if (!scratch_.Reserve(wanted)) return nullptr;
    }
    return scratch_.Data();
}

CXml::Piece CXml::StoreText(XmlCursor* cursor, const char* bytes, int32_t count, CString* out) {
    if (!ReaderMayAllocate() || !StoreDecoded(bytes, count, codePage, out)) {
        RunOutOfMemory(cursor);
        return Piece::NoMemory;
    }
    return Piece::Read;
}

CXml::Piece CXml::ReadName(XmlCursor* cursor, CString* out) {
    const char* bytes = cursor->bytes;
    const int32_t start = cursor->position;
    int32_t end = start;
    while (end < cursor->size && !IsNameDelimiter(bytes[end])) ++end;
    if (end == start || end >= cursor->size) return Piece::None;
    const Piece stored = StoreText(cursor, bytes + start, end - start, out);
    if (stored == Piece::Read) cursor->position = end;
    return stored;
}

CXml::Piece CXml::ScanText(XmlCursor* cursor, int quote, XmlBytes* out) {
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
        if (c == '&' || IsXmlBlank(c) || c == 0 || static_cast<unsigned char>(c) >= 0x80) simple = false;
    }
    if (end == start) {
        if (quote && end < size && bytes[end] == closing) cursor->position = end + 1;
        return Piece::None;
    }
    if (simple && end < size && (quote ? bytes[end] == closing : bytes[end] == '<')) {
        *out = XmlBytes{bytes + start, end - start, codePage, true};
        cursor->position = quote ? end + 1 : end;
        return Piece::Read;
    }

    char* buffer = ReaderMayAllocate() ? Scratch(end - start + 1) : nullptr;
    if (!buffer) {
        RunOutOfMemory(cursor);
        return Piece::NoMemory;
    }
    int32_t stored = 0;
    int32_t i = start;
    bool ended = false;
    // A zero byte ends what a CString can hold: the rest of the text is read
    // but not kept (which is damage), and the blanks before the zero are
    // still trimmed.
    int32_t kept = -1;
    int32_t zeroAt = -1;
    while (i < size) {
        char c = bytes[i];
        if (c == 0 && kept < 0) {
            kept = stored;
            zeroAt = i;
        }
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
            int32_t consumed = 1;
            buffer[stored++] = DecodeAmpersand(bytes, size, i, &consumed);
            i += consumed;
        } else if (IsXmlBlank(c)) {
            if (stored > 0 && buffer[stored - 1] != ' ') buffer[stored++] = ' ';
            ++i;
        } else {
            buffer[stored++] = c;
            ++i;
        }
    }
    if (!ended) {
        cursor->position = i == start ? start + 1 : i;
        Damage(i);
        return Piece::Broken;
    }
    if (kept >= 0) {
        stored = kept;
        Damage(zeroAt);
    }
    if (stored > 0 && buffer[stored - 1] == ' ') --stored;
    *out = XmlBytes{buffer, stored, codePage, false};
    cursor->position = i;
    return Piece::Read;
}

CXml::Piece CXml::ReadText(XmlCursor* cursor, int quote, CString* out) {
    XmlBytes text;
    const Piece read = ScanText(cursor, quote, &text);
    if (read != Piece::Read) return read;
    if (!text.Store(out)) {
        RunOutOfMemory(cursor);
        return Piece::NoMemory;
    }
    return Piece::Read;
}

COwner<CString> CXml::ParseName(XmlCursor* cursor) {
    COwner<CString> name;
    if (ReaderMayAllocate()) name = COwner<CString>::New();
    if (!name) {
        RunOutOfMemory(cursor);
    } else if (ReadName(cursor, name.Get()) != Piece::Read) {
        name.Reset();
    }
    return name;
}

COwner<CString> CXml::ParseText(XmlCursor* cursor, int quote) {
    COwner<CString> text;
    if (ReaderMayAllocate()) text = COwner<CString>::New();
    if (!text) {
        RunOutOfMemory(cursor);
    } else if (ReadText(cursor, quote, text.Get()) != Piece::Read) {
        text.Reset();
    }
    return text;
}

