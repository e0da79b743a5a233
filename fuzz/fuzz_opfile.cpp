// Operation files from arbitrary bytes: whatever a file holds, loading it must
// not crash, and the list it gives must survive a save and a load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/opfile.h"

namespace {

void Reload(const ActionList& list, ActionList* back) {
    XmlTree holder = BuildActionTree(list, list.ident);
    if (!holder) abort();
    CArray<char> text;
    const bool built = BuildXmlText(holder->firstChild, &text);
    holder.Reset();
    if (!built) abort();
    XmlDocument document = ParseXmlDocument(text.Data(), static_cast<size_t>(text.Count()));
    text.Free();
    if (!document.first || document.end != XmlEnd::Complete || !ReadActionTree(back, document.first.Get())) abort();
}

bool SameText(const CString& a, const CString& b) {
    const char* x = a.GetText() ? a.GetText() : "";
    const char* y = b.GetText() ? b.GetText() : "";
    return std::strcmp(x, y) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ActionList list;
    {
        XmlDocument document = ParseXmlDocument(reinterpret_cast<const char*>(data), size);
        if (!document.first) return 0;
        if (!ReadActionTree(&list, document.first.Get())) abort();
    }

    // Records keep their order through a save and a load.
    ActionList back;
    back.screenshotFolder.Assign(L"unset");
    Reload(list, &back);
    if (back.count() != list.count()) abort();
    for (int i = 0; i < list.count(); ++i) {
        if (std::memcmp(list.at(i), back.at(i), sizeof(ActionRecord)) != 0) abort();
    }
    if (!SameText(list.screenshotFolder, back.screenshotFolder)) abort();
    if (list.screenshotFormat != back.screenshotFormat) abort();
    if (std::memcmp(&list.ident, &back.ident, sizeof list.ident) != 0) abort();
    return 0;
}
