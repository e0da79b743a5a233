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
    if (IsPlainAscii(bytes, length) && AsciiIdentity(kCodePageAnsi) && AsciiIdentity(out->codePage)) {
        out->AppendBytes(bytes, length);
        return;
    }
    out->Append(const_cast<CString*>(text)->GetWide());
}

bool HasName(const CString* name) {
    return name && name->GetText() && name->GetLength() > 0;
}

}  // namespace

char* CXmlString::Reserve(int32_t count) {
    if (failed_ || count < 0) {
        failed_ = true;
        return nullptr;
    }
    int64_t need = static_cast<int64_t>(length_) + count + 1;
    if (need > kXmlMaxDocumentSize) {
        failed_ = true;
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
    if (IsPlainAscii(bytes, length) && AsciiIdentity(kCodePageAnsi) && AsciiIdentity(codePage)) {
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
    if (!built) return false;

    // The path takes the form CFile gives paths (through the ANSI code page).
    CString target(path);
    const wchar_t* targetWide = target.GetWide();
    return targetWide &&
           WriteFileSafely(targetWide, text.Data(), static_cast<uint32_t>(text.Count())) == SafeWrite::Written;
}
