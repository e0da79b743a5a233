// The operation file through an element tree: the way files were read and
// written before the list went straight to and from the text. Kept as the
// reference that the direct reader and writer are checked against.
#include <cstring>

#include "tests/support/opfile_tree.h"

namespace {

const wchar_t* const kWordNames[4] = {L"0", L"1", L"2", L"3"};

// Sorts elements by name into a few known ASCII names, with FindElement's
// equality. The elements of a read document share one string per name, so
// after the first look most answers come from remembering which string
// meant which name.
class NameTable {
public:
    NameTable(const char* const* names, int count) : names_(names), count_(count) {}
    // The index of the element's name, or -1 for any other name.
    int Lookup(const XmlElement* element) {
        const CString* s = element->name;
        if (!s) return -1;
        for (int i = 0; i < seen_; ++i) {
            if (known_[i] == s) return index_[i];
        }
        int found = -1;
        const char* text = s->GetText();
        for (int i = 0; text && i < count_; ++i) {
            if (std::strcmp(text, names_[i]) == 0) {
                found = i;
                break;
            }
        }
        if (seen_ < kRemembered) {
            known_[seen_] = s;
            index_[seen_++] = found;
        }
        return found;
    }

private:
    static constexpr int kRemembered = 8;
    const char* const* names_;
    int count_;
    const CString* known_[kRemembered] = {};
    int index_[kRemembered] = {};
    int seen_ = 0;
};

const char* const kFieldNames[] = {"time", "x", "y", "type", "code", "delta", "scan", "extended"};
enum { kTime, kX, kY, kType, kCode, kDelta, kScan, kExtended, kFields };
const char* const kGroupNames[] = {"mouse", "key", "display"};

// The values of a record's children: the first child of each name counts, a
// missing or unreadable one gives 0.
struct RecordFields {
    NameTable names{kFieldNames, kFields};

    void Read(const XmlElement* record, int32_t* values, bool* present) {
        const XmlElement* found[kFields] = {};
        for (const XmlElement* child = record->firstChild; child; child = child->next) {
            int i = names.Lookup(child);
            if (i >= 0 && !found[i]) found[i] = child;
        }
        for (int i = 0; i < kFields; ++i) {
            values[i] = IntOf(found[i], 0);
            present[i] = found[i] != nullptr;
        }
    }
};

// Builds trees and remembers whether every element could be made, so that a
// save never writes a file with elements silently missing.
class TreeBuilder {
public:
    XmlElement* Add(XmlElement* parent, const wchar_t* name, const wchar_t* text) {
        XmlElement* element = ok_ ? AppendNewChild(parent, name, text) : nullptr;
        if (!element) ok_ = false;
        return element;
    }
    XmlElement* AddInt(XmlElement* parent, const wchar_t* name, int32_t value) {
        wchar_t buffer[12];
        FormatDecimal(value, buffer);
        return Add(parent, name, buffer);
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = true;
};

}  // namespace

XmlTree BuildActionTree(const ActionList& list, const MachineIdent& ident) {
    TreeBuilder tree;
    XmlTree root = NewElement(L"root", nullptr);
    XmlElement* holder = root.Get();
    if (!holder) return root;

    XmlElement* mark = tree.Add(holder, L"ident", nullptr);
    for (int k = 0; k < 4; ++k) {
        tree.AddInt(mark, kWordNames[k], static_cast<int32_t>(ident.w[k] ^ kIdentMasks[k]));
    }

    // One element per record, in list order, so that a recording that mixes
    // mouse and keys comes back as it was made. Files of the older grouped
    // layout are in document order already and read back the same. Records of
    // other devices are not kept.
    XmlElement* actions = tree.Add(holder, L"action", nullptr);
    for (int i = 0; i < list.count() && tree.ok(); ++i) {
        const ActionRecord* r = list.at(i);
        const int32_t interval = static_cast<int32_t>(r->interval);
        const int32_t kind = static_cast<int32_t>(r->kind);
        if (r->device == ActionDevice::Mouse) {
            XmlElement* e = tree.Add(actions, L"mouse", nullptr);
            tree.AddInt(e, L"time", interval);
            tree.AddInt(e, L"x", r->x);
            tree.AddInt(e, L"y", r->y);
            tree.AddInt(e, L"type", kind);
            if (IsWheelKind(r->kind)) tree.AddInt(e, L"delta", r->keyCode);
        } else if (r->device == ActionDevice::Keyboard) {
            XmlElement* e = tree.Add(actions, L"key", nullptr);
            tree.AddInt(e, L"time", interval);
            tree.AddInt(e, L"type", kind);
            tree.AddInt(e, L"code", r->keyCode);
            if (const int32_t stroke = KeyStrokeOf(*r)) {
                tree.AddInt(e, L"scan", stroke & kKeyScanMask);
                tree.AddInt(e, L"extended", (stroke & kKeyExtended) ? 1 : 0);
            }
        } else if (r->device == ActionDevice::Display) {
            XmlElement* e = tree.Add(actions, L"display", nullptr);
            tree.AddInt(e, L"time", interval);
            tree.AddInt(e, L"type", kind);
        }
    }

    XmlElement* image = tree.Add(holder, L"image", nullptr);
    CString folder;
    folder.Assign(list.screenshotFolder);
    tree.Add(image, L"path", folder.GetWide());
    tree.AddInt(image, L"type", static_cast<int32_t>(list.screenshotFormat));

    if (!tree.ok()) root.Reset();
    return root;
}

bool ReadActionTree(ActionList* list, const XmlElement* first, const XmlElement* cut) {
    const XmlElement* mark = FindElement(first, L"ident");
    for (int k = 0; k < 4; ++k) {
        const XmlElement* word = mark ? FindElement(mark->firstChild, kWordNames[k]) : nullptr;
        list->ident.w[k] = static_cast<uint32_t>(IntOf(word, 0)) ^ kIdentMasks[k];
    }

    bool complete = true;
    if (const XmlElement* actions = FindElement(first, L"action")) {
        RecordFields fields;
        NameTable groups(kGroupNames, 3);
        auto append = [&](int group, const XmlElement* e) {
            int32_t v[kFields];
            bool present[kFields];
            fields.Read(e, v, present);
            const ActionKind kind = static_cast<ActionKind>(v[kType]);
            const uint32_t interval = static_cast<uint32_t>(v[kTime]);
            ActionRecord* added;
            if (group == 0) {
                added = list->append(ActionDevice::Mouse, kind, v[kX], v[kY], IsWheelKind(kind) ? v[kDelta] : 0, interval);
            } else if (group == 1) {
                const int32_t stroke = KeyStrokeFromFile(present[kScan], v[kScan], present[kExtended], v[kExtended]);
                added = list->append(ActionDevice::Keyboard, kind, stroke, 0, v[kCode], interval);
            } else {
                added = list->append(ActionDevice::Display, kind, 0, 0, 0, interval);
            }
            complete &= added != nullptr;
        };
        for (const XmlElement* e = actions->firstChild; e; e = e->next) {
            int group = groups.Lookup(e);
            if (group >= 0 && e != cut) append(group, e);
        }
    }

    if (const XmlElement* image = FindElement(first, L"image")) {
        list->screenshotFolder.Assign(TextOf(FindElement(image->firstChild, L"path")));
        list->screenshotFormat = static_cast<ScreenshotFormat>(IntOf(FindElement(image->firstChild, L"type"), 1));
    }
    return complete;
}

OperationFileLoad ReadOperationTree(ActionList* list, const char* bytes, size_t size) {
    OperationFileLoad result;
    const int before = list->count();
    XmlDocument document = ParseXmlDocument(bytes, size);
    bool kept = true;
    if (const XmlElement* first = document.first.Get()) {
        result.operationFile = FindElement(first, L"ident") || FindElement(first, L"action") ||
                               FindElement(first, L"image");
        // A record the file ended inside: the last child of an action element
        // that is itself the last top-level element, both cut.
        const XmlElement* actions = FindElement(first, L"action");
        const XmlElement* cut = nullptr;
        if (document.cutLevels >= 2 && actions && !actions->next) {
            for (cut = actions->firstChild; cut && cut->next;) cut = cut->next;
        }
        kept = ReadActionTree(list, first, cut);
    }
    result.end = document.end;
    result.offset = document.offset;
    result.records = list->count() - before;
    if (!kept && result.end != XmlEnd::OutOfMemory) {
        result.end = XmlEnd::OutOfMemory;
        result.offset = -1;
    }
    return result;
}
