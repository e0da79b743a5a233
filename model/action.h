#pragma once
// The action model: one record per operation, the enumerations that classify
// it, and the one ordered list the whole program works on (recorder appends,
// main window edits and shows, player reads, operation file saves and loads).
#include <cstdint>

#include "core/array.h"
#include "core/cstring.h"

// Fixed underlying types: a record keeps whatever device and kind it was given
// (an operation file may carry any number), and every int32 value is valid.
enum class ActionDevice : int32_t {
    Mouse = 0,
    Keyboard = 1,
    Display = 2,
};

// The numbers are stored in operation files and must never change.
enum class ActionKind : int32_t {
    MouseLeftPush = 1,
    MouseLeftRelease = 2,
    MouseLeftClick = 3,
    MouseLeftDoubleClick = 4,
    MouseRightPush = 5,
    MouseRightRelease = 6,
    MouseRightClick = 7,
    MouseRightDoubleClick = 8,
    PushKey = 9,
    ReleaseKey = 10,
    Screenshot = 11,
    // Kept when movement, the wheel and every button are recorded. An older
    // copy of the program shows these with an empty operation text and plays
    // nothing for them.
    MouseMove = 12,
    MouseMiddlePush = 13,
    MouseMiddleRelease = 14,
    MouseX1Push = 15,  // first side button ("back")
    MouseX1Release = 16,
    MouseX2Push = 17,  // second side button ("forward")
    MouseX2Release = 18,
    MouseWheel = 19,   // vertical: the delta, positive away from the user
    MouseHWheel = 20,  // horizontal: the delta, positive to the right
};

// A wheel record keeps its signed delta (120 per notch, less from precision
// touchpads) in keyCode, so that the record stays six 32-bit fields.
inline bool IsWheelKind(ActionKind kind) {
    return kind == ActionKind::MouseWheel || kind == ActionKind::MouseHWheel;
}

enum class ScreenshotFormat : int32_t {
    Bitmap = 0,
    JPEG = 1,
    GIF = 2,
    PNG = 3,
};

// One operation: six 32-bit fields, copied whole when records move.
struct ActionRecord {
    uint32_t interval;     // milliseconds since the previous operation; wraps mod 2^32
    ActionDevice device;
    ActionKind kind;
    int32_t x;             // screen pixels for Mouse; the key's stroke for Keyboard (below)
    int32_t y;
    int32_t keyCode;       // virtual-key code, meaningful for Keyboard only
};
static_assert(sizeof(ActionRecord) == 24, "six 32-bit fields");

// A key record keeps in x, as a key has no position, the stroke its key
// made: the scan code the keyboard sent (low byte) and kKeyExtended for an
// extended key, one whose code came after the E0 prefix (right Ctrl and Alt,
// the arrows and the editing block, the keypad's Enter and "/", ...). The
// virtual-key code alone cannot tell them: right Ctrl is VK_CONTROL as left
// Ctrl is, and an arrow sent without the flag is the keypad's. 0 means not
// known (files written before it was kept, rows added by hand): the key is
// then played with the scan code of its virtual key and the flag that key
// has by nature.
enum : int32_t { kKeyScanMask = 0xFF, kKeyExtended = 0x100 };

// The stroke of `record`: its x when it is a key record and x is a stroke
// (1 .. 0x1FF), else 0.
inline int32_t KeyStrokeOf(const ActionRecord& record) {
    if (record.device != ActionDevice::Keyboard) return 0;
    return record.x > 0 && record.x <= (kKeyExtended | kKeyScanMask) ? record.x : 0;
}

// Whether the key of virtual-key code `code` is an extended key wherever it
// is found (right Ctrl and Alt, the arrows, Insert, Delete, Home, End,
// Page Up and Down, the keypad's "/", Num Lock, Print Screen, the Windows
// and application keys, the browser and media keys). VK_CONTROL, VK_MENU
// and VK_RETURN are not: they stand for the left keys and the main Enter.
bool IsExtendedByNature(int32_t code);

// The mark of the computer a list comes from (derived from its name).
struct MachineIdent {
    uint32_t w[4];
};

// This computer's mark; implemented with the operation file.
MachineIdent CurrentMachineIdent();

// The highest kind that has a text; the player performs nothing for a kind
// outside 1..kLastActionKind.
constexpr int32_t kLastActionKind = 20;

// The five texts of one list row, in fixed buffers so that a list view can
// render any row without allocating. The longest text is a horizontal wheel
// with an 11-character delta ("Mouse horizontal wheel -2147483648", 34
// characters).
enum : int { kRowColumns = 5, kRowTextCapacity = 40 };
struct RowTexts {
    wchar_t text[kRowColumns][kRowTextCapacity];
};

// `language` is the configuration's ui_language: 1 is Japanese, anything else
// English. Null for a column outside 0..4 or a kind outside 1..kLastActionKind.
const wchar_t* RowColumnHeading(int column, int language);
const wchar_t* ActionKindText(ActionKind kind, int language);
// The Operation column's text of a record of `kind`: the kind's text, and
// for a wheel kind a blank and the signed delta `keyCode` ("Mouse wheel
// -120"); empty for a kind without a text. Writes at most kRowTextCapacity
// units, terminator included; returns the length.
int OperationText(ActionKind kind, int32_t keyCode, int language, wchar_t* out);
const wchar_t* ActionDeviceText(ActionDevice device, int language);
// "Bitmap", "JPEG", "GIF", "PNG"; null outside 0..3.
const wchar_t* ScreenshotFormatText(ScreenshotFormat format);

// Writes a millisecond count as hours:minutes:seconds.milliseconds ("%02d:%02d:%02d.%03d", hours
// not capped: 4294967295 gives 1193:02:47.295) into at least
// kDurationCapacity units; returns the length.
enum : int { kDurationCapacity = 16 };
int FormatDuration(uint32_t milliseconds, wchar_t* out);

// The ordered list of records with the settings that travel with it in an
// operation file. Changed only on the window thread; the player thread reads
// count() and records by position without a lock while nothing changes it.
//
// A new list's ident is all zeros: the owner assigns CurrentMachineIdent()
// where it creates the list (the application object does), so that the model
// does not depend on the operation file code.
class ActionList {
public:
    ActionList() {}
    ActionList(const ActionList&) = delete;
    ActionList& operator=(const ActionList&) = delete;

    CString filePath;                 // last file loaded or saved; empty when none

private:
    CArray<ActionRecord> records_;  // slots past the count are all zero

public:
    int32_t modified = 0;             // 1 when changed since the last New, load, save or recording start
    CString screenshotFolder;         // empty: none chosen
    ScreenshotFormat screenshotFormat = ScreenshotFormat::JPEG;
    MachineIdent ident = {{0, 0, 0, 0}};

    // Adds a record after the last one and sets modified. Returns the new
    // record, or null when memory ran out (the list is then unchanged). The
    // first growth gives 256 slots, later ones add half the capacity; a
    // returned pointer refers to that record until the list next changes.
    ActionRecord* append(ActionDevice device, ActionKind kind, int32_t x, int32_t y,
                         int32_t keyCode, uint32_t interval);
    ActionRecord* append(const ActionRecord& record);
    // Frees the storage; count and capacity become 0. The file path, modified
    // flag, screenshot settings and ident are the caller's to reset.
    void clear();
    // Replaces the records by those of `other`, which is left without any;
    // nothing else of either list changes.
    void takeRecords(ActionList& other);

    int count() const { return records_.Count(); }
    int capacity() const { return records_.Capacity(); }
    // The record at i for 0 <= i < count(), else null.
    ActionRecord* at(int i);
    const ActionRecord* at(int i) const;

    // Each returns 1 when it changed the list (and set modified), else 0.
    int replace(int i, const ActionRecord& record);  // overwrite all six fields
    int remove(int i);                               // 0 <= i < count
    int moveUp(int i);                               // 1 <= i < count: swap i-1, i
    int moveDown(int i);                             // 0 <= i < count-1: swap i, i+1

    // Sum of the intervals of records 0 .. i-1, wrapping mod 2^32; 0 for i <= 0,
    // the sum of all records for i >= count. O(i).
    uint32_t timeCode(int i) const;
    // Writes the time codes of rows 0 .. n-1 (n clamped to count) in one
    // running-sum pass; returns the number written.
    int timeCodes(uint32_t* out, int n) const;

    // The five texts of row i. The first form computes the time code (O(i));
    // the second takes it precomputed (O(1)). An index outside the list gives
    // five empty texts and 0; otherwise 1.
    int rowTexts(int i, int language, RowTexts* out) const;
    int rowTexts(int i, uint32_t timeCode, int language, RowTexts* out) const;

    // Implemented with the operation file (model/opfile.cpp). load gives 1
    // only when the whole file was read (LoadOperationFile tells more).
    int save(const wchar_t* path);  // null: use filePath
    int load(const wchar_t* path);
};
