// The element tree of a read document, built from the reader's events: each
// element is linked at the end of its parent's children (or of the top-level
// chain) when its start tag begins, and unlinked again when the tag turns out
// to be broken.
#include <utility>

#include "core/xml_internal.h"

using namespace xmldetail;

namespace {

class TreeBuilder : public XmlHandler {
public:
    // inArena: the elements go into one arena owned by the first top-level
    // element (a whole document); otherwise each is allocated on its own.
    explicit TreeBuilder(bool inArena) : inArena_(inArena) {}
    ~TreeBuilder() override { TakeChain(); }
    TreeBuilder(const TreeBuilder&) = delete;
    TreeBuilder& operator=(const TreeBuilder&) = delete;

    bool StartElement(const XmlBytes& name) override {
        if (inArena_ && !arena_) {
            if (ReaderMayAllocate()) arena_ = COwner<XmlArena>::New();
            if (!arena_) return false;
        }
        if (!open_.Grow(1)) return false;
        XmlTree made(ReaderMayAllocate() ? AllocElement(arena_.Get()) : nullptr);
        if (!made) return false;
        if (arena_) {
            made->name = ReaderMayAllocate() ? arena_->Intern(name.bytes, name.length, name.codePage) : nullptr;
            if (!made->name) return false;
        } else if (!name.Store(EmbeddedName(made.Get()))) {
            return false;
        }
        XmlElement* element = made.Release();
        Open* parent = Top();
        XmlElement*& last = parent ? parent->lastChild : last_;
        Open frame = {element, nullptr, last, &element->firstAttribute};
        if (last) {
            last->next = element;
        } else if (parent) {
            parent->element->firstChild = element;
        } else {
            first_ = element;
        }
        last = element;
        open_.Append(frame);
        return true;
    }

    bool Attribute(const XmlBytes& name, const XmlBytes* value) override {
        XmlAttribute* attribute = arena_ ? MakeAttribute(arena_.Get(), name, value) : MakeAttribute(name, value);
        if (!attribute) return false;
        Open* top = Top();
        *top->attributeTail = attribute;
        top->attributeTail = &attribute->next;
        return true;
    }

    void DropElement() override {
        Open frame = {};
        open_.Pop(&frame);
        Open* parent = Top();
        XmlElement*& last = parent ? parent->lastChild : last_;
        last = frame.before;
        if (frame.before) {
            frame.before->next = nullptr;
        } else if (parent) {
            parent->element->firstChild = nullptr;
        } else {
            first_ = nullptr;
        }
        XmlTree dropped(frame.element);
    }

    bool Text(const XmlBytes& text) override { return text.Store(EmbeddedText(Top()->element)); }
    void DropText() override { xmldetail::DropText(Top()->element); }

    void EndElement() override {
        Open frame = {};
        open_.Pop(&frame);
    }

    void EndCutElement() override {
        ++cutLevels_;
        EndElement();
    }

    int32_t cutLevels() const { return cutLevels_; }

    // The top-level chain read so far, which owns the arena from then on.
    XmlTree TakeChain() {
        XmlTree chain(first_);
        if (first_ && arena_) {
            BlockOf(first_)->ownsArena = true;
            arena_.Release();
        }
        first_ = last_ = nullptr;
        return chain;
    }

private:
    struct Open {
        XmlElement* element;
        XmlElement* lastChild;
        XmlElement* before;  // the sibling it was linked after, or null
        XmlAttribute** attributeTail;
    };

    Open* Top() { return open_.Empty() ? nullptr : &open_[open_.Count() - 1]; }

    bool inArena_;
    COwner<XmlArena> arena_;
    CArray<Open> open_;  // innermost last
    XmlElement* first_ = nullptr;
    XmlElement* last_ = nullptr;
    int32_t cutLevels_ = 0;
};

}  // namespace

XmlTree CXml::ParseElement(XmlCursor* cursor) {
    TreeBuilder builder(false);
    ReadElement(cursor, &builder, 0);
    return builder.TakeChain();
}

XmlDocument CXml::ParseDocument(const char* bytes, size_t size) {
    TreeBuilder builder(true);
    COwner<CString> encoding;
    const XmlLoad read = ReadDocument(bytes, size, &builder, &encoding);
    XmlDocument document;
    document.first = builder.TakeChain();
    if (document.first) document.first->encoding = encoding.Release();
    document.end = read.end;
    document.offset = read.offset;
    document.cutLevels = builder.cutLevels();
    return document;
}

XmlDocument ParseXmlDocument(const char* bytes, size_t size) {
    CXml xml;
    return xml.ParseDocument(bytes, size);
}
