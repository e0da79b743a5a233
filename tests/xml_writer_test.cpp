// The XML writer: exact output bytes, escaping, round trips through the
// reader, and saving files without ever losing the previous one.
#include <cstdlib>
#include <string>

#include "doctest.h"
#include "core/file.h"
#include "xml_test_util.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using xmltest::kDeclaration;

namespace {

std::string Build(const XmlElement* first) {
    CArray<char> text;
    REQUIRE(BuildXmlText(first, &text));
    std::string out(text.Data(), text.Count());
    CHECK(out.size() == std::string(text.Data()).size());
    return out;
}

XmlElement* Child(XmlElement* parent, const wchar_t* name, const wchar_t* text) {
    XmlElement* e = AppendChild(parent, NewElement(name, text));
    REQUIRE(e);
    return e;
}

bool Save(const std::string& path, XmlTree holder) {
    CString p;
    p.Assign(path.c_str());
    return SaveXmlFile(p.GetWide(), std::move(holder));
}

XmlTree SampleHolder() {
    XmlTree holder = NewElement(L"root", nullptr);
    XmlElement* a = Child(holder.Get(), L"a", nullptr);
    Child(a, L"b", L"1 < 2");
    Child(a, L"c", nullptr);
    Child(holder.Get(), L"d", L"");
    return holder;
}

const char kSampleBytes[] = "<?xml version=\"1.0\" ?>\r\n<a><b>1 &lt; 2</b>\r\n<c/>\r\n</a>\r\n<d></d>\r\n";

}  // namespace

TEST_CASE("the example document comes out byte for byte") {
    XmlTree holder = SampleHolder();
    CHECK(Build(holder->firstChild) == kSampleBytes);
}

TEST_CASE("trees built with AppendNewChild, alone or mixed with NewElement") {
    XmlTree holder = NewElement(L"root", nullptr);
    XmlElement* a = AppendNewChild(holder.Get(), L"a", nullptr);
    REQUIRE(a);
    CHECK(AppendNewChild(a, L"b", L"1 < 2"));
    XmlElement* c = AppendChild(a, NewElement(L"c", nullptr));
    CHECK(c == a->firstChild->next);
    CHECK(AppendNewChild(holder.Get(), L"d", L""));
    CHECK(AppendNewChild(nullptr, L"x", nullptr) == nullptr);
    CHECK(AppendChild(nullptr, NewElement(L"x", nullptr)) == nullptr);  // released, not leaked
    CHECK(AppendChild(a, XmlTree()) == nullptr);
    CHECK(Build(holder->firstChild) == kSampleBytes);
    CHECK(FindElement(a->firstChild, L"c") == c);

    // Children added to a tree that was read live and die with it.
    std::string doc = std::string(kDeclaration) + "<a><b>1</b></a>";
    XmlDocument document = ParseXmlDocument(doc.data(), doc.size());
    XmlElement* read = document.first.Get();
    REQUIRE(read);
    XmlElement* heap = AppendChild(read, NewElement(L"h", L"2"));
    CHECK(AppendNewChild(heap, L"i", nullptr));
    CHECK(AppendNewChild(read, L"b", L"3"));
    CHECK(Build(read) == std::string(kDeclaration) + "<a><b>1</b>\r\n<h>2<i/>\r\n</h>\r\n<b>3</b>\r\n</a>\r\n");
}

TEST_CASE("element forms: empty, empty text, text, attributes, encoding") {
    struct Form {
        XmlTree element;
        const char* bytes;
    };
    XmlTree attributed = NewElement(L"e", nullptr);
    XmlAttribute* a = new XmlAttribute{nullptr, new CString(L"a"), new CString(L"1")};
    XmlAttribute* b = new XmlAttribute{nullptr, new CString(L"b"), new CString(L"x&\"y'")};
    XmlAttribute* unnamed = new XmlAttribute{nullptr, nullptr, new CString(L"lost")};
    XmlAttribute* empty = new XmlAttribute{nullptr, new CString(L"c"), nullptr};
    attributed->firstAttribute = a;
    a->next = b;
    b->next = unnamed;
    unnamed->next = empty;
    XmlTree attributedText = NewElement(L"e", L"t");
    attributedText->firstAttribute = new XmlAttribute{nullptr, new CString(L"a"), new CString(L"1")};

    Form forms[] = {
        {NewElement(L"name", nullptr), "<name/>\r\n"},
        {NewElement(L"name", L""), "<name></name>\r\n"},
        {NewElement(L"n", L"<&>\"'"), "<n>&lt;&amp;&gt;&quot;&apos;</n>\r\n"},
        {NewElement(L"n", L"a\tb\r\nc  "), "<n>a\tb\r\nc  </n>\r\n"},
        {std::move(attributed), "<e a=\"1\" b=\"x&amp;&quot;y&apos;\" c=\"\" />\r\n"},
        {std::move(attributedText), "<e a=\"1\" >t</e>\r\n"},
    };
    for (const Form& f : forms) {
        CAPTURE(f.bytes);
        CHECK(Build(f.element.Get()) == std::string(kDeclaration) + f.bytes);
    }

    XmlTree encoded = NewElement(L"a", nullptr);
    encoded->encoding = new CString(L"Shift_JIS");
    CHECK(Build(encoded.Get()) == "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\r\n<a/>\r\n");
}

TEST_CASE("names and texts of the ANSI code page are written in UTF-8") {
    XmlTree e = NewElement(L"caf\u00E9", L"\u00E9t\u00E9 & hiver");
    CHECK(Build(e.Get()) == std::string(kDeclaration) + "<caf\xC3\xA9>\xC3\xA9t\xC3\xA9 &amp; hiver</caf\xC3\xA9>\r\n");

    // Characters beyond Latin-1 only where the ANSI code page has them.
    CString probe(L"\u65E5\u672C\U0001F600");
    if (testutil::Utf8(probe.GetWide()) == "\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80") {
        XmlTree j = NewElement(L"\u65E5\u672C", L"<\U0001F600>");
        CHECK(Build(j.Get()) == std::string(kDeclaration) +
                              "<\xE6\x97\xA5\xE6\x9C\xAC>&lt;\xF0\x9F\x98\x80&gt;</\xE6\x97\xA5\xE6\x9C\xAC>\r\n");
    }
}

TEST_CASE("written texts come back through the reader") {
    struct Trip {
        const wchar_t* written;
        const char* read;
    } trips[] = {
        {L"<a> & \"b\" 'c'", "<a> & \"b\" 'c'"},
        {L"&lt; stays literal", "&lt; stays literal"},
        {L"  lead, trail  and  doubled  ", "lead, trail and doubled"},
        {L"line\r\nbreak\ttab", "line break tab"},
        {L"   ", ""},
    };
    for (const Trip& t : trips) {
        CAPTURE(t.read);
        std::string bytes = Build(NewElement(L"t", t.written).Get());
        XmlDocument document = ParseXmlDocument(bytes.data(), bytes.size());
        XmlElement* back = document.first.Get();
        REQUIRE(back);
        CHECK(document.end == XmlEnd::Complete);
        CHECK(testutil::Utf8(TextOf(back)) == t.read);
    }
}

TEST_CASE("large and deep trees are built without quadratic cost or deep recursion") {
    XmlTree holder = NewElement(L"root", nullptr);
    XmlElement* list = Child(holder.Get(), L"list", nullptr);
    const int count = 200000;
    for (int i = 0; i < count; ++i) Child(list, L"i", L"12345");
    std::string bytes = Build(holder->firstChild);
    CHECK(bytes.size() == 24 + 6 + count * 14 + 9);
    holder.Reset();

    const int depth = 1000000;
    XmlTree top = NewElement(L"d", nullptr);
    XmlElement* inner = top.Get();
    for (int i = 1; i < depth; ++i) {
        inner = AppendChild(inner, NewElement(L"d", nullptr));
        REQUIRE(inner);
    }
    bytes = Build(top.Get());
    CHECK(bytes.size() == 24 + (depth - 1) * 3 + 6 + (depth - 1) * 6);
}

TEST_CASE("SaveXmlFile writes the file and releases the tree") {
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "doc.xml");
    CHECK(Save(path, SampleHolder()));
    CHECK(testutil::ReadBytes(path) == kSampleBytes);
    CHECK(testutil::ListFolder(dir) == std::vector<std::string>{"doc.xml"});

    // Replacing a longer file leaves nothing of it behind.
    REQUIRE(testutil::WriteBytes(path, std::string(5000, 'x')));
    CHECK(Save(path, SampleHolder()));
    CHECK(testutil::ReadBytes(path) == kSampleBytes);
}

namespace {

void MakeFolder(const std::string& path) {
#ifdef _WIN32
    REQUIRE(CreateDirectoryA(path.c_str(), nullptr));
#else
    REQUIRE(mkdir(path.c_str(), 0755) == 0);
#endif
}

void SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
    REQUIRE(SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
#else
    REQUIRE(chmod(path.c_str(), readOnly ? 0444 : 0644) == 0);
#endif
}

}  // namespace

TEST_CASE("a save touches no other file, whatever names the folder holds") {
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "list.mou");
    // Files and folders with names a temporary file could take.
    REQUIRE(testutil::WriteBytes(path + ".tmp", "someone else's"));
    MakeFolder(testutil::Join(dir, "~0000000"));
    REQUIRE(testutil::WriteBytes(testutil::Join(dir, "~0000001"), "mine"));
    std::vector<std::string> before = testutil::ListFolder(dir);
    CHECK(Save(path, SampleHolder()));
    CHECK(Save(path, SampleHolder()));
    CHECK(testutil::ReadBytes(path) == kSampleBytes);
    CHECK(testutil::ReadBytes(path + ".tmp") == "someone else's");
    CHECK(testutil::ReadBytes(testutil::Join(dir, "~0000001")) == "mine");
    before.push_back("list.mou");
    std::sort(before.begin(), before.end());
    CHECK(testutil::ListFolder(dir) == before);

    // A folder takes new files when one can be made there; the probe leaves
    // nothing behind. A missing folder and a file take none.
    auto takes = [](const std::string& folder) {
        CString wide;
        wide.Assign(folder.c_str());
        return FolderAcceptsNewFiles(wide.GetWide());
    };
    CHECK(takes(dir));
    CHECK(takes(dir + testutil::Separator()));
    CHECK_FALSE(takes(testutil::Join(dir, "missing")));
    CHECK_FALSE(takes(path));
    CHECK(testutil::ListFolder(dir) == before);

    // A name as long as the system allows (255 bytes here, a full path of
    // 259 characters on Windows) is saved like any other; and so is a name of
    // one character.
#ifdef _WIN32
    const size_t longest = 259 - dir.size() - 1;
#else
    const size_t longest = 255;
#endif
    for (const std::string& name : {std::string(longest - 4, 'n') + ".mou", std::string("z")}) {
        CAPTURE(name.size());
        const std::string target = testutil::Join(dir, name);
        REQUIRE(testutil::WriteBytes(target, "old"));
        CHECK(Save(target, SampleHolder()));
        CHECK(testutil::ReadBytes(target) == kSampleBytes);
    }
    CHECK(testutil::ListFolder(dir).size() == before.size() + 2);
}

TEST_CASE("a read-only file is refused and a replaced file keeps its attributes") {
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "list.mou");
    REQUIRE(testutil::WriteBytes(path, "old"));
    SetReadOnly(path, true);
    CHECK_FALSE(Save(path, SampleHolder()));
    CHECK(testutil::ReadBytes(path) == "old");
    CHECK(testutil::ListFolder(dir) == std::vector<std::string>{"list.mou"});
#ifdef _WIN32
    CHECK((GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0);
    SetReadOnly(path, false);
    // Hidden is kept (where the file system stores it at all).
    REQUIRE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) {
        CHECK(Save(path, SampleHolder()));
        CHECK(testutil::ReadBytes(path) == kSampleBytes);
        CHECK((GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN) != 0);
    } else {
        MESSAGE("this file system keeps no hidden attribute");
    }
#else
    struct stat st;
    REQUIRE(stat(path.c_str(), &st) == 0);
    CHECK((st.st_mode & 0777) == 0444);
    // A private file stays private.
    REQUIRE(chmod(path.c_str(), 0600) == 0);
    CHECK(Save(path, SampleHolder()));
    CHECK(testutil::ReadBytes(path) == kSampleBytes);
    REQUIRE(stat(path.c_str(), &st) == 0);
    CHECK((st.st_mode & 0777) == 0600);
#endif
}

#ifndef _WIN32
TEST_CASE("as an ordinary user: read-only and foreign files are refused, a closed folder is written in place") {
    // The rights of an ordinary user are checked by the system only for one:
    // the superuser runs the saves in a child that gives its rights up.
    std::string dir = testutil::MakeTempDir();
    REQUIRE(chmod(dir.c_str(), 0755) == 0);
    std::string open = testutil::Join(dir, "open");
    std::string closed = testutil::Join(dir, "closed");
    REQUIRE(mkdir(open.c_str(), 0777) == 0);
    REQUIRE(chmod(open.c_str(), 0777) == 0);
    REQUIRE(mkdir(closed.c_str(), 0755) == 0);
    const std::string readOnly = testutil::Join(open, "readonly.mou");
    const std::string foreign = testutil::Join(open, "foreign.mou");
    const std::string inPlace = testutil::Join(closed, "inplace.mou");
    for (const std::string& p : {readOnly, foreign, inPlace}) REQUIRE(testutil::WriteBytes(p, "old"));
    REQUIRE(chmod(readOnly.c_str(), 0444) == 0);
    REQUIRE(chmod(foreign.c_str(), 0644) == 0);
    REQUIRE(chmod(inPlace.c_str(), 0666) == 0);
    const bool root = geteuid() == 0;
    if (!root) {
        REQUIRE(chmod(closed.c_str(), 0555) == 0);
        REQUIRE(chmod(foreign.c_str(), 0444) == 0);
    }

    auto saves = [&]() {
        int failures = 0;
        failures += Save(readOnly, SampleHolder()) ? 1 : 0;
        failures += Save(foreign, SampleHolder()) ? 2 : 0;
        failures += Save(inPlace, SampleHolder()) ? 0 : 4;
        CString wide;
        wide.Assign(closed.c_str());
        failures += FolderAcceptsNewFiles(wide.GetWide()) ? 8 : 0;
        wide.Assign(open.c_str());
        failures += FolderAcceptsNewFiles(wide.GetWide()) ? 0 : 16;
        return failures;
    };
    int failures = -1;
    if (root) {
        pid_t child = fork();
        REQUIRE(child >= 0);
        if (child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
            _exit(saves());
        }
        int status = 0;
        REQUIRE(waitpid(child, &status, 0) == child);
        REQUIRE(WIFEXITED(status));
        failures = WEXITSTATUS(status);
    } else {
        failures = saves();
        chmod(closed.c_str(), 0755);
    }
    CHECK(failures == 0);
    CHECK(testutil::ReadBytes(readOnly) == "old");
    CHECK(testutil::ReadBytes(foreign) == "old");
    CHECK(testutil::ReadBytes(inPlace) == kSampleBytes);
    CHECK(testutil::ListFolder(open) == std::vector<std::string>{"foreign.mou", "readonly.mou"});
    CHECK(testutil::ListFolder(closed) == std::vector<std::string>{"inplace.mou"});
}
#endif

TEST_CASE("a save that fails leaves the previous file as it was") {
    std::string dir = testutil::MakeTempDir();
    const std::string old = "previous contents";

    SUBCASE("missing folder: false, nothing written") {
        std::string path = testutil::Join(testutil::Join(dir, "missing"), "doc.xml");
        CHECK_FALSE(Save(path, SampleHolder()));
        CHECK_FALSE(testutil::FileExists(path));
    }
    SUBCASE("holder without children or null: false, file untouched") {
        std::string path = testutil::Join(dir, "doc.xml");
        REQUIRE(testutil::WriteBytes(path, old));
        CHECK_FALSE(Save(path, NewElement(L"root", nullptr)));
        CHECK_FALSE(Save(path, XmlTree()));
        CHECK(testutil::ReadBytes(path) == old);
    }
    SUBCASE("the target cannot be replaced: the temporary file is removed") {
        std::string path = testutil::Join(dir, "folder.xml");
        MakeFolder(path);
        CHECK_FALSE(Save(path, SampleHolder()));
        CHECK(testutil::ListFolder(dir) == std::vector<std::string>{"folder.xml"});
    }
}
