// Operation files from arbitrary bytes: whatever a file holds, loading it must
// not crash, must take exactly what the element tree gives, and the list it
// gives must survive a save and a load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/opfile.h"
#include "tests/support/opfile_tree.h"

namespace {

bool SameText(const CString& a, const CString& b) {
    const char* x = a.GetText() ? a.GetText() : "";
    const char* y = b.GetText() ? b.GetText() : "";
    return std::strcmp(x, y) == 0;
}

bool SameList(const ActionList& a, const ActionList& b) {
    if (a.count() != b.count()) return false;
    for (int i = 0; i < a.count(); ++i) {
        if (std::memcmp(a.at(i), b.at(i), sizeof(ActionRecord)) != 0) return false;
    }
    return SameText(a.screenshotFolder, b.screenshotFolder) && a.screenshotFormat == b.screenshotFormat &&
           std::memcmp(&a.ident, &b.ident, sizeof a.ident) == 0;
}

bool SameLoad(const OperationFileLoad& a, const OperationFileLoad& b) {
    return a.end == b.end && a.offset == b.offset && a.operationFile == b.operationFile && a.records == b.records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    ActionList list;
    list.screenshotFolder.Assign(L"unset");
    const OperationFileLoad load = ReadOperationText(&list, bytes, size);
    {
        ActionList reference;
        reference.screenshotFolder.Assign(L"unset");
        const OperationFileLoad expected = ReadOperationTree(&reference, bytes, size);
        if (!SameLoad(load, expected) || !SameList(list, reference)) abort();
    }
    if (!load.operationFile && load.records == 0) return 0;

    // Records keep their order through a save and a load.
    CArray<char> text;
    if (!BuildOperationText(list, list.ident, &text)) abort();
    ActionList back;
    back.screenshotFolder.Assign(L"unset");
    const OperationFileLoad again = ReadOperationText(&back, text.Data(), static_cast<size_t>(text.Count()));
    if (!again.whole() || !SameList(list, back)) abort();
    return 0;
}
