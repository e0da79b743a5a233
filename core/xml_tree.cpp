// The element records shared by the reader and the writer: allocation and
// freeing, building trees, and the lookups consumers take values out with.
#include <cstring>
#include <new>

#include "core/xml_internal.h"

namespace xmldetail {

namespace {

CString* NameStore(XmlElement* element) {
    return reinterpret_cast<CString*>(BlockOf(element)->nameStore);
}

CString* TextStore(XmlElement* element) {
    return reinterpret_cast<CString*>(BlockOf(element)->textStore);
}

// Strings put into an element from outside (a caller assigning its own heap
// CString) are owned by it and go with it; the embedded ones are only
// destroyed.
void ReleaseString(CString* string, CString* store) {
    if (!string) return;
    if (string == store) {
        string->~CString();
    } else {
        COwner<CString> owned(string);
    }
}

uint32_t HashBytes(const char* bytes, int32_t length) {
    uint32_t hash = 2166136261u;
    for (int32_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    return hash;
}

constexpr size_t kArenaBlockSize = offsetof(ElementBlock, nameStore);

}  // namespace

bool ComputeAsciiIdentity(int codePage) {
    char bytes[127];
    wchar_t wide[127];
    char back[127];
    for (int i = 0; i < 127; ++i) bytes[i] = static_cast<char>(i + 1);
    if (PlatformMultiToWide(codePage, bytes, 127, wide, 127) != 127) return false;
    for (int i = 0; i < 127; ++i) {
        if (wide[i] != static_cast<wchar_t>(i + 1)) return false;
    }
    if (PlatformWideToMulti(codePage, wide, 127, back, 127) != 127) return false;
    return std::memcmp(bytes, back, 127) == 0;
}

XmlArena::~XmlArena() {
    for (int i = 0; i < table_.Count(); ++i) {
        if (table_[i].string) table_[i].string->~CString();
    }
    // One chunk at a time, so that a long chain needs no deep stack.
    while (chunks_) chunks_ = std::move(chunks_->older);
}

void* XmlArena::Allocate(size_t bytes) {
    bytes = (bytes + 15) & ~static_cast<size_t>(15);
    if (static_cast<size_t>(end_ - cursor_) < bytes) return AllocateInNewChunk(bytes);
    void* room = cursor_;
    cursor_ += bytes;
    return room;
}

void* XmlArena::AllocateInNewChunk(size_t bytes) {
    // Chunks are small enough to be zeroed while they are still in the cache
    // that filling them needs, and to come from the heap without being
    // rounded up to whole pages; they start at 4 KiB and double, so that a
    // small document (a settings file) does not zero 64 KiB. The array's
    // storage begins 8 bytes past a 16-byte boundary: those 8 bytes are
    // skipped.
    constexpr size_t kChunk = 64 * 1024 - 8;
    constexpr size_t kSkip = 8;
    const size_t size = bytes + kSkip > nextChunk_ ? bytes + kSkip : nextChunk_;
    if (size > static_cast<size_t>(kXmlMaxDocumentSize)) return nullptr;
    COwner<Chunk> chunk = COwner<Chunk>::New();
    if (!chunk || !chunk->room.Reserve(static_cast<int>(size))) return nullptr;
    char* start = chunk->room.Data();
    char* room = start + (16 - reinterpret_cast<uintptr_t>(start) % 16) % 16;
    cursor_ = room + bytes;
    end_ = start + size;
    if (nextChunk_ < kChunk) nextChunk_ = (nextChunk_ + 8) * 2 - 8;
    chunk->older = std::move(chunks_);
    chunks_ = std::move(chunk);
    return room;
}

bool XmlArena::GrowTable() {
    const uint32_t old = static_cast<uint32_t>(table_.Count());
    const uint32_t size = old ? old * 2 : 64;
    CArray<Entry> table;
    if (size > INT32_MAX || !table.Resize(static_cast<int>(size))) return false;
    for (uint32_t i = 0; i < old; ++i) {
        if (!table_[i].string) continue;
        uint32_t slot = table_[i].hash & (size - 1);
        while (table[slot].string) slot = (slot + 1) & (size - 1);
        table[slot] = table_[i];
    }
    table_ = std::move(table);
    return true;
}

CString* XmlArena::Intern(const char* bytes, int32_t length, int codePage) {
    unsigned first = length > 0 ? static_cast<unsigned char>(bytes[0]) : 0;
    unsigned second = length > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    unsigned last = length > 0 ? static_cast<unsigned char>(bytes[length - 1]) : 0;
    unsigned slot = static_cast<unsigned>(length) * 31 + first * 7 + second * 13 + last * 3;
    Recent& recent = recent_[slot % kRecent];
    if (recent.string && recent.length == length && recent.codePage == codePage &&
        SameBytes(recent.key, bytes, length)) {
        return recent.string;
    }
    CString* string = Insert(bytes, length, codePage);
    if (string) {
        const char* key = reinterpret_cast<const char*>(string + 1);
        recent = {key, length, codePage, string};
    }
    return string;
}

CString* XmlArena::Insert(const char* bytes, int32_t length, int codePage) {
    if ((tableCount_ + 1) * 2 > static_cast<uint32_t>(table_.Count()) && !GrowTable()) return nullptr;
    const uint32_t mask = static_cast<uint32_t>(table_.Count()) - 1;
    uint32_t hash = HashBytes(bytes, length) ^ static_cast<uint32_t>(codePage);
    uint32_t slot = hash & mask;
    // Entries are keyed by the document bytes; the string holds them decoded.
    for (; table_[slot].string; slot = (slot + 1) & mask) {
        const Entry& entry = table_[slot];
        if (entry.hash == hash && entry.length == length && entry.codePage == codePage &&
            SameBytes(entry.key, bytes, length)) {
            return entry.string;
        }
    }
    void* room = Allocate(sizeof(CString) + static_cast<size_t>(length));
    if (!room) return nullptr;
    CString* string = new (room) CString();
    char* key = reinterpret_cast<char*>(string + 1);
    std::memcpy(key, bytes, length);
    if (!StoreDecoded(bytes, length, codePage, string)) {
        string->~CString();
        return nullptr;
    }
    table_[slot] = {string, key, length, codePage, hash};
    ++tableCount_;
    return string;
}

ElementBlock* BlockOf(XmlElement* element) {
    return reinterpret_cast<ElementBlock*>(element);
}

XmlElement* AllocElement(XmlArena* arena) {
    if (!arena) {
        COwner<ElementBlock> block = COwner<ElementBlock>::New();
        return block ? &block.Release()->element : nullptr;
    }
    ElementBlock* block = static_cast<ElementBlock*>(arena->Allocate(kArenaBlockSize));
    if (!block) return nullptr;
    block->arena = arena;
    block->inArena = true;
    return &block->element;
}

XmlAttribute* MakeAttribute(const XmlBytes& name, const XmlBytes* value) {
    COwner<CString> storedName;
    if (ReaderMayAllocate()) storedName = COwner<CString>::New();
    if (!storedName || !name.Store(storedName.Get())) return nullptr;
    COwner<XmlAttribute> made;
    if (ReaderMayAllocate()) made = COwner<XmlAttribute>::New();
    if (!made) return nullptr;
    COwner<CString> storedValue;
    if (value) {
        if (ReaderMayAllocate()) storedValue = COwner<CString>::New();
        if (!storedValue || !value->Store(storedValue.Get())) return nullptr;
    }
    XmlAttribute* attribute = made.Release();
    attribute->name = storedName.Release();
    attribute->value = storedValue.Release();
    return attribute;
}

XmlAttribute* MakeAttribute(XmlArena* arena, const XmlBytes& name, const XmlBytes* value) {
    // Long values are seldom repeated and would be kept twice (the interned
    // key and the string): they stay on the heap.
    constexpr int32_t kLongestInterned = 256;
    if (value && value->length > kLongestInterned) return MakeAttribute(name, value);
    void* room = ReaderMayAllocate() ? arena->Allocate(sizeof(XmlAttribute)) : nullptr;
    if (!room) return nullptr;
    XmlAttribute* attribute = new (room) XmlAttribute();
    attribute->inArena = true;
    attribute->name = ReaderMayAllocate() ? arena->Intern(name.bytes, name.length, name.codePage) : nullptr;
    if (!attribute->name) return nullptr;
    if (value) {
        attribute->value = ReaderMayAllocate() ? arena->Intern(value->bytes, value->length, value->codePage) : nullptr;
        if (!attribute->value) return nullptr;
    }
    return attribute;
}

void FreeAttributes(XmlAttribute* first) {
    for (XmlAttribute* attribute = first; attribute;) {
        if (attribute->inArena) {
            attribute = attribute->next;
            continue;
        }
        // The record and its strings are owned here for their last moment.
        COwner<XmlAttribute> record(attribute);
        COwner<CString> name(attribute->name);
        COwner<CString> value(attribute->value);
        attribute = attribute->next;
    }
}

CString* EmbeddedName(XmlElement* element) {
    CString* store = NameStore(element);
    if (element->name != store) {
        ReleaseString(element->name, store);
        element->name = new (store) CString();
    }
    return element->name;
}

CString* EmbeddedText(XmlElement* element) {
    CString* store = TextStore(element);
    if (element->text != store) {
        ReleaseString(element->text, store);
        element->text = new (store) CString();
    }
    return element->text;
}

void DropText(XmlElement* element) {
    ReleaseString(element->text, TextStore(element));
    element->text = nullptr;
}

std::atomic<signed char> g_asciiIdentity[3] = {{-1}, {-1}, {-1}};

bool IsPlainAscii(const char* bytes, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0 || c >= 0x80) return false;
    }
    return true;
}

bool StoreDecoded(const char* bytes, int32_t count, int codePage, CString* out) {
    if (count == 0 || (IsPlainAscii(bytes, count) && AsciiIdentity(codePage) && AsciiIdentity(kCodePageAnsi))) {
        out->AssignBytes(bytes, count);
        return out->GetText() != nullptr;
    }
    if (!out->AssignFrom(bytes, count, codePage)) return false;
    // A text that decodes to nothing (a lone zero byte) is still a text.
    if (!out->GetText()) out->AssignBytes("", 0);
    return out->GetText() != nullptr;
}

bool StoreWide(CString* out, const wchar_t* wide) {
    // ASCII text is copied as it is, which is what the conversion would give.
    size_t length = WideLength(wide);
    char ascii[128];
    bool plain = length < sizeof ascii && AsciiIdentity(kCodePageAnsi);
    for (size_t i = 0; plain && i < length; ++i) {
        if (wide[i] >= 0x80) plain = false;
        ascii[i] = static_cast<char>(wide[i]);
    }
    if (plain) {
        out->AssignBytes(ascii, static_cast<int>(length));
    } else {
        out->Assign(wide, -1);
    }
    return length == 0 || out->GetText() != nullptr;
}

}  // namespace xmldetail

using namespace xmldetail;

namespace {

// The whole-number rule over UTF-16 units or narrow bytes, up to the first
// zero unit or the count. False when the text is not a number.
template <class Unit>
bool ParseWhole(const Unit* text, int32_t count, int32_t* value) {
    int32_t n = 0;
    while (n < count && text[n] != 0) ++n;
    if (n == 0) return false;
    int32_t i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < n && text[i] == '-') {
        negative = true;
        ++i;
    }
    uint32_t accumulated = 0;
    for (; i < n; ++i) {
        uint32_t unit = static_cast<uint32_t>(text[i]);
        if (unit < '0' || unit > '9') return false;
        accumulated = accumulated * 10u + (unit - '0');
    }
    *value = static_cast<int32_t>(negative ? 0u - accumulated : accumulated);
    return true;
}

}  // namespace

void XmlTreeRelease::Release(XmlElement* first) {
    // Iterative, so that releasing a deep tree needs no deep stack: the next
    // siblings of the elements being descended into wait on a heap stack (or,
    // without memory for it, are spliced behind the children). Arenas go
    // last, since the elements being walked live in them.
    COwner<XmlArena> arenas;
    CArray<XmlElement*> waiting;
    XmlElement* element = first;
    for (;;) {
        if (!element && !waiting.Pop(&element)) break;
        ElementBlock* block = BlockOf(element);
        XmlElement* next = element->next;
        XmlElement* child = element->firstChild;
        FreeAttributes(element->firstAttribute);
        if (!block->inArena) ReleaseString(element->name, NameStore(element));
        ReleaseString(element->text, TextStore(element));
        COwner<CString> encoding(element->encoding);
        if (block->ownsArena) {
            block->arena->nextToFree = std::move(arenas);
            arenas.Reset(block->arena);
        }
        if (!block->inArena) COwner<ElementBlock> owned(block);
        if (!child) {
            element = next;
            continue;
        }
        if (next && !waiting.Append(next)) {
            XmlElement* tail = child;
            while (tail->next) tail = tail->next;
            tail->next = next;
        }
        element = child;
    }
    // One arena at a time, so that a long list needs no deep stack.
    while (arenas) arenas = std::move(arenas->nextToFree);
}

XmlElement* FindElement(const XmlElement* first, const wchar_t* name) {
    // Equality is CString::IsEqual's (the wide name in the ANSI code page,
    // bytes compared exactly); an ASCII name needs no conversion for it.
    char key[64];
    size_t length = name ? WideLength(name) : 0;
    bool plain = length > 0 && length < sizeof key && AsciiIdentity(kCodePageAnsi);
    for (size_t i = 0; plain && i < length; ++i) {
        if (name[i] >= 0x80) plain = false;
        key[i] = static_cast<char>(name[i]);
    }
    for (const XmlElement* element = first; element; element = element->next) {
        if (!element->name) continue;
        if (plain) {
            const char* text = element->name->GetText();
            if (text && element->name->GetLength() == static_cast<int>(length) &&
                SameBytes(text, key, length)) {
                return const_cast<XmlElement*>(element);
            }
        } else if (element->name->IsEqual(name)) {
            return const_cast<XmlElement*>(element);
        }
    }
    return nullptr;
}

const wchar_t* TextOf(const XmlElement* element) {
    if (!element || !element->text) return L"";
    const wchar_t* wide = element->text->GetWide();
    return wide ? wide : L"";
}

namespace {

int32_t IntOfString(const CString* string, int32_t def) {
    const char* text = string->GetText();
    int32_t length = string->GetLength();
    if (!text || length == 0) return def;
    // ASCII bytes are the UTF-16 units themselves; any other byte belongs to
    // a character that is no digit, blank or "-", but is judged on the wide
    // text all the same.
    int32_t n = 0;
    bool ascii = AsciiIdentity(kCodePageAnsi);
    for (; n < length && text[n] != 0; ++n) {
        if (static_cast<unsigned char>(text[n]) >= 0x80) ascii = false;
    }
    int32_t value = def;
    if (ascii) return ParseWhole(text, n, &value) ? value : def;
    const wchar_t* wide = const_cast<CString*>(string)->GetWide();
    if (!wide) return def;
    return ParseWhole(wide, static_cast<int32_t>(WideLength(wide)), &value) ? value : def;
}

// Bytes in codePage that the tree would hold unconverted: ASCII in code
// pages that keep ASCII as it is.
bool StoredAsTheyAre(const XmlBytes& bytes) {
    return AsciiIdentity(bytes.codePage) && AsciiIdentity(kCodePageAnsi) &&
           (bytes.plain || IsPlainAscii(bytes.bytes, bytes.length));
}

}  // namespace

void AssignTextOf(CString* out, CString* text) {
    const char* bytes = text ? text->GetText() : nullptr;
    if (bytes && text->GetLength() > 0 && AsciiIdentity(kCodePageAnsi) && IsPlainAscii(bytes, text->GetLength())) {
        // ASCII comes back from the wide text as the same bytes.
        out->AssignBytes(bytes, text->GetLength());
        return;
    }
    const wchar_t* wide = text ? text->GetWide() : nullptr;
    out->Assign(wide ? wide : L"");
}

int32_t IntOf(const XmlElement* element, int32_t def) {
    if (!element || !element->text) return def;
    return IntOfString(element->text, def);
}

bool XmlBytes::Is(const char* name, int32_t nameLength) const {
    if (StoredAsTheyAre(*this)) return length == nameLength && SameBytes(bytes, name, static_cast<size_t>(length));
    // Other bytes are judged on what the tree would hold for them.
    CString stored;
    if (!StoreDecoded(bytes, length, codePage, &stored) || stored.GetLength() != nameLength) return false;
    return SameBytes(stored.GetText(), name, static_cast<size_t>(nameLength));
}

int32_t XmlBytes::Int(int32_t def) const {
    if (StoredAsTheyAre(*this)) {
        int32_t value = def;
        return ParseWhole(bytes, length, &value) ? value : def;
    }
    CString stored;
    if (!StoreDecoded(bytes, length, codePage, &stored)) return def;
    return IntOfString(&stored, def);
}

bool XmlBytes::Store(CString* out) const {
    if (!ReaderMayAllocate()) return false;
    if (plain && AsciiIdentity(codePage) && AsciiIdentity(kCodePageAnsi)) {
        out->AssignBytes(bytes, length);
        return out->GetText() != nullptr;
    }
    return StoreDecoded(bytes, length, codePage, out);
}

XmlTree NewElement(const wchar_t* name, const wchar_t* text) {
    XmlTree element(AllocElement(nullptr));
    if (!element) return element;
    bool ok = true;
    if (name) ok = StoreWide(EmbeddedName(element.Get()), name);
    if (ok && text) ok = StoreWide(EmbeddedText(element.Get()), text);
    if (!ok) element.Reset();
    return element;
}

XmlElement* AppendNewChild(XmlElement* parent, const wchar_t* name, const wchar_t* text) {
    if (!parent) return nullptr;
    ElementBlock* parentBlock = BlockOf(parent);
    if (!parentBlock->arena) {
        // The parent owns the arena from here on; the tree release drops it.
        COwner<XmlArena> arena = COwner<XmlArena>::New();
        if (!arena) return nullptr;
        parentBlock->arena = arena.Release();
        parentBlock->ownsArena = true;
    }
    XmlTree element(AllocElement(parentBlock->arena));
    if (!element) return nullptr;
    bool ok = true;
    if (name) {
        // Interned by its bytes in the ANSI code page.
        char ascii[64];
        size_t length = WideLength(name);
        bool plain = length < sizeof ascii && AsciiIdentity(kCodePageAnsi);
        for (size_t i = 0; plain && i < length; ++i) {
            if (name[i] >= 0x80) plain = false;
            ascii[i] = static_cast<char>(name[i]);
        }
        if (plain) {
            element->name = parentBlock->arena->Intern(ascii, static_cast<int32_t>(length), kCodePageAnsi);
        } else {
            CString converted;
            ok = StoreWide(&converted, name);
            const char* bytes = converted.GetText() ? converted.GetText() : "";
            element->name = ok ? parentBlock->arena->Intern(bytes, converted.GetLength(), kCodePageAnsi) : nullptr;
        }
        ok = element->name != nullptr;
    }
    if (ok && text) ok = StoreWide(EmbeddedText(element.Get()), text);
    if (!ok) return nullptr;
    return AppendChild(parent, std::move(element));
}

XmlElement* AppendChild(XmlElement* parent, XmlTree tree) {
    if (!parent || !tree) return nullptr;
    XmlElement* child = tree.Release();
    ElementBlock* block = BlockOf(parent);
    if (!parent->firstChild) {
        parent->firstChild = child;
    } else if (block->hintFirst == parent->firstChild && block->hintLast && !block->hintLast->next) {
        block->hintLast->next = child;
    } else {
        XmlElement* last = parent->firstChild;
        while (last->next) last = last->next;
        last->next = child;
    }
    XmlElement* last = child;
    while (last->next) last = last->next;
    block->hintFirst = parent->firstChild;
    block->hintLast = last;
    return child;
}
