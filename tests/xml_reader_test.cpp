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
};

}  // namespace

TEST_CASE("documents of the dialect read into trees") {
    const Case cases[] = {
        {"<a><b>1</b>\r\n<c/>\r\n</a>\r\n", "a(b='1',c)"},
        {"<a/><b>x</b>\r\n<c></c>", "a b='x' c"},
        {"<a>  a \r\n  b  </a>", "a='a b'"},
        {"<a>x &lt;y&gt; &amp;z &foo; &quot;&apos;</a>", "a='x <y> &z &foo; \"''"},
        {"<a>&amp</a>", "a='&amp'"},
        {"<e a='' b='1'/>", "e[a=~,b=1]"},
        {"<e a = \"it's\"\tb='say \"hi\"' >t</e>", "e='t'[a=it's,b=say \"hi\"]"},
        {"<e a='  '/>", "e[a=]"},
        {"<a>x<b/>y</a>", "a='y'(b)"},
        {"<!-- first --><a><!-- c --><b/></a>\r\n<!-- between -->\r\n<c/>", "a(b) c"},
        {"<a>t<!-- before the end tag --></a><b/>", "a='t' b"},
        {"<a><!-- before text -->t</a>", "a='t'"},
        {"<a></a >", "a"},
        {"<a><b>1</b></x><c/>", "a(b='1')"},
        {"<r><a><b/></x></a><c/></r><d/>", "r(a(b))"},
        {"<a><b>text", "a(b)"},
        {"<a><b>text</b>", "a(b='text')"},
        {"<a attr=\"unterminated", "a[attr=~]"},
        {"<a/><!DOCTYPE x><b/>", "a"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.body);
        CHECK(ParseRender(Doc(c.body)) == c.tree);
    }
}

TEST_CASE("a zero byte ends a text, whose blanks before it are still trimmed") {
    CHECK(ParseRender(Doc(std::string("<a>x \0 y</a><b v='1 \0z'/>", 25))) == "a='x' b[v=1]");
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
        CString* value = nullptr;
        CHECK(xml.ParseDeclaration(&cursor, &value) == 1);
        CHECK(cursor.position == static_cast<int32_t>(text.size()));
        CHECK(xml.codePage == e.codePage);
        delete value;
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
        CString* result = step.quote < 0 ? xml.ParseName(&cursor) : xml.ParseText(&cursor, step.quote);
        CHECK((result != nullptr) == (step.result != nullptr));
        if (result && step.result) CHECK(xmltest::Str(result) == step.result);
        CHECK(cursor.position == step.position);
        delete result;
    }

    CXml xml;
    std::string attributes = " a='1' b = \"2\" c";
    XmlCursor cursor = {attributes.data(), static_cast<int32_t>(attributes.size()), 0};
    XmlElement* e = NewElement(L"e", nullptr);
    CHECK(xml.ParseAttribute(&cursor, e));
    CHECK(xml.ParseAttribute(&cursor, e));
    CHECK(xml.ParseAttribute(&cursor, e) == nullptr);
    CHECK(xmltest::Render(e) == "e[a=1,b=2]");
    FreeElements(e);
}

TEST_CASE("Shift_JIS and UTF-8 texts decode into the ANSI code page") {
    // What a CString makes of the right characters: the characters themselves
    // where the ANSI code page has them, its default character otherwise.
    CString expectedNihon(L"\u65E5\u672C");
    std::string nihon = testutil::Utf8(expectedNihon.GetWide());

    std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n<a>\x93\xFA\x96\x7B</a>";
    XmlElement* first = ParseXmlDocument(sjis.data(), sjis.size());
    REQUIRE(first);
    CHECK(testutil::Utf8(TextOf(first)) == nihon);
    CHECK(xmltest::Str(first->encoding) == "Shift_JIS");
    FreeElements(first);

    std::string utf8 = Doc("<caf\xC3\xA9>\xE6\x97\xA5\xE6\x9C\xAC</caf\xC3\xA9>");
    first = ParseXmlDocument(utf8.data(), utf8.size());
    REQUIRE(first);
    CHECK(xmltest::Str(first->name) == "caf\xC3\xA9");
    CHECK(FindElement(first, L"caf\u00E9") == first);
    CHECK(testutil::Utf8(TextOf(first)) == nihon);
    CHECK(first->encoding == nullptr);
    FreeElements(first);
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
        XmlElement* e = NewElement(L"n", n.text);
        REQUIRE(e);
        CHECK(IntOf(e, 99) == n.value);
        FreeElements(e);
    }
    XmlElement* none = NewElement(L"n", nullptr);
    CHECK(IntOf(none, 7) == 7);
    CHECK(IntOf(nullptr, 7) == 7);
    FreeElements(none);

    // As read from a file: the reader has already dropped the outer blanks.
    std::string doc = Doc("<n> 42 </n>");
    XmlElement* first = ParseXmlDocument(doc.data(), doc.size());
    REQUIRE(first);
    CHECK(IntOf(first, 99) == 42);
    FreeElements(first);
}

TEST_CASE("lookups: FindElement matches names exactly, TextOf never gives null") {
    std::string doc = Doc("<r><Time>1</Time><time>2</time><time>3</time><t/></r>");
    XmlElement* first = ParseXmlDocument(doc.data(), doc.size());
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
    FreeElements(first);
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

    XmlElement* first = ParseXmlDocument(doc.data(), doc.size());
    REQUIRE(first);
    int levels = 0;
    for (XmlElement* e = first; e; e = e->firstChild) ++levels;
    CHECK(levels == kXmlMaxDepth);
    CHECK(first->next == nullptr);
    CHECK(capture.lines().count == 1);
    FreeElements(first);

    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "deep.xml");
    REQUIRE(testutil::WriteBytes(path, doc));
    CString widePath;
    widePath.Assign(path.c_str());
    int seen = 0;
    CHECK(LoadXmlFile(widePath.GetWide(), [&](XmlElement* head) {
        for (XmlElement* e = head; e; e = e->firstChild) ++seen;
    }));
    CHECK(seen == kXmlMaxDepth);
}

TEST_CASE("documents of 2 GiB or more are refused before any byte is read") {
    char tiny[8] = "<?xml ";
    CHECK(ParseXmlDocument(tiny, static_cast<size_t>(kXmlMaxDocumentSize) + 1) == nullptr);
    CHECK(ParseXmlDocument(tiny, static_cast<size_t>(UINT32_MAX) + 10) == nullptr);
    CHECK(ParseXmlDocument(nullptr, 10) == nullptr);

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
    CHECK_FALSE(LoadXmlFile(widePath.GetWide(), [&](XmlElement*) { called = true; }));
    CHECK_FALSE(called);
    std::remove(path.c_str());
}

TEST_CASE("LoadXmlFile hands the chain to the consumer or reports failure") {
    std::string dir = testutil::MakeTempDir();
    auto wide = [](const std::string& s) {
        CString* c = new CString();
        c->Assign(s.c_str());
        return c;
    };
    std::string good = testutil::Join(dir, "good.xml");
    std::string empty = testutil::Join(dir, "empty.xml");
    std::string bad = testutil::Join(dir, "bad.xml");
    REQUIRE(testutil::WriteBytes(good, Doc("<a>1</a>\r\n<b>2</b>\r\n")));
    REQUIRE(testutil::WriteBytes(empty, ""));
    REQUIRE(testutil::WriteBytes(bad, "<a>1</a>"));

    std::string seen;
    CString* path = wide(good);
    CHECK(LoadXmlFile(path->GetWide(), [&](XmlElement* first) { seen = xmltest::Render(first); }));
    CHECK(seen == "a='1' b='2'");
    delete path;

    for (const std::string& p : {empty, bad, testutil::Join(dir, "missing.xml")}) {
        CAPTURE(p);
        bool called = false;
        path = wide(p);
        CHECK_FALSE(LoadXmlFile(path->GetWide(), [&](XmlElement*) { called = true; }));
        CHECK_FALSE(called);
        delete path;
    }
}
