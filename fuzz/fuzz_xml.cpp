// The XML reader on arbitrary bytes: parsing, the lookups and writing the tree
// back must never crash, hang or read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/xml.h"

namespace {

// Visits every element; no tree the reader makes is deeper than its bound.
void Touch(const XmlElement* first, int depth) {
    for (const XmlElement* e = first; e; e = e->next) {
        if (!e->name || depth > kXmlMaxDepth) abort();
        (void)IntOf(e, 0);
        (void)TextOf(e);
        (void)FindElement(e->firstChild, L"time");
        Touch(e->firstChild, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    XmlDocument document = ParseXmlDocument(reinterpret_cast<const char*>(data), size);
    XmlElement* first = document.first.Get();
    if (!first) return 0;
    Touch(first, 1);
    CArray<char> text;
    if (!BuildXmlText(first, &text)) abort();
    ParseXmlDocument(text.Data(), static_cast<size_t>(text.Count()));
    return 0;
}
