#pragma once
// Screenshots during playback: the whole virtual desktop is captured into a
// 32-bit section, written as a 24-bit BMP, and for the other formats converted
// through GDI+ and the BMP deleted. Files are named after the local time:
// <folder>\SCREENSHOT_YYYYMMDDhhmmss.<bmp|jpg|gif|png>, and when that name is
// in use, SCREENSHOT_YYYYMMDDhhmmss_2, _3, ...: no screenshot replaces a
// file. Failures only write a debug line; nothing reaches the user.
#include <windows.h>

#include <cstdint>

#include "core/array.h"

// GDI+ for the whole process: started before the player thread exists and
// shut down after it has ended. The token is 0 when the start failed.
ULONG_PTR GdiPlusStart();
void GdiPlusStop(ULONG_PTR token);

enum class CaptureResult {
    Saved,             // the image file exists in the chosen format
    NoFolder,          // empty folder: nothing is saved
    NoBitmap,          // the capture section could not be created
    NoPixels,          // the section came without pixels ("ERROR : screen capture")
    NotWritten,        // the BMP could not be created (missing folder, rights, ...)
    NoMemory,          // no memory for the pixel copy: an empty BMP stays
    ConversionFailed,  // load, encoder lookup or save failed ("LCD image save error!!"); no file stays
};

// File extension ("bmp", "jpg", "gif", "png") and GDI+ MIME type (null for
// the BMP itself) of a screenshotFormat value; every value other than 0, 2
// and 3 means JPEG.
const wchar_t* ScreenshotExtension(int32_t format);
const wchar_t* ScreenshotMimeType(int32_t format);

// "<folder>\SCREENSHOT_YYYYMMDDhhmmss.<extension>" into `path`, returned,
// with "_<counter>" before the dot for a counter above 1; null when memory
// ran out. Built to the length needed, so a long folder cannot overflow
// anything.
const wchar_t* ScreenshotPath(const wchar_t* folder, const SYSTEMTIME& time, const wchar_t* extension,
                              CArray<wchar_t>* path, int counter = 1);

// Captures the virtual desktop and saves it into `folder` in `format`.
CaptureResult TakeScreenshot(const wchar_t* folder, int32_t format);

// Saves a capture: `pixels` are height rows of width 32-bit pixels (blue,
// green, red, unused), bottom row first, as a bottom-up DIB section holds them.
CaptureResult SaveCapture(const wchar_t* folder, int32_t format, int width, int height,
                          const uint8_t* pixels);

// Loads the image at `source` and saves it to `target` with the encoder of
// `mimeType`. GIF output is first reduced to 8-bit indexed colour: GDI+ under
// Wine writes a broken GIF from a 24- or 32-bit image. Returns true on success.
bool ConvertImage(const wchar_t* source, const wchar_t* target, const wchar_t* mimeType);
using ImageConverter = bool (*)(const wchar_t* source, const wchar_t* target, const wchar_t* mimeType);
// SaveCapture at a given time; the converter makes the JPEG, GIF or PNG.
CaptureResult SaveCaptureAt(const wchar_t* folder, int32_t format, int width, int height,
                            const uint8_t* pixels, const SYSTEMTIME& time, ImageConverter convert = ConvertImage);

// The class identifier of the first GDI+ encoder whose MIME type equals
// `mimeType` exactly (case included); false when there is none.
bool FindImageEncoder(const wchar_t* mimeType, CLSID* encoder);

