// The XML reader: dialect, recovery from damage, encodings, lookups, and
// hostile input (truncation, deep nesting, oversized documents).
#include <climits>
#include <string>

#include "doctest.h"
#include "core/file.h"
#include "xml_test_util.h"

#ifndef _WIN32
#include <unistd.h>
#endif

using xmltest::kDeclaration;
using xmltest::ParseRender;

namespace {

std::string Doc(const std::string& body) {
    return kDeclaration + body;
}

struct Case {
    const char* body;
    const char* tree;
    // Where reading found damage: null for a document read whole, "" for the
    // end of the input, else the first place in the body that holds this text.
    const char* damage;
};

int CountElements(const XmlElement* first) {
    int count = 0;
    for (; first; first = first->next) count += 1 + CountElements(first->firstChild);
    return count;
}

// The reader's events without a tree: what is started ends or is dropped,
// and texts and attributes come only inside a started element.
struct EventCount : XmlHandler {
    int open = 0, ended = 0, dropped = 0, misplaced = 0;
    bool StartElement(const XmlBytes&) override {
        ++open;
        return true;
    }
    bool Attribute(const XmlBytes&, const XmlBytes*) override {
        misplaced += open == 0;
        return true;
    }
    void DropElement() override {
        --open;
        ++dropped;
    }
    bool Text(const XmlBytes&) override {
        misplaced += open == 0;
        return true;
    }
    void DropText() override { misplaced += open == 0; }
    void EndElement() override {
        --open;
        ++ended;
    }
};

// Parses the body after the declaration and checks the tree and the end; the
// reader without a tree ends the same way and ends one element for each the
// tree holds.
void CheckCase(const Case& c) {
    CAPTURE(c.body);
    const std::string doc = Doc(c.body);
    CHECK(ParseRender(doc) == c.tree);
    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    EventCount events;
    const XmlLoad streamed = ReadXmlDocument(doc.data(), doc.size(), &events);
    CHECK(streamed.end == document.end);
    CHECK(streamed.offset == document.offset);
    CHECK(streamed.consumed == static_cast<bool>(document.first));
    CHECK(events.open == 0);
    CHECK(events.misplaced == 0);
    CHECK(events.ended == CountElements(document.first.Get()));
    if (!c.damage) {
        CHECK(document.end == XmlEnd::Complete);
        CHECK(document.offset == -1);
    } else {
        const size_t at = c.damage[0] ? doc.find(c.damage, sizeof kDeclaration - 1) : doc.size();
        REQUIRE(at != std::string::npos);
        CHECK(document.end == XmlEnd::Damaged);
        CHECK(document.offset == static_cast<int64_t>(at));
    }
}

}  // namespace

TEST_CASE("documents of the dialect read into trees, and how each ended") {
    const Case cases[] = {
        {"<a><b>1</b>\r\n<c/>\r\n</a>\r\n", "a(b='1',c)", nullptr},
        {"<a/><b>x</b>\r\n<c></c>", "a b='x' c", nullptr},
        {"<a>  a \r\n  b  </a>", "a='a b'", nullptr},
        {"<a>x &lt;y&gt; &amp;z &foo; &quot;&apos;</a>", "a='x <y> &z &foo; \"''", nullptr},
        {"<a>&amp</a>", "a='&amp'", nullptr},
        {"<e a='' b='1'/>", "e[a=~,b=1]", nullptr},
        {"<e a = \"it's\"\tb='say \"hi\"' >t</e>", "e='t'[a=it's,b=say \"hi\"]", nullptr},
        {"<e a='  '/>", "e[a=]", nullptr},
        // Names and values repeat across elements, raw and decoded alike.
        {"<a x='&lt;1' y='&lt;1'><b y='&lt;1' x='1'/><b x='1' y='x'>1</b></a>",
         "a[x=<1,y=<1](b[y=<1,x=1],b='1'[x=1,y=x])", nullptr},
        {"<a>x<b/>y</a>", "a='y'(b)", nullptr},
        {"<!-- first --><a><!-- c --><b/></a>\r\n<!-- between -->\r\n<c/>", "a(b) c", nullptr},
        {"<a>t<!-- before the end tag --></a><b/>", "a='t' b", nullptr},
        {"<a><!-- before text -->t</a>", "a='t'", nullptr},
        {"<a></a >", "a", nullptr},
        {"<a>1</a>\r\n<!-- trailing -->\r\n  ", "a='1'", nullptr},
        // Damage: what was read before it is kept, and the end says where.
        {"<a><b>1</b></x><c/>", "a(b='1')", "</x>"},
        {"<r><a><b/></x></a><c/></r><d/>", "r(a(b))", "</x>"},
        {"<a><b>text", "a(b)", ""},
        {"<a><b>text</b>", "a(b='text')", ""},
        {"<a attr=\"unterminated", "a[attr=~]", ""},
        {"<a x='1'", "a[x=1]", ""},
        {"<a/><!DOCTYPE x><b/>", "a", "><b/>"},
        {"<a>t></a><b/>", "a", "></a>"},
        {"<a>1</a x><b/>", "a", "x><b/>"},
        {"<a>1<!-- never closed </a>", "a='1'", ""},
        {"<a>1</a><", "a='1'", ""},
        {"<a>1</a>junk<b/>", "a='1'", "junk"},
        {"<a><b>1</b><c>2</c", "a(b='1',c='2')", ""},
        // A start tag that breaks drops its element; reading goes on after it.
        {"<a><b x='1'<c/><d>2</d></a>", "a(c,d='2')", "<c/>"},
    };
    for (const Case& c : cases) CheckCase(c);
    const std::string value(300, 'v');
    const std::string longValue = "<e v='" + value + "' w='" + value + "x'/><f v='" + value + "'/>";
    const std::string longTree = "e[v=" + value + ",w=" + value + "x] f[v=" + value + "]";
    CheckCase({longValue.c_str(), longTree.c_str(), nullptr});
}

TEST_CASE("a zero byte ends a text, whose blanks before it are still trimmed") {
    const std::string doc = Doc(std::string("<a>x \0 y</a><b v='1 \0z'/>", 25));
    CHECK(ParseRender(doc) == "a='x' b[v=1]");
    // The rest of the text is lost, which is damage.
    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    CHECK(document.end == XmlEnd::Damaged);
    CHECK(document.offset == static_cast<int64_t>(doc.find('\0')));
}

TEST_CASE("documents without a readable start are refused") {
    const std::string refused[] = {
        "",
        "<a/>",
        "\xEF\xBB\xBF<?xml version=\"1.0\" ?><a/>",
        "<?xmlversion=\"1.0\" ?><a/>",
        "<?xml",
        "<?xml version=\"1.0\"",
        "<?xml version=\"1.0\" ?>",
        "<?xml version=\"1.0\" ?>\r\n   ",
        "<?xml version=\"1.0\" ?>text<a/>",
        "<?xml version ?><a/>",
        "<?xml version=\"1.0\" ?><!-- only a comment -->",
    };
    for (const std::string& doc : refused) {
        CAPTURE(doc);
        CHECK(ParseRender(doc) == "<null>");
        XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
        CHECK(document.end == XmlEnd::Damaged);
        CHECK(document.offset >= 0);
        CHECK(document.offset <= static_cast<int64_t>(doc.size()));
    }
    CHECK(ParseRender("  \r\n<?xml version=\"1.0\"?><a/>") == "a");
}

TEST_CASE("the declaration selects the code page") {
    struct Encoding {
        const char* declaration;
        int codePage;
    } encodings[] = {
        {"<?xml version=\"1.0\" ?>", 65001},
        {"<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>", 932},
        {"<?xml version=\"1.0\" encoding='SHIFT_JIS'?>", 932},
        {"<?xml version=\"1.0\" encoding=\"utf-8\" ?>", 65001},
        {"<?xml version=\"1.0\" encoding=\"euc-jp\" ?>", 65001},
        {"<?xml version=\"1.0\" encoding=\"euc\" ?>", 65001},
        {"<?xml encoding=\"shift_jis\" encoding=\"UTF-8\" ?>", 65001},
    };
    for (const Encoding& e : encodings) {
        CAPTURE(e.declaration);
        CXml xml;
        std::string text = e.declaration;
        XmlCursor cursor = {text.data(), static_cast<int32_t>(text.size()), 0};
        COwner<CString> value;
        CHECK(xml.ParseDeclaration(&cursor, &value) == 1);
        CHECK(cursor.position == static_cast<int32_t>(text.size()));
        CHECK(xml.codePage == e.codePage);
    }
}

TEST_CASE("the parsing operations leave the cursor where the rules say") {
    struct Step {
        const char* input;
        int quote;   // -1: ParseName, else ParseText with this quote
        const char* result;  // null: yields nothing
        int position;
    } steps[] = {
        {"abc>", -1, "abc", 3},
        {"a\xC3\xA9 =", -1, "a\xC3\xA9", 3},
        {"abc", -1, nullptr, 0},
        {">", -1, nullptr, 0},
        {"a &lt; b<", 0, "a < b", 8},
        {"abc>x", 0, nullptr, 3},
        {"<", 0, nullptr, 0},
        {"abc", 0, nullptr, 3},
        {"x' ", '\'', "x", 2},
        {"' ", '\'', nullptr, 1},
        {"a<'", '\'', nullptr, 1},
        {" a  b \"", '"', "a b", 7},
    };
    for (const Step& step : steps) {
        CAPTURE(step.input);
        CXml xml;
        std::string input = step.input;
        XmlCursor cursor = {input.data(), static_cast<int32_t>(input.size()), 0};
        COwner<CString> result = step.quote < 0 ? xml.ParseName(&cursor) : xml.ParseText(&cursor, step.quote);
        CHECK(static_cast<bool>(result) == (step.result != nullptr));
        if (result && step.result) CHECK(xmltest::Str(result.Get()) == step.result);
        CHECK(cursor.position == step.position);
    }

    CXml xml;
    std::string attributes = " a='1' b = \"2\" c";
    XmlCursor cursor = {attributes.data(), static_cast<int32_t>(attributes.size()), 0};
    XmlTree e = NewElement(L"e", nullptr);
    CHECK(xml.ParseAttribute(&cursor, e.Get()));
    CHECK(xml.ParseAttribute(&cursor, e.Get()));
    CHECK(xml.ParseAttribute(&cursor, e.Get()) == nullptr);
    CHECK(xmltest::Render(e.Get()) == "e[a=1,b=2]");
}

TEST_CASE("Shift_JIS and UTF-8 texts decode into the ANSI code page") {
    // What a CString makes of the right characters: the characters themselves
    // where the ANSI code page has them, its default character otherwise.
    CString expectedNihon(L"\u65E5\u672C");
    std::string nihon = testutil::Utf8(expectedNihon.GetWide());

    std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n<a>\x93\xFA\x96\x7B</a>";
    XmlDocument read = ParseXmlDocument(sjis.data(), sjis.size());
    XmlElement* first = read.first.Get();
    REQUIRE(first);
    CHECK(testutil::Utf8(TextOf(first)) == nihon);
    CHECK(xmltest::Str(first->encoding) == "Shift_JIS");

    std::string utf8 = Doc("<caf\xC3\xA9>\xE6\x97\xA5\xE6\x9C\xAC</caf\xC3\xA9>");
    read = ParseXmlDocument(utf8.data(), utf8.size());
    first = read.first.Get();
    REQUIRE(first);
    CHECK(xmltest::Str(first->name) == "caf\xC3\xA9");
    CHECK(FindElement(first, L"caf\u00E9") == first);
    CHECK(testutil::Utf8(TextOf(first)) == nihon);
    CHECK(first->encoding == nullptr);
}

TEST_CASE("a stray '>' ends each enclosing element with one debug line each") {
    xmltest::DebugCapture capture;
    std::string doc = Doc("<r><a>t></a></r><z/>");
    CHECK(ParseRender(doc) == "r(a)");
    CHECK(capture.lines().count == 2);
    CHECK(capture.lines().formatOk);
    CHECK(capture.lines().lastPosition == static_cast<int>(doc.find("></a>")));
}

TEST_CASE("a mismatched end tag ends the document without a debug line") {
    xmltest::DebugCapture capture;
    CHECK(ParseRender(Doc("<a><b>1</b></x><c/>")) == "a(b='1')");
    CHECK(capture.lines().count == 0);
}

TEST_CASE("IntOf reads whole numbers by the one rule") {
    struct Number {
        const wchar_t* text;
        int32_t value;
    } numbers[] = {
        {L"-5", -5}, {L" 42", 42}, {L"\t 7", 7}, {L"42 ", 99}, {L"4294967295", -1}, {L"4294967296", 0},
        {L"2147483648", INT_MIN}, {L"-", 0}, {L"+1", 99}, {L"12a", 99}, {L"1 2", 99}, {L"-4294967295", 1},
        {L"0042", 42}, {L"1\u00B2", 99}, {L"--1", 99}, {L"", 99}, {L"- 1", 99},
    };
    for (const Number& n : numbers) {
        CAPTURE(testutil::Utf8(n.text));
        XmlTree e = NewElement(L"n", n.text);
        REQUIRE(e);
        CHECK(IntOf(e.Get(), 99) == n.value);
    }
    XmlTree none = NewElement(L"n", nullptr);
    CHECK(IntOf(none.Get(), 7) == 7);
    CHECK(IntOf(nullptr, 7) == 7);

    // As read from a file: the reader has already dropped the outer blanks.
    std::string doc = Doc("<n> 42 </n>");
    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    XmlElement* first = document.first.Get();
    REQUIRE(first);
    CHECK(IntOf(first, 99) == 42);
}

TEST_CASE("lookups: FindElement matches names exactly, TextOf never gives null") {
    std::string doc = Doc("<r><Time>1</Time><time>2</time><time>3</time><t/></r>");
    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    XmlElement* first = document.first.Get();
    REQUIRE(first);
    XmlElement* time = FindElement(first->firstChild, L"time");
    REQUIRE(time);
    CHECK(IntOf(time, 0) == 2);
    CHECK(IntOf(FindElement(first->firstChild, L"Time"), 0) == 1);
    CHECK(FindElement(first->firstChild, L"TIME") == nullptr);
    CHECK(FindElement(first->firstChild, L"tim") == nullptr);
    CHECK(FindElement(first, L"r") == first);
    CHECK(FindElement(nullptr, L"r") == nullptr);
    const wchar_t* none = TextOf(FindElement(first->firstChild, L"t"));
    REQUIRE(none);
    CHECK(none[0] == 0);
    CHECK(TextOf(nullptr)[0] == 0);
}

TEST_CASE("every truncation of a document is read without reading past its end") {
    std::string doc = Doc(
        "<!-- c --><a x='1' y=\"&lt;2&gt;\"><b>t &amp; u</b>\r\n<c/><d>  w  </d></a >\r\n"
        "<e><f><g>deep</g></f></e>");
    for (size_t n = 0; n <= doc.size(); ++n) {
        CAPTURE(n);
        std::string tree = ParseRender(doc.substr(0, n));
        if (n == doc.size()) CHECK(tree == "a[x=1,y=<2>](b='t & u',c,d='w') e(f(g='deep'))");
    }
}

TEST_CASE("nesting deeper than the bound ends the document there") {
    xmltest::DebugCapture capture;
    const int depth = 1000000;
    std::string doc = kDeclaration;
    doc.reserve(doc.size() + depth * 7);
    for (int i = 0; i < depth; ++i) doc += "<a>";
    for (int i = 0; i < depth; ++i) doc += "</a>";
    doc += "<after/>";

    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    XmlElement* first = document.first.Get();
    REQUIRE(first);
    int levels = 0;
    for (XmlElement* e = first; e; e = e->firstChild) ++levels;
    CHECK(levels == kXmlMaxDepth);
    CHECK(first->next == nullptr);
    CHECK(capture.lines().count == 1);

    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "deep.xml");
    REQUIRE(testutil::WriteBytes(path, doc));
    CString widePath;
    widePath.Assign(path.c_str());
    int seen = 0;
    XmlLoad load = LoadXmlFile(widePath.GetWide(), [&](XmlElement* head) {
        for (XmlElement* e = head; e; e = e->firstChild) ++seen;
    });
    CHECK(load.consumed);
    CHECK(load.end == XmlEnd::Damaged);
    CHECK(seen == kXmlMaxDepth);
}

TEST_CASE("documents of 2 GiB or more are refused before any byte is read") {
    char tiny[8] = "<?xml ";
    CHECK(ParseXmlDocument(tiny, static_cast<size_t>(kXmlMaxDocumentSize) + 1).end == XmlEnd::Unreadable);
    CHECK(ParseXmlDocument(tiny, static_cast<size_t>(UINT32_MAX) + 10).end == XmlEnd::Unreadable);
    CHECK_FALSE(ParseXmlDocument(nullptr, 10).first);

    // A sparse file just over the limit: refused by its size, no 2 GiB buffer.
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "huge.xml");
    REQUIRE(testutil::WriteBytes(path, Doc("<a/>")));
#ifdef _WIN32
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    REQUIRE(h != INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = 0x80000010LL;
    SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    REQUIRE(SetEndOfFile(h));
    CloseHandle(h);
#else
    REQUIRE(truncate(path.c_str(), 0x80000010LL) == 0);
#endif
    CString widePath;
    widePath.Assign(path.c_str());
    bool called = false;
    XmlLoad load = LoadXmlFile(widePath.GetWide(), [&](XmlElement*) { called = true; });
    CHECK(load.end == XmlEnd::Unreadable);
    CHECK_FALSE(load.consumed);
    CHECK_FALSE(called);
    std::remove(path.c_str());
}

TEST_CASE("LoadXmlFile hands the chain to the consumer and tells how the file ended") {
    std::string dir = testutil::MakeTempDir();
    struct File {
        const char* name;
        std::string bytes;  // null name: no file
        XmlEnd end;
        int64_t offset;
        const char* tree;  // null: the consumer is not called
    } files[] = {
        {"good.xml", Doc("<a>1</a>\r\n<b>2</b>\r\n"), XmlEnd::Complete, -1, "a='1' b='2'"},
        {"cut.xml", Doc("<a>1</a>\r\n<b>2"), XmlEnd::Damaged, 38, "a='1' b"},
        {"empty.xml", "", XmlEnd::Damaged, 0, nullptr},
        {"bad.xml", "<a>1</a>", XmlEnd::Damaged, 0, nullptr},
        {"utf16.xml", std::string("\xFF\xFE<\0?\0x\0m\0l\0 \0", 14), XmlEnd::Damaged, 0, nullptr},
        {"missing.xml", std::string(), XmlEnd::Unreadable, -1, nullptr},
    };
    for (const File& f : files) {
        CAPTURE(f.name);
        const std::string path = testutil::Join(dir, f.name);
        if (std::string(f.name) != "missing.xml") REQUIRE(testutil::WriteBytes(path, f.bytes));
        CString wide;
        wide.Assign(path.c_str());
        std::string seen;
        bool called = false;
        XmlLoad load = LoadXmlFile(wide.GetWide(), [&](XmlElement* first) {
            called = true;
            seen = xmltest::Render(first);
        });
        CHECK(load.end == f.end);
        CHECK(load.offset == f.offset);
        CHECK(load.consumed == (f.tree != nullptr));
        CHECK(called == (f.tree != nullptr));
        if (f.tree) CHECK(seen == f.tree);
    }
}

// A document with every kind of allocation the reader makes: elements, names
// (shared and new), plain and decoded texts, attributes with short and long
// values, and the declaration's.
const char kAllocatingBody[] =
    "<a x='1' y=\"&lt;2&gt;\"><b>t &amp; u</b>\r\n<b>plain</b>\r\n<c/><d>  w  </d></a>\r\n"
    "<e><f><g>deep</g></f></e>";

TEST_CASE("memory running out ends the document there and says so") {
    const std::string doc = Doc(std::string(kAllocatingBody) + "<h v='" + std::string(300, 'v') + "' x='1'/>");
    const std::string whole = ParseRender(doc);
    // Every limit below what the document needs runs out, keeps only what
    // came before, and never passes for the whole document.
    int limit = 0;
    for (;; ++limit) {
        CAPTURE(limit);
        REQUIRE(limit < 500);
        SetXmlReaderAllocationLimit(limit);
        XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
        SetXmlReaderAllocationLimit(-1);
        const std::string tree = document.first ? xmltest::Render(document.first.Get()) : "<null>";
            if (document.end == XmlEnd::Complete) {
            CHECK(tree == whole);
            break;
        }
        CHECK(document.end == XmlEnd::OutOfMemory);
        CHECK(document.offset >= 0);
        CHECK(document.offset < static_cast<int64_t>(doc.size()));
        CHECK(tree != whole);
    }
    CHECK(limit > 10);

    // Through a file, whose buffer is one more allocation: with none, nothing
    // is read; one short of the document, the tree is handed on all the same.
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "doc.xml");
    REQUIRE(testutil::WriteBytes(path, doc));
    CString wide;
    wide.Assign(path.c_str());
    for (int n : {0, limit}) {
        CAPTURE(n);
        SetXmlReaderAllocationLimit(n);
        bool called = false;
        XmlLoad load = LoadXmlFile(wide.GetWide(), [&](XmlElement*) { called = true; });
        SetXmlReaderAllocationLimit(-1);
        CHECK(load.end == XmlEnd::OutOfMemory);
        CHECK(called == load.consumed);
        CHECK(load.consumed == (n > 0));
    }
}
