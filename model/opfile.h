#pragma once
// The operation file: one ActionList on disk as UTF-8 XML with the top-level
// elements ident (the mark of the computer that saved it), action (the
// records in list order, as mouse, key and display elements) and image (the
// screenshot settings).
// ActionList::save and ActionList::load are built from the pieces below.
#include <cstdint>

#include "core/xml.h"
#include "model/action.h"

// A file stores word k of the mark as (w[k] XOR kIdentMasks[k]).
extern const uint32_t kIdentMasks[4];

// The mark of a computer from its name: the low bytes of the name's first
// `length` characters, walked cyclically for 16 steps (a zero byte counts as
// 0xAA; an empty name gives sixteen 0xAA), form four big-endian words.
MachineIdent MachineIdentFromName(const wchar_t* name, int length);

// The text of the file that saving writes for the list, with `ident` as the
// mark. A mouse record of a wheel kind carries its delta (its key code) in a
// "delta" element after "type"; a key record with a known stroke (model/action.h)
// carries it in "scan" (the scan code) and "extended" (1 or 0) after "code".
// Older readers take their children by name and skip these. Every other
// record is written as files have always had it. False (the text then holds
// nothing) when memory ran out. `tooLarge`, when given, tells whether the text
// failed for passing the longest a file may be (SetXmlTextLimit) rather than
// for want of memory.
bool BuildOperationText(const ActionList& list, const MachineIdent& ident, CArray<char>* text,
                        bool* tooLarge = nullptr);

// How saving a list ended.
enum class OperationSave {
    Saved,
    Failed,    // no path, no memory, or the file could not be written
    TooLarge,  // the file would be larger than one that can be read back:
               // nothing was written and the list, its path included, is as it was
};
// ActionList::save with its outcome.
OperationSave SaveOperationFile(ActionList* list, const wchar_t* path);

// The stroke a key element gives from its "scan" and "extended" children
// (whether each is there, and its number): none without either, or when the
// scan code is no byte.
int32_t KeyStrokeFromFile(bool hasScan, int32_t scan, bool hasExtended, int32_t extended);

// What a load took from its file. Anything but a whole file must be told to
// the user, and such a list must not be written back over the file unasked.
struct OperationFileLoad {
    XmlEnd end = XmlEnd::Unreadable;  // how reading ended; OutOfMemory also
                                      // when read records could not be kept
    int64_t offset = -1;              // where, when known
    bool operationFile = false;       // the file holds an ident, action or image element
    int32_t records = 0;              // records appended to the list
    bool whole() const { return end == XmlEnd::Complete; }
};
// Loads the file as ActionList::load does (filePath becomes path, modified 0)
// and reports what was read. The records are taken as the reader meets them:
// no element tree is built, and memory stays that of the file's bytes and
// the list, whatever the file holds.
OperationFileLoad LoadOperationFile(ActionList* list, const wchar_t* path);
// The same over a file's bytes; the list's path and modified flag are the caller's.
OperationFileLoad ReadOperationText(ActionList* list, const char* bytes, size_t size);

