#include "playback/capture_win.h"

// WIN32_LEAN_AND_MEAN leaves out the COM types that GDI+ declarations use.
#include <objidl.h>
#include <gdiplus.h>

#include <climits>
#include <cwchar>

#include "core/debug.h"
#include "core/file.h"
#include "win/handles_win.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

ULONG_PTR GdiPlusStart() {
    GdiplusStartupInput input;
    input.GdiplusVersion = 1;
    input.DebugEventCallback = nullptr;
    input.SuppressBackgroundThread = FALSE;
    input.SuppressExternalCodecs = FALSE;
    ULONG_PTR token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) return 0;
    return token;
}

void GdiPlusStop(ULONG_PTR token) {
    if (token) GdiplusShutdown(token);
}

const wchar_t* ScreenshotExtension(int32_t format) {
    switch (format) {
        case 0: return L"bmp";
        case 2: return L"gif";
        case 3: return L"png";
        default: return L"jpg";
    }
}

const wchar_t* ScreenshotMimeType(int32_t format) {
    switch (format) {
        case 0: return nullptr;
        case 2: return L"image/gif";
        case 3: return L"image/png";
        default: return L"image/jpeg";
    }
}

const wchar_t* ScreenshotPath(const wchar_t* folder, const SYSTEMTIME& time, const wchar_t* extension,
                              CArray<wchar_t>* path, int counter) {
    if (!folder) folder = L"";
    wchar_t stamp[64];
    int stampLength = wsprintfW(stamp, L"\\SCREENSHOT_%04d%02d%02d%02d%02d%02d", time.wYear, time.wMonth,
                                time.wDay, time.wHour, time.wMinute, time.wSecond);
    if (counter > 1) stampLength += wsprintfW(stamp + stampLength, L"_%d", counter);
    stampLength += wsprintfW(stamp + stampLength, L".%s", extension);
    path->Clear();
    if (!path->Append(folder, lstrlenW(folder)) || !path->Append(stamp, stampLength + 1)) return nullptr;
    return path->Data();
}

bool FindImageEncoder(const wchar_t* mimeType, CLSID* encoder) {
    UINT count = 0, size = 0;
    if (GdipGetImageEncodersSize(&count, &size) != Ok || size == 0) return false;
    if (size > static_cast<UINT>(INT_MAX)) return false;
    CArray<uint8_t> storage;
    if (!storage.Resize(static_cast<int>(size))) return false;
    ImageCodecInfo* codecs = reinterpret_cast<ImageCodecInfo*>(storage.Data());
    bool found = false;
    if (GdipGetImageEncoders(count, size, codecs) == Ok) {
        for (UINT i = 0; i < count && !found; ++i) {
            if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, mimeType) == 0) {
                *encoder = codecs[i].Clsid;
                found = true;
            }
        }
    }
    return found;
}

bool ConvertImage(const wchar_t* source, const wchar_t* target, const wchar_t* mimeType) {
    CLSID encoder;
    if (!mimeType || !FindImageEncoder(mimeType, &encoder)) return false;
    GpImage* image = nullptr;
    if (GdipLoadImageFromFile(source, &image) != Ok || !image) return false;
    GpImage* toSave = image;
    GpBitmap* indexed = nullptr;
    bool gif = wcscmp(mimeType, L"image/gif") == 0;
    if (gif) {
        UINT width = 0, height = 0;
        GdipGetImageWidth(image, &width);
        GdipGetImageHeight(image, &height);
        if (GdipCloneBitmapAreaI(0, 0, static_cast<INT>(width), static_cast<INT>(height),
                                 PixelFormat8bppIndexed, reinterpret_cast<GpBitmap*>(image),
                                 &indexed) == Ok &&
            indexed) {
            toSave = indexed;
        }
    }
    bool ok = (!gif || indexed) && GdipSaveImageToFile(toSave, target, &encoder, nullptr) == Ok;
    if (indexed) GdipDisposeImage(indexed);
    GdipDisposeImage(image);
    return ok;
}

namespace {

// Names tried for one screenshot before the folder counts as refusing it.
constexpr int kScreenshotNameAttempts = 10000;

// The 24-bit copy of a bottom-up 32-bit capture written as a BMP into a file
// opened for writing.
CaptureResult WriteCapture(CBitmapFile* file, int width, int height, const uint8_t* pixels) {
    size_t row = static_cast<size_t>(width) * 3;
    size_t bytes = row * static_cast<size_t>(height);
    CArray<uint8_t> storage;
    if (bytes > static_cast<size_t>(INT_MAX) || !storage.Resize(static_cast<int>(bytes))) {
        return CaptureResult::NoMemory;
    }
    uint8_t* copy = storage.Data();
    size_t sourceRow = static_cast<size_t>(width) * 4;
    for (int r = 0; r < height; ++r) {
        const uint8_t* src = pixels + sourceRow * static_cast<size_t>(height - 1 - r);
        uint8_t* dst = copy + row * static_cast<size_t>(r);
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    return file->WriteBitmap(width, height, copy, static_cast<uint32_t>(bytes)) ? CaptureResult::Saved
                                                                                 : CaptureResult::NotWritten;
}

}  // namespace

CaptureResult SaveCaptureAt(const wchar_t* folder, int32_t format, int width, int height,
                            const uint8_t* pixels, const SYSTEMTIME& time, ImageConverter convert) {
    if (!folder || !folder[0]) return CaptureResult::NoFolder;
    if (width <= 0 || height <= 0 || !pixels) return CaptureResult::NoPixels;
    const wchar_t* mime = ScreenshotMimeType(format);
    // Every name is taken by creating its file, which fails for a name that
    // is in use: no screenshot replaces a file, also not one that another
    // copy of the program makes at the same moment. A converted image takes
    // its final name first and then a BMP of the same stem beside it.
    CArray<wchar_t> bmpStorage;
    CArray<wchar_t> imageStorage;
    const wchar_t* bmpPath = nullptr;
    const wchar_t* imagePath = nullptr;
    CBitmapFile file;
    for (int counter = 1;; ++counter) {
        if (counter > kScreenshotNameAttempts) return CaptureResult::NotWritten;
        bool taken = false;
        if (mime) {
            imagePath = ScreenshotPath(folder, time, ScreenshotExtension(format), &imageStorage, counter);
            if (!imagePath) return CaptureResult::NoMemory;
            CFile image;
            if (image.OpenNew(imagePath, &taken) != 0) {
                if (taken) continue;
                return CaptureResult::NotWritten;
            }
        }
        bmpPath = ScreenshotPath(folder, time, L"bmp", &bmpStorage, counter);
        if (bmpPath && file.OpenNew(bmpPath, &taken) == 0) break;
        if (imagePath) DeleteFileW(imagePath);
        if (!bmpPath) return CaptureResult::NoMemory;
        if (!taken) return CaptureResult::NotWritten;
    }
    CaptureResult result = WriteCapture(&file, width, height, pixels);
    file.Close();
    if (result == CaptureResult::NoMemory) {
        if (imagePath) DeleteFileW(imagePath);
        return result;
    }
    if (mime) {
        if (!convert(bmpPath, imagePath, mime)) {
            DebugPrint(L"LCD image save error!!\n");
            result = CaptureResult::ConversionFailed;
            DeleteFileW(imagePath);
        }
        DeleteFileW(bmpPath);
    }
    return result;
}

CaptureResult SaveCapture(const wchar_t* folder, int32_t format, int width, int height,
                          const uint8_t* pixels) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SaveCaptureAt(folder, format, width, height, pixels, now);
}

CaptureResult TakeScreenshot(const wchar_t* folder, int32_t format) {
    if (!folder || !folder[0]) return CaptureResult::NoFolder;
    int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    CWindowDc screen(nullptr);
    if (!screen.Get()) return CaptureResult::NoBitmap;
    CScopedMemoryDc memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info;
    ZeroMemory(&info, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    void* bits = nullptr;
    CScopedGdiObject bitmap(memory ? CreateDIBSection(memory.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0)
                                   : nullptr);
    if (!bitmap) return CaptureResult::NoBitmap;
    if (!bits) {
        DebugPrint(L"ERROR : screen capture\n");
        return CaptureResult::NoPixels;
    }
    CSelectObject selected(memory.Get(), bitmap.Get());
    StretchBlt(memory.Get(), 0, 0, width, height, screen.Get(), left, top, width, height, SRCCOPY);
    GdiFlush();
    return SaveCapture(folder, format, width, height, static_cast<const uint8_t*>(bits));
}
