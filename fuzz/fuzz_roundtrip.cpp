// Write then read: a tree made from the fuzzer's bytes, written by the writer
// and read back by the reader, must come back the same, except that texts
// have their blanks folded as the reader folds them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/xml.h"

namespace {

// Code points a name may hold (no delimiters, no "!" that could open a
// comment) and those a text may hold (blanks and the five specials included).
const char32_t kNameChars[] = {U'a', U'b', U'Z', U'0', U'_', U'-', U'.', U':', U'?', U'\u00E9', U'\u65E5'};
const char32_t kTextChars[] = {U'a', U'B', U'7', U' ', U'\t', U'\r', U'\n', U'<', U'>', U'&', U'"', U'\'',
                               U';', U'=', U'/', U'!', U'-', U'\u00E9', U'\u65E5', U'\U0001F600'};

// A short wide text, zero-terminated, kept on the stack: at most 12 code
// points, each one or two units.
struct Units {
    char16_t unit[32];
    size_t length;
    const wchar_t* Wide() const { return reinterpret_cast<const wchar_t*>(unit); }
};

Units Pick(FuzzedDataProvider* in, const char32_t* chars, size_t count, size_t minimum, size_t maximum) {
    Units out;
    out.length = 0;
    size_t length = in->ConsumeIntegralInRange<size_t>(minimum, maximum);
    for (size_t i = 0; i < length; ++i) {
        char32_t c = chars[in->ConsumeIntegralInRange<size_t>(0, count - 1)];
        if (c > 0xFFFF) {
            out.unit[out.length++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out.unit[out.length++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out.unit[out.length++] = static_cast<char16_t>(c);
        }
    }
    out.unit[out.length] = 0;
    return out;
}

Units Name(FuzzedDataProvider* in) {
    return Pick(in, kNameChars, sizeof kNameChars / sizeof *kNameChars, 1, 6);
}

Units Text(FuzzedDataProvider* in) {
    return Pick(in, kTextChars, sizeof kTextChars / sizeof *kTextChars, 0, 12);
}

CString* NewString(const Units& s) {
    CString* out = new CString();
    out->Assign(s.Wide(), static_cast<int>(s.length));
    return out;
}

// Children are made both ways: NewElement + AppendChild, and AppendNewChild.
XmlElement* MakeElement(FuzzedDataProvider* in, XmlElement* parent, int depth, int* budget) {
    --*budget;
    const Units name = Name(in);
    const Units text = Text(in);
    const wchar_t* textOrNone = in->ConsumeBool() ? text.Wide() : nullptr;
    XmlElement* e = in->ConsumeBool() ? AppendNewChild(parent, name.Wide(), textOrNone)
                                      : AppendChild(parent, NewElement(name.Wide(), textOrNone));
    if (!e) abort();
    XmlAttribute** link = &e->firstAttribute;
    int attributes = in->ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < attributes; ++i) {
        const Units value = Text(in);
        *link = new XmlAttribute{nullptr, NewString(Name(in)), in->ConsumeBool() ? NewString(value) : nullptr};
        link = &(*link)->next;
    }
    while (depth < 40 && *budget > 0 && in->remaining_bytes() > 0 && in->ConsumeBool()) {
        MakeElement(in, e, depth + 1, budget);
    }
    return e;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

const char* Bytes(const CString* s) {
    return s && s->GetText() ? s->GetText() : "";
}

// True when the reader's folding of `written` (runs of blanks become one
// space, none at either end) gives `read`; folding gives nothing for a text
// of blanks only.
bool FoldsTo(const CString* written, const char* read) {
    const char* p = Bytes(written);
    while (IsBlank(*p)) ++p;
    while (*p) {
        if (IsBlank(*p)) {
            while (IsBlank(*p)) ++p;
            if (!*p) break;
            if (*read++ != ' ') return false;
            continue;
        }
        if (*read++ != *p++) return false;
    }
    return *read == 0;
}

bool Same(const CString* a, const CString* b) {
    return std::strcmp(Bytes(a), Bytes(b)) == 0;
}

bool IsEmpty(const CString* s) {
    return !s || !s->GetText() || !s->GetText()[0];
}

void Compare(const XmlElement* written, const XmlElement* read) {
    for (; written; written = written->next, read = read->next) {
        if (!read || !Same(written->name, read->name)) abort();
        // Element content starts after the blanks: a text of blanks only, or
        // an empty one, reads as no text at all.
        const bool none = FoldsTo(written->text, "");
        if (none ? read->text != nullptr : (!read->text || !FoldsTo(written->text, Bytes(read->text)))) abort();
        const XmlAttribute* a = written->firstAttribute;
        const XmlAttribute* b = read->firstAttribute;
        for (; a; a = a->next, b = b->next) {
            if (!b || !Same(a->name, b->name)) abort();
            // An empty value reads as none; blanks only as an empty one.
            if (IsEmpty(a->value) ? b->value != nullptr : (!b->value || !FoldsTo(a->value, Bytes(b->value)))) abort();
        }
        if (b) abort();
        Compare(written->firstChild, read->firstChild);
    }
    if (read) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    int budget = 400;
    XmlTree root = NewElement(L"root", nullptr);
    XmlElement* holder = root.Get();
    if (!holder) abort();
    do {
        MakeElement(&in, holder, 0, &budget);
    } while (budget > 0 && in.remaining_bytes() > 0 && in.ConsumeBool());
    if (in.ConsumeBool()) {
        Units encoding;
        if (in.ConsumeBool()) {
            std::memcpy(encoding.unit, u"UTF-8", sizeof u"UTF-8");
            encoding.length = 5;
        } else {
            encoding = Pick(&in, kNameChars, 4, 1, 8);
        }
        holder->firstChild->encoding = NewString(encoding);
    }

    CArray<char> text;
    if (!BuildXmlText(holder->firstChild, &text) || static_cast<size_t>(text.Count()) != std::strlen(text.Data())) {
        abort();
    }
    XmlDocument document = ParseXmlDocument(text.Data(), static_cast<size_t>(text.Count()));
    XmlElement* read = document.first.Get();
    if (!read || document.end != XmlEnd::Complete) abort();
    // The tree is built from the reader's events, so a dropped, unbalanced or
    // misplaced event shows here as a difference.
    Compare(holder->firstChild, read);
    if (!Same(holder->firstChild->encoding, read->encoding)) abort();

    // Writing what was read gives the same bytes again once folded.
    CArray<char> second;
    if (!BuildXmlText(read, &second)) abort();
    XmlDocument again = ParseXmlDocument(second.Data(), static_cast<size_t>(second.Count()));
    if (!again.first) abort();
    Compare(read, again.first.Get());
    return 0;
}
