// Operation files: the computer mark, the exact file layout, loading with its
// defaults and record order, and saves that fail without losing anything.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "doctest.h"
#include "model/opfile.h"
#include "tests/support/opfile_tree.h"
#include "xml_test_util.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

const MachineIdent kDesktopIdent = {{0x4445534Bu, 0x544F502Du, 0x41423132u, 0x43443344u}};

std::string IdentLines(const MachineIdent& ident) {
    std::string out = "<ident>";
    for (int k = 0; k < 4; ++k) {
        std::string n = std::to_string(k);
        out += "<" + n + ">" + std::to_string(static_cast<int32_t>(ident.w[k] ^ kIdentMasks[k])) + "</" + n + ">\r\n";
    }
    return out + "</ident>\r\n";
}

const char kExampleBody[] =
    "<action><mouse><time>1200</time>\r\n<x>640</x>\r\n<y>360</y>\r\n<type>1</type>\r\n</mouse>\r\n"
    "<mouse><time>80</time>\r\n<x>640</x>\r\n<y>360</y>\r\n<type>2</type>\r\n</mouse>\r\n"
    "<key><time>350</time>\r\n<type>9</type>\r\n<code>65</code>\r\n</key>\r\n"
    "<key><time>120</time>\r\n<type>10</type>\r\n<code>65</code>\r\n</key>\r\n"
    "<display><time>500</time>\r\n<type>11</type>\r\n</display>\r\n"
    "</action>\r\n"
    "<image><path>C:\\Shots</path>\r\n<type>3</type>\r\n</image>\r\n";

// The five records of the example file, in the file's order.
void FillExample(ActionList* list) {
    list->append(ActionDevice::Mouse, ActionKind::MouseLeftPush, 640, 360, 0, 1200);
    list->append(ActionDevice::Mouse, ActionKind::MouseLeftRelease, 640, 360, 0, 80);
    list->append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65, 350);
    list->append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65, 120);
    list->append(ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0, 500);
    list->screenshotFolder.Assign(L"C:\\Shots");
    list->screenshotFormat = ScreenshotFormat::PNG;
}

// The text saving writes, checked against the element tree's bytes.
std::string BuildFile(const ActionList& list, const MachineIdent& ident) {
    CArray<char> text;
    REQUIRE(BuildOperationText(list, ident, &text));
    std::string out(text.Data(), text.Count());
    XmlTree holder = BuildActionTree(list, ident);
    REQUIRE(holder);
    CArray<char> reference;
    REQUIRE(BuildXmlText(holder->firstChild, &reference));
    CHECK(out == std::string(reference.Data(), reference.Count()));
    return out;
}

// The path as wide text for the list's operations (kept alive by the CString).
struct WidePath {
    CString text;
    explicit WidePath(const std::string& path) { text.Assign(path.c_str()); }
    const wchar_t* get() { return text.GetWide(); }
};

std::string Records(const ActionList& list) {
    std::string out;
    for (int i = 0; i < list.count(); ++i) {
        const ActionRecord* r = list.at(i);
        out += std::to_string(static_cast<int>(r->device)) + "/" + std::to_string(static_cast<int>(r->kind)) +
               "/" + std::to_string(r->x) + "," + std::to_string(r->y) + "/" + std::to_string(r->keyCode) + "/" +
               std::to_string(r->interval) + " ";
    }
    return out;
}

std::string Text(const CString& s) {
    return s.GetText() ? std::string(s.GetText(), s.GetLength()) : "<none>";
}

// The list as a load leaves it: records, settings and mark.
std::string State(const ActionList& list) {
    std::string out = Records(list) + "| " + Text(list.screenshotFolder) + " | " +
                      std::to_string(static_cast<int>(list.screenshotFormat)) + " |";
    for (int k = 0; k < 4; ++k) out += " " + std::to_string(list.ident.w[k]);
    return out;
}

std::string Outcome(const OperationFileLoad& load) {
    return std::to_string(static_cast<int>(load.end)) + "@" + std::to_string(load.offset) +
           (load.operationFile ? " file " : " other ") + std::to_string(load.records);
}

void Prepare(ActionList* list) {
    list->screenshotFormat = ScreenshotFormat::GIF;
    list->screenshotFolder.Assign(L"keep");
}

// Reads the bytes directly and through the element tree into lists prepared
// alike; both must give the same list and the same report.
OperationFileLoad ReadBothWays(const std::string& bytes, ActionList* list) {
    ActionList reference;
    Prepare(&reference);
    for (int i = 0; i < list->count(); ++i) reference.append(*list->at(i));
    const OperationFileLoad load = ReadOperationText(list, bytes.data(), bytes.size());
    const OperationFileLoad expected = ReadOperationTree(&reference, bytes.data(), bytes.size());
    CHECK(Outcome(load) == Outcome(expected));
    CHECK(State(*list) == State(reference));
    return load;
}

// LoadOperationFile, checked against the element tree over the file's bytes.
OperationFileLoad LoadChecked(ActionList* list, const std::string& path) {
    ActionList reference;
    reference.screenshotFormat = list->screenshotFormat;
    reference.screenshotFolder.Assign(list->screenshotFolder);
    for (int i = 0; i < list->count(); ++i) reference.append(*list->at(i));
    WidePath p(path);
    const OperationFileLoad load = LoadOperationFile(list, p.get());
    std::string bytes;
    if (testutil::ReadBytes(path, &bytes)) {
        const OperationFileLoad expected = ReadOperationTree(&reference, bytes.data(), bytes.size());
        CHECK(Outcome(load) == Outcome(expected));
        CHECK(State(*list) == State(reference));
    }
    return load;
}

void Load(ActionList* list, const std::string& path, int expected = 1) {
    CHECK(LoadChecked(list, path).whole() == (expected == 1));
}

}  // namespace

TEST_CASE("the computer mark walks the name's low bytes") {
    struct Mark {
        const wchar_t* name;
        MachineIdent ident;
    } marks[] = {
        {L"DESKTOP-AB12CD3", kDesktopIdent},
        {L"ABCD", {{0x41424344u, 0x41424344u, 0x41424344u, 0x41424344u}}},
        {L"Z", {{0x5A5A5A5Au, 0x5A5A5A5Au, 0x5A5A5A5Au, 0x5A5A5A5Au}}},
        {L"", {{0xAAAAAAAAu, 0xAAAAAAAAu, 0xAAAAAAAAu, 0xAAAAAAAAu}}},
        {L"A\u0100\u0141", {{0x41AA4141u, 0xAA4141AAu, 0x4141AA41u, 0x41AA4141u}}},
        {L"0123456789ABCDEFGH", {{0x30313233u, 0x34353637u, 0x38394142u, 0x43444546u}}},
    };
    for (const Mark& m : marks) {
        CAPTURE(testutil::Utf8(m.name));
        MachineIdent got = MachineIdentFromName(m.name, static_cast<int>(WideLength(m.name)));
        for (int k = 0; k < 4; ++k) CHECK(got.w[k] == m.ident.w[k]);
    }

    wchar_t name[256];
    int n = PlatformComputerName(name, 256);
    MachineIdent expected = MachineIdentFromName(name, n);
    MachineIdent current = CurrentMachineIdent();
    for (int k = 0; k < 4; ++k) CHECK(current.w[k] == expected.w[k]);
}

TEST_CASE("the example list is written as the 31-line file") {
    ActionList list;
    FillExample(&list);
    std::string bytes = BuildFile(list, kDesktopIdent);
    CHECK(bytes == std::string(xmltest::kDeclaration) +
                       "<ident><0>2021224311</0>\r\n<1>-1752394770</1>\r\n<2>-2105412879</2>\r\n"
                       "<3>2138574712</3>\r\n</ident>\r\n" +
                       kExampleBody);
    size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    CHECK(lines == 31);

    // Saved to disk: this computer's mark, the same bytes otherwise.
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "example.mou");
    WidePath p(path);
    list.modified = 1;
    CHECK(list.save(p.get()) == 1);
    CHECK(list.modified == 0);
    CHECK(testutil::Utf8(list.filePath.GetWide()) == path);
    CHECK(testutil::ReadBytes(path) ==
          std::string(xmltest::kDeclaration) + IdentLines(CurrentMachineIdent()) + kExampleBody);
}

TEST_CASE("a list that mixes devices keeps its order through save and load") {
    // A recording: push, key typed while the button is held, release, screenshot.
    ActionList list;
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, 640, 360, 0, 1200);
    list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 65, 350);
    list.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 65, 120);
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftRelease, 640, 360, 0, 80);
    list.append(ActionDevice::Display, ActionKind::Screenshot, 0, 0, 0, 500);
    std::string bytes = BuildFile(list, kDesktopIdent);
    size_t push = bytes.find("<type>1</type>"), key = bytes.find("<type>9</type>"),
           release = bytes.find("<type>2</type>");
    CHECK(push < key);
    CHECK(key < release);

    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "mixed.mou");
    WidePath p(path);
    REQUIRE(list.save(p.get()) == 1);
    ActionList back;
    Load(&back, path);
    CHECK(Records(back) == "0/1/640,360/0/1200 1/9/0,0/65/350 1/10/0,0/65/120 0/2/640,360/0/80 2/11/0,0/0/500 ");
}

TEST_CASE("loading the example takes records in file order, settings and mark") {
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "example.mou");
    REQUIRE(testutil::WriteBytes(path, std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) + kExampleBody));
    ActionList list;
    list.modified = 1;
    Load(&list, path);
    CHECK(Records(list) == "0/1/640,360/0/1200 0/2/640,360/0/80 1/9/0,0/65/350 1/10/0,0/65/120 2/11/0,0/0/500 ");
    CHECK(testutil::Utf8(list.screenshotFolder.GetWide()) == "C:\\Shots");
    CHECK(list.screenshotFormat == ScreenshotFormat::PNG);
    for (int k = 0; k < 4; ++k) CHECK(list.ident.w[k] == kDesktopIdent.w[k]);
    CHECK(list.modified == 0);
    CHECK(testutil::Utf8(list.filePath.GetWide()) == path);
}

TEST_CASE("an empty list, other devices and huge intervals") {
    ActionList empty;
    CHECK(BuildFile(empty, kDesktopIdent) ==
          std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) +
              "<action/>\r\n<image><path/>\r\n<type>1</type>\r\n</image>\r\n");

    ActionList list;
    list.append(ActionDevice::Keyboard, ActionKind::PushKey, 0, 0, 13, 5);
    list.append(ActionDevice::Mouse, ActionKind::MouseRightClick, -5, 1080, 0, 3000000000u);
    list.append(static_cast<ActionDevice>(7), ActionKind::Screenshot, 0, 0, 0, 1);
    list.append(ActionDevice::Keyboard, ActionKind::ReleaseKey, 0, 0, 13, 6);
    std::string bytes = BuildFile(list, kDesktopIdent);
    CHECK(bytes.find("<time>-1294967296</time>\r\n<x>-5</x>") != std::string::npos);
    CHECK(bytes.find("<display>") == std::string::npos);

    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "mixed.mou");
    WidePath p(path);
    CHECK(list.save(p.get()) == 1);
    ActionList back;
    Load(&back, path);
    CHECK(Records(back) == "1/9/0,0/13/5 0/7/-5,1080/0/3000000000 1/10/0,0/13/6 ");
    CHECK(back.screenshotFolder.GetLength() == 0);
    CHECK(back.screenshotFormat == ScreenshotFormat::JPEG);
    for (int k = 0; k < 4; ++k) CHECK(back.ident.w[k] == CurrentMachineIdent().w[k]);
}

TEST_CASE("missing and unreadable values take their defaults") {
    struct Body {
        const char* text;
        const char* records;
        int format;               // -1: left as it was (2)
        const char* folder;       // null: left as it was ("keep")
        uint32_t ident0;
    } bodies[] = {
        {"<action><mouse><time>10</time><y>3</y><type>1</type></mouse></action>", "0/1/0,3/0/10 ", -1, nullptr,
         kIdentMasks[0]},
        {"<action><key><time>12a</time><type>9</type><code> 65</code></key></action>", "1/9/0,0/65/0 ", -1, nullptr,
         kIdentMasks[0]},
        {"<image><path>D:\\x</path><type>7</type></image>", "", 7, "D:\\x", kIdentMasks[0]},
        {"<image><type>x</type></image>", "", 1, "", kIdentMasks[0]},
        {"<ident><0>1</0></ident><action><display><type>11</type><x>4</x></display><other/></action>",
         "2/11/0,0/0/0 ", -1, nullptr, 1u ^ kIdentMasks[0]},
        {"<action><Mouse><time>1</time></Mouse></action><action><mouse/></action>", "", -1, nullptr, kIdentMasks[0]},
        {"<action><key><time>1</time><type>9</type><code>1</code></key><mouse><time>2</time><type>1</type></mouse>"
         "<display><time>3</time><type>11</type></display><key><time>4</time><type>10</type><code>1</code></key>"
         "<mouse><time>5</time><time>6</time><type>2</type><x>7</x></mouse></action>",
         "1/9/0,0/1/1 0/1/0,0/0/2 2/11/0,0/0/3 1/10/0,0/1/4 0/2/7,0/0/5 ", -1, nullptr, kIdentMasks[0]},
        // A wheel's delta: missing or unreadable gives 0, the first counts,
        // and only wheel kinds take one; elements of a newer file are skipped.
        {"<action><mouse><type>19</type><delta>-120</delta><delta>5</delta></mouse><mouse><type>20</type></mouse>"
         "<mouse><type>19</type><delta>1.5</delta></mouse><mouse><type>12</type><delta>120</delta><x>4</x></mouse>"
         "<mouse><type>99</type><delta>7</delta><pressure>3</pressure></mouse>"
         "<key><type>19</type><delta>9</delta><code>3</code></key><wheel><delta>1</delta></wheel></action>",
         "0/19/0,0/-120/0 0/20/0,0/0/0 0/19/0,0/0/0 0/12/4,0/0/0 0/99/0,0/0/0 1/19/0,0/3/0 ", -1, nullptr,
         kIdentMasks[0]},
    };
    std::string dir = testutil::MakeTempDir();
    for (const Body& b : bodies) {
        CAPTURE(b.text);
        std::string path = testutil::Join(dir, "case.mou");
        REQUIRE(testutil::WriteBytes(path, std::string(xmltest::kDeclaration) + b.text));
        ActionList list;
        Prepare(&list);
        Load(&list, path);
        CHECK(Records(list) == b.records);
        CHECK(static_cast<int>(list.screenshotFormat) == (b.format < 0 ? 2 : b.format));
        CHECK(testutil::Utf8(list.screenshotFolder.GetWide()) == (b.folder ? b.folder : "keep"));
        CHECK(list.ident.w[0] == b.ident0);
        CHECK(list.ident.w[3] == kIdentMasks[3]);
    }
}

TEST_CASE("a load tells what it could not read; a failed one keeps the path and leaves the list unmodified") {
    std::string dir = testutil::MakeTempDir();
    const std::string example = std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) + kExampleBody;
    std::string utf16;
    for (char c : example) utf16 += std::string(1, c) + '\0';
    struct File {
        const char* name;
        std::string bytes;
        XmlEnd end;
        bool operationFile;
        int records;
    } files[] = {
        {"whole.mou", example, XmlEnd::Complete, true, 5},
        {"empty.mou", "", XmlEnd::Damaged, false, 0},
        {"garbage.mou", "this is no XML", XmlEnd::Damaged, false, 0},
        {"utf16.mou", "\xFF\xFE" + utf16, XmlEnd::Damaged, false, 0},
        {"no_declaration.mou", "<action></action>", XmlEnd::Damaged, false, 0},
        // Cut inside the first key record, between its children, in a
        // child's text or in its end tag: only the two whole mouse records.
        {"cut_record.mou", example.substr(0, example.find("<type>9")), XmlEnd::Damaged, true, 2},
        {"cut_text.mou", example.substr(0, example.find("<code>65") + 7), XmlEnd::Damaged, true, 2},
        {"cut_end_tag.mou", example.substr(0, example.find("</key>") + 4), XmlEnd::Damaged, true, 2},
        // Cut just after a record's end tag: that record is whole.
        {"cut_after.mou", example.substr(0, example.find("</key>") + 6), XmlEnd::Damaged, true, 3},
        {"cut_tag.mou", example.substr(0, example.find("</action>") + 4), XmlEnd::Damaged, true, 5},
        {"settings.mou", std::string(xmltest::kDeclaration) + "<config><language>1</language></config>\r\n",
         XmlEnd::Complete, false, 0},
    };
    for (const File& f : files) {
        CAPTURE(f.name);
        std::string path = testutil::Join(dir, f.name);
        REQUIRE(testutil::WriteBytes(path, f.bytes));
        ActionList list;
        list.modified = 1;
        WidePath p(path);
        OperationFileLoad load = LoadChecked(&list, path);
        CHECK(load.end == f.end);
        CHECK(load.whole() == (f.end == XmlEnd::Complete));
        CHECK(load.operationFile == f.operationFile);
        CHECK(load.records == f.records);
        CHECK(list.count() == f.records);
        CHECK((load.end == XmlEnd::Damaged) == (load.offset >= 0));
        CHECK(list.modified == 0);
        CHECK(testutil::Utf8(list.filePath.GetWide()) == path);
        ActionList again;
        CHECK(again.load(p.get()) == (load.whole() ? 1 : 0));
    }

    ActionList list;
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftPush, 1, 2, 0, 3);
    std::string missing = testutil::Join(dir, "missing.mou");
    OperationFileLoad load = LoadChecked(&list, missing);
    CHECK(load.end == XmlEnd::Unreadable);
    CHECK(load.records == 0);
    CHECK(testutil::Utf8(list.filePath.GetWide()) == missing);
    CHECK(list.modified == 0);
    CHECK(list.count() == 1);
}

TEST_CASE("a load that runs out of memory is never taken for the whole file") {
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "example.mou");
    REQUIRE(testutil::WriteBytes(path, std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) + kExampleBody));
    WidePath p(path);
    int limit = 0;
    for (;; ++limit) {
        CAPTURE(limit);
        REQUIRE(limit < 1000);
        ActionList list;
        SetXmlReaderAllocationLimit(limit);
        OperationFileLoad load = LoadOperationFile(&list, p.get());
        SetXmlReaderAllocationLimit(-1);
        if (load.whole()) {
            CHECK(load.records == 5);
            CHECK(list.screenshotFormat == ScreenshotFormat::PNG);
            break;
        }
        CHECK(load.end == XmlEnd::OutOfMemory);
        CHECK(load.records == list.count());
        CHECK(list.load(p.get()) == 1);  // the limit was only for that load
    }
    // The file, the declaration's attribute and the folder: records take
    // none of the reader's allocations.
    CHECK(limit > 5);
}

TEST_CASE("save needs a path and keeps modified and the old file when it fails") {
    std::string dir = testutil::MakeTempDir();
    ActionList list;
    FillExample(&list);

    CHECK(list.save(nullptr) == 0);
    CHECK(list.modified == 1);

    std::string path = testutil::Join(dir, "list.mou");
    WidePath p(path);
    CHECK(list.save(p.get()) == 1);
    CHECK(list.modified == 0);
    std::string saved = testutil::ReadBytes(path);

    // Save again to the remembered path, which has been made read-only.
    list.append(ActionDevice::Mouse, ActionKind::MouseLeftClick, 9, 9, 0, 9);
#ifdef _WIN32
    REQUIRE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
#else
    REQUIRE(chmod(path.c_str(), 0444) == 0);
#endif
    CHECK(list.save(nullptr) == 0);
    CHECK(list.modified == 1);
    CHECK(testutil::ReadBytes(path) == saved);

    std::string nowhere = testutil::Join(testutil::Join(dir, "missing"), "x.mou");
    WidePath q(nowhere);
    CHECK(list.save(q.get()) == 0);
    CHECK(list.modified == 1);
    CHECK(testutil::Utf8(list.filePath.GetWide()) == nowhere);
    CHECK_FALSE(testutil::FileExists(nowhere));
}

// A file longer than the reader takes could not be opened again. The limit
// is lowered to the size of a small list's file, so nothing near 2 GB is
// written.
TEST_CASE("a list too large for one file is refused before anything is written") {
    std::string dir = testutil::MakeTempDir();
    ActionList list;
    FillExample(&list);
    CArray<char> text;
    REQUIRE(BuildOperationText(list, CurrentMachineIdent(), &text));
    const int64_t size = text.Count();

    std::string path = testutil::Join(dir, "list.mou");
    std::string other = testutil::Join(dir, "other.mou");
    REQUIRE(testutil::WriteBytes(path, "old"));
    WidePath p(path), o(other);
    list.filePath.Assign(p.get());
    bool tooLarge = false;
    SetXmlTextLimit(size - 1);
    CHECK_FALSE(BuildOperationText(list, CurrentMachineIdent(), &text, &tooLarge));
    CHECK(tooLarge);
    CHECK(SaveOperationFile(&list, nullptr) == OperationSave::TooLarge);
    CHECK(list.save(o.get()) == 0);
    CHECK(list.modified == 1);
    CHECK(list.count() == 5);
    CHECK(testutil::Utf8(list.filePath.GetWide()) == path);
    CHECK(testutil::ReadBytes(path) == "old");
    CHECK_FALSE(testutil::FileExists(other));
    // A text of exactly the limit is written.
    SetXmlTextLimit(size);
    CHECK(BuildOperationText(list, CurrentMachineIdent(), &text, &tooLarge));
    CHECK_FALSE(tooLarge);
    CHECK(SaveOperationFile(&list, o.get()) == OperationSave::Saved);
    CHECK(list.modified == 0);
    CHECK(static_cast<int64_t>(testutil::ReadBytes(other).size()) == size);
    SetXmlTextLimit(-1);
    // Running out of memory is no "too large".
    FailArrayGrowths(1000);
    const bool built = BuildOperationText(list, CurrentMachineIdent(), &text, &tooLarge);
    FailArrayGrowths(0);
    CHECK_FALSE(built);
    CHECK_FALSE(tooLarge);
}

TEST_CASE("movement, middle and side buttons, both wheels and key strokes are written and read back exactly") {
    struct Kind {
        ActionRecord record;
        const char* element;  // as written
    } kinds[] = {
        {{1, ActionDevice::Mouse, ActionKind::MouseMove, 1919, 1079, 0},
         "<mouse><time>1</time>\r\n<x>1919</x>\r\n<y>1079</y>\r\n<type>12</type>\r\n</mouse>\r\n"},
        {{2, ActionDevice::Mouse, ActionKind::MouseMiddlePush, -3, 4, 0},
         "<mouse><time>2</time>\r\n<x>-3</x>\r\n<y>4</y>\r\n<type>13</type>\r\n</mouse>\r\n"},
        {{3, ActionDevice::Mouse, ActionKind::MouseMiddleRelease, 5, 6, 0},
         "<mouse><time>3</time>\r\n<x>5</x>\r\n<y>6</y>\r\n<type>14</type>\r\n</mouse>\r\n"},
        {{4, ActionDevice::Mouse, ActionKind::MouseX1Push, 7, 8, 0},
         "<mouse><time>4</time>\r\n<x>7</x>\r\n<y>8</y>\r\n<type>15</type>\r\n</mouse>\r\n"},
        {{5, ActionDevice::Mouse, ActionKind::MouseX1Release, 9, 10, 0},
         "<mouse><time>5</time>\r\n<x>9</x>\r\n<y>10</y>\r\n<type>16</type>\r\n</mouse>\r\n"},
        {{6, ActionDevice::Mouse, ActionKind::MouseX2Push, 11, 12, 0},
         "<mouse><time>6</time>\r\n<x>11</x>\r\n<y>12</y>\r\n<type>17</type>\r\n</mouse>\r\n"},
        {{7, ActionDevice::Mouse, ActionKind::MouseX2Release, 13, 14, 0},
         "<mouse><time>7</time>\r\n<x>13</x>\r\n<y>14</y>\r\n<type>18</type>\r\n</mouse>\r\n"},
        {{8, ActionDevice::Mouse, ActionKind::MouseWheel, 15, 16, -120},
         "<mouse><time>8</time>\r\n<x>15</x>\r\n<y>16</y>\r\n<type>19</type>\r\n<delta>-120</delta>\r\n</mouse>\r\n"},
        {{9, ActionDevice::Mouse, ActionKind::MouseHWheel, 17, 18, 7},
         "<mouse><time>9</time>\r\n<x>17</x>\r\n<y>18</y>\r\n<type>20</type>\r\n<delta>7</delta>\r\n</mouse>\r\n"},
        {{10, ActionDevice::Mouse, ActionKind::MouseWheel, 0, 0, INT32_MIN},
         "<mouse><time>10</time>\r\n<x>0</x>\r\n<y>0</y>\r\n<type>19</type>\r\n<delta>-2147483648</delta>\r\n"
         "</mouse>\r\n"},
        {{11, ActionDevice::Mouse, ActionKind::MouseHWheel, 0, 0, 0},
         "<mouse><time>11</time>\r\n<x>0</x>\r\n<y>0</y>\r\n<type>20</type>\r\n<delta>0</delta>\r\n</mouse>\r\n"},
        // Keys and screenshots are written as always, whatever their kind.
        {{12, ActionDevice::Keyboard, ActionKind::MouseWheel, 0, 0, 65},
         "<key><time>12</time>\r\n<type>19</type>\r\n<code>65</code>\r\n</key>\r\n"},
        // A key's stroke follows its code, which stays the virtual key for
        // older readers: right Ctrl, right Shift, a key known extended only.
        {{14, ActionDevice::Keyboard, ActionKind::PushKey, kKeyExtended | 0x1D, 0, 17},
         "<key><time>14</time>\r\n<type>9</type>\r\n<code>17</code>\r\n<scan>29</scan>\r\n"
         "<extended>1</extended>\r\n</key>\r\n"},
        {{15, ActionDevice::Keyboard, ActionKind::ReleaseKey, 0x36, 0, 16},
         "<key><time>15</time>\r\n<type>10</type>\r\n<code>16</code>\r\n<scan>54</scan>\r\n"
         "<extended>0</extended>\r\n</key>\r\n"},
        {{16, ActionDevice::Keyboard, ActionKind::PushKey, kKeyExtended, 0, 13},
         "<key><time>16</time>\r\n<type>9</type>\r\n<code>13</code>\r\n<scan>0</scan>\r\n"
         "<extended>1</extended>\r\n</key>\r\n"},
        {{13, ActionDevice::Display, ActionKind::MouseHWheel, 0, 0, 0},
         "<display><time>13</time>\r\n<type>20</type>\r\n</display>\r\n"},
    };
    ActionList list;
    std::string body = "<action>";
    for (const Kind& k : kinds) {
        CAPTURE(k.element);
        ActionList one;
        one.append(k.record);
        CHECK(BuildFile(one, kDesktopIdent) == std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) +
                                                   "<action>" + k.element + "</action>\r\n" +
                                                   "<image><path/>\r\n<type>1</type>\r\n</image>\r\n");
        list.append(k.record);
        body += k.element;
    }
    CHECK(BuildFile(list, kDesktopIdent) == std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) + body +
                                                "</action>\r\n<image><path/>\r\n<type>1</type>\r\n</image>\r\n");

    // Through a file: every field of every record comes back.
    std::string dir = testutil::MakeTempDir();
    std::string path = testutil::Join(dir, "motion.mou");
    WidePath p(path);
    REQUIRE(list.save(p.get()) == 1);
    ActionList back;
    Load(&back, path);
    REQUIRE(back.count() == list.count());
    for (int i = 0; i < list.count(); ++i) {
        CAPTURE(i);
        CHECK(std::memcmp(back.at(i), list.at(i), sizeof(ActionRecord)) == 0);
    }

    // A move's key code means nothing and is not kept, nor is a key's x
    // that is no stroke.
    ActionList move;
    move.append(ActionDevice::Mouse, ActionKind::MouseMove, 1, 2, 99, 3);
    move.append(ActionDevice::Keyboard, ActionKind::PushKey, 0x200, 5, 65, 4);
    REQUIRE(move.save(p.get()) == 1);
    ActionList moved;
    Load(&moved, path);
    CHECK(Records(moved) == "0/12/1,2/0/3 1/9/0,0/65/4 ");

    // Strokes as files give them: none in a key of an older file, nor for a
    // scan code that is no byte; the flag alone, or a scan code alone.
    const std::string keys = std::string(xmltest::kDeclaration) +
                             "<action><key><type>9</type><code>37</code></key>"
                             "<key><type>9</type><code>37</code><scan>256</scan><extended>1</extended></key>"
                             "<key><type>9</type><code>37</code><extended>1</extended></key>"
                             "<key><type>9</type><code>65</code><scan>30</scan></key>"
                             "<key><type>9</type><code>37</code><extended>1</extended><scan>75</scan></key>"
                             "<mouse><type>9</type><scan>75</scan></mouse></action>";
    ActionList read;
    Prepare(&read);
    ReadBothWays(keys, &read);
    CHECK(Records(read) == "1/9/0,0/37/0 1/9/0,0/37/0 1/9/256,0/37/0 1/9/30,0/65/0 1/9/331,0/37/0 0/9/0,0/0/0 ");
}

// Damaged and hostile files: the direct reader must take exactly what the
// element tree gives, wherever the damage is.
TEST_CASE("the direct reader takes what the element tree gives from any file") {
    const std::string example = std::string(xmltest::kDeclaration) + IdentLines(kDesktopIdent) + kExampleBody;
    std::vector<std::string> files = {
        example,
        std::string(xmltest::kDeclaration) + "<image><path>a &amp; b</path><path>2</path><type>3</type></image>"
                                             "<image><type>0</type></image><ident><1>5</1><1>6</1></ident>",
        // Start tags that break are not elements: the next of the name counts.
        std::string(xmltest::kDeclaration) + "<ident><0<z/><0>5</0></ident><action><mouse><time<z/><time>2</time>"
                                             "<x b='1'<z/><x>4</x><delta<z/><type>19</type><delta>3</delta></mouse>"
                                             "<key a='1'<z/></action><image><path<z/><path>p</path><type b=''<z/>"
                                             "<type>3</type></image>",
        std::string(xmltest::kDeclaration) + "<action><mouse><time a>1</time><time>2</time></mouse></action>",
        std::string(xmltest::kDeclaration) + "<ident x><0>1</0></ident><ident><0>2</0></ident><action x>"
                                             "<mouse/></action><action><key><code>5</code></key></action>",
        // Texts: replaced by later runs, lost to a stray '>', entities, blanks.
        std::string(xmltest::kDeclaration) + "<action><mouse><time>1<b>2</b>3</time><x>4<c/>></x><y> 5 </y>"
                                             "<type>&#49;</type></mouse><mouse><time>\t-7</time></mouse></action>",
        // Records nested in records, a record at the top, a later action.
        std::string(xmltest::kDeclaration) + "<mouse><time>1</time></mouse><action><mouse><mouse><time>2</time>"
                                             "</mouse><time>3</time></mouse></action><action><key/></action>",
        // A mismatched end tag ends the document with the open records.
        std::string(xmltest::kDeclaration) + "<action><mouse><time>1</time></x><mouse><time>2</time></mouse>",
        // Names only equal when their bytes are; non-ASCII names and texts.
        std::string(xmltest::kDeclaration) + "<action><mous\xC3\xA9><time>1</time></mous\xC3\xA9>"
                                             "<mouse><time>\xEF\xBC\x91</time><x>\xC3</x><type>19</type>"
                                             "<delta>\xE2\x88\x92" "1</delta></mouse></action>"
                                             "<image><path>\xE6\x97\xA5</path></image>",
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?><image><path>\x93\xFA</path><type>2</type></image>"
        "<action><key><code>\x82\x4F</code></key></action>",
        std::string(xmltest::kDeclaration) + "<config><action/></config><!-- c --><action><!-- d -->"
                                             "<display><type>11</type><!-- e --></display></action>",
        std::string(xmltest::kDeclaration) + "<action>" + std::string(2000, ' ') + "<key><time>1</time></key>" +
            std::string(1200, '<') ,
    };
    std::string deep = std::string(xmltest::kDeclaration) + "<action><mouse><time>1</time>";
    for (int i = 0; i < 1100; ++i) deep += "<x>";
    files.push_back(deep);

    // The fuzzers' seeds, whatever they were written for.
    const char* data = std::getenv("TAPLORE_TEST_DATA");
    REQUIRE(data != nullptr);
    int seeds = 0;
    for (const char* target : {"opfile", "xml", "settings", "roundtrip"}) {
        const std::filesystem::path folder = std::filesystem::path(data).parent_path().parent_path() / "fuzz" / "corpus" / target;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            files.push_back(testutil::ReadBytes(entry.path().string()));
            ++seeds;
        }
    }
    CHECK(seeds >= 20);

    for (const std::string& file : files) {
        // Every cut of the smaller files, every seventh of the larger.
        const size_t step = file.size() > 2000 ? 7 : 1;
        for (size_t n = 0;; n += step) {
            const std::string cut = file.substr(0, n < file.size() ? n : file.size());
            CAPTURE(cut);
            ActionList list;
            Prepare(&list);
            ReadBothWays(cut, &list);
            if (cut.size() == file.size()) break;
        }
    }
}
