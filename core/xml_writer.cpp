// The writer: element trees to the bytes of an XML file, and the safe
// replacement of the file on disk.
#include <cstring>

#include "core/file.h"
#include "core/xml_internal.h"

using namespace xmldetail;

namespace {

const char* EntityFor(wchar_t unit) {
    switch (unit) {
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '&': return "&amp;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    default: return nullptr;
    }
}

// Name-like pieces (element and attribute names, the encoding value) are
// written as they stand, converted to the output code page.
void AppendString(CXmlString* out, const CString* text) {
    if (!text || !text->GetText() || text->GetLength() == 0) return;
    int32_t length = 0;
    const char* bytes = text->GetText();
    while (length < text->GetLength() && bytes[length] != 0) ++length;
    if ((IsPlainAscii(bytes, length) && AsciiIdentity(kCodePageAnsi) && AsciiIdentity(out->codePage)) ||
        CopiesUnconverted(bytes, length, kCodePageAnsi, out->codePage)) {
        out->AppendBytes(bytes, length);
        return;
    }
    out->Append(const_cast<CString*>(text)->GetWide());
}

bool HasName(const CString* name) {
    return name && name->GetText() && name->GetLength() > 0;
}

}  // namespace

namespace {

// The longest text a document may have: one byte less than the reader
// takes, which leaves room for the terminator within 32-bit sizes.
constexpr int64_t kXmlMaxText = kXmlMaxDocumentSize - 1;
thread_local int64_t t_textLimit = kXmlMaxText;

}  // namespace

void SetXmlTextLimit(int64_t bytes) { t_textLimit = bytes < 0 || bytes > kXmlMaxText ? kXmlMaxText : bytes; }

char* CXmlString::Reserve(int32_t count) {
    if (failed_ || count < 0) {
        failed_ = true;
        return nullptr;
    }
    int64_t need = static_cast<int64_t>(length_) + count + 1;
    if (need - 1 > t_textLimit) {
        failed_ = true;
        tooLarge_ = true;
        return nullptr;
    }
    if (need > bytes_.Capacity()) {
        // Doubling keeps a large document's copies linear in its size.
        int64_t grown = static_cast<int64_t>(bytes_.Capacity()) * 2;
        if (grown < need + 4096) grown = need + 4096;
        if (grown > kXmlMaxDocumentSize) grown = kXmlMaxDocumentSize;
        if (!bytes_.Reserve(static_cast<int32_t>(grown))) {
            failed_ = true;
            return nullptr;
        }
    }
    return bytes_.Data() + length_;
}

void CXmlString::AppendBytes(const char* bytes, int32_t count) {
    char* room = Reserve(count);
    if (!room) return;
    if (count) std::memcpy(room, bytes, count);
    length_ += count;
}

void CXmlString::Append(const wchar_t* piece, int32_t count) {
    if (!piece) return;
    if (count < 0) count = static_cast<int32_t>(WideLength(piece));
    if (count == 0) return;
    int needed = PlatformWideToMulti(codePage, piece, count, nullptr, 0);
    if (needed <= 0) {
        failed_ = true;
        return;
    }
    char* room = Reserve(needed);
    if (!room) return;
    int written = PlatformWideToMulti(codePage, piece, count, room, needed);
    if (written != needed) {
        // The slots past the text stay zero, whatever was half written.
        std::memset(room, 0, static_cast<size_t>(needed));
        failed_ = true;
        return;
    }
    length_ += written;
}

void CXmlString::AppendEscaped(const CString* text) {
    if (!text || !text->GetText() || text->GetLength() == 0) return;
    const char* bytes = text->GetText();
    int32_t length = 0;
    while (length < text->GetLength() && bytes[length] != 0) ++length;
    // The five specials are ASCII: in text that is copied rather than
    // converted they are found byte by byte.
    if ((IsPlainAscii(bytes, length) && AsciiIdentity(kCodePageAnsi) && AsciiIdentity(codePage)) ||
        CopiesUnconverted(bytes, length, kCodePageAnsi, codePage)) {
        int32_t run = 0;
        for (int32_t i = 0; i < length; ++i) {
            const char* entity = EntityFor(static_cast<wchar_t>(bytes[i]));
            if (!entity) continue;
            AppendBytes(bytes + run, i - run);
            AppendBytes(entity, static_cast<int32_t>(std::strlen(entity)));
            run = i + 1;
        }
        AppendBytes(bytes + run, length - run);
        return;
    }
    // Runs between special characters are converted whole, so a surrogate
    // pair stays together.
    const wchar_t* wide = const_cast<CString*>(text)->GetWide();
    if (!wide) return;
    int32_t run = 0;
    int32_t i = 0;
    for (; wide[i]; ++i) {
        const char* entity = EntityFor(wide[i]);
        if (!entity) continue;
        Append(wide + run, i - run);
        AppendBytes(entity, static_cast<int32_t>(std::strlen(entity)));
        run = i + 1;
    }
    Append(wide + run, i - run);
}

CArray<char> CXmlString::Detach() {
    bytes_.Resize(length_);
    length_ = 0;
    return std::move(bytes_);
}

bool CXml::BuildXmlText(const XmlElement* first, CArray<char>* text) {
    text->Free();
    codePage = kCodePageUtf8;
    CXmlString out;
    out.codePage = kCodePageUtf8;
    out.AppendBytes("<?xml version=\"1.0\" ", 20);
    if (first && first->encoding) {
        out.AppendBytes("encoding=\"", 10);
        AppendString(&out, first->encoding);
        out.AppendBytes("\" ", 2);
    }
    out.AppendBytes("?>\r\n", 4);

    // Elements whose end tags are still to be written, innermost last; kept on
    // the heap so that the depth of a tree never matters.
    CArray<const XmlElement*> open;
    const XmlElement* element = first;
    for (;;) {
        if (!element) {
            const XmlElement* closing = nullptr;
            if (!open.Pop(&closing)) break;
            out.AppendBytes("</", 2);
            AppendString(&out, closing->name);
            out.AppendBytes(">\r\n", 3);
            element = closing->next;
            continue;
        }
        out.AppendBytes("<", 1);
        AppendString(&out, element->name);
        if (element->firstAttribute) {
            out.AppendBytes(" ", 1);
            for (const XmlAttribute* a = element->firstAttribute; a; a = a->next) {
                if (!HasName(a->name)) continue;
                AppendString(&out, a->name);
                out.AppendBytes("=\"", 2);
                out.AppendEscaped(a->value);
                out.AppendBytes("\" ", 2);
            }
        }
        if (element->text || element->firstChild) {
            out.AppendBytes(">", 1);
            out.AppendEscaped(element->text);
            if (!open.Append(element)) return false;
            element = element->firstChild;
        } else {
            out.AppendBytes("/>\r\n", 4);
            element = element->next;
        }
    }
    if (out.Failed()) return false;
    *text = out.Detach();
    return true;
}

bool BuildXmlText(const XmlElement* first, CArray<char>* text) {
    CXml xml;
    return xml.BuildXmlText(first, text);
}

bool SaveXmlFile(const wchar_t* path, XmlTree holder) {
    CArray<char> text;
    const bool built = path && path[0] && holder && holder->firstChild && BuildXmlText(holder->firstChild, &text);
    holder.Reset();
    return built && SaveXmlText(path, text);
}

bool SaveXmlText(const wchar_t* path, const CArray<char>& text) {
    if (!path || !path[0]) return false;
    // The path takes the form CFile gives paths (through the ANSI code page).
    CString target(path);
    const wchar_t* targetWide = target.GetWide();
    return targetWide &&
           WriteFileSafely(targetWide, text.Data(), static_cast<uint32_t>(text.Count())) == SafeWrite::Written;
}

XmlTextWriter::XmlTextWriter() : out_(COwner<CXmlString>::New()) {
    if (out_) out_->AppendBytes("<?xml version=\"1.0\" ?>\r\n", 24);
}

XmlTextWriter::~XmlTextWriter() {}

void XmlTextWriter::Start(const char* name) {
    if (!out_) return;
    char tag[64];
    const int32_t length = static_cast<int32_t>(std::strlen(name));
    if (length + 2 > static_cast<int32_t>(sizeof tag)) {
        out_->AppendBytes("<", 1);
        out_->AppendBytes(name, length);
        out_->AppendBytes(">", 1);
        return;
    }
    tag[0] = '<';
    std::memcpy(tag + 1, name, static_cast<size_t>(length));
    tag[length + 1] = '>';
    out_->AppendBytes(tag, length + 2);
}

void XmlTextWriter::End(const char* name) {
    if (!out_) return;
    out_->AppendBytes("</", 2);
    out_->AppendBytes(name, static_cast<int32_t>(std::strlen(name)));
    out_->AppendBytes(">\r\n", 3);
}

void XmlTextWriter::Empty(const char* name) {
    if (!out_) return;
    out_->AppendBytes("<", 1);
    out_->AppendBytes(name, static_cast<int32_t>(std::strlen(name)));
    out_->AppendBytes("/>\r\n", 4);
}

void XmlTextWriter::Number(const char* name, int32_t value) {
    if (!out_) return;
    const size_t length = std::strlen(name);
    if (length > 16) {
        wchar_t digits[12];
        FormatDecimal(value, digits);
        Text(name, digits);
        return;
    }
    // The whole element in one piece: saving a long list writes millions.
    char piece[64];
    size_t n = 0;
    piece[n++] = '<';
    std::memcpy(piece + n, name, length);
    n += length;
    piece[n++] = '>';
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[10];
    int d = 0;
    do {
        digits[d++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) piece[n++] = '-';
    while (d) piece[n++] = digits[--d];
    piece[n++] = '<';
    piece[n++] = '/';
    std::memcpy(piece + n, name, length);
    n += length;
    std::memcpy(piece + n, ">\r\n", 3);
    n += 3;
    out_->AppendBytes(piece, static_cast<int32_t>(n));
}

void XmlTextWriter::Text(const char* name, const wchar_t* text) {
    if (!out_) return;
    if (!text) {
        Empty(name);
        return;
    }
    CString stored;
    if (!StoreWide(&stored, text)) {
        out_.Reset();
        return;
    }
    Start(name);
    out_->AppendEscaped(&stored);
    End(name);
}

bool XmlTextWriter::TooLarge() const { return out_ && out_->TooLarge(); }

bool XmlTextWriter::Finish(CArray<char>* text) {
    text->Free();
    if (!out_ || out_->Failed()) return false;
    *text = out_->Detach();
    return true;
}
