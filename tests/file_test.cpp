#include "doctest.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/file.h"
#include "test_util.h"

using testutil::Join;
using testutil::ReadBytes;
using testutil::WriteBytes;

namespace {

std::string Text(const CString& s) { return s.GetText() ? std::string(s.GetText(), s.GetLength()) : ""; }

int OpenReadAt(CFile& f, const std::string& path) {
    CString s;
    s.Assign(path.c_str());
    return f.OpenRead(s);
}

uint32_t Put(CFile& f, const std::string& bytes, int64_t position) {
    return f.Write(bytes.data(), static_cast<uint32_t>(bytes.size()), position);
}

std::string Get(CFile& f, uint32_t count, int64_t position) {
    std::string buffer(count, '\0');
    uint32_t n = f.Read(&buffer[0], count, position);
    buffer.resize(n);
    return buffer;
}

}  // namespace

TEST_CASE("opening: result conventions, refusals and the stored name") {
    const std::string dir = testutil::MakeTempDir();
    const std::string existing = Join(dir, "data.bin");
    REQUIRE(WriteBytes(existing, "0123456789"));

    CFile f;
    CHECK(f.GetHandle() == nullptr);
    CHECK(f.GetReadMode() == 1);
    CHECK(f.GetWriteMode() == 0);
    CHECK(f.GetSize() == 0);
    CHECK(f.IsAtEnd() == 1);

    SUBCASE("read: missing file, empty path, then success") {
        const std::string missing = Join(dir, "missing.bin");
        CHECK(OpenReadAt(f, missing) == 0);
        CHECK(f.GetHandle() == nullptr);
        CHECK(Text(f.GetFileName()) == missing);  // the attempted path is kept
        CHECK(f.OpenRead(CString()) == 0);
        CHECK(Text(f.GetFileName()) == missing);  // refused before any attempt

        REQUIRE(OpenReadAt(f, existing) == 1);
        CHECK(f.GetHandle() != nullptr);
        CHECK(f.GetSize() == 10);
        CHECK(f.GetReadMode() == 1);
        CHECK(f.GetWriteMode() == 0);
        CHECK(f.IsAtEnd() == 0);
    }
    SUBCASE("write: missing folder, empty and null paths, then success") {
        CHECK(f.OpenWrite(Join(Join(dir, "no_such_folder"), "x.bin").c_str()) == -1);
        CHECK(f.GetHandle() == nullptr);
        CHECK(f.OpenWrite("") == -1);
        CHECK(f.OpenWrite(static_cast<const char*>(nullptr)) == -1);
        CHECK(f.OpenWrite(static_cast<const wchar_t*>(nullptr)) == -1);
        CHECK(f.OpenWrite(L"") == -1);

        REQUIRE(f.OpenWrite(existing.c_str()) == 0);  // truncates
        CHECK(f.GetReadMode() == 0);
        CHECK(f.GetWriteMode() == 1);
        CHECK(f.GetSize() == 0);
        f.Close();
        CHECK(ReadBytes(existing).empty());
    }
    SUBCASE("the wide form of OpenWrite goes through the ANSI text") {
        // e acute exists in the ANSI code pages of both builds.
        std::vector<wchar_t> units;
        for (char c : Join(dir, "caf")) units.push_back(static_cast<wchar_t>(c));
        for (const wchar_t* p = L"\u00e9.bin"; *p; ++p) units.push_back(*p);
        units.push_back(0);
        const wchar_t* wide = units.data();
        REQUIRE(f.OpenWrite(wide) == 0);
        CHECK(Put(f, "abc", 0) == 3);
        f.Close();
        CString name(wide);
        CHECK(Text(f.GetFileName()) == Text(name));
        CFile again;
        REQUIRE(again.OpenRead(name) == 1);
        CHECK(Get(again, 10, 0) == "abc");
    }
}

TEST_CASE("a second open on an open object fails without touching the open file") {
    const std::string dir = testutil::MakeTempDir();
    const std::string first = Join(dir, "first.bin");
    const std::string second = Join(dir, "second.bin");
    REQUIRE(WriteBytes(second, "keep me"));

    CFile f;
    REQUIRE(f.OpenWrite(first.c_str()) == 0);
    REQUIRE(Put(f, "12345", 0) == 5);
    CHECK(f.OpenWrite(second.c_str()) == -1);
    CHECK(OpenReadAt(f, second) == 0);
    CHECK(Text(f.GetFileName()) == first);
    CHECK(f.GetWriteMode() == 1);
    CHECK(f.GetSize() == 5);
    CHECK(Put(f, "67", -1) == 2);  // still writing the first file
    f.Close();
    CHECK(ReadBytes(first) == "1234567");
    CHECK(ReadBytes(second) == "keep me");

    CFile r;
    REQUIRE(OpenReadAt(r, second) == 1);
    CHECK(r.OpenWrite(second.c_str()) == -1);  // would have truncated it
    CHECK(OpenReadAt(r, first) == 0);
    CHECK(Get(r, 100, 0) == "keep me");
}

TEST_CASE("Close keeps the name and the modes, drops the handle and the size") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "c.bin");
    CFile f;
    REQUIRE(f.OpenWrite(path.c_str()) == 0);
    Put(f, "abc", 0);
    CHECK(f.Close() == 0);
    CHECK(f.GetHandle() == nullptr);
    CHECK(f.GetSize() == 0);
    CHECK(Text(f.GetFileName()) == path);
    CHECK(f.GetWriteMode() == 1);
    CHECK(f.Close() == 0);  // closing twice is harmless

    // Closed: every operation refuses.
    char byte = 0;
    CHECK(f.Read(&byte, 1, 0) == 0);
    CHECK(f.Write("x", 1, -1) == 0);
    CHECK(f.Seek(0) == 0);
    CHECK(f.Flush() == 0);
    CHECK(f.IsAtEnd() == 1);

    REQUIRE(OpenReadAt(f, path) == 1);  // and may be opened again
    CHECK(f.GetSize() == 3);
}

TEST_CASE("size bookkeeping of writes") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "size.bin");
    CFile f;
    REQUIRE(f.OpenWrite(path.c_str()) == 0);

    SUBCASE("appending at the current position") {
        CHECK(Put(f, "0123456789", 0) == 10);
        CHECK(Put(f, "abcde", -1) == 5);
        CHECK(f.GetSize() == 15);
        f.Close();
        CHECK(ReadBytes(path) == "0123456789abcde");
    }
    SUBCASE("a write past the end extends the size, the next append lands after it") {
        CHECK(Put(f, "0123456789", 0) == 10);
        CHECK(Put(f, "WXYZ", 100) == 4);
        CHECK(f.GetSize() == 104);
        CHECK(Put(f, "end", -1) == 3);
        CHECK(f.GetSize() == 107);
        f.Close();
        std::string bytes = ReadBytes(path);
        REQUIRE(bytes.size() == 107);
        CHECK(bytes.substr(0, 10) == "0123456789");
        CHECK(bytes.substr(10, 90) == std::string(90, '\0'));
        CHECK(bytes.substr(100) == "WXYZend");
    }
    SUBCASE("an overwrite inside the data keeps the size and moves to the end") {
        CHECK(Put(f, "0123456789", 0) == 10);
        CHECK(Put(f, "ab", 3) == 2);
        CHECK(f.GetSize() == 10);
        CHECK(f.IsAtEnd() == 1);
        CHECK(Put(f, "!", -1) == 1);
        CHECK(f.GetSize() == 11);
        f.Close();
        CHECK(ReadBytes(path) == "012ab56789!");
    }
    SUBCASE("a current-position write after Seek into the data is not growth") {
        CHECK(Put(f, "0123456789", 0) == 10);
        REQUIRE(f.Seek(2) != 0);
        CHECK(f.IsAtEnd() == 0);
        CHECK(Put(f, "xyz", -1) == 3);
        CHECK(f.GetSize() == 10);
        CHECK(Put(f, "0123456789AB", -1) == 12);  // from 5: reaches 17
        CHECK(f.GetSize() == 17);
        f.Close();
        CHECK(ReadBytes(path) == "01xyz0123456789AB");
    }
    SUBCASE("failed writes change nothing") {
        CHECK(Put(f, "abc", 0) == 3);
        CHECK(Put(f, "zz", -7) == 0);  // a seek to a negative position fails
        CHECK(f.Write(nullptr, 4, -1) == 0);
        CHECK(f.GetSize() == 3);
        f.Close();
        CHECK(ReadBytes(path) == "abc");
    }
}

TEST_CASE("reads: positions, short counts, and a file opened for reading refuses writes") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "r.bin");
    REQUIRE(WriteBytes(path, "0123456789"));
    CFile f;
    REQUIRE(OpenReadAt(f, path) == 1);

    CHECK(Get(f, 4, 3) == "3456");
    CHECK(Get(f, 2, -1) == "78");  // continues where the last read stopped
    CHECK(f.IsAtEnd() == 0);
    CHECK(Get(f, 100, -1) == "9");  // short at the end of the file
    CHECK(f.IsAtEnd() == 1);
    CHECK(Get(f, 5, -1).empty());
    CHECK(Get(f, 10, 0) == "0123456789");  // the typical whole-file read
    CHECK(Get(f, 4, -3).empty());          // failed seek: 0
    CHECK(Get(f, 4, 20).empty());          // past the end: nothing to read
    CHECK(f.GetSize() == 10);

    CHECK(Put(f, "xx", 0) == 0);
    CHECK(Put(f, "xx", -1) == 0);
    CHECK(f.GetSize() == 10);
    CHECK(f.Flush() == 1);
    f.Close();
    CHECK(ReadBytes(path) == "0123456789");

    const std::string empty = Join(dir, "empty.bin");
    REQUIRE(WriteBytes(empty, ""));
    REQUIRE(OpenReadAt(f, empty) == 1);
    CHECK(f.GetSize() == 0);
    CHECK(f.IsAtEnd() == 1);
}

namespace {

// Counts the seeks that Read and Write make through the virtual slot and can
// refuse them.
class SeekSpy : public CFile {
public:
    int Seek(int64_t position) override {
        ++calls;
        last = position;
        return refuse ? 0 : CFile::Seek(position);
    }
    int calls = 0;
    int64_t last = -100;
    bool refuse = false;
};

}  // namespace

TEST_CASE("positioned reads and writes seek through the virtual slot") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "v.bin");
    SeekSpy f;
    REQUIRE(f.OpenWrite(path.c_str()) == 0);
    CHECK(Put(f, "abcdef", 0) == 6);
    CHECK(f.calls == 1);
    CHECK(Put(f, "g", -1) == 1);
    CHECK(f.calls == 1);  // the current position needs no seek
    f.refuse = true;
    CHECK(Put(f, "zz", 1) == 0);
    CHECK(f.last == 1);
    CHECK(f.GetSize() == 7);
    f.Close();

    f.refuse = false;
    REQUIRE(OpenReadAt(f, path) == 1);
    CHECK(Get(f, 3, 2) == "cde");
    CHECK(f.last == 2);
    f.refuse = true;
    CHECK(Get(f, 3, 0).empty());
    CHECK(f.last == 0);
}

// ------------------------------------------------------------------ BMP

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// The 54 header bytes, spelled out field by field.
std::string Headers(int32_t width, int32_t height, uint32_t image) {
    std::string h = "BM" + Le32(54 + image) + std::string(4, '\0') + Le32(54);
    h += Le32(40) + Le32(static_cast<uint32_t>(width)) + Le32(static_cast<uint32_t>(height));
    h += std::string("\x01\x00\x18\x00", 4);  // planes 1, 24 bits per pixel
    h += Le32(0) + Le32(0) + Le32(3780) + Le32(3780) + Le32(0) + Le32(0);
    return h;
}

std::string WriteBmp(const std::string& path, int32_t width, int32_t height, const std::string& pixels,
                     int* result) {
    CBitmapFile f;
    REQUIRE(f.OpenWrite(path.c_str()) == 0);
    *result = f.WriteBitmap(width, height, pixels.data(), static_cast<uint32_t>(pixels.size()));
    f.Close();
    return ReadBytes(path);
}

}  // namespace

TEST_CASE("WriteBitmap writes exact bytes: padding, bottom row first") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "image.bmp");
    int result = 0;

    SUBCASE("2 x 2: stride 8, 70 bytes") {
        const std::string top = "\x01\x02\x03\x04\x05\x06";
        const std::string bottom = "\x11\x12\x13\x14\x15\x16";
        std::string bytes = WriteBmp(path, 2, 2, top + bottom, &result);
        CHECK(result == 1);
        REQUIRE(bytes.size() == 70);
        const std::string pad(2, '\0');
        CHECK(bytes == Headers(2, 2, 16) + bottom + pad + top + pad);
    }
    SUBCASE("4 x 1: a row of 12 bytes needs no padding") {
        std::string row;
        for (int i = 0; i < 12; ++i) row += static_cast<char>(0xA0 + i);
        std::string bytes = WriteBmp(path, 4, 1, row, &result);
        CHECK(result == 1);
        CHECK(bytes.size() == 66);
        CHECK(bytes == Headers(4, 1, 12) + row);
    }
    SUBCASE("1366 x 3: stride 4100, rows reversed") {
        const int width = 1366, height = 3;
        std::string rows[height];
        for (int r = 0; r < height; ++r) {
            for (int i = 0; i < width * 3; ++i) rows[r] += static_cast<char>((i * 7 + r * 31) & 0xFF);
        }
        std::string bytes = WriteBmp(path, width, height, rows[0] + rows[1] + rows[2], &result);
        CHECK(result == 1);
        const std::string pad(4100 - width * 3, '\0');
        CHECK(pad.size() == 2);
        CHECK(bytes == Headers(width, height, 4100 * 3) + rows[2] + pad + rows[1] + pad + rows[0] + pad);
    }
}

TEST_CASE("WriteBitmap refuses what it cannot write faithfully") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "bad.bmp");
    const std::string pixels(12, '\x7F');
    struct Case {
        const char* name;
        int32_t width, height;
        const char* data;
        uint32_t count;
    } cases[] = {
        {"zero width", 0, 2, pixels.data(), 12},
        {"zero height", 2, 0, pixels.data(), 12},
        {"zero count", 2, 2, pixels.data(), 0},
        {"null pixels", 2, 2, nullptr, 12},
        {"negative height", 2, -2, pixels.data(), 12},
        {"negative width", -2, 2, pixels.data(), 12},
        {"count too small", 2, 2, pixels.data(), 9},
        {"count too large", 1, 2, pixels.data(), 12},
    };
    for (const Case& c : cases) {
        CAPTURE(std::string(c.name));
        CBitmapFile f;
        REQUIRE(f.OpenWrite(path.c_str()) == 0);
        CHECK(f.WriteBitmap(c.width, c.height, c.data, c.count) == 0);
        CHECK(f.GetSize() == 0);  // nothing, not even a header, was written
        f.Close();
        CHECK(ReadBytes(path).empty());
    }
    CBitmapFile closed;
    CHECK(closed.WriteBitmap(2, 2, pixels.data(), 12) == 0);

    // A file opened for reading takes no bitmap.
    REQUIRE(WriteBytes(path, "existing"));
    CBitmapFile reading;
    REQUIRE(OpenReadAt(reading, path) == 1);
    CHECK(reading.WriteBitmap(2, 2, pixels.data(), 12) == 0);
    reading.Close();
    CHECK(ReadBytes(path) == "existing");
}

TEST_CASE("WriteBitmap reuses its pixel buffer across calls and writes at the current position") {
    const std::string dir = testutil::MakeTempDir();
    const std::string path = Join(dir, "two.bmp");
    CBitmapFile f;
    REQUIRE(f.OpenWrite(path.c_str()) == 0);
    const std::string big(3 * 3 * 3, '\x55');
    const std::string small = "\x01\x02\x03";
    REQUIRE(f.WriteBitmap(3, 3, big.data(), static_cast<uint32_t>(big.size())) == 1);
    REQUIRE(f.WriteBitmap(1, 1, small.data(), 3) == 1);  // the larger buffer is kept and reused
    CHECK(std::memcmp(f.GetFileHeader(), Headers(1, 1, 4).data(), 14) == 0);
    CHECK(std::memcmp(f.GetInfoHeader(), Headers(1, 1, 4).data() + 14, 40) == 0);
    const std::string grow(5 * 2 * 3, '\x66');
    REQUIRE(f.WriteBitmap(5, 2, grow.data(), static_cast<uint32_t>(grow.size())) == 1);
    CHECK(f.GetSize() == (54 + 36) + (54 + 4) + (54 + 32));
    f.Close();

    std::string first = big.substr(0, 9) + std::string(3, '\0');
    std::string expected = Headers(3, 3, 36) + first + first + first;
    expected += Headers(1, 1, 4) + small + std::string(1, '\0');
    std::string row5 = grow.substr(0, 15) + std::string(1, '\0');
    expected += Headers(5, 2, 32) + row5 + row5;
    CHECK(ReadBytes(path) == expected);
}
