// Write then read: a tree made from the fuzzer's bytes, written by the writer
// and read back by the reader, must come back the same, except that texts
// have their blanks folded as the reader folds them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/xml.h"

namespace {

// Code points a name may hold (no delimiters, no "!" that could open a
// comment) and those a text may hold (blanks and the five specials included).
const char32_t kNameChars[] = {U'a', U'b', U'Z', U'0', U'_', U'-', U'.', U':', U'?', U'\u00E9', U'\u65E5'};
const char32_t kTextChars[] = {U'a', U'B', U'7', U' ', U'\t', U'\r', U'\n', U'<', U'>', U'&', U'"', U'\'',
                               U';', U'=', U'/', U'!', U'-', U'\u00E9', U'\u65E5', U'\U0001F600'};

std::u16string Pick(FuzzedDataProvider* in, const char32_t* chars, size_t count, size_t minimum, size_t maximum) {
    std::u16string out;
    size_t length = in->ConsumeIntegralInRange<size_t>(minimum, maximum);
    for (size_t i = 0; i < length; ++i) {
        char32_t c = chars[in->ConsumeIntegralInRange<size_t>(0, count - 1)];
        if (c > 0xFFFF) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string Name(FuzzedDataProvider* in) {
    return Pick(in, kNameChars, sizeof kNameChars / sizeof *kNameChars, 1, 6);
}

std::u16string Text(FuzzedDataProvider* in) {
    return Pick(in, kTextChars, sizeof kTextChars / sizeof *kTextChars, 0, 12);
}

CString* NewString(const std::u16string& s) {
    CString* out = new CString();
    out->Assign(W(s), static_cast<int>(s.size()));
    return out;
}

// Children are made both ways: NewElement + AppendChild, and AppendNewChild.
XmlElement* MakeElement(FuzzedDataProvider* in, XmlElement* parent, int depth, int* budget) {
    --*budget;
    std::u16string name = Name(in);
    std::u16string text = Text(in);
    const wchar_t* textOrNone = in->ConsumeBool() ? W(text) : nullptr;
    XmlElement* e = in->ConsumeBool() ? AppendNewChild(parent, W(name), textOrNone)
                                      : AppendChild(parent, NewElement(W(name), textOrNone));
    if (!e) abort();
    XmlAttribute** link = &e->firstAttribute;
    int attributes = in->ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < attributes; ++i) {
        std::u16string value = Text(in);
        *link = new XmlAttribute{nullptr, NewString(Name(in)), in->ConsumeBool() ? NewString(value) : nullptr};
        link = &(*link)->next;
    }
    while (depth < 40 && *budget > 0 && in->remaining_bytes() > 0 && in->ConsumeBool()) {
        MakeElement(in, e, depth + 1, budget);
    }
    return e;
}

// The reader's folding: runs of blanks become one space, none at either end.
std::string Fold(const CString* s) {
    std::string out;
    const char* p = s && s->GetText() ? s->GetText() : "";
    for (; *p; ++p) {
        bool blank = *p == ' ' || *p == '\t' || *p == '\r' || *p == '\n';
        if (!blank) {
            out += *p;
        } else if (!out.empty() && out.back() != ' ') {
            out += ' ';
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string Bytes(const CString* s) {
    return s && s->GetText() ? s->GetText() : "";
}

bool IsEmpty(const CString* s) {
    return !s || !s->GetText() || !s->GetText()[0];
}

void Compare(const XmlElement* written, const XmlElement* read) {
    for (; written; written = written->next, read = read->next) {
        if (!read || Bytes(written->name) != Bytes(read->name)) abort();
        // Element content starts after the blanks: a text of blanks only, or
        // an empty one, reads as no text at all.
        std::string text = Fold(written->text);
        if (text.empty() ? read->text != nullptr : (!read->text || Bytes(read->text) != text)) abort();
        const XmlAttribute* a = written->firstAttribute;
        const XmlAttribute* b = read->firstAttribute;
        for (; a; a = a->next, b = b->next) {
            if (!b || Bytes(a->name) != Bytes(b->name)) abort();
            // An empty value reads as none; blanks only as an empty one.
            if (IsEmpty(a->value) ? b->value != nullptr : (!b->value || Bytes(b->value) != Fold(a->value))) abort();
        }
        if (b) abort();
        Compare(written->firstChild, read->firstChild);
    }
    if (read) abort();
}

int CountElements(const XmlElement* first) {
    int count = 0;
    for (; first; first = first->next) count += 1 + CountElements(first->firstChild);
    return count;
}

// The reader's events for a whole document: every element started is ended,
// none is dropped, and a text only ever comes inside an element.
class EventCheck : public XmlHandler {
public:
    bool StartElement(const XmlBytes& name) override {
        if (name.length <= 0) abort();
        ++open_;
        return true;
    }
    bool Attribute(const XmlBytes&, const XmlBytes*) override {
        if (open_ == 0) abort();
        return true;
    }
    void DropElement() override { abort(); }
    bool Text(const XmlBytes&) override {
        if (open_ == 0) abort();
        return true;
    }
    void DropText() override {
        if (open_ == 0) abort();
    }
    void EndElement() override {
        if (open_-- == 0) abort();
        ++elements_;
    }
    int elements() const { return open_ == 0 ? elements_ : -1; }

private:
    int open_ = 0;
    int elements_ = 0;
};

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
        std::u16string encoding = in.ConsumeBool() ? u"UTF-8" : Pick(&in, kNameChars, 4, 1, 8);
        holder->firstChild->encoding = NewString(encoding);
    }

    CArray<char> text;
    if (!BuildXmlText(holder->firstChild, &text) || static_cast<size_t>(text.Count()) != std::strlen(text.Data())) {
        abort();
    }
    XmlDocument document = ParseXmlDocument(text.Data(), static_cast<size_t>(text.Count()));
    XmlElement* read = document.first.Get();
    if (!read || document.end != XmlEnd::Complete) abort();
    Compare(holder->firstChild, read);
    if (Bytes(holder->firstChild->encoding) != Bytes(read->encoding)) abort();
    EventCheck events;
    const XmlLoad streamed = ReadXmlDocument(text.Data(), static_cast<size_t>(text.Count()), &events);
    if (streamed.end != XmlEnd::Complete || !streamed.consumed || events.elements() != CountElements(read)) abort();

    // Writing what was read gives the same bytes again once folded.
    CArray<char> second;
    if (!BuildXmlText(read, &second)) abort();
    XmlDocument again = ParseXmlDocument(second.Data(), static_cast<size_t>(second.Count()));
    if (!again.first) abort();
    Compare(read, again.first.Get());
    return 0;
}
