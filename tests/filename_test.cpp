#include "doctest.h"

#include <string>

#include "core/file.h"

namespace {

std::string Text(const CString& s) { return s.GetText() ? std::string(s.GetText(), s.GetLength()) : ""; }

struct Split {
    const char* path;
    const char* directory;
    const char* fileName;
    const char* baseName;
    const char* extension;
    int nameStart;
    int extensionStart;
};

void CheckSplit(const CFileName& n, const Split& want) {
    CHECK(Text(n.GetFullPath()) == want.path);
    CHECK(Text(n.GetDirectory()) == want.directory);
    CHECK(Text(n.GetFileName()) == want.fileName);
    CHECK(Text(n.GetBaseName()) == want.baseName);
    CHECK(Text(n.GetExtension()) == want.extension);
    CHECK(n.GetNameStart() == want.nameStart);
    CHECK(n.GetExtensionStart() == want.extensionStart);
}

}  // namespace

TEST_CASE("a new CFileName is empty") {
    CFileName n;
    CheckSplit(n, {"", "", "", "", "", -1, -1});
    CHECK(n.GetFullPath().GetText() == nullptr);
}

TEST_CASE("SetPath splits paths") {
    const Split cases[] = {
        {"C:\\data\\list.mou", "C:\\data", "list.mou", "list", "mou", 8, 13},
        {"C:\\dir.v2\\file", "C:\\dir.v2", "file", "file", "", 10, -1},
        {"C:/work/a/b.txt", "C:/work/a", "b.txt", "b", "txt", 10, 12},
        {"/home/user/list.mou", "/home/user", "list.mou", "list", "mou", 11, 16},
        {"C:\\a/b\\c.d.e", "C:\\a/b", "c.d.e", "c.d", "e", 7, 11},
        {"\\\\server\\share\\x.y", "\\\\server\\share", "x.y", "x", "y", 15, 17},
        // A trailing separator: a folder and no file name.
        {"C:\\data\\", "C:\\data", "", "", "", -1, -1},
        // Dot-only and dot-first file names.
        {"C:\\a\\.mou", "C:\\a", ".mou", "", "", 5, 6},
        {"C:\\a\\.", "C:\\a", ".", "", "", 5, -1},
        {"C:\\a\\list.", "C:\\a", "list.", "list", "", 5, -1},
        {"C:\\a\\..", "C:\\a", "..", ".", "", 5, -1},
        {"C:\\a\\x.", "C:\\a", "x.", "x", "", 5, -1},
        // Blanks and tabs around the pieces are trimmed; indexes skip them.
        {"C:\\a\\  list . mou ", "C:\\a", "list . mou", "list", "mou", 7, 14},
        {" C:\\a \\\tb.c", "C:\\a", "b.c", "b", "c", 8, 10},
        {"C:\\a\\   ", "C:\\a", "", "", "", -1, -1},
        // No separator, or one at the very start.
        {"list.mou", "", "list.mou", "list", "mou", 0, 5},
        {"\\list.mou", "", "list.mou", "list", "mou", 1, 6},
        {"list", "", "list", "list", "", 0, -1},
        {"", "", "", "", "", -1, -1},
    };
    for (const Split& c : cases) {
        CAPTURE(std::string(c.path));
        CFileName n;
        CHECK(n.SetPath(c.path) == 1);
        CheckSplit(n, c);
    }
}

TEST_CASE("SetPath describes the new path alone when an object is reused") {
    CFileName n;
    REQUIRE(n.SetPath("C:\\old\\name.txt") == 1);
    const Split cases[] = {
        {"C:\\dir.v2\\file", "C:\\dir.v2", "file", "file", "", 10, -1},
        {"C:\\old\\name.txt", "C:\\old", "name.txt", "name", "txt", 7, 12},
        {"bare", "", "bare", "bare", "", 0, -1},
        {"C:\\old\\name.txt", "C:\\old", "name.txt", "name", "txt", 7, 12},
        {"C:\\a\\.x", "C:\\a", ".x", "", "", 5, 6},
        {"C:\\old\\name.txt", "C:\\old", "name.txt", "name", "txt", 7, 12},
        {"C:\\x\\", "C:\\x", "", "", "", -1, -1},
    };
    for (const Split& c : cases) {
        CAPTURE(std::string(c.path));
        CHECK(n.SetPath(c.path) == 1);
        CheckSplit(n, c);
    }
    // Null changes nothing.
    CHECK(n.SetPath(nullptr) == 0);
    CheckSplit(n, cases[6]);
    // The object's own text may be handed back to it.
    CHECK(n.SetPath(n.GetFullPath().GetText()) == 1);
    CheckSplit(n, cases[6]);
}

TEST_CASE("SetPath never splits inside a double-byte character") {
    // In code page 932, 0x83 0x5C is one character whose second byte is '\'.
    CFileName n;
    CHECK(n.SetPath("C:\\d\\\x83\x5C\x83\x74\x83\x67.txt", 932) == 1);
    CHECK(Text(n.GetDirectory()) == "C:\\d");
    CHECK(Text(n.GetFileName()) == "\x83\x5C\x83\x74\x83\x67.txt");
    CHECK(Text(n.GetBaseName()) == "\x83\x5C\x83\x74\x83\x67");
    CHECK(Text(n.GetExtension()) == "txt");
    CHECK(n.GetExtensionStart() == 12);

    // The same bytes in a code page without double-byte characters do split.
    CHECK(n.SetPath("C:\\d\\\x83\x5C" "b.txt", 1252) == 1);
    CHECK(Text(n.GetFileName()) == "b.txt");
    CHECK(n.SetPath("C:\\d\\\x83\x5C" "b.txt", 932) == 1);
    CHECK(Text(n.GetFileName()) == "\x83\x5C" "b.txt");
}

TEST_CASE("AddExtension appends unless the extension is already there") {
    struct Case {
        const char* path;
        const char* ext;
        const char* result;
        const char* baseName;
        const char* extension;
    } cases[] = {
        {"C:\\a\\list", "mou", "C:\\a\\list.mou", "list", "mou"},
        {"C:\\a\\list.MOU", "mou", "C:\\a\\list.MOU", "list", "MOU"},
        {"C:\\a\\list.Mou", "mou", "C:\\a\\list.Mou", "list", "Mou"},
        {"C:\\a\\list.mou", "MOU", "C:\\a\\list.mou", "list", "mou"},
        {"C:\\a\\list.txt", "mou", "C:\\a\\list.txt.mou", "list.txt", "mou"},
        {"C:\\a\\list.mo", "mou", "C:\\a\\list.mo.mou", "list.mo", "mou"},
        {"C:\\a\\list.mouse", "mou", "C:\\a\\list.mouse.mou", "list.mouse", "mou"},
        {"C:\\a\\listmou", "mou", "C:\\a\\listmou.mou", "listmou", "mou"},
        {"C:\\a.mou\\list", "mou", "C:\\a.mou\\list.mou", "list", "mou"},
        {"C:\\a\\list.", "mou", "C:\\a\\list..mou", "list.", "mou"},
        {"C:\\a\\.mou", "mou", "C:\\a\\.mou", "", ""},
        {"list", "mou", "list.mou", "list", "mou"},
        {"", "mou", ".mou", "", ""},
        {"C:\\a\\list.mou", "", "C:\\a\\list.mou.", "list.mou", ""},
        {"C:\\a\\list.m{u", "M{U", "C:\\a\\list.m{u", "list", "m{u"},
        {"C:\\a\\list.m[u", "M{U", "C:\\a\\list.m[u.M{U", "list.m[u", "M{U"},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.path));
        CAPTURE(std::string(c.ext));
        CFileName n;
        n.SetPath(c.path);
        CHECK(n.AddExtension(c.ext) == 1);
        CHECK(Text(n.GetFullPath()) == c.result);
        CHECK(Text(n.GetBaseName()) == c.baseName);
        CHECK(Text(n.GetExtension()) == c.extension);
    }
}

TEST_CASE("AddExtension re-splits the whole new path") {
    CFileName n;
    n.SetPath("C:\\docs\\report");
    REQUIRE(n.AddExtension("mou") == 1);
    CheckSplit(n, {"C:\\docs\\report.mou", "C:\\docs", "report.mou", "report", "mou", 8, 15});
    REQUIRE(n.AddExtension("mou") == 1);  // already there: no second one
    CHECK(Text(n.GetFullPath()) == "C:\\docs\\report.mou");

    CHECK(n.AddExtension(nullptr) == 0);
    CHECK(Text(n.GetFullPath()) == "C:\\docs\\report.mou");

    CFileName fresh;
    REQUIRE(fresh.AddExtension("mou") == 1);
    CheckSplit(fresh, {".mou", "", ".mou", "", "", 0, 1});
}
