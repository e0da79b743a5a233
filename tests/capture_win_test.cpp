// Screenshots: file names, the BMP bytes, each format's file decoded again,
// the failure paths with their debug lines, and a real capture of a window
// painted in known colours. (tests/support/capture_decode.sh decodes the
// program's files once more with ImageMagick.)
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "core/debug.h"
#include "doctest.h"
#include "playback/capture_win.h"
#include "support/capture_window.h"
#include "test_util.h"

using namespace Gdiplus::DllExports;

namespace {

struct GdiPlusSession {
    ULONG_PTR token = GdiPlusStart();
    ~GdiPlusSession() { GdiPlusStop(token); }
} g_gdiplus;

std::vector<std::string> g_debugLines;

int RecordDebugLine(const wchar_t* format, ...) {
    g_debugLines.push_back(testutil::Utf8(format));
    return 0;
}

// Routes the debug channel into g_debugLines while it lives.
struct DebugCapture {
    DebugOutputFunction saved = DebugPrint;
    DebugCapture() {
        g_debugLines.clear();
        DebugPrint = RecordDebugLine;
    }
    ~DebugCapture() { DebugPrint = saved; }
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

struct Decoded {
    UINT width = 0, height = 0;
    std::vector<uint32_t> argb;  // top row first
    uint32_t At(UINT x, UINT y) const { return argb[y * width + x] & 0xFFFFFF; }
};

bool Decode(const std::string& path, Decoded* out) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromFile(Wide(path).c_str(), &bitmap) != Gdiplus::Ok) return false;
    GdipGetImageWidth(bitmap, &out->width);
    GdipGetImageHeight(bitmap, &out->height);
    Gdiplus::Rect all(0, 0, static_cast<INT>(out->width), static_cast<INT>(out->height));
    Gdiplus::BitmapData data;
    bool ok = GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) ==
              Gdiplus::Ok;
    if (ok) {
        out->argb.resize(static_cast<size_t>(out->width) * out->height);
        for (UINT y = 0; y < out->height; ++y) {
            const auto* row = reinterpret_cast<const uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
            memcpy(&out->argb[static_cast<size_t>(y) * out->width], row, out->width * 4);
        }
        GdipBitmapUnlockBits(bitmap, &data);
    }
    GdipDisposeImage(bitmap);
    return ok;
}

// 0xRRGGBB from a GDI COLORREF (0x00BBGGRR).
uint32_t Rgb(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

const SYSTEMTIME kTime = {2026, 12, 0, 6, 19, 53, 24, 0};
const char kStamp[] = "SCREENSHOT_20261206195324";

// A bottom-up 32-bit capture of w x h pixels in six colour blocks (3 x 2),
// with the fourth byte of every pixel set, as it must be dropped.
const uint32_t kBlocks[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0xFFFF00};
std::vector<uint8_t> BlockCapture(int w, int h) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (int row = 0; row < h; ++row) {
        int y = h - 1 - row;  // memory row 0 is the bottom of the picture
        for (int x = 0; x < w; ++x) {
            uint32_t c = kBlocks[(y * 2 / h) * 3 + x * 3 / w];
            uint8_t* p = &px[(static_cast<size_t>(row) * w + x) * 4];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
            p[3] = 0xAB;
        }
    }
    return px;
}

}  // namespace

TEST_CASE("screenshot names carry the local time, the format's extension and any folder length") {
    CArray<wchar_t> storage;
    const wchar_t* path = ScreenshotPath(L"D:\\shots", kTime, ScreenshotExtension(1), &storage);
    CHECK(testutil::Utf8(path) == "D:\\shots\\SCREENSHOT_20261206195324.jpg");
    path = ScreenshotPath(L"D:\\shots", kTime, L"png", &storage, 12);
    CHECK(testutil::Utf8(path) == "D:\\shots\\SCREENSHOT_20261206195324_12.png");

    struct Case {
        int32_t format;
        const char* ext;
        const char* mime;
    };
    const Case cases[] = {{0, "bmp", ""}, {1, "jpg", "image/jpeg"}, {2, "gif", "image/gif"},
                          {3, "png", "image/png"}, {7, "jpg", "image/jpeg"}, {-1, "jpg", "image/jpeg"}};
    for (const Case& c : cases) {
        CAPTURE(c.format);
        CHECK(testutil::Utf8(ScreenshotExtension(c.format)) == c.ext);
        CHECK(testutil::Utf8(ScreenshotMimeType(c.format)) == c.mime);
    }

    std::wstring folder = L"C:\\";
    while (folder.size() < 600) folder += L"very long folder\\";
    folder += L"end";
    // The buffer of the first path is reused and grows to the long one.
    path = ScreenshotPath(folder.c_str(), kTime, L"png", &storage);
    REQUIRE(path != nullptr);
    CHECK(testutil::Utf8(path) == testutil::Utf8(folder.c_str()) + "\\" + kStamp + ".png");
    CHECK(storage.Count() == static_cast<int>(folder.size() + 1 + std::strlen(kStamp) + 4 + 1));
}

TEST_CASE("a capture saved as Bitmap is the 24-bit BMP with its rows in order") {
    std::string dir = testutil::MakeTempDir();
    // 3 x 2 pixels: rows of 9 bytes padded to 12; the bottom row comes first
    // both in the capture and in the file.
    const uint8_t capture[] = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE, 7, 8, 9, 0xEE,
                               10, 11, 12, 0xEE, 13, 14, 15, 0xEE, 16, 17, 18, 0xEE};
    CHECK(SaveCaptureAt(Wide(dir).c_str(), 0, 3, 2, capture, kTime) == CaptureResult::Saved);
    REQUIRE(FilesIn(dir) == std::vector<std::string>{std::string(kStamp) + ".bmp"});
    std::string bytes = testutil::ReadBytes(testutil::Join(dir, std::string(kStamp) + ".bmp"));
    const uint8_t header[54] = {'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0,
                                2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC4, 0x0E, 0, 0,
                                0xC4, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t rows[24] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};
    std::string expected(reinterpret_cast<const char*>(header), 54);
    expected.append(reinterpret_cast<const char*>(rows), 24);
    CHECK(bytes == expected);
}

TEST_CASE("each format leaves one decodable file with the captured pixels and no BMP") {
    struct Case {
        int32_t format;
        const char* ext;
        const char* magic;
        int tolerance;
    };
    const Case cases[] = {{0, "bmp", "BM", 0},
                          {1, "jpg", "\xFF\xD8\xFF", 40},
                          {2, "gif", "GIF8", 0},
                          {3, "png", "\x89PNG", 0},
                          {7, "jpg", "\xFF\xD8\xFF", 40}};
    const int w = 96, h = 64;
    std::vector<uint8_t> capture = BlockCapture(w, h);
    for (const Case& c : cases) {
        CAPTURE(c.format);
        std::string dir = testutil::MakeTempDir();
        DebugCapture debug;
        CHECK(SaveCaptureAt(Wide(dir).c_str(), c.format, w, h, capture.data(), kTime) == CaptureResult::Saved);
        CHECK(g_debugLines.empty());
        std::string name = std::string(kStamp) + "." + c.ext;
        REQUIRE(FilesIn(dir) == std::vector<std::string>{name});
        std::string path = testutil::Join(dir, name);
        CHECK(testutil::ReadBytes(path).compare(0, strlen(c.magic), c.magic) == 0);
        Decoded image;
        REQUIRE(Decode(path, &image));
        CHECK(image.width == static_cast<UINT>(w));
        CHECK(image.height == static_cast<UINT>(h));
        int wrong = 0;
        for (int b = 0; b < 6; ++b) {
            // The middle of each block, away from JPEG's blurred edges.
            UINT x = static_cast<UINT>((2 * (b % 3) + 1) * w / 6);
            UINT y = static_cast<UINT>((2 * (b / 3) + 1) * h / 4);
            if (!Near(image.At(x, y), kBlocks[b], c.tolerance)) ++wrong;
        }
        CHECK(wrong == 0);
    }
}

TEST_CASE("screenshots within one second never replace a file: the name takes a counter") {
    std::string dir = testutil::MakeTempDir();
    const std::string stamp = kStamp;
    // Names already in use: a file of the PNG name _2, a BMP of the stem _3
    // (the intermediate may not replace it either) and a folder of the name _5.
    REQUIRE(testutil::WriteBytes(testutil::Join(dir, stamp + "_2.png"), "mine"));
    REQUIRE(testutil::WriteBytes(testutil::Join(dir, stamp + "_3.bmp"), "mine too"));
    REQUIRE(CreateDirectoryA(testutil::Join(dir, stamp + "_5.png").c_str(), nullptr));
    const uint8_t shades[4] = {0x10, 0x40, 0x80, 0xC0};
    for (uint8_t shade : shades) {
        std::vector<uint8_t> capture(12 * 8 * 4, shade);
        REQUIRE(SaveCaptureAt(Wide(dir).c_str(), 3, 12, 8, capture.data(), kTime) == CaptureResult::Saved);
    }
    const char* const saved[4] = {".png", "_4.png", "_6.png", "_7.png"};
    std::vector<std::string> expected = {stamp + "_2.png", stamp + "_3.bmp", stamp + "_5.png"};
    for (int i = 0; i < 4; ++i) {
        CAPTURE(saved[i]);
        expected.push_back(stamp + saved[i]);
        Decoded image;
        REQUIRE(Decode(testutil::Join(dir, stamp + saved[i]), &image));
        CHECK(image.At(0, 0) == shades[i] * 0x010101u);
    }
    std::vector<std::string> names = FilesIn(dir);
    names.push_back(stamp + "_5.png");  // the folder, which FilesIn leaves out
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    CHECK(names == expected);
    CHECK(testutil::ReadBytes(testutil::Join(dir, stamp + "_2.png")) == "mine");
    CHECK(testutil::ReadBytes(testutil::Join(dir, stamp + "_3.bmp")) == "mine too");

    // As Bitmap the BMP is the result, numbered the same way.
    std::string bitmaps = testutil::MakeTempDir();
    std::vector<uint8_t> capture = BlockCapture(12, 8);
    for (int i = 0; i < 3; ++i) {
        REQUIRE(SaveCaptureAt(Wide(bitmaps).c_str(), 0, 12, 8, capture.data(), kTime) == CaptureResult::Saved);
    }
    names = FilesIn(bitmaps);
    std::sort(names.begin(), names.end());
    CHECK(names == std::vector<std::string>{stamp + ".bmp", stamp + "_2.bmp", stamp + "_3.bmp"});
}

TEST_CASE("failures save nothing and report only through the debug channel") {
    std::vector<uint8_t> capture = BlockCapture(12, 8);
    DebugCapture debug;

    SUBCASE("an empty folder saves nothing") {
        CHECK(SaveCaptureAt(L"", 1, 12, 8, capture.data(), kTime) == CaptureResult::NoFolder);
        CHECK(SaveCaptureAt(nullptr, 1, 12, 8, capture.data(), kTime) == CaptureResult::NoFolder);
        CHECK(TakeScreenshot(L"", 3) == CaptureResult::NoFolder);
        CHECK(g_debugLines.empty());
    }
    SUBCASE("a missing folder saves nothing") {
        std::string dir = testutil::MakeTempDir();
        std::string missing = testutil::Join(dir, "missing");
        CHECK(SaveCaptureAt(Wide(missing).c_str(), 3, 12, 8, capture.data(), kTime) ==
              CaptureResult::NotWritten);
        CHECK(FilesIn(dir).empty());
        CHECK(g_debugLines.empty());
    }
    SUBCASE("a failed conversion writes the debug line and leaves no file") {
        std::string dir = testutil::MakeTempDir();
        // An encoder that fails half way, leaving part of its file behind.
        const ImageConverter failing = [](const wchar_t*, const wchar_t* target, const wchar_t*) {
            HANDLE file = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(file, "\x89PN", 3, &written, nullptr);
            CloseHandle(file);
            return false;
        };
        CHECK(SaveCaptureAt(Wide(dir).c_str(), 3, 12, 8, capture.data(), kTime, failing) ==
              CaptureResult::ConversionFailed);
        CHECK(g_debugLines == std::vector<std::string>{"LCD image save error!!\n"});
        CHECK(FilesIn(dir).empty());
    }
    SUBCASE("encoders are found by their exact MIME type only") {
        CLSID id;
        CHECK(FindImageEncoder(L"image/png", &id));
        CHECK(FindImageEncoder(L"image/gif", &id));
        CHECK_FALSE(FindImageEncoder(L"image/PNG", &id));
        CHECK_FALSE(FindImageEncoder(L"image/jpg", &id));
        CHECK_FALSE(FindImageEncoder(L"image/png ", &id));
        std::string dir = testutil::MakeTempDir();
        std::string bmp = testutil::Join(dir, "a.bmp");
        REQUIRE(SaveCaptureAt(Wide(dir).c_str(), 0, 12, 8, capture.data(), kTime) == CaptureResult::Saved);
        std::string saved = testutil::Join(dir, std::string(kStamp) + ".bmp");
        CHECK_FALSE(ConvertImage(Wide(saved).c_str(), Wide(testutil::Join(dir, "x.png")).c_str(), L"image/PNG"));
        CHECK_FALSE(ConvertImage(Wide(bmp).c_str(), Wide(testutil::Join(dir, "y.png")).c_str(), L"image/png"));
        CHECK(FilesIn(dir) == std::vector<std::string>{std::string(kStamp) + ".bmp"});
    }
}

TEST_CASE("a screenshot of the desktop holds what the screen shows") {
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ColourWindow window(vx + 130, vy + 70, 400, 120,
                        {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)});
    REQUIRE(window.WaitUntilShown(5000));
    std::string dir = testutil::MakeTempDir();
    CHECK(TakeScreenshot(Wide(dir).c_str(), 3) == CaptureResult::Saved);
    std::vector<std::string> files = FilesIn(dir);
    REQUIRE(files.size() == 1);
    // SCREENSHOT_ and fourteen digits of the local time.
    CHECK(files[0].size() == 11 + 14 + 4);
    CHECK(files[0].compare(0, 11, "SCREENSHOT_") == 0);
    CHECK(files[0].find_first_not_of("0123456789", 11) == 25);
    CHECK(files[0].compare(25, 4, ".png") == 0);
    Decoded image;
    REQUIRE(Decode(testutil::Join(dir, files[0]), &image));
    CHECK(image.width == static_cast<UINT>(vw));
    CHECK(image.height == static_cast<UINT>(vh));
    int wrong = 0;
    for (int y = window.top(); y < window.top() + window.height(); y += 7) {
        for (int x = window.left(); x < window.left() + window.width(); x += 3) {
            if (image.At(x - vx, y - vy) != Rgb(window.ColourAt(x))) ++wrong;
        }
    }
    CHECK(wrong == 0);
    // The window's corners: exactly where the screen has them, nothing shifted.
    CHECK(image.At(window.left() - vx, window.top() - vy) == 0xFF0000);
    CHECK(image.At(window.left() - 1 - vx, window.top() - vy) != 0xFF0000);
    CHECK(image.At(window.left() - vx, window.top() - 1 - vy) != 0xFF0000);
    CHECK(image.At(window.left() + window.width() - 1 - vx, window.top() + window.height() - 1 - vy) == 0x000000);
}
