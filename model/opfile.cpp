// Saving and loading an ActionList as an operation file, and the computer
// mark. The list goes straight to and from the file's text: a file of hours
// of recorded motion holds millions of records, and neither direction builds
// an element tree (tests/support/opfile_tree.cpp keeps that form as the
// reference).
#include "model/opfile.h"

#include <cstring>

const uint32_t kIdentMasks[4] = {0x3C3C3C3Cu, 0xC3C3C3C3u, 0xC3C3C3C3u, 0x3C3C3C3Cu};

namespace {

const char* const kWordTags[4] = {"0", "1", "2", "3"};

enum Field { kTime, kX, kY, kType, kCode, kDelta, kScan, kExtended, kFields };
enum Group { kMouse, kKey, kDisplay };

// Takes the records, the mark and the screenshot settings from the reader's
// events, keeping nothing per element but what each open element is: a
// document of any shape is read in the memory of its text and its list.
// What it takes is what the tree would give: the first top-level ident,
// action and image, the first child of each name, unknown elements skipped.
class OperationReader : public XmlHandler {
public:
    explicit OperationReader(ActionList* list) : list_(list) {}

    bool StartElement(const XmlBytes& name) override {
        const Role role = Classify(depth_ ? roles_[depth_ - 1] : kDocument, name);
        roles_[depth_++] = role;
        return true;
    }

    bool Attribute(const XmlBytes&, const XmlBytes*) override { return true; }

    // A start tag that could not be read leaves no element: whatever it had
    // claimed is free for the next one of its name.
    void DropElement() override {
        const Role role = roles_[--depth_];
        if (bool* claim = ClaimOf(role)) *claim = false;
    }

    bool Text(const XmlBytes& text) override {
        const Role role = roles_[depth_ - 1];
        if (role >= kWord0 && role < kWord0 + 4) {
            words_[role - kWord0] = text.Int(0);
        } else if (role >= kField0 && role < kField0 + kFields) {
            fields_[role - kField0] = text.Int(0);
        } else if (role == kImageType) {
            format_ = text.Int(1);
        } else if (role == kImagePath) {
            hasPath_ = text.Store(&path_);
            return hasPath_;
        }
        return true;
    }

    void DropText() override {
        const Role role = roles_[depth_ - 1];
        if (role >= kWord0 && role < kWord0 + 4) {
            words_[role - kWord0] = 0;
        } else if (role >= kField0 && role < kField0 + kFields) {
            fields_[role - kField0] = 0;
        } else if (role == kImageType) {
            format_ = 1;
        } else if (role == kImagePath) {
            hasPath_ = false;
        }
    }

    // A record cut short by the end of the file is no row: its missing
    // children would read as zeros.
    void EndCutElement() override {
        const Role role = roles_[depth_ - 1];
        if (role >= kRecord0 && role < kRecord0 + 3) {
            --depth_;
        } else {
            EndElement();
        }
    }

    void EndElement() override {
        const Role role = roles_[--depth_];
        if (role >= kRecord0 && role < kRecord0 + 3) {
            Append(static_cast<Group>(role - kRecord0));
        } else if (depth_ == 0 && role != kOther) {
            operationFile_ = true;
        }
    }

    // After a read that gave a top-level element: the mark and, when the file
    // has an image element, the screenshot settings.
    void Finish() {
        for (int k = 0; k < 4; ++k) list_->ident.w[k] = static_cast<uint32_t>(words_[k]) ^ kIdentMasks[k];
        if (!image_) return;
        AssignTextOf(&list_->screenshotFolder, hasPath_ ? &path_ : nullptr);
        list_->screenshotFormat = static_cast<ScreenshotFormat>(format_);
    }

    bool operationFile() const { return operationFile_; }
    bool kept() const { return kept_; }

private:
    // What an open element is to the operation file.
    enum Role : uint8_t {
        kDocument,
        kOther,
        kIdent,  // the first top-level ident, action and image
        kAction,
        kImage,
        kLaterTop,  // a later one of those three
        kWord0,  // the first child "0" .. "3" of ident
        kWord3 = kWord0 + 3,
        kRecord0,  // mouse, key and display in action
        kRecord1,
        kRecord2,
        kField0,  // the first time .. delta of a record
        kImagePath = kField0 + kFields,
        kImageType,
    };

    Role Classify(Role parent, const XmlBytes& name) {
        switch (parent) {
        case kDocument:
            if (name.Is("ident")) return Claim(&ident_, kIdent, kLaterTop);
            if (name.Is("action")) return Claim(&action_, kAction, kLaterTop);
            if (name.Is("image")) return Claim(&image_, kImage, kLaterTop);
            return kOther;
        case kIdent:
            for (int k = 0; k < 4; ++k) {
                if (name.Is(kWordTags[k], 1)) return Claim(&wordTaken_[k], static_cast<Role>(kWord0 + k), kOther);
            }
            return kOther;
        case kAction:
            if (name.Is("mouse")) return StartRecord(kMouse);
            if (name.Is("key")) return StartRecord(kKey);
            if (name.Is("display")) return StartRecord(kDisplay);
            return kOther;
        case kRecord0:
        case kRecord1:
        case kRecord2: {
            static const char* const kFieldTags[kFields] = {"time", "x", "y", "type", "code", "delta", "scan", "extended"};
            for (int i = 0; i < kFields; ++i) {
                if (name.Is(kFieldTags[i], static_cast<int32_t>(std::strlen(kFieldTags[i])))) {
                    return Claim(&fieldTaken_[i], static_cast<Role>(kField0 + i), kOther);
                }
            }
            return kOther;
        }
        case kImage:
            if (name.Is("path")) return Claim(&pathTaken_, kImagePath, kOther);
            if (name.Is("type")) return Claim(&typeTaken_, kImageType, kOther);
            return kOther;
        default:
            return kOther;
        }
    }

    // The first element of its kind takes `first`; later ones `later`.
    static Role Claim(bool* taken, Role first, Role later) {
        if (*taken) return later;
        *taken = true;
        return first;
    }

    bool* ClaimOf(Role role) {
        if (role == kIdent) return &ident_;
        if (role == kAction) return &action_;
        if (role == kImage) return &image_;
        if (role >= kWord0 && role < kWord0 + 4) return &wordTaken_[role - kWord0];
        if (role >= kField0 && role < kField0 + kFields) return &fieldTaken_[role - kField0];
        if (role == kImagePath) return &pathTaken_;
        if (role == kImageType) return &typeTaken_;
        return nullptr;
    }

    Role StartRecord(Group group) {
        for (int i = 0; i < kFields; ++i) {
            fields_[i] = 0;
            fieldTaken_[i] = false;
        }
        return static_cast<Role>(kRecord0 + group);
    }

    // A missing or unreadable child gives 0; a mouse record keeps a wheel's
    // delta in its key code, a key record its stroke in x.
    void Append(Group group) {
        const ActionKind kind = static_cast<ActionKind>(fields_[kType]);
        const uint32_t interval = static_cast<uint32_t>(fields_[kTime]);
        ActionRecord* added;
        if (group == kMouse) {
            added = list_->append(ActionDevice::Mouse, kind, fields_[kX], fields_[kY],
                                  IsWheelKind(kind) ? fields_[kDelta] : 0, interval);
        } else if (group == kKey) {
            const int32_t stroke =
                KeyStrokeFromFile(fieldTaken_[kScan], fields_[kScan], fieldTaken_[kExtended], fields_[kExtended]);
            added = list_->append(ActionDevice::Keyboard, kind, stroke, 0, fields_[kCode], interval);
        } else {
            added = list_->append(ActionDevice::Display, kind, 0, 0, 0, interval);
        }
        // Later records are still tried, as a list that grows again can take them.
        if (!added) kept_ = false;
    }

    ActionList* list_;
    int depth_ = 0;
    Role roles_[kXmlMaxDepth + 1] = {};
    bool ident_ = false, action_ = false, image_ = false;
    bool wordTaken_[4] = {};
    int32_t words_[4] = {};
    bool fieldTaken_[kFields] = {};
    int32_t fields_[kFields] = {};
    bool pathTaken_ = false, typeTaken_ = false, hasPath_ = false;
    CString path_;
    int32_t format_ = 1;
    bool operationFile_ = false;
    bool kept_ = true;
};

OperationFileLoad Result(const XmlLoad& read, const OperationReader& reader, int records) {
    OperationFileLoad result;
    result.end = read.end;
    result.offset = read.offset;
    result.operationFile = reader.operationFile();
    result.records = records;
    if (!reader.kept() && result.end != XmlEnd::OutOfMemory) {
        // Records were read but could not all be kept.
        result.end = XmlEnd::OutOfMemory;
        result.offset = -1;
    }
    return result;
}

}  // namespace

int32_t KeyStrokeFromFile(bool hasScan, int32_t scan, bool hasExtended, int32_t extended) {
    if (!hasScan && !hasExtended) return 0;
    if (scan < 0 || scan > kKeyScanMask) return 0;
    return scan | (extended ? kKeyExtended : 0);
}

MachineIdent MachineIdentFromName(const wchar_t* name, int length) {
    uint8_t bytes[16];
    int position = 0;
    for (int step = 0; step < 16; ++step) {
        uint8_t byte = length > 0 ? static_cast<uint8_t>(name[position] & 0xFF) : 0;
        bytes[step] = byte ? byte : 0xAA;
        if (length > 0 && ++position == length) position = 0;
    }
    MachineIdent ident;
    for (int k = 0; k < 4; ++k) {
        ident.w[k] = static_cast<uint32_t>(bytes[4 * k]) << 24 | static_cast<uint32_t>(bytes[4 * k + 1]) << 16 |
                     static_cast<uint32_t>(bytes[4 * k + 2]) << 8 | bytes[4 * k + 3];
    }
    return ident;
}

MachineIdent CurrentMachineIdent() {
    wchar_t name[256];
    int length = PlatformComputerName(name, 256);
    return MachineIdentFromName(name, length > 0 ? length : 0);
}

bool BuildOperationText(const ActionList& list, const MachineIdent& ident, CArray<char>* text,
                        bool* tooLarge) {
    XmlTextWriter out;
    out.Start("ident");
    for (int k = 0; k < 4; ++k) out.Number(kWordTags[k], static_cast<int32_t>(ident.w[k] ^ kIdentMasks[k]));
    out.End("ident");

    // One element per record, in list order, so that a recording that mixes
    // mouse and keys comes back as it was made. Files of the older grouped
    // layout are in document order already and read back the same. Records of
    // other devices are not kept, and a list without any gives "<action/>".
    bool any = false;
    for (int i = 0; i < list.count() && !any; ++i) {
        const ActionDevice device = list.at(i)->device;
        any = device == ActionDevice::Mouse || device == ActionDevice::Keyboard || device == ActionDevice::Display;
    }
    if (!any) out.Empty("action");
    if (any) out.Start("action");
    for (int i = 0; any && i < list.count(); ++i) {
        const ActionRecord* r = list.at(i);
        const int32_t interval = static_cast<int32_t>(r->interval);
        const int32_t kind = static_cast<int32_t>(r->kind);
        if (r->device == ActionDevice::Mouse) {
            out.Start("mouse");
            out.Number("time", interval);
            out.Number("x", r->x);
            out.Number("y", r->y);
            out.Number("type", kind);
            if (IsWheelKind(r->kind)) out.Number("delta", r->keyCode);
            out.End("mouse");
        } else if (r->device == ActionDevice::Keyboard) {
            out.Start("key");
            out.Number("time", interval);
            out.Number("type", kind);
            out.Number("code", r->keyCode);
            if (const int32_t stroke = KeyStrokeOf(*r)) {
                out.Number("scan", stroke & kKeyScanMask);
                out.Number("extended", (stroke & kKeyExtended) ? 1 : 0);
            }
            out.End("key");
        } else if (r->device == ActionDevice::Display) {
            out.Start("display");
            out.Number("time", interval);
            out.Number("type", kind);
            out.End("display");
        }
    }
    if (any) out.End("action");

    out.Start("image");
    CString folder;
    folder.Assign(list.screenshotFolder);
    out.Text("path", folder.GetWide());
    out.Number("type", static_cast<int32_t>(list.screenshotFormat));
    out.End("image");
    if (tooLarge) *tooLarge = out.TooLarge();
    return out.Finish(text);
}

OperationSave SaveOperationFile(ActionList* list, const wchar_t* path) {
    if (!path && (!list->filePath.GetText() || list->filePath.GetLength() == 0)) return OperationSave::Failed;
    CArray<char> text;
    bool tooLarge = false;
    const bool built = BuildOperationText(*list, CurrentMachineIdent(), &text, &tooLarge);
    if (tooLarge) return OperationSave::TooLarge;
    if (path) list->filePath.Assign(path);
    if (!built) return OperationSave::Failed;
    if (!SaveXmlText(path ? path : list->filePath.GetWide(), text)) return OperationSave::Failed;
    // Only a file that was really written makes the list unmodified: after a
    // failure the user must still be asked before the changes are dropped.
    list->modified = 0;
    return OperationSave::Saved;
}

int ActionList::save(const wchar_t* path) { return SaveOperationFile(this, path) == OperationSave::Saved ? 1 : 0; }

OperationFileLoad ReadOperationText(ActionList* list, const char* bytes, size_t size) {
    const int before = list->count();
    OperationReader reader(list);
    const XmlLoad read = ReadXmlDocument(bytes, size, &reader);
    if (read.consumed) reader.Finish();
    return Result(read, reader, list->count() - before);
}

OperationFileLoad LoadOperationFile(ActionList* list, const wchar_t* path) {
    list->filePath.Assign(path);
    const int before = list->count();
    OperationReader reader(list);
    const XmlLoad read = ReadXmlFile(path, &reader);
    if (read.consumed) reader.Finish();
    list->modified = 0;
    return Result(read, reader, list->count() - before);
}

int ActionList::load(const wchar_t* path) {
    return LoadOperationFile(this, path).whole() ? 1 : 0;
}
