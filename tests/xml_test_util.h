#pragma once
// Helpers for the XML tests: parsing from std::string, a compact rendering of
// trees for assertions, and capture of the reader's debug lines.
#include <cstdarg>
#include <string>

#include "core/debug.h"
#include "core/xml_internal.h"
#include "test_util.h"

namespace xmltest {

const char kDeclaration[] = "<?xml version=\"1.0\" ?>\r\n";

inline std::string Str(CString* s) {
    return s ? testutil::Utf8(s->GetWide()) : std::string();
}

inline std::string RenderChain(const XmlElement* first, const char* separator);

// name='text'[attr=value,attr=~](children...); ~ is a null attribute value,
// a missing text shows nothing.
inline std::string RenderOne(const XmlElement* e) {
    std::string out = Str(e->name);
    if (e->text) out += "='" + Str(e->text) + "'";
    if (e->firstAttribute) {
        out += '[';
        for (const XmlAttribute* a = e->firstAttribute; a; a = a->next) {
            if (a != e->firstAttribute) out += ',';
            out += Str(a->name) + "=" + (a->value ? Str(a->value) : std::string("~"));
        }
        out += ']';
    }
    if (e->firstChild) out += "(" + RenderChain(e->firstChild, ",") + ")";
    return out;
}

inline std::string RenderChain(const XmlElement* first, const char* separator) {
    std::string out;
    for (const XmlElement* e = first; e; e = e->next) {
        if (e != first) out += separator;
        out += RenderOne(e);
    }
    return out;
}

// Top-level elements separated by blanks.
inline std::string Render(const XmlElement* first) {
    return RenderChain(first, " ");
}

// Parses bytes copied into a buffer of exactly their size (so the sanitizer
// sees any read past the end); "<null>" when the document is refused.
inline std::string ParseRender(const std::string& bytes) {
    char* copy = new char[bytes.size() ? bytes.size() : 1];
    bytes.copy(copy, bytes.size());
    XmlDocument document = ParseXmlDocument(copy, bytes.size());
    std::string out = document.first ? Render(document.first.Get()) : "<null>";
    delete[] copy;
    return out;
}

struct Lines {
    int count = 0;
    int lastPosition = -1;
    bool formatOk = true;
};

inline Lines& CapturedLines() {
    static Lines lines;
    return lines;
}

inline int CaptureLine(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int position = va_arg(args, int);
    va_end(args);
    Lines& lines = CapturedLines();
    ++lines.count;
    lines.lastPosition = position;
    if (testutil::Utf8(format) != "XML parse error (%d)\n") lines.formatOk = false;
    return 0;
}

// Routes DebugPrint into CapturedLines() for its lifetime.
struct DebugCapture {
    DebugOutputFunction saved;
    DebugCapture() : saved(DebugPrint) {
        CapturedLines() = Lines();
        DebugPrint = CaptureLine;
    }
    ~DebugCapture() { DebugPrint = saved; }
    const Lines& lines() const { return CapturedLines(); }
};

}  // namespace xmltest
